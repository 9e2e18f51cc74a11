// The handlers of the overlay messages, called by the connection's dispatcher
// for a whole, decoded message. They reach the node through the overlay's
// host only. Thread of the overlay only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CConnection;
class COverlay;
class CMessageHeader;
class CPongMessage;
class CQueryMessage;
class CQueryHitMessage;
class CUpdateMessage;
struct CRouteEntry;

// A ping not seen before: answer with a pong and relay the ping (header and
// any payload, so the next node's stream stays aligned).
void HandlePing(COverlay& overlay, CConnection& from, CMessageHeader& header,
                const std::uint8_t* message, std::size_t size);
// A pong whose ping is known: connect to the node it names, or route it back.
void HandlePong(COverlay& overlay, CConnection& from, CPongMessage& pong, const CRouteEntry& route);
// Opens a connection to the node a pong named, while fewer than four are up.
void ConnectNewServent(COverlay& overlay, const CPongMessage& pong);

// A query not seen before: answer from the store when it holds matches, and
// flood the query on.
void HandleQuery(COverlay& overlay, CConnection& from, CQueryMessage& query);
// Fills hits' entries with the threads held here that match the query: the
// thread asked for, or the first ten of the category's index. Returns their
// number (0 to 10).
int CollectQueryHits(const std::string& root, const CQueryMessage& query, CQueryHitMessage& hits);
// A queryhit whose query is known: take its hits if the query was ours, else
// route it one step back along the query's path.
void HandleQueryHit(COverlay& overlay, CConnection& from, CQueryHitMessage& hit,
                    const CRouteEntry& route);
// An update not seen before: show it in the list, flood it on; the node
// decides what else it means. Returns the TTL its relayed copies carry, 0
// when none went.
std::uint8_t HandleUpdate(COverlay& overlay, CConnection& from, CUpdateMessage& update);
// A repeat of an update that came with more TTL left than every copy relayed
// here: flooded on once more (nothing else), so that a node whose first copy
// came the long way does not stop the update short of its other neighbours.
// Returns the TTL of the copies sent, 0 when none went.
std::uint8_t RelayUpdateAgain(COverlay& overlay, CConnection& from, CUpdateMessage& update);
