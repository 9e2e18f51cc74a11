// The transfer endpoints (being built).
#include "transfer/TransferEndpoints.h"

#include "protocol/ServentSocket.h"

namespace transfer {
void ServeResList(CPelmarDoc&, CServentSocket& connection, const CServentRequest&) {
    connection.Send("HTTP/1.0 404 Not Found\r\n\r\n");
}
void ServeThreadFile(CPelmarDoc&, CServentSocket& connection, const CServentRequest&) {
    connection.Send("HTTP/1.0 404 Not Found\r\n\r\n");
}
bool ServePostBody(CPelmarDoc&, CServentSocket& connection, const CServentRequest&,
                   const std::string&) {
    connection.Send("HTTP/1.0 404 Not Found\r\n\r\n");
    return true;
}
} // namespace transfer
