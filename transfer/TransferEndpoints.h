// The transfer endpoints a connection serves to HTTP clients on the node's
// port: the response list, thread and response files, and the chunked POST
// reply. Called by CServentSocket on the GUI thread.
#pragma once

#include <string>

class CPelmarDoc;
class CServentSocket;
struct CServentRequest;

namespace transfer {
// GET /get_res_list/?threadid=T
void ServeResList(CPelmarDoc& doc, CServentSocket& connection, const CServentRequest& request);
// GET /get_thread/?threadid=T[&resid=R]
void ServeThreadFile(CPelmarDoc& doc, CServentSocket& connection,
                     const CServentRequest& request);
// POST /get_thread/: called each time body bytes arrive, with all body bytes
// so far. Returns true once it has answered; later bytes are then ignored.
bool ServePostBody(CPelmarDoc& doc, CServentSocket& connection, const CServentRequest& request,
                   const std::string& body);
} // namespace transfer
