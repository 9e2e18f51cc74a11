// The event log texts for overlay messages.
#include "protocol/wire/LogText.h"

#include "protocol/wire/PongMessage.h"
#include "protocol/wire/QueryHitMessage.h"
#include "protocol/wire/QueryMessage.h"
#include "protocol/wire/UpdateMessage.h"

namespace {

const char* EventWord(EWireEvent event) {
    switch (event) {
    case EWireEvent::Receive:
        return "receive ";
    case EWireEvent::Relay:
        return "relay ";
    case EWireEvent::Send:
        break;
    }
    return "send ";
}

// "<event> <kind> message <host> <port>"
std::string Start(EWireEvent event, const char* kind, std::string_view host, std::uint16_t port) {
    std::string text = EventWord(event);
    text += kind;
    text += " message ";
    text += host;
    text += ' ';
    text += std::to_string(port);
    return text;
}

void AppendMessageId(std::string& text, const CMessageHeader& header) {
    text += " MSGID=";
    text += header.GetMessageIdText();
}

} // namespace

std::string PingLogText(EWireEvent event, std::string_view host, std::uint16_t port,
                        const CMessageHeader& header) {
    std::string text = Start(event, "ping", host, port);
    if (event == EWireEvent::Send)
        text += ' ';
    AppendMessageId(text, header);
    return text;
}

std::string PongLogText(EWireEvent event, std::string_view host, std::uint16_t port,
                        const CPongMessage& pong) {
    std::string text = Start(event, "pong", host, port);
    AppendMessageId(text, pong.Header());
    if (event != EWireEvent::Send) {
        text += " LIVE=";
        text += pong.GetAddress().GetText();
        text += ' ';
        text += std::to_string(pong.GetPort());
    }
    return text;
}

std::string QueryLogText(EWireEvent event, std::string_view host, std::uint16_t port,
                         const CQueryMessage& query) {
    std::string text = Start(event, "query", host, port);
    AppendMessageId(text, query.Header());
    text += " TID=";
    text += query.GetThreadId().GetText();
    return text;
}

std::string QueryHitLogText(EWireEvent event, std::string_view host, std::uint16_t port,
                            const CQueryHitMessage& hit) {
    std::string text = Start(event, "queryhit", host, port);
    AppendMessageId(text, hit.Header());
    text += " HIT=";
    text += std::to_string(hit.GetHitCount());
    if (event != EWireEvent::Send) {
        text += " SITE=";
        text += hit.GetAddress().GetText();
        text += ' ';
        text += std::to_string(hit.GetPort());
    }
    return text;
}

std::string UpdateLogText(EWireEvent event, std::string_view host, std::uint16_t port,
                          const CUpdateMessage& update) {
    std::string text = Start(event, "update", host, port);
    AppendMessageId(text, update.Header());
    text += " TID=";
    text += update.GetThreadId().GetText();
    return text;
}
