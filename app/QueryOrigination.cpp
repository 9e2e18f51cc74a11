// CPelmarDoc: the queries this node starts, for the threads of the current
// category or for the holders of the current thread. Their answers come back
// as queryhits to the queryhit handler. GUI thread only.
#include "app/PelmarDoc.h"

#include "base/BinaryId.h"
#include "protocol/Connection.h"
#include "protocol/Overlay.h"
#include "protocol/wire/LogText.h"
#include "protocol/wire/QueryMessage.h"
#include "res/Strings.h"

namespace {

void BroadcastQuery(CPelmarDoc& doc, const std::string& threadId, const std::string& category) {
    CQueryMessage query;
    query.Header() = CMessageHeader(doc.NewMessageId(), CMessageHeader::kTypeQuery);
    query.SetThreadId(CBinaryId::FromText(threadId));
    query.SetCategory(category);
    const std::string bytes = query.Encode();
    doc.Overlay().Originate(bytes, query.Header().GetMessageIdText(),
                            [&](const CConnection& connection) {
                                return QueryLogText(EWireEvent::Send, connection.GetPeerAddress(),
                                                    connection.GetPeerPort(), query);
                            });
}

} // namespace

void CPelmarDoc::SendCategoryQuery() {
    if (CountEstablished() == 0) {
        m_ui.ShowMessage(strings::kNotConnected, IPelmarUi::MessageIcon::Warning);
        return;
    }
    BroadcastQuery(*this, std::string(), m_currentCategory);
    // The list shows what the store holds now; answers add rows as they come.
    RefreshThreadList();
}

void CPelmarDoc::SendThreadQuery() {
    SendThreadQuery(m_currentThreadId);
}

void CPelmarDoc::SendThreadQuery(const std::string& threadId) {
    BroadcastQuery(*this, threadId, m_currentCategory);
}
