// DispatchMessage: one whole overlay message from a connection, checked
// against the message history and handed to its handler. GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>

class CPelmarDoc;
class CServentSocket;

// Requests (ping, query, update) seen before are dropped; replies (pong,
// queryhit) to unknown requests, and unknown types never seen, close the
// connection: the peer is out of step. Messages too short for their kind are
// dropped without effect.
void DispatchMessage(CPelmarDoc& doc, CServentSocket& from, const std::uint8_t* message,
                     std::size_t size);
