// CPoster: the sample posts go through CPelmarDoc::PostNewThread and
// PostNewResponse, so they are stored and announced exactly as typed ones.
// GUI thread.
#include "Poster.h"

#include "app/PelmarDoc.h"
#include "store/ThreadIndex.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// A body as the composition dialog hands it over: lines end with CR LF.
std::string DialogBody(const std::string& utf8) {
    std::string body;
    for (char c : utf8) {
        if (c == '\n')
            body += '\r';
        body += c;
    }
    return body;
}

std::optional<std::string> Bytes(const std::string& utf8, bool* failed) {
    auto bytes = ToCp932(utf8);
    if (!bytes) {
        std::fprintf(stderr, "pelmar-seed: no CP932 form for \"%s\"\n", utf8.c_str());
        *failed = true;
    }
    return bytes;
}

std::vector<std::string> ThreadsOf(const CPelmarDoc& doc, const std::string& category) {
    std::vector<std::string> ids;
    CThreadIndex(category, doc.GetThreadDir()).List(ids);
    std::sort(ids.begin(), ids.end());
    return ids;
}
} // namespace

std::string CPoster::Post(const CSampleThread& sample, std::uint32_t now) {
    m_failed = false;
    CThreadDraft thread;
    thread.category = Bytes(sample.category, &m_failed).value_or("");
    thread.title = Bytes(sample.title, &m_failed).value_or("");
    thread.name = Bytes(sample.name, &m_failed).value_or("");
    thread.body = Bytes(DialogBody(sample.body), &m_failed).value_or("");
    if (m_failed)
        return {};

    // The new thread is the one its category did not list before.
    const std::vector<std::string> before = ThreadsOf(*m_doc, thread.category);
    const std::uint32_t opened = now - sample.hoursAgo * 3600;
    m_doc->SetClock([opened] { return opened; });
    m_thread = thread;
    m_doc->PostNewThread();
    const std::vector<std::string> after = ThreadsOf(*m_doc, thread.category);
    std::vector<std::string> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    if (m_failed || added.size() != 1)
        return {};

    const std::string threadId = added.front();
    for (const CSampleResponse& sampleResponse : sample.responses) {
        CResponseDraft response;
        response.name = Bytes(sampleResponse.name, &m_failed).value_or("");
        response.mail = Bytes(sampleResponse.mail, &m_failed).value_or("");
        response.body = Bytes(DialogBody(sampleResponse.body), &m_failed).value_or("");
        if (m_failed)
            return {};
        const std::uint32_t written = std::min(now, opened + sampleResponse.minutesAfter * 60);
        m_doc->SetClock([written] { return written; });
        m_doc->SetCurrentThreadId(threadId);
        m_response = response;
        m_doc->PostNewResponse();
        if (m_failed)
            return {};
    }
    return threadId;
}

void CPoster::ShowMessage(std::string_view textUtf8, MessageIcon) {
    // Every message the posting commands show means the post did not go in.
    std::fprintf(stderr, "pelmar-seed: %.*s\n", static_cast<int>(textUtf8.size()), textUtf8.data());
    m_failed = true;
}

bool CPoster::ComposeThread(CThreadDraft& draft) {
    if (!m_thread)
        return false;
    draft = *m_thread;
    m_thread.reset();
    return true;
}

bool CPoster::ComposeResponse(CResponseDraft& draft) {
    if (!m_response)
        return false;
    draft = *m_response;
    m_response.reset();
    return true;
}
