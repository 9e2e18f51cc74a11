// CEventLog: the line format and appending.
#include "app/EventLog.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(EventLogTest, LineIsLocalTimeBlankTextNewline) {
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
    // 2001-09-09 01:46:40 UTC is 10:46:40 in Tokyo.
    EXPECT_EQ(CEventLog::FormatLine(1000000000, "pelmar Startup!!"),
              "2001/09/09 10:46:40 pelmar Startup!!\n");
}

TEST(EventLogTest, LinesAreAppendedInOrder) {
    TempDir dir;
    const CEventLog log(dir / "pelmar.log");
    log.Write(1000000000, "one");
    log.Write(1000000001, "two");
    const std::string text = TempDir::ReadFile(dir / "pelmar.log");
    EXPECT_NE(text.find("one\n"), std::string::npos);
    EXPECT_LT(text.find("one\n"), text.find("two\n"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}
