// The event log texts for overlay messages sent, received and relayed. Each
// names the peer (address text and port) of the connection concerned. Plain
// functions; GUI thread (the handlers and the node's senders).
#pragma once

#include "protocol/wire/MessageHeader.h"

#include <cstdint>
#include <string>
#include <string_view>

class CPongMessage;
class CQueryMessage;
class CQueryHitMessage;
class CUpdateMessage;

enum class EWireEvent {
    Receive, // "receive ..."
    Relay,   // "relay ..."
    Send,    // "send ...": a message this node made (ping, query, update) or answers with
};

// "receive ping message <ip> <port> MSGID=<id>", likewise "relay ping ...";
// a ping this node sends has two blanks before "MSGID=".
std::string PingLogText(EWireEvent event, std::string_view host, std::uint16_t port,
                        const CMessageHeader& header);

// Received and relayed pongs add " LIVE=<address> <port>"; a sent pong ends
// after the message id.
std::string PongLogText(EWireEvent event, std::string_view host, std::uint16_t port,
                        const CPongMessage& pong);

// "... MSGID=<id> TID=<thread id>"; the null thread id leaves "TID=" last.
std::string QueryLogText(EWireEvent event, std::string_view host, std::uint16_t port,
                         const CQueryMessage& query);

// "... MSGID=<id> HIT=<count>"; received and relayed queryhits add
// " SITE=<address> <port>" of the responding node.
std::string QueryHitLogText(EWireEvent event, std::string_view host, std::uint16_t port,
                            const CQueryHitMessage& hit);

// "... MSGID=<id> TID=<thread id>".
std::string UpdateLogText(EWireEvent event, std::string_view host, std::uint16_t port,
                          const CUpdateMessage& update);
