// IServentTransport: how the overlay opens a connection to another node.
// CTcpTransport opens a CServentSocket over TCP; a simulator opens one over
// its memory transport. Thread of the overlay only.
#pragma once

#include <cstdint>
#include <string>

class CConnection;
class COverlay;

class IServentTransport {
public:
    virtual ~IServentTransport() = default;
    // A new outgoing connection to host:port, closed until its connect
    // completes; the overlay appends it to its list. It reports to overlay.
    virtual CConnection* Open(COverlay& overlay, const std::string& host, std::uint16_t port) = 0;
};
