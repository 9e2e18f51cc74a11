// CEventLog: the line format and appending.
#include "app/EventLog.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

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

TEST(EventLogTest, RotatesAtTheSizeKeepingTheNewestLinesInOrder) {
    const struct {
        unsigned keep;
        std::vector<std::string> files; // suffixes after "pelmar.log", oldest first
        const char* absent;
        int firstKept; // the oldest line still there
    } cases[] = {
        {3, {".3", ".2", ".1", ""}, ".4", 128},
        {1, {".1", ""}, ".2", 136},
        {0, {""}, ".1", 140},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir / "pelmar.log";
        const CEventLog log(path, 100, c.keep);
        // Lines of 29 bytes: a file is rotated after its fourth line.
        for (int i = 100; i < 142; ++i)
            log.Write(1000000000, "line " + std::to_string(i));
        EXPECT_FALSE(std::filesystem::exists(path + c.absent)) << c.keep;
        std::string all;
        for (const std::string& suffix : c.files)
            all += TempDir::ReadFile(path + suffix);
        std::string expected;
        for (int i = c.firstKept; i < 142; ++i)
            expected += CEventLog::FormatLine(1000000000, "line " + std::to_string(i));
        EXPECT_EQ(all, expected) << "keep " << c.keep;
    }
}
