// CPageBuilder: the byte layout of the thread page and the order of its
// responses.
#include "frontend/PageBuilder.h"

#include "frontend/PageFilter.h"

#include "base/TextEscaping.h"

#include "base/BinaryId.h"
#include "frontend/PageFile.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"

#include <algorithm>
#include <ctime>
#include <utility>
#include <vector>

namespace {

// "データが存在しません。" in Shift_JIS.
constexpr std::string_view kNoDataPage =
    "<html><body><br><br><p align=\"center\">"
    "\x83\x66\x81\x5b\x83\x5e\x82\xaa\x91\xb6\x8d\xdd\x82\xb5\x82\xdc\x82\xb9\x82\xf1\x81\x42"
    "</p></body></html>";

// One post as the page shows it, its texts already escaped.
struct CPageEntry {
    std::string heading;
    std::string name;
    std::string mail;
    std::uint32_t time = 0;
    std::string identifier;
    std::string body;
};

void AppendEntry(std::string& page, const CPageEntry& entry) {
    page += "<dt><font color=\"#000080\"><b>";
    page += entry.heading;
    page += "</b></font> ";
    if (!entry.mail.empty()) {
        // A quote in the address would end the attribute and let the rest of
        // the mail become markup.
        page += " <a href=\"mailto:";
        page += ReplaceAll(entry.mail, '"', "&quot;");
        page += "\">";
        page += entry.name;
        page += "</a> ";
    } else {
        page += " <font color=\"#008000\">";
        page += entry.name;
        page += "</font> ";
    }
    page += "<font size=\"2\">";
    page += CPageBuilder::FormatTime(entry.time);
    page += "</font> <font color=\"#FFFFFF\" size=\"2\">";
    page += entry.identifier;
    page += "</font><dd>";
    page += ReplaceAll(entry.body, '\r', "<br>");
    page += "<br><br>\r\n";
}

// "あぼーん" in Shift_JIS: what a replaced post shows in each of its texts.
constexpr std::string_view kAbone = "\x82\xa0\x82\xda\x81\x5b\x82\xf1";

} // namespace

CPageBuilder::CPageBuilder(std::string root, IStoreReporter* reporter)
    : m_root(std::move(root)), m_reporter(reporter) {}

std::vector<CPagePost> CPageBuilder::LoadPosts(std::string_view threadId) const {
    std::vector<CPagePost> posts;
    CThreadRecord thread;
    if (!thread.Load(threadId, m_root) || thread.GetHeld() == 0)
        return posts;
    std::vector<CBinaryId> held;
    CResRecord::ListHeld(m_root, threadId, held);
    posts.reserve(held.size() + 1);
    posts.push_back(CPagePost{thread.GetTitle(), thread.GetName(), thread.GetMail(),
                              thread.GetCreated(), thread.GetThreadId().GetText(),
                              thread.GetBody()});
    for (const CBinaryId& resId : held) {
        CResRecord res;
        if (!res.Load(threadId, resId.GetText(), m_root, m_reporter))
            continue;
        posts.push_back(CPagePost{res.GetTitle(), res.GetName(), res.GetMail(), res.GetTime(),
                                  res.GetResId().GetText(), res.GetBody()});
    }
    // Ascending by posting time; responses posted at the same second keep the
    // order in which the directory listed them.
    std::stable_sort(posts.begin() + 1, posts.end(),
                     [](const CPagePost& a, const CPagePost& b) { return a.time < b.time; });
    return posts;
}

std::string CPageBuilder::BuildPage(std::string_view threadId) const {
    return BuildPage(threadId, nullptr);
}

std::string CPageBuilder::BuildPage(std::string_view threadId, const IPageFilter* filter) const {
    CThreadRecord thread;
    if (!thread.Load(threadId, m_root))
        return {};
    if (thread.GetHeld() == 0)
        return std::string(kNoDataPage);

    ::tzset(); // the zone may have changed since the last page
    std::vector<CPagePost> posts = LoadPosts(threadId);
    if (posts.empty()) // the record went away meanwhile
        return {};
    std::vector<EPostShow> shows(posts.size(), EPostShow::Show);
    if (filter)
        for (std::size_t i = 0; i < posts.size(); ++i)
            shows[i] = filter->Judge(posts[i]);
    // The title is the opening post's: a filtered opening post takes it along.
    const std::string title =
        shows.front() == EPostShow::Show ? Escape(posts.front().title) : std::string(kAbone);
    std::string page = "<html><head>\r\n"
                       "<meta http-equiv=\"Content-Language\" content=\"ja\">\r\n"
                       "<meta http-equiv=\"Content-Type\" content=\"text/html; "
                       "charset=shift_jis\">\r\n"
                       "<title>";
    page += title;
    page += "</title>\r\n</head><body><dl>\r\n";
    for (std::size_t i = 0; i < posts.size(); ++i) {
        const CPagePost& post = posts[i];
        if (shows[i] == EPostShow::Hide)
            continue;
        if (shows[i] == EPostShow::Abone)
            AppendEntry(page, CPageEntry{std::string(kAbone), std::string(kAbone), std::string(),
                                         post.time, post.id, std::string(kAbone)});
        else
            AppendEntry(page, CPageEntry{Escape(post.title), Escape(post.name), Escape(post.mail),
                                         post.time, post.id, Escape(post.body)});
    }
    page += "</dl></body></html>";
    return page;
}

CPageBuilder::Outcome CPageBuilder::RenderThread(std::string_view threadId, const std::string& path,
                                                 const IPageFilter* filter, std::string* page,
                                                 std::uint64_t ticket) const {
    if (threadId.empty())
        return Outcome::NoThread;
    if (ticket == 0)
        ticket = CPageFile::NextTicket();
    std::string built = BuildPage(threadId, filter);
    const CPageFile::Outcome written = CPageFile::Write(path, built, ticket);
    if (page)
        *page = std::move(built);
    switch (written) {
    case CPageFile::Outcome::Written:
        return Outcome::Written;
    case CPageFile::Outcome::Superseded:
        return Outcome::Superseded;
    case CPageFile::Outcome::NotWritten:
        break;
    }
    return Outcome::NotWritten;
}

std::string CPageBuilder::FormatTime(std::uint32_t time) {
    const std::time_t when = static_cast<std::time_t>(time);
    std::tm local{};
    if (!::localtime_r(&when, &local))
        return {};
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%y/%m/%d %H:%M:%S", &local);
    return std::string(text, length);
}

std::string CPageBuilder::Escape(std::string_view text) {
    return EscapeAngleBrackets(text);
}

std::string_view CPageBuilder::NoDataPage() {
    return kNoDataPage;
}
