// The handlers of the overlay messages, called by the connection's dispatcher
// for a whole, decoded message. GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>

class CPelmarDoc;
class CServentSocket;
class CMessageHeader;
class CPongMessage;
class CQueryMessage;
class CQueryHitMessage;
class CUpdateMessage;
struct CRouteEntry;

// A ping not seen before: answer with a pong and relay the ping (header and
// any payload, so the next node's stream stays aligned).
void HandlePing(CPelmarDoc& doc, CServentSocket& from, CMessageHeader& header,
                const std::uint8_t* message, std::size_t size);
// A pong whose ping is known: connect to the node it names, or route it back.
void HandlePong(CPelmarDoc& doc, CServentSocket& from, CPongMessage& pong,
                const CRouteEntry& route);
// Opens a connection to the node a pong named, while fewer than four are up.
void ConnectNewServent(CPelmarDoc& doc, const CPongMessage& pong);

// A query not seen before: answer from the store when it holds matches, and
// flood the query on.
void HandleQuery(CPelmarDoc& doc, CServentSocket& from, CQueryMessage& query);
// Fills hits' entries with the threads held here that match the query: the
// thread asked for, or the first ten of the category's index. Returns their
// number (0 to 10).
int CollectQueryHits(CPelmarDoc& doc, const CQueryMessage& query, CQueryHitMessage& hits);
// A queryhit whose query is known: take its hits if the query was ours, else
// route it one step back along the query's path.
void HandleQueryHit(CPelmarDoc& doc, CServentSocket& from, CQueryHitMessage& hit,
                    const CRouteEntry& route);
void HandleUpdate(CPelmarDoc& doc, CServentSocket& from, CUpdateMessage& update);
