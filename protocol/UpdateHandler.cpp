// The update handler: shows an announced thread in the thread list and floods
// the announcement on with the randomised TTL and hops rule; the node decides
// what else an announcement it passed on means to it (a cache servent fetches
// the thread). Thread of the overlay only.
#include "protocol/Connection.h"
#include "protocol/Handlers.h"
#include "protocol/Overlay.h"
#include "protocol/ServentHost.h"
#include "protocol/wire/LogText.h"
#include "protocol/wire/RelayRule.h"
#include "protocol/wire/UpdateMessage.h"

#include <string>
#include <vector>

namespace {
void LogRelays(IServentHost& host, const std::vector<CConnection*>& sentTo,
               const CUpdateMessage& update) {
    if (!host.IsLogging())
        return;
    for (const CConnection* connection : sentTo)
        host.WriteLog(UpdateLogText(EWireEvent::Relay, connection->GetPeerAddress(),
                                    connection->GetPeerPort(), update));
}
} // namespace

std::uint8_t RelayUpdateAgain(COverlay& overlay, CConnection& from, CUpdateMessage& update) {
    IServentHost& host = overlay.Host();
    if (!ApplyUpdateRelayRule(update.Header(), [&host] { return host.Random(); }))
        return 0;
    LogRelays(host, overlay.Flood(update.Encode(), &from), update);
    return update.Header().GetTtl();
}

std::uint8_t HandleUpdate(COverlay& overlay, CConnection& from, CUpdateMessage& update) {
    IServentHost& host = overlay.Host();
    const bool logging = host.IsLogging();
    const std::string received = logging ? UpdateLogText(EWireEvent::Receive, from.GetPeerAddress(),
                                                         from.GetPeerPort(), update)
                                         : std::string();
    CThreadSummary summary;
    summary.category = update.GetCategory();
    summary.threadId = update.GetThreadId().GetText();
    summary.title = update.GetTitle();
    summary.resCount = update.GetResCount();
    summary.name = update.GetName();
    summary.time = update.GetTime();
    summary.isNew = true;

    if (!ApplyUpdateRelayRule(update.Header(), [&host] { return host.Random(); })) {
        if (logging)
            host.WriteLog(received);
        host.ThreadHeard(summary);
        return 0;
    }

    // Every neighbour gets the update before any line is logged or the list
    // is touched: a flood crosses the overlay at the pace of its slowest
    // hops, and each log line costs an open, a write and a close. The log
    // still reads receive first, then the relays in connection order. The
    // payload is encoded anew from the decoded fields, so the next node gets
    // a well-formed message whatever padding this one carried.
    const std::vector<CConnection*> sentTo = overlay.Flood(update.Encode(), &from);
    if (logging)
        host.WriteLog(received);
    LogRelays(host, sentTo, update);
    host.ThreadAnnounced(summary);
    return update.Header().GetTtl();
}
