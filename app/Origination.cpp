// CPelmarDoc: the messages this node starts. Each goes to every connection
// that is not closed and is recorded as originated here, so that echoes are
// dropped and replies are taken as answers to this node. GUI thread only.
#include "app/PelmarDoc.h"

#include "app/BinaryId.h"
#include "app/IdGenerator.h"
#include "protocol/MessageHistory.h"
#include "protocol/ServentSocket.h"
#include "protocol/wire/LogText.h"
#include "protocol/wire/MessageHeader.h"

void CPelmarDoc::SendPing() {
    const CMessageHeader header(CBinaryId::FromText(CIdGenerator().GetText()),
                                CMessageHeader::kTypePing);
    const std::string bytes = header.Encode();
    for (CServentSocket* connection : m_connections) {
        if (connection->IsClosed())
            continue;
        connection->Send(bytes);
        m_history->Record(header.GetMessageIdText(), connection->Serial(), true);
        WriteLog(PingLogText(EWireEvent::Send, connection->GetPeerAddress(),
                             connection->GetPeerPort(), header));
    }
}

void CPelmarDoc::SendCategoryQuery() {}
void CPelmarDoc::SendThreadQuery() {}
void CPelmarDoc::PostNewThread() {}
void CPelmarDoc::PostNewResponse() {}
