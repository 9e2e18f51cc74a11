// The ping and pong handlers: answering and flooding pings, routing pongs
// back along their ping's path, and connecting to the nodes pongs name.
// Thread of the overlay only.
#include "protocol/Connection.h"
#include "protocol/Handlers.h"
#include "protocol/Overlay.h"
#include "protocol/ServentHost.h"
#include "protocol/wire/LogText.h"
#include "protocol/wire/PongMessage.h"
#include "protocol/wire/RelayRule.h"

#include <string>
#include <vector>

void HandlePing(COverlay& overlay, CConnection& from, CMessageHeader& header,
                const std::uint8_t* message, std::size_t size) {
    IServentHost& host = overlay.Host();
    const bool logging = host.IsLogging();
    if (logging)
        host.WriteLog(
            PingLogText(EWireEvent::Receive, from.GetPeerAddress(), from.GetPeerPort(), header));

    CPongMessage pong;
    pong.Header() = CMessageHeader(header.GetMessageId(), CMessageHeader::kTypePong);
    pong.SetPort(host.GetListenPort());
    pong.SetAddress(host.OwnAddress());
    from.Send(pong.Encode());
    if (logging)
        host.WriteLog(
            PongLogText(EWireEvent::Send, from.GetPeerAddress(), from.GetPeerPort(), pong));

    if (!ApplyRelayRule(header))
        return;
    // A ping with a payload is relayed whole, so the next stream stays aligned.
    std::string relayed = header.Encode();
    if (size > CMessageHeader::kSize)
        relayed.append(reinterpret_cast<const char*>(message) + CMessageHeader::kSize,
                       size - CMessageHeader::kSize);
    const std::vector<CConnection*> sentTo = overlay.Flood(relayed, &from);
    if (!logging)
        return;
    for (const CConnection* connection : sentTo)
        host.WriteLog(PingLogText(EWireEvent::Relay, connection->GetPeerAddress(),
                                  connection->GetPeerPort(), header));
}

void HandlePong(COverlay& overlay, CConnection& from, CPongMessage& pong,
                const CRouteEntry& route) {
    IServentHost& host = overlay.Host();
    if (host.IsLogging())
        host.WriteLog(
            PongLogText(EWireEvent::Receive, from.GetPeerAddress(), from.GetPeerPort(), pong));
    if (route.originatedHere) {
        ConnectNewServent(overlay, pong);
        return;
    }
    if (!ApplyRelayRule(pong.Header()))
        return;
    const CConnection* origin = overlay.RouteBack(route, pong.Encode());
    if (origin && host.IsLogging())
        host.WriteLog(
            PongLogText(EWireEvent::Relay, origin->GetPeerAddress(), origin->GetPeerPort(), pong));
}

void ConnectNewServent(COverlay& overlay, const CPongMessage& pong) {
    IServentHost& host = overlay.Host();
    // A connect still under way counts toward the target: one ping reaches
    // many nodes and each answers, so a burst of pongs would otherwise open a
    // connection per pong before the first of them completes.
    if (overlay.CountHeld() >= COverlay::kTargetConnections)
        return;
    const std::string& address = pong.GetAddress().GetText();
    if (address == host.OwnAddress().GetText() && pong.GetPort() == host.GetListenPort())
        return;
    // Already connected to that host, on whatever port, or connecting to it:
    // several pongs may name one host before the first connect completes.
    for (const CConnection* connection : overlay.Connections())
        if ((!connection->IsClosed() || connection->IsConnecting()) &&
            connection->GetPeerAddress() == address)
            return;
    overlay.Open(address, pong.GetPort());
    if (host.IsLogging())
        host.WriteLog("connect new servent " + address + " " + std::to_string(pong.GetPort()));
}
