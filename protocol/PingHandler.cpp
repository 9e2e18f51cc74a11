// The ping and pong handlers: answering and flooding pings, routing pongs
// back along their ping's path, and connecting to the nodes pongs name. GUI
// thread only.
#include "app/PelmarDoc.h"
#include "protocol/Handlers.h"
#include "protocol/MessageHistory.h"
#include "protocol/ServentSocket.h"
#include "protocol/wire/LogText.h"
#include "protocol/wire/PongMessage.h"
#include "protocol/wire/RelayRule.h"

#include <string>

void HandlePing(CPelmarDoc& doc, CServentSocket& from, CMessageHeader& header,
                const std::uint8_t* message, std::size_t size) {
    doc.WriteLog(PingLogText(EWireEvent::Receive, from.GetPeerAddress(), from.GetPeerPort(), header));

    CPongMessage pong;
    pong.Header() = CMessageHeader(header.GetMessageId(), CMessageHeader::kTypePong);
    pong.SetPort(doc.GetListenPort());
    pong.SetAddress(doc.OwnAddress());
    from.Send(pong.Encode());
    doc.WriteLog(PongLogText(EWireEvent::Send, from.GetPeerAddress(), from.GetPeerPort(), pong));

    if (!ApplyRelayRule(header))
        return;
    // A ping with a payload is relayed whole, so the next stream stays aligned.
    std::string relayed = header.Encode();
    if (size > CMessageHeader::kSize)
        relayed.append(reinterpret_cast<const char*>(message) + CMessageHeader::kSize,
                       size - CMessageHeader::kSize);
    for (CServentSocket* connection : doc.GetConnections()) {
        if (connection == &from || connection->IsClosed() || !connection->IsEstablished())
            continue;
        connection->Send(relayed);
        doc.WriteLog(PingLogText(EWireEvent::Relay, connection->GetPeerAddress(),
                                 connection->GetPeerPort(), header));
    }
}

void HandlePong(CPelmarDoc& doc, CServentSocket& from, CPongMessage& pong,
                const CRouteEntry& route) {
    doc.WriteLog(PongLogText(EWireEvent::Receive, from.GetPeerAddress(), from.GetPeerPort(), pong));
    if (route.originatedHere) {
        ConnectNewServent(doc, pong);
        return;
    }
    if (!ApplyRelayRule(pong.Header()))
        return;
    CServentSocket* origin = doc.FindConnection(route.originSerial);
    if (!origin || origin->IsClosed() || !origin->IsEstablished())
        return;
    origin->Send(pong.Encode());
    doc.WriteLog(PongLogText(EWireEvent::Relay, origin->GetPeerAddress(), origin->GetPeerPort(),
                             pong));
}

void ConnectNewServent(CPelmarDoc& doc, const CPongMessage& pong) {
    // A connect still under way counts toward the target: one ping reaches
    // many nodes and each answers, so a burst of pongs would otherwise open a
    // connection per pong before the first of them completes.
    int held = 0;
    for (const CServentSocket* connection : doc.GetConnections())
        held += connection->IsHeld() ? 1 : 0;
    if (held >= CPelmarDoc::kTargetConnections)
        return;
    const std::string& host = pong.GetAddress().GetText();
    if (host == doc.OwnAddress().GetText() && pong.GetPort() == doc.GetListenPort())
        return;
    // Already connected to that host, on whatever port, or connecting to it:
    // several pongs may name one host before the first connect completes.
    for (const CServentSocket* connection : doc.GetConnections())
        if ((!connection->IsClosed() || connection->IsConnecting()) &&
            connection->GetPeerAddress() == host)
            return;
    doc.OpenConnection(host, pong.GetPort());
    doc.WriteLog("connect new servent " + host + " " + std::to_string(pong.GetPort()));
}
