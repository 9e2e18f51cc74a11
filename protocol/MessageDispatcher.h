// DispatchMessage: one whole overlay message from a connection, checked
// against the overlay's message history and handed to its handler. Thread of
// the overlay only.
#pragma once

#include <cstddef>
#include <cstdint>

class CConnection;
class COverlay;

// Requests (ping, query, update) seen before are dropped; replies (pong,
// queryhit) to unknown requests, and unknown types never seen, close the
// connection: the peer is out of step. Messages too short for their kind are
// dropped without effect.
void DispatchMessage(COverlay& overlay, CConnection& from, const std::uint8_t* message,
                     std::size_t size);
