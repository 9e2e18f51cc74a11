// CWebInterface: the thread list served in pages. The lists themselves
// (CWebThreadLists) are the worker's: the GUI thread reads the request,
// queues the page, a change or a refill there, and hands the page's JSON to
// the socket when it comes back. GUI thread, except the jobs it queues.
#include "web/WebInterface.h"

#include "app/PelmarDoc.h"

#include <QHttpServerRequest>
#include <QUrlQuery>

#include <utility>

namespace {

// A query number: absent gives the default; false when it is not a whole
// number.
bool Number(const QUrlQuery& query, const char* name, std::size_t fallback, std::size_t& value) {
    const QString key = QString::fromLatin1(name);
    if (!query.hasQueryItem(key)) {
        value = fallback;
        return true;
    }
    bool ok = false;
    const qulonglong number = query.queryItemValue(key).toULongLong(&ok);
    value = static_cast<std::size_t>(number);
    return ok;
}

// What the worker makes of a page.
struct SPageJson {
    std::string json;
    bool listed = false; // a category was listed for it
};

} // namespace

void CWebInterface::ThreadList(const QHttpServerRequest& request,
                               QHttpServerResponder&& responder) {
    if (!Admit(request, responder))
        return;
    const SLater later = Later(std::move(responder));
    const QUrlQuery query = request.query();
    SPage page;
    page.category =
        query.hasQueryItem(QStringLiteral("category"))
            ? CategoryBytes(query.queryItemValue(QStringLiteral("category"), QUrl::FullyDecoded))
            : m_doc.GetCurrentCategory();
    if (!Number(query, "offset", 0, page.offset) ||
        !Number(query, "limit", kPageRows, page.limit) || page.limit == 0)
        return Answer(later, Error(Status::BadRequest,
                                   QStringLiteral("offset and limit are whole numbers, limit "
                                                  "at least 1")));
    page.limit = std::min(page.limit, kMaxPageRows);
    ServePage(page, later);
}

void CWebInterface::ServePage(const SPage& page, const SLater& later) {
    OffThread(
        [lists = m_lists.get(), current = m_doc.GetCurrentCategory(), page] {
            SPageJson made;
            made.json = lists->Page(current, page.category, page.offset, page.limit, made.listed);
            return made;
        },
        [this, later](SPageJson made) {
            AnswerJson(later, std::make_shared<const std::string>(std::move(made.json)));
            if (made.listed)
                TrimSoon();
        });
}

void CWebInterface::Refill() {
    // Announced rows go with the listing they were added to.
    m_shownCategory = m_doc.GetCurrentCategory();
    m_shownTitles.clear();
    m_lists->WantRefill();
    OffThread(
        [lists = m_lists.get(), current = m_doc.GetCurrentCategory()] {
            if (!lists->Ensure(current))
                return false;
            // The first page's rows are read too, so that the page asked
            // next finds their files in memory (from a cold store 200 rows
            // took up to 100 ms).
            bool listed = false;
            lists->Page(current, current, 0, kPageRows, listed);
            return true;
        },
        [this](bool listed) {
            if (listed)
                TrimSoon();
        });
}

const std::string* CWebInterface::ShownTitle(const std::string& threadId) const {
    if (m_shownCategory != m_doc.GetCurrentCategory())
        return nullptr;
    const auto found = m_shownTitles.find(threadId);
    return found != m_shownTitles.end() ? &found->second : nullptr;
}
