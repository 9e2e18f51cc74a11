// IReplyStream: a reply produced piece by piece, so that a connection can
// serve a large thread without holding it in memory. The connection pulls the
// next piece whenever its output queue runs low. GUI thread.
#pragma once

#include <string>

class IReplyStream {
public:
    virtual ~IReplyStream() = default;
    // Appends the next piece to out; false once the reply is complete (out may
    // still have received a last piece).
    virtual bool Next(std::string& out) = 0;
};
