// CBlockingSocket: a TCP client socket whose connect, send and receive wait
// for their outcome with bounded waits (poll), for the clients that wait for
// their answers: the fetch worker on its own thread and the reflector request
// on the GUI thread. One thread uses a socket at a time.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CBlockingSocket {
public:
    static constexpr int kDefaultTimeout = 2; // seconds a receive may wait
    static constexpr int kConnectAttempts = 3;
    static constexpr std::chrono::milliseconds kConnectPause{250};
    // After the last attempt a connect under way gets this much longer.
    static constexpr std::chrono::milliseconds kConnectGrace{50};
    // A send gives up when the peer takes no byte for this long.
    static constexpr std::chrono::seconds kSendStall{10};

    CBlockingSocket() = default;
    ~CBlockingSocket();
    CBlockingSocket(const CBlockingSocket&) = delete;
    CBlockingSocket& operator=(const CBlockingSocket&) = delete;

    // Outgoing connections come from this IPv4 address (the node's --address);
    // empty: any local address. Takes effect on the next Create.
    void SetBindAddress(const std::string& address) { m_bindAddress = address; }
    const std::string& GetBindAddress() const { return m_bindAddress; }

    // A fresh TCP socket on any local port (closing one left open); false when
    // the socket cannot be made or bound to the bind address.
    bool Create();
    bool Create(const std::string& bindAddress);

    void SetTimeout(int seconds) { m_timeout = seconds < 0 ? 0 : seconds; }
    int GetTimeout() const { return m_timeout; }

    // Up to three attempts, each after a 250 ms pause; a connect still under
    // way carries over to the next attempt, a refused one is issued again. A
    // peer must therefore answer within about 750 ms. Already connected: true.
    bool Connect(const std::string& address, std::uint16_t port);

    // Hands every byte to the socket; returns length, or -1 on an error or
    // when the peer takes nothing for kSendStall.
    int Send(const void* data, std::size_t length);
    int Send(const std::string& data) { return Send(data.data(), data.size()); }

    // At most size bytes: their count, 0 when the peer has closed, -1 on an
    // error or when no data came within the time-out (whole seconds).
    int Receive(void* buffer, std::size_t size);

    void Close();
    bool IsConnected() const { return m_connected; }
    // Takes over a connected stream socket (closing one left open); tests and
    // fuzz targets hand it one end of a socket pair.
    void Adopt(int fd);

    // Reply reading state kept with the socket for its users: the receive
    // area (sized by them before each request) and the header line being read.
    std::vector<char>& ReceiveBuffer() { return m_receiveBuffer; }
    std::string& HeaderLine() { return m_headerLine; }

    // The first IPv4 address of a host name or dotted text; false when it
    // cannot be resolved.
    static bool ResolveHost(const std::string& host, std::string& dottedText);
    // The first IPv4 address of this machine's host name.
    static bool LocalHostAddress(std::string& dottedText);

private:
    bool OpenSocket();
    void CloseSocket();
    // 1 connected, -1 failed, 0 still under way at the deadline.
    int WaitConnected(std::chrono::steady_clock::time_point deadline);

    int m_fd = -1;
    bool m_connected = false;
    int m_timeout = kDefaultTimeout;
    std::string m_bindAddress;
    std::vector<char> m_receiveBuffer;
    std::string m_headerLine;
};
