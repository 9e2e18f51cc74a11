// CPelmarDoc: posting threads and responses. A post is stored here first and
// then announced to every usable connection; other nodes fetch the data later.
// GUI thread only.
#include "app/PelmarDoc.h"

#include "app/IdGenerator.h"
#include "app/Retention.h"
#include "base/BinaryId.h"
#include "base/TextEscaping.h"
#include "protocol/Connection.h"
#include "protocol/Overlay.h"
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
    update.Header() = CMessageHeader(doc.NewMessageId(), CMessageHeader::kTypeUpdate);
    update.SetThreadId(threadId);
    update.SetTime(time);
    update.SetResCount(resCount);
    update.SetTitle(std::move(title));
    update.SetName(std::move(name));
    update.SetCategory(std::move(category));
    update.SetServentId(CBinaryId::FromText(doc.GetServentId()));
    const std::string bytes = update.Encode();
    doc.Overlay().Originate(bytes, update.Header().GetMessageIdText(),
                            [&](const CConnection& connection) {
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
    PostThread(draft);
}

std::string CPelmarDoc::PostThread(const CThreadDraft& draft) {
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
    const bool stored = thread.Create(m_threadDir, this);
    if (stored)
        m_retention->NoteOwnThread(threadId.GetText());
    if (stored)
        BroadcastUpdate(*this, threadId, thread.GetCreated(), 1, draft.title, draft.name,
                        draft.category);
    if (stored)
        ThreadChanged(threadId.GetText());
    // The new thread joins the list; the page keeps showing the thread that
    // was current before.
    RefreshThreadList();
    ShowCurrentThread("");
    return stored ? threadId.GetText() : std::string();
}

void CPelmarDoc::PostNewResponse() {
    // The dialog is modal but the network keeps running while it is open.
    // The response belongs to the thread that was current when it was started.
    const std::string threadId = m_currentThreadId;
    if (!CanRespondTo(threadId)) {
        m_ui.ShowMessage(strings::kNoThreadData, IPelmarUi::MessageIcon::None);
        return;
    }

    CResponseDraft draft;
    if (!m_ui.ComposeResponse(draft))
        return;
    PostResponse(threadId, draft);
}

bool CPelmarDoc::CanRespondTo(const std::string& threadId) const {
    CThreadRecord thread;
    return thread.Load(threadId, m_threadDir) && thread.GetHeld() != 0;
}

std::string CPelmarDoc::PostResponse(const std::string& threadId, const CResponseDraft& draft) {
    CResRecord res(CBinaryId::FromText(threadId), NewId(), CBinaryId(),
                   EscapeAngleBrackets(draft.title), EscapeAngleBrackets(draft.name),
                   EscapeAngleBrackets(draft.mail), EscapeAngleBrackets(draft.body),
                   CBinaryId::FromText(m_serventId), CBinaryId(), Now());
    const bool stored = res.Create(m_threadDir, this);
    if (stored) {
        m_retention->NoteOwnThread(threadId);
        // The count announced is the one the thread's files hold now.
        CThreadRecord thread;
        thread.Load(threadId, m_threadDir);
        BroadcastUpdate(*this, CBinaryId::FromText(threadId), res.GetTime(), thread.GetResCount(),
                        thread.GetTitle(), thread.GetName(), thread.GetCategory());
        ThreadChanged(threadId);
    }
    RefreshThreadList();
    ShowCurrentThread("");
    // The page is built again from the top; the writer wants to see the post.
    if (threadId == m_currentThreadId)
        m_ui.RevealResponse(res.GetResId().GetText());
    return stored ? res.GetResId().GetText() : std::string();
}
