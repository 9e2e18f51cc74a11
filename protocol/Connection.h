// CConnection: one neighbour as the overlay sees it, whatever carries its
// bytes. CServentSocket is the one over TCP; a simulator's memory transport
// provides another. The overlay keeps them in its list by pointer and gives
// each a serial number when it is appended. Thread of the overlay only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class COverlay;

class CConnection {
public:
    virtual ~CConnection() = default;

    // Given by the overlay and never reused, so a route to a deleted
    // connection can never lead to a new one. 0 until appended.
    std::uint64_t Serial() const { return m_serial; }

    // The handshake is through: overlay messages flow both ways.
    virtual bool IsEstablished() const = 0;
    virtual bool IsClosed() const = 0;
    // An outgoing connect that has neither completed nor failed yet.
    virtual bool IsConnecting() const = 0;
    // Established, or opened by this node and still connecting or in its
    // handshake: what counts toward the connections the node keeps.
    virtual bool IsHeld() const = 0;
    virtual const std::string& GetPeerAddress() const = 0;
    virtual std::uint16_t GetPeerPort() const = 0;

    // Queues bytes behind everything sent before; never blocks.
    virtual void Send(std::string_view bytes) = 0;
    // An overlay message this node made: it waits until this side's
    // handshake lines have gone out, and never goes to a transfer client.
    virtual void SendMessage(std::string_view bytes) = 0;
    // Closes at once; the overlay learns of it through StateChanged.
    virtual void CloseConnection() = 0;
    // The overlay has swept the connection out of its list: it is deleted
    // now, or as soon as none of its own calls is running.
    virtual void Release() { delete this; }

private:
    friend class COverlay;
    std::uint64_t m_serial = 0;
};
