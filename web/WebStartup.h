// Starting the web interface from the command line, for both front ends, on
// the GUI thread after the node has started.
#pragma once

#include "app/CommandLine.h"
#include "web/WebInterface.h"

#include <memory>

class CPelmarDoc;
class CReader;
class CUiFanOut;

inline constexpr quint16 kDefaultWebPort = 6341;

// Where the interface listens: --web, else (when on by default) port 6341 on
// 127.0.0.1, or on --address when that is a loopback address.
CWebInterface::Options WebOptionsFor(const CCommandLine& line);

// The web interface as one of the document's views for as long as it lives.
class CWebFrontEnd {
public:
    // Serves when --web asks for it or onByDefault, never with --web off. Says on standard error
    // when the port cannot be bound (the node runs on without it) and warns
    // when the address is not a loopback one; prints the page's address and
    // where its token is kept (never the token) to standard output.
    // reader: the reader's tools the page offers (nullptr: none).
    CWebFrontEnd(CPelmarDoc& doc, CUiFanOut& fanOut, const CCommandLine& line, bool onByDefault,
                 CReader* reader = nullptr);
    ~CWebFrontEnd();
    CWebFrontEnd(const CWebFrontEnd&) = delete;
    CWebFrontEnd& operator=(const CWebFrontEnd&) = delete;

    CWebInterface* Web() const { return m_web.get(); }

private:
    CUiFanOut& m_fanOut;
    std::unique_ptr<CWebInterface> m_web;
};
