// The update handler: shows an announced thread in the thread list, floods
// the announcement on with the randomised TTL and hops rule and, on a cache
// servent, fetches every thread whose update it passes on. GUI thread only.
#include "app/PelmarDoc.h"
#include "protocol/Handlers.h"
#include "protocol/ServentSocket.h"
#include "protocol/wire/LogText.h"
#include "protocol/wire/RelayRule.h"
#include "protocol/wire/UpdateMessage.h"

#include <string>
#include <vector>

void HandleUpdate(CPelmarDoc& doc, CServentSocket& from, CUpdateMessage& update) {
    const std::string received =
        UpdateLogText(EWireEvent::Receive, from.GetPeerAddress(), from.GetPeerPort(), update);
    CThreadSummary summary;
    summary.category = update.GetCategory();
    summary.threadId = update.GetThreadId().GetText();
    summary.title = update.GetTitle();
    summary.resCount = update.GetResCount();
    summary.name = update.GetName();
    summary.time = update.GetTime();
    summary.isNew = true;

    if (!ApplyUpdateRelayRule(update.Header(), [&doc] { return doc.Random(); })) {
        doc.WriteLog(received);
        doc.UpdateThreadListItem(summary);
        return;
    }

    // Every neighbour gets the update before any line is logged or the list
    // is touched: a flood crosses the overlay at the pace of its slowest
    // hops, and each log line costs an open, a write and a close. The log
    // still reads receive first, then the relays in connection order. The
    // payload is encoded anew from the decoded fields, so the next node gets
    // a well-formed message whatever padding this one carried.
    const std::string relayed = update.Encode();
    std::vector<CServentSocket*> sentTo;
    for (CServentSocket* connection : doc.GetConnections()) {
        if (connection == &from || connection->IsClosed() || !connection->IsEstablished())
            continue;
        connection->Send(relayed);
        sentTo.push_back(connection);
    }
    doc.WriteLog(received);
    for (CServentSocket* connection : sentTo)
        doc.WriteLog(UpdateLogText(EWireEvent::Relay, connection->GetPeerAddress(),
                                   connection->GetPeerPort(), update));
    // Only the list learns of the thread here; its data comes by a fetch.
    doc.UpdateThreadListItem(summary);

    // A cache servent keeps copies of the threads it helps announce. An update
    // without a thread id names nothing to fetch: following it would clear
    // the selection and ask the overlay for the whole category instead.
    if (doc.GetCacheMode() != "CacheServent" || update.GetThreadId().IsNull())
        return;
    doc.SetCurrentThreadId(summary.threadId);
    doc.GetThread(summary.threadId, 0);
}
