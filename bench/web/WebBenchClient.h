// The web benchmarks' client: one GET with the token on a connection of its
// own, read until the reply's Content-Length is in. Blocking POSIX sockets,
// so the client thread of a benchmark times the node and not a second event
// loop. Header only; the benchmarks' client threads.
#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

struct SWebBenchReply {
    long total = -1; // the whole reply's bytes; -1 when no connection was made
    long body = -1;  // its body's; -1 when no head came
};

inline SWebBenchReply WebBenchGet(const char* address, std::uint16_t port, const std::string& token,
                                  const std::string& path) {
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: " + address + ":" +
                                std::to_string(port) + "\r\nAuthorization: Bearer " + token +
                                "\r\nConnection: close\r\n\r\n";
    SWebBenchReply result;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    ::inet_pton(AF_INET, address, &to.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return result;
    }
    ::send(fd, request.data(), request.size(), 0);
    std::string reply;
    std::size_t expected = 0; // the whole reply's size, once its head is in
    std::vector<char> buffer(1 << 20);
    for (ssize_t n; (n = ::recv(fd, buffer.data(), buffer.size(), 0)) > 0;) {
        reply.append(buffer.data(), static_cast<std::size_t>(n));
        if (expected == 0) {
            const auto end = reply.find("\r\n\r\n");
            const auto length = reply.find("Content-Length: ");
            if (end != std::string::npos && length != std::string::npos && length < end)
                expected = end + 4 + std::stoul(reply.substr(length + 16, 16));
        }
        if (expected != 0 && reply.size() >= expected)
            break;
    }
    ::close(fd);
    result.total = static_cast<long>(reply.size());
    const auto end = reply.find("\r\n\r\n");
    if (end != std::string::npos)
        result.body = static_cast<long>(reply.size() - end - 4);
    return result;
}
