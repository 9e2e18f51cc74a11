// CThreadRows: the thread list's rows without a widget, in the desktop's
// order and with its marks.
#include "frontend/ThreadRows.h"

#include "store/ThreadRecord.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

std::string Id(char c) {
    return std::string(32, c);
}

class ThreadRowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "JST-9", 1);
        // Held threads updated at 30, 20 and 10 seconds past a minute.
        for (const auto& [c, time] :
             {std::pair{'a', 1015675530u}, {'b', 1015675520u}, {'c', 1015675510u}}) {
            CThreadRecord thread(CBinaryId::FromText(Id(c)), "t", "cat", "n", "", "b", {}, {}, time,
                                 time);
            thread.SetHeld(1);
            ASSERT_TRUE(thread.Create(root, nullptr));
        }
        rows.Refill("cat");
    }
    std::string Order() const {
        std::string order;
        for (const CThreadRow& row : rows.Rows())
            order += row.id[0];
        return order;
    }

    TempDir dir;
    std::string root = dir / "thread/";
    CThreadRows rows{root};
};

TEST_F(ThreadRowsTest, AnnouncedAndFetchedThreadsTakeTheDesktopsPlaces) {
    ASSERT_EQ(Order(), "abc");
    const struct {
        char id;
        std::uint32_t time;
        bool isNew;
        std::string order;
        int icon; // of the thread's row
    } cases[] = {
        {'d', 1015675525, true, "adbc", CThreadRow::kLightning},    // new, between by its time
        {'b', 1015675540, true, "badc", CThreadRow::kLightning},    // moves up, one row left
        {'e', 1015675500, true, "badce", CThreadRow::kLightning},   // older than all: the end
        {'c', 1015675501, false, "badce", CThreadRow::kSheet},      // fetched: keeps its place
        {'f', 1015675600, false, "badcef", CThreadRow::kLightning}, // no row, not held: the end
    };
    for (const auto& c : cases) {
        rows.UpdateThreadRow(Id(c.id), "x", 3, "n", c.time, c.isNew);
        EXPECT_EQ(Order(), c.order) << c.id;
        for (const CThreadRow& row : rows.Rows()) {
            if (row.id == Id(c.id)) {
                EXPECT_EQ(row.icon, c.icon) << c.id;
            }
        }
    }
    // A held thread keeps its held count and creation time in the row.
    EXPECT_EQ(rows.Rows()[0].held, 1u);
    EXPECT_FALSE(rows.Rows()[0].created.empty());
    EXPECT_EQ(rows.Rows()[2].held, 0u); // 'd' is not held here
}

} // namespace
