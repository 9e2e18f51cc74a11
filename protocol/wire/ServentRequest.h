// CServentRequest: the HTTP request a transfer client sent on a servent
// connection, as far as its request line and headers were understood. Plain
// value kept by the connection; GUI thread.
#pragma once

#include <cstdint>
#include <string>

struct CServentRequest {
    std::string method;     // "GET" or "POST"
    std::string path;       // the URL before "?"; empty when the URL has none
    std::string version;    // "HTTP/1.0" or "HTTP/1.1"
    std::string threadId;   // the "threadid=" parameter
    std::string resId;      // everything after "resid=", empty when absent
    std::string lengthName; // "Content-Length:" once that header was seen
    // In full, never cut to 16 bits: the endpoint that reads the body bounds it.
    // A negative value reads as 0, one beyond 32 bits as 0xFFFFFFFF.
    std::uint32_t contentLength = 0;
};
