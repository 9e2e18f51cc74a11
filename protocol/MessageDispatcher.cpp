// DispatchMessage: the drop / handle / close table of received messages.
#include "protocol/MessageDispatcher.h"

#include "app/PelmarDoc.h"
#include "protocol/Handlers.h"
#include "protocol/MessageHistory.h"
#include "protocol/ServentSocket.h"
#include "protocol/wire/MessageHeader.h"
#include "protocol/wire/PongMessage.h"
#include "protocol/wire/QueryHitMessage.h"
#include "protocol/wire/QueryMessage.h"
#include "protocol/wire/UpdateMessage.h"

void DispatchMessage(CPelmarDoc& doc, CServentSocket& from, const std::uint8_t* message,
                     std::size_t size) {
    auto header = CMessageHeader::Decode(message, size);
    if (!header)
        return;
    const std::string key = header->GetMessageIdText();
    CRouteEntry route;
    const bool seen = doc.History().Lookup(key, route);

    switch (header->GetType()) {
    case CMessageHeader::kTypePing:
        if (seen)
            return;
        HandlePing(doc, from, *header, message, size);
        break;
    case CMessageHeader::kTypeQuery: {
        if (seen)
            return;
        auto query = CQueryMessage::Decode(message, size);
        if (!query)
            return;
        HandleQuery(doc, from, *query);
        break;
    }
    case CMessageHeader::kTypeUpdate: {
        if (seen)
            return;
        auto update = CUpdateMessage::Decode(message, size);
        if (!update)
            return;
        HandleUpdate(doc, from, *update);
        break;
    }
    case CMessageHeader::kTypePong: {
        if (!seen) {
            from.CloseConnection();
            return;
        }
        if (auto pong = CPongMessage::Decode(message, size))
            HandlePong(doc, from, *pong, route);
        return;
    }
    case CMessageHeader::kTypeQueryHit: {
        if (!seen) {
            from.CloseConnection();
            return;
        }
        if (auto hit = CQueryHitMessage::Decode(message, size))
            HandleQueryHit(doc, from, *hit, route);
        return;
    }
    case CMessageHeader::kTypeReserved:
        return;
    default:
        if (!seen)
            from.CloseConnection();
        return;
    }
    // A request is remembered only after its handler ran.
    doc.History().Record(key, from.Serial(), false);
}
