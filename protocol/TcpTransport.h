// CTcpTransport: the node's transport: outgoing connections are
// CServentSockets over TCP, made from the bind address when one is set.
// GUI thread only.
#pragma once

#include "protocol/ServentTransport.h"

#include <string>

class CTcpTransport : public IServentTransport {
public:
    explicit CTcpTransport(std::string bindAddress) : m_bindAddress(std::move(bindAddress)) {}
    CConnection* Open(COverlay& overlay, const std::string& host, std::uint16_t port) override;

private:
    std::string m_bindAddress;
};
