// CPelmarDoc: posting threads and responses. A post is stored here first and
// then announced to every usable connection; other nodes fetch the data later.
// GUI thread only.
#include "app/PelmarDoc.h"

#include "base/BinaryId.h"
#include "app/IdGenerator.h"
#include "base/TextEscaping.h"
#include "protocol/ServentSocket.h"
#include "protocol/wire/LogText.h"
#include "protocol/wire/UpdateMessage.h"
#include "res/Strings.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"

namespace {

CBinaryId NewId() {
    return CBinaryId::FromText(CIdGenerator().GetText());
}

void BroadcastUpdate(CPelmarDoc& doc, const CBinaryId& threadId, std::uint32_t time,
                     std::uint16_t resCount, std::string title, std::string name,
                     std::string category) {
    CUpdateMessage update;
    update.Header() = CMessageHeader(NewId(), CMessageHeader::kTypeUpdate);
    update.SetThreadId(threadId);
    update.SetTime(time);
    update.SetResCount(resCount);
    update.SetTitle(std::move(title));
    update.SetName(std::move(name));
    update.SetCategory(std::move(category));
    update.SetServentId(CBinaryId::FromText(doc.GetServentId()));
    const std::string bytes = update.Encode();
    doc.Broadcast(bytes, update.Header().GetMessageIdText(), [&](const CServentSocket& connection) {
        return UpdateLogText(EWireEvent::Send, connection.GetPeerAddress(),
                             connection.GetPeerPort(), update);
    });
}

} // namespace

void CPelmarDoc::PostNewThread() {
    CThreadDraft draft;
    draft.category = m_currentCategory;
    if (!m_ui.ComposeThread(draft))
        return;

    const CBinaryId threadId = NewId();
    const std::uint32_t now = Now();
    // The store keeps the texts ready for the page; the announcement carries
    // them as typed.
    CThreadRecord thread(threadId, EscapeAngleBrackets(draft.title),
                         EscapeAngleBrackets(draft.category), EscapeAngleBrackets(draft.name),
                         EscapeAngleBrackets(draft.mail), EscapeAngleBrackets(draft.body),
                         CBinaryId::FromText(m_serventId), CBinaryId(), now, now);
    thread.SetResCount(1);
    thread.SetHeld(1);
    // A post the store could not take (the user has been told) is not
    // announced: no node could fetch it from here.
    if (thread.Create(m_threadDir, this))
        BroadcastUpdate(*this, threadId, thread.GetCreated(), 1, draft.title, draft.name,
                        draft.category);
    // The new thread joins the list; the page keeps showing the thread that
    // was current before.
    RefreshThreadList();
    ShowCurrentThread("");
}

void CPelmarDoc::PostNewResponse() {
    // The dialog is modal but the network keeps running while it is open, and
    // a cache servent's update handling moves the current thread. The
    // response belongs to the thread that was current when it was started.
    const std::string threadId = m_currentThreadId;
    CThreadRecord thread;
    if (!thread.Load(threadId, m_threadDir) || thread.GetHeld() == 0) {
        m_ui.ShowMessage(strings::kNoThreadData, IPelmarUi::MessageIcon::None);
        return;
    }

    CResponseDraft draft;
    if (!m_ui.ComposeResponse(draft))
        return;

    CResRecord res(CBinaryId::FromText(threadId), NewId(), CBinaryId(),
                   EscapeAngleBrackets(draft.title), EscapeAngleBrackets(draft.name),
                   EscapeAngleBrackets(draft.mail), EscapeAngleBrackets(draft.body),
                   CBinaryId::FromText(m_serventId), CBinaryId(), Now());
    if (res.Create(m_threadDir, this)) {
        // The count announced is the one the thread's files hold now.
        CThreadRecord stored = thread;
        stored.Load(threadId, m_threadDir);
        BroadcastUpdate(*this, CBinaryId::FromText(threadId), res.GetTime(), stored.GetResCount(),
                        stored.GetTitle(), stored.GetName(), stored.GetCategory());
    }
    RefreshThreadList();
    ShowCurrentThread("");
    // The page is built again from the top; the writer wants to see the post.
    if (threadId == m_currentThreadId)
        m_ui.RevealResponse(res.GetResId().GetText());
}
