// CPelmarDoc: sending the messages this node starts. Each goes to every
// connection that is not closed and is recorded as originated here, so that
// echoes are dropped and replies are taken as answers to this node. GUI
// thread only.
#include "app/PelmarDoc.h"

#include "base/BinaryId.h"
#include "app/IdGenerator.h"
#include "protocol/MessageHistory.h"
#include "protocol/ServentSocket.h"
#include "protocol/wire/LogText.h"
#include "protocol/wire/MessageHeader.h"

void CPelmarDoc::Broadcast(const std::string& bytes, const std::string& messageId,
                           const std::function<std::string(const CServentSocket&)>& logLine) {
    for (CServentSocket* connection : m_connections) {
        if (connection->IsClosed())
            continue;
        connection->SendMessage(bytes);
        // The same id is recorded for every connection; the last one wins.
        m_history->Record(messageId, connection->Serial(), true);
        WriteLog(logLine(*connection));
    }
}

void CPelmarDoc::SendPing() {
    const CMessageHeader header(CBinaryId::FromText(CIdGenerator().GetText()),
                                CMessageHeader::kTypePing);
    Broadcast(header.Encode(), header.GetMessageIdText(), [&](const CServentSocket& connection) {
        return PingLogText(EWireEvent::Send, connection.GetPeerAddress(),
                           connection.GetPeerPort(), header);
    });
}
