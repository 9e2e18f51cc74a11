// WebClient: plain HTTP/1.1 requests to a web interface over a real socket,
// with every header under the test's control (Host and Origin included). The
// event loop runs while it waits, so the server may live in the same process.
#pragma once

#include "support/Wait.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

#include <map>
#include <string>

struct WebReply {
    int status = 0;
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;

    QJsonDocument Json() const { return QJsonDocument::fromJson(QByteArray::fromStdString(body)); }
    QJsonObject Object() const { return Json().object(); }
    QJsonArray Array() const { return Json().array(); }
    std::string Header(const std::string& name) const {
        const auto found = headers.find(name);
        return found == headers.end() ? std::string() : found->second;
    }
};

class WebClient {
public:
    WebClient(std::string address, int port, std::string token = {})
        : m_address(std::move(address)), m_port(port), m_token(std::move(token)) {}

    // extra: whole header lines ("Origin: ...\r\n"); host empty: the address.
    WebReply Call(const std::string& method, const std::string& path, const std::string& body = {},
                  const std::string& extra = {}, const std::string& host = {},
                  bool withToken = true) const {
        std::string request = method + " " + path + " HTTP/1.1\r\nHost: " +
                              (host.empty() ? m_address + ":" + std::to_string(m_port) : host) +
                              "\r\nConnection: close\r\n";
        if (withToken && !m_token.empty())
            request += "Authorization: Bearer " + m_token + "\r\n";
        if (!body.empty() || method == "POST")
            request +=
                "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\n";
        request += extra + "\r\n" + body;
        return Raw(request);
    }
    WebReply Get(const std::string& path) const { return Call("GET", path); }
    WebReply Post(const std::string& path, const QJsonObject& body) const {
        return Call("POST", path, QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString());
    }

    // Sends bytes as they are; the reply ends when the server closes.
    WebReply Raw(const std::string& request, int timeoutMs = 10000) const {
        QTcpSocket socket;
        socket.connectToHost(QString::fromStdString(m_address), static_cast<quint16>(m_port));
        std::string received;
        if (!WaitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000))
            return {};
        socket.write(request.data(), static_cast<qint64>(request.size()));
        WaitUntil(
            [&] {
                received += socket.readAll().toStdString();
                return socket.state() == QAbstractSocket::UnconnectedState || Complete(received);
            },
            timeoutMs);
        received += socket.readAll().toStdString();
        return Parse(received);
    }

private:
    // A reply with a Content-Length is complete without waiting for the close.
    static bool Complete(const std::string& received) {
        const auto end = received.find("\r\n\r\n");
        if (end == std::string::npos)
            return false;
        const WebReply head = Parse(received.substr(0, end + 4));
        const std::string length = head.Header("content-length");
        return !length.empty() && received.size() >= end + 4 + std::stoul(length);
    }

    static WebReply Parse(const std::string& received) {
        WebReply reply;
        const auto end = received.find("\r\n\r\n");
        if (received.size() < 12 || end == std::string::npos)
            return reply;
        reply.status = std::atoi(received.substr(9, 3).c_str());
        std::size_t at = received.find("\r\n") + 2;
        while (at < end) {
            const auto next = received.find("\r\n", at);
            const std::string line = received.substr(at, next - at);
            const auto colon = line.find(':');
            if (colon != std::string::npos) {
                std::string name = line.substr(0, colon);
                for (char& c : name)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                reply.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
            }
            at = next + 2;
        }
        reply.body = received.substr(end + 4);
        return reply;
    }

    std::string m_address;
    int m_port;
    std::string m_token;
};
