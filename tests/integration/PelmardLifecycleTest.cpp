// pelmard as a process: starting twice in one directory, the log switch, the
// exit status, and a port already taken.
#include "support/NodeProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace fs = std::filesystem;

TEST(PelmardLifecycleTest, TwoRunsReuseIdAndLeaveFourLogLines) {
    NodeProcess node("127.0.0.20", 16320);
    ASSERT_TRUE(node.Start());
    EXPECT_EQ(node.Stop(), 0);
    const std::string firstId = TempDir::ReadFile(node.dir / "serventid.dat");
    ASSERT_EQ(firstId.size(), 16u);
    ASSERT_TRUE(node.Start());
    EXPECT_EQ(node.Stop(), 0);
    EXPECT_EQ(TempDir::ReadFile(node.dir / "serventid.dat"), firstId);
    EXPECT_TRUE(fs::is_directory(node.dir / "thread/f"));

    const std::regex line(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} (pelmar Startup!!|pelmar Shutdown!!)\n)");
    std::string log = node.Log();
    std::vector<std::string> events;
    for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it)
        events.push_back((*it)[1]);
    EXPECT_EQ(events, (std::vector<std::string>{"pelmar Startup!!", "pelmar Shutdown!!",
                                                "pelmar Startup!!", "pelmar Shutdown!!"}));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4);
}

TEST(PelmardLifecycleTest, WithoutLogSwitchNoLogFileAppears) {
    NodeProcess node("127.0.0.21", 16321);
    ASSERT_TRUE(node.Start({}, /*log=*/false));
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(node.dir / "serventid.dat"); }, 5000));
    EXPECT_EQ(node.Stop(), 0);
    EXPECT_FALSE(fs::exists(node.dir / "pelmar.log"));
}

TEST(PelmardLifecycleTest, PortInUseShowsSocketMessageAndExitsZero) {
    NodeProcess first("127.0.0.22", 16322);
    ASSERT_TRUE(first.Start());
    NodeProcess second("127.0.0.22", 16322);
    second.Start();
    ASSERT_TRUE(WaitUntil([&] { return !second.Running(); }, 5000));
    EXPECT_EQ(second.Stop(), 0);
    EXPECT_NE(second.Stderr().find("ソケットの作成に失敗しました。"), std::string::npos);
    EXPECT_EQ(first.Stop(), 0);
}
