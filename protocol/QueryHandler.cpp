// The query and queryhit handlers: answering queries from the local store,
// flooding them on, and routing queryhits back along their query's path to
// the node that asked, which learns from them who holds which thread. GUI
// thread only.
#include "app/PelmarDoc.h"
#include "app/ThreadSourceTable.h"
#include "protocol/Handlers.h"
#include "protocol/MessageHistory.h"
#include "protocol/ServentSocket.h"
#include "protocol/wire/LogText.h"
#include "protocol/wire/QueryHitMessage.h"
#include "protocol/wire/QueryMessage.h"
#include "protocol/wire/RelayRule.h"
#include "store/ThreadRecord.h"

#include <mutex>
#include <string>

void HandleQuery(CPelmarDoc& doc, CServentSocket& from, CQueryMessage& query) {
    doc.WriteLog(
        QueryLogText(EWireEvent::Receive, from.GetPeerAddress(), from.GetPeerPort(), query));
    // A query without a category asks for nothing this overlay files.
    if (query.GetCategory().empty())
        return;

    CQueryHitMessage hits;
    const int count = CollectQueryHits(doc, query, hits);
    if (count > 0) {
        hits.Header() =
            CMessageHeader(query.Header().GetMessageId(), CMessageHeader::kTypeQueryHit);
        hits.SetHitCount(static_cast<std::uint8_t>(count));
        hits.SetPort(doc.GetListenPort());
        hits.SetAddress(doc.OwnAddress());
        hits.SetServentId(CBinaryId::FromText(doc.GetServentId()));
        from.Send(hits.Encode());
        doc.WriteLog(
            QueryHitLogText(EWireEvent::Send, from.GetPeerAddress(), from.GetPeerPort(), hits));
    }

    // Other nodes may hold threads of the category whether or not this one does.
    if (!ApplyRelayRule(query.Header()))
        return;
    const std::string relayed = query.Encode();
    for (CServentSocket* connection : doc.GetConnections()) {
        if (connection == &from || connection->IsClosed() || !connection->IsEstablished())
            continue;
        connection->Send(relayed);
        doc.WriteLog(QueryLogText(EWireEvent::Relay, connection->GetPeerAddress(),
                                  connection->GetPeerPort(), query));
    }
}

namespace {

// True when the hit tells of a thread this node lacks, or of more or newer
// posts than it holds.
bool IsWanted(const CHitEntry& entry, const std::string& root) {
    CThreadRecord local;
    if (!local.Load(entry.GetThreadId().GetText(), root))
        return true;
    return entry.GetResCount() > local.GetResCount() || local.GetNewestHeld() < entry.GetTime();
}

void TakeHits(CPelmarDoc& doc, const CQueryHitMessage& hits) {
    const bool isNew = hits.GetEntries().size() > 1;
    for (const CHitEntry& entry : hits.GetEntries()) {
        // A null id names no thread: it could neither be fetched nor listed.
        if (entry.GetThreadId().IsNull())
            continue;
        const std::string& threadId = entry.GetThreadId().GetText();
        const bool wanted = IsWanted(entry, doc.GetThreadDir());
        {
            // The fetch worker reads the table under the same lock.
            std::lock_guard<std::mutex> lock(doc.SourceLock());
            doc.Sources().AddSource(threadId, hits.GetAddress(), hits.GetPort(), doc.Now(),
                                    entry.GetResCount());
        }
        if (!wanted)
            continue;
        CThreadSummary summary;
        summary.category = entry.GetCategory();
        summary.threadId = threadId;
        summary.title = entry.GetTitle();
        summary.resCount = entry.GetResCount();
        summary.name = entry.GetName();
        summary.time = entry.GetTime();
        summary.isNew = isNew;
        doc.UpdateThreadListItem(summary);
    }
}

} // namespace

void HandleQueryHit(CPelmarDoc& doc, CServentSocket& from, CQueryHitMessage& hits,
                    const CRouteEntry& route) {
    doc.WriteLog(
        QueryHitLogText(EWireEvent::Receive, from.GetPeerAddress(), from.GetPeerPort(), hits));
    if (route.originatedHere) {
        TakeHits(doc, hits);
        return;
    }
    if (!ApplyRelayRule(hits.Header()))
        return;
    CServentSocket* origin = doc.FindConnection(route.originSerial);
    if (!origin || origin->IsClosed() || !origin->IsEstablished())
        return;
    origin->Send(hits.Encode());
    doc.WriteLog(
        QueryHitLogText(EWireEvent::Relay, origin->GetPeerAddress(), origin->GetPeerPort(), hits));
}
