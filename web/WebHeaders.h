// The headers every answer of the web interface carries, whoever writes it:
// the HTTP server's routes, the event stream, and the listener's own refusals
// (too large, too many connections, too slow). Any thread.
#pragma once

#include <QByteArray>

#include <utility>

namespace webheaders {

// Framing and sniffing forbidden, only the page's own scripts run, nothing
// is cached, and no address leaves in a Referer.
inline constexpr std::pair<const char*, const char*> kSecurity[] = {
    {"Content-Security-Policy",
     "default-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'"},
    {"X-Frame-Options", "DENY"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"Cache-Control", "no-store"},
};

// A whole answer that ends the connection: status line, the headers above,
// a JSON body with the reason.
inline QByteArray ClosingAnswer(const char* statusLine, const char* reason) {
    const QByteArray body = QByteArray("{\"error\":\"") + reason + "\"}\r\n";
    QByteArray answer = QByteArray("HTTP/1.1 ") + statusLine + "\r\n";
    answer += "Content-Type: application/json\r\n";
    answer += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    for (const auto& [name, value] : kSecurity)
        answer += QByteArray(name) + ": " + value + "\r\n";
    answer += "Connection: close\r\n\r\n" + body;
    return answer;
}

} // namespace webheaders
