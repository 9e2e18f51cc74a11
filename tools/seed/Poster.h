// CPoster: posts sample threads through the node's own posting commands, as
// a user at the composition dialogs would. It is the user interface of the
// document it posts with: the dialogs are answered with the next draft,
// messages go to standard error, the views do nothing. GUI thread.
#pragma once

#include "SampleThreads.h"
#include "app/SilentUi.h"

#include <cstdint>
#include <optional>
#include <string>

class CPelmarDoc;

class CPoster : public CSilentUi {
public:
    void SetDocument(CPelmarDoc* doc) { m_doc = doc; }

    // Posts the thread and its responses, dated from now back by the
    // sample's own offsets. The new thread's id, or empty when a text has
    // no CP932 form or the store refused the post (the reason is on stderr).
    std::string Post(const CSampleThread& sample, std::uint32_t now);

    void ShowMessage(std::string_view textUtf8, MessageIcon icon) override;
    bool ComposeThread(CThreadDraft& draft) override;
    bool ComposeResponse(CResponseDraft& draft) override;

private:
    CPelmarDoc* m_doc = nullptr;
    std::optional<CThreadDraft> m_thread;
    std::optional<CResponseDraft> m_response;
    bool m_failed = false;
};
