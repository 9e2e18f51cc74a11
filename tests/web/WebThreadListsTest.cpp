// CWebThreadLists on a store laid out by the program's own code: when a page
// costs a listing, and what it shows after the store changed.
#include "web/WebThreadLists.h"

#include "store/ThreadRecord.h"
#include "support/TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace {

class WebThreadListsTest : public ::testing::Test {
protected:
    void Store(char c, const std::string& category) {
        CThreadRecord thread(CBinaryId::FromText(std::string(32, c)), "t", category, "n", "", "b",
                             {}, {}, 1000, 1000);
        thread.SetHeld(1);
        ASSERT_TRUE(thread.Create(root, nullptr));
    }
    // The page's total, and whether it cost a listing.
    std::pair<int, bool> Page(const std::string& category) {
        bool listed = false;
        const std::string json = lists.Page("cat", category, 0, 10, listed);
        const QJsonObject page = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
        return {page["total"].toInt(), listed};
    }

    TempDir dir;
    std::string root = dir / "thread/";
    CWebThreadLists lists{root};
};

TEST_F(WebThreadListsTest, APageCostsAListingOnlyWhenTheListIsMissingOrStale) {
    Store('a', "cat");
    Store('b', "other");
    using Step = std::function<void()>;
    const struct {
        const char* what;
        Step before;
        std::string category;
        std::pair<int, bool> page;
    } steps[] = {
        {"the first page lists", [] {}, "cat", {1, true}},
        {"the next one reads the rows", [] {}, "cat", {1, false}},
        {"a thread stored unannounced is not seen", [&] { Store('c', "cat"); }, "cat", {1, false}},
        {"until a refill is wanted; many cost one listing",
         [&] {
             lists.WantRefill();
             lists.WantRefill();
         },
         "cat",
         {2, true}},
        {"another category is listed", [] {}, "other", {1, true}},
        {"and kept", [&] { Store('d', "other"); }, "other", {1, false}},
        {"until the store changed", [&] { lists.StoreChanged(); }, "other", {2, true}},
        {"the current rows stay", [] {}, "cat", {2, false}},
    };
    for (const auto& step : steps) {
        step.before();
        EXPECT_EQ(Page(step.category), step.page) << step.what;
    }
}

} // namespace
