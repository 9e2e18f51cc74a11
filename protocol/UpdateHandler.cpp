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

void HandleUpdate(CPelmarDoc& doc, CServentSocket& from, CUpdateMessage& update) {
    doc.WriteLog(
        UpdateLogText(EWireEvent::Receive, from.GetPeerAddress(), from.GetPeerPort(), update));

    // Only the list learns of the thread here; its data comes by a fetch.
    CThreadSummary summary;
    summary.category = update.GetCategory();
    summary.threadId = update.GetThreadId().GetText();
    summary.title = update.GetTitle();
    summary.resCount = update.GetResCount();
    summary.name = update.GetName();
    summary.time = update.GetTime();
    summary.isNew = true;
    doc.UpdateThreadListItem(summary);

    if (!ApplyUpdateRelayRule(update.Header(), [&doc] { return doc.Random(); }))
        return;

    // The payload is encoded anew from the decoded fields, so the next node
    // gets a well-formed message whatever padding this one carried.
    const std::string relayed = update.Encode();
    for (CServentSocket* connection : doc.GetConnections()) {
        if (connection == &from || connection->IsClosed() || !connection->IsEstablished())
            continue;
        connection->Send(relayed);
        doc.WriteLog(UpdateLogText(EWireEvent::Relay, connection->GetPeerAddress(),
                                   connection->GetPeerPort(), update));
    }

    // A cache servent keeps copies of the threads it helps announce. An update
    // without a thread id names nothing to fetch: following it would clear
    // the selection and ask the overlay for the whole category instead.
    if (doc.GetCacheMode() != "CacheServent" || update.GetThreadId().IsNull())
        return;
    doc.SetCurrentThreadId(summary.threadId);
    doc.GetThread(summary.threadId, 0);
}
