// The transfer endpoints a connection serves to HTTP clients on the node's
// port: the response list, thread and response files, and the chunked POST
// reply. Each reads the store under the root it is given and returns the
// reply for the connection to send. Called on the GUI thread (by
// CServentSocket).
#pragma once

#include "transfer/ReplyStream.h"

#include <memory>
#include <optional>
#include <string>

struct CServentRequest;

// What goes back: bytes to send now, then a stream pulled as the connection
// drains (either may be empty).
struct CTransferReply {
    std::string bytes;
    std::unique_ptr<IReplyStream> stream;
};

namespace transfer {
// GET /get_res_list/?threadid=T
CTransferReply ServeResList(const std::string& root, const CServentRequest& request);
// GET /get_thread/?threadid=T[&resid=R]
CTransferReply ServeThreadFile(const std::string& root, const CServentRequest& request);
// POST /get_thread/: called each time body bytes arrive, with all body bytes
// so far. Empty while the body is still on its way; once it has answered,
// later bytes are ignored by the caller.
std::optional<CTransferReply> ServePostBody(const std::string& root, const CServentRequest& request,
                                            const std::string& body);
} // namespace transfer
