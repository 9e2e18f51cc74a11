// Classifies one text line of a servent connection before the handshake or a
// request has ended its header block: handshake lines, the "Reflect:" header,
// "Content-Length:" and the GET / POST request line. Plain function; GUI thread.
#pragma once

#include "protocol/wire/ServentRequest.h"

#include <string>
#include <string_view>

enum class EServentLine {
    Ignored,       // matches no rule
    Connect,       // "PELMAR CONNECT/0.1": the peer opens a servent connection
    ConnectOk,     // "PELMAR OK": the peer accepted ours
    ConnectRefuse, // "PELMAR CONNECT/1.0": a version this node refuses
    Reflect,       // a line holding "Reflect:": the peer tells us our address
    ContentLength, // "Content-Length: <n>"
    Request,       // "GET ..." or "POST ..."
};

struct SServentLine {
    EServentLine kind = EServentLine::Ignored;
    // Reflect: the text after the line's first ":" without leading white space.
    std::string reflectAddress;
    // Request: a POST line, which turns the connection to reading a body even
    // when the rest of its line is not understood.
    bool postMode = false;
};

// Tests in a fixed order: the three handshake lines (whole line, exact case),
// a "Reflect:" anywhere, then the word before the first space. Content-Length
// and request lines update `request`: the method always, the other request
// fields only when the line has a URL and a version "HTTP/1.0" or "HTTP/1.1".
SServentLine ParseServentLine(std::string_view line, CServentRequest& request);
