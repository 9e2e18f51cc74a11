// The TTL and hops rules applied before a received message is passed on.
// Plain functions; GUI thread (the handlers).
#pragma once

#include "protocol/wire/MessageHeader.h"

#include <functional>

// Hops beyond this stop a message whatever its TTL.
inline constexpr unsigned kMaxRelayHops = 7;

// Ping, pong, query and queryhit: hops + 1 above 7 stops, else TTL - 1 of 0
// stops. The header keeps the new values (TTL is left alone when hops stops
// the message); true when the message is to be relayed.
bool ApplyRelayRule(CMessageHeader& header);

// Update: a fresh update (hops 0, TTL 5) keeps each of those values with even
// odds, so announcements spread further than searches. Hops 0 becomes 1 on an
// odd draw, other hops grow by 1; TTL 5 becomes 4 on an odd draw, other TTLs
// shrink by 1. Two independent draws, hops first; the TTL draw is made only
// when hops allows relaying.
bool ApplyUpdateRelayRule(CMessageHeader& header, const std::function<unsigned()>& random);
