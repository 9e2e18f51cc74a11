// CPelmarDoc: the ping this node starts and the ids of its own messages.
// Each message goes through the overlay to every connection that is not
// closed and is recorded as originated here, so that echoes are dropped and
// replies are taken as answers to this node. GUI thread only.
#include "app/PelmarDoc.h"

#include "app/IdGenerator.h"
#include "base/BinaryId.h"
#include "protocol/Overlay.h"

void CPelmarDoc::SendPing() {
    m_overlay->SendPing();
}

CBinaryId CPelmarDoc::NewMessageId() {
    return CBinaryId::FromText(CIdGenerator().GetText());
}
