// The query and queryhit handlers: answering queries from the local store,
// flooding them on, and routing queryhits back along their query's path to
// the node that asked, which learns from them who holds which thread. Thread
// of the overlay only.
#include "protocol/Connection.h"
#include "protocol/Handlers.h"
#include "protocol/Overlay.h"
#include "protocol/ServentHost.h"
#include "protocol/wire/LogText.h"
#include "protocol/wire/QueryHitMessage.h"
#include "protocol/wire/QueryMessage.h"
#include "protocol/wire/RelayRule.h"
#include "store/ThreadRecord.h"

#include <string>
#include <vector>

void HandleQuery(COverlay& overlay, CConnection& from, CQueryMessage& query) {
    IServentHost& host = overlay.Host();
    const bool logging = host.IsLogging();
    if (logging)
        host.WriteLog(
            QueryLogText(EWireEvent::Receive, from.GetPeerAddress(), from.GetPeerPort(), query));
    // A query without a category asks for nothing this overlay files.
    if (query.GetCategory().empty())
        return;

    CQueryHitMessage hits;
    const int count = CollectQueryHits(host.GetThreadDir(), query, hits);
    if (count > 0) {
        hits.Header() =
            CMessageHeader(query.Header().GetMessageId(), CMessageHeader::kTypeQueryHit);
        hits.SetHitCount(static_cast<std::uint8_t>(count));
        hits.SetPort(host.GetListenPort());
        hits.SetAddress(host.OwnAddress());
        hits.SetServentId(CBinaryId::FromText(host.GetServentId()));
        from.Send(hits.Encode());
        if (logging)
            host.WriteLog(
                QueryHitLogText(EWireEvent::Send, from.GetPeerAddress(), from.GetPeerPort(), hits));
    }

    // Other nodes may hold threads of the category whether or not this one does.
    if (!ApplyRelayRule(query.Header()))
        return;
    const std::vector<CConnection*> sentTo = overlay.Flood(query.Encode(), &from);
    if (!logging)
        return;
    for (const CConnection* connection : sentTo)
        host.WriteLog(QueryLogText(EWireEvent::Relay, connection->GetPeerAddress(),
                                   connection->GetPeerPort(), query));
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

void TakeHits(IServentHost& host, const CQueryHitMessage& hits) {
    const bool isNew = hits.GetEntries().size() > 1;
    for (const CHitEntry& entry : hits.GetEntries()) {
        // A null id names no thread: it could neither be fetched nor listed.
        if (entry.GetThreadId().IsNull())
            continue;
        const std::string& threadId = entry.GetThreadId().GetText();
        const bool wanted = IsWanted(entry, host.GetThreadDir());
        host.HolderHeard(threadId, hits.GetAddress(), hits.GetPort(), entry.GetResCount());
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
        host.ThreadHeard(summary);
    }
}

} // namespace

void HandleQueryHit(COverlay& overlay, CConnection& from, CQueryHitMessage& hits,
                    const CRouteEntry& route) {
    IServentHost& host = overlay.Host();
    if (host.IsLogging())
        host.WriteLog(
            QueryHitLogText(EWireEvent::Receive, from.GetPeerAddress(), from.GetPeerPort(), hits));
    if (route.originatedHere) {
        TakeHits(host, hits);
        return;
    }
    if (!ApplyRelayRule(hits.Header()))
        return;
    const CConnection* origin = overlay.RouteBack(route, hits.Encode());
    if (origin && host.IsLogging())
        host.WriteLog(QueryHitLogText(EWireEvent::Relay, origin->GetPeerAddress(),
                                      origin->GetPeerPort(), hits));
}
