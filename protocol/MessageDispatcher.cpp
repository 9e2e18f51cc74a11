// DispatchMessage: the drop / handle / close table of received messages.
#include "protocol/MessageDispatcher.h"

#include "protocol/Connection.h"
#include "protocol/Handlers.h"
#include "protocol/MessageHistory.h"
#include "protocol/Overlay.h"
#include "protocol/wire/MessageHeader.h"
#include "protocol/wire/PongMessage.h"
#include "protocol/wire/QueryHitMessage.h"
#include "protocol/wire/QueryMessage.h"
#include "protocol/wire/UpdateMessage.h"

#include <algorithm>

void DispatchMessage(COverlay& overlay, CConnection& from, const std::uint8_t* message,
                     std::size_t size) {
    auto header = CMessageHeader::Decode(message, size);
    if (!header)
        return;
    const std::string& key = header->GetMessageIdText();
    CRouteEntry route;
    const bool seen = overlay.History().Lookup(key, route);

    switch (header->GetType()) {
    case CMessageHeader::kTypePing:
        if (seen)
            return;
        HandlePing(overlay, from, *header, message, size);
        break;
    case CMessageHeader::kTypeQuery: {
        if (seen)
            return;
        auto query = CQueryMessage::Decode(message, size);
        if (!query)
            return;
        HandleQuery(overlay, from, *query);
        break;
    }
    case CMessageHeader::kTypeUpdate: {
        // A repeat goes no further unless it can carry the update further
        // than every copy relayed here did. Not only once: a hub's direct
        // copy may come after two that came the long way (at 200 nodes a
        // node was sent TTL 4 by the injecting node seventh, after relaying
        // TTL 1 once more). Each such relay raises the TTL relayed, so an
        // update is flooded on at most five times.
        if (seen && (route.originatedHere || header->GetTtl() <= route.relayedTtl + 1))
            return;
        auto update = CUpdateMessage::Decode(message, size);
        if (!update)
            return;
        if (seen) {
            const std::uint8_t again = RelayUpdateAgain(overlay, from, *update);
            overlay.History().NoteRelayed(key, std::max(again, route.relayedTtl));
            return;
        }
        const std::uint8_t relayed = HandleUpdate(overlay, from, *update);
        overlay.History().Record(key, from.Serial(), false);
        overlay.History().NoteRelayed(key, relayed);
        return;
    }
    case CMessageHeader::kTypePong: {
        if (!seen) {
            from.CloseConnection();
            return;
        }
        if (auto pong = CPongMessage::Decode(message, size))
            HandlePong(overlay, from, *pong, route);
        return;
    }
    case CMessageHeader::kTypeQueryHit: {
        if (!seen) {
            from.CloseConnection();
            return;
        }
        if (auto hit = CQueryHitMessage::Decode(message, size))
            HandleQueryHit(overlay, from, *hit, route);
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
    overlay.History().Record(key, from.Serial(), false);
}
