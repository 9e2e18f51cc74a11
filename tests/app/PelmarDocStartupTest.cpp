// CPelmarDoc start-up: settings, storage layout, the servent id and the log.
#include "app/PelmarDoc.h"

#include "base/BinaryId.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

class PelmarDocStartupTest : public ::testing::Test {
protected:
    CPelmarDoc::Options Options(const std::string& ini = "") {
        CPelmarDoc::Options options;
        options.iniPath = ini.empty() ? dir / "none.ini" : ini;
        options.applicationDir = dir.Path();
        options.dataDir = dir.Path();
        options.bindAddress = "127.0.0.1";
        return options;
    }
    void WriteIni(const std::string& port) {
        TempDir::WriteFile(dir / "pelmar.ini", "[Network]\nPort=" + port + "\n");
    }

    TempDir dir;
    ScriptedUi ui;
};

TEST_F(PelmarDocStartupTest, DefaultsWithoutSettingsFile) {
    CPelmarDoc doc(ui, Options());
    EXPECT_EQ(doc.GetListenPort(), 6340);
    EXPECT_EQ(doc.GetCacheMode(), "Disable");
    EXPECT_FALSE(doc.IsCacheServent());
}

TEST_F(PelmarDocStartupTest, PortIsKeptModulo65536) {
    WriteIni("70000");
    CPelmarDoc doc(ui, Options(dir / "pelmar.ini"));
    EXPECT_EQ(doc.GetListenPort(), 4464);
}

TEST_F(PelmarDocStartupTest, StartCreatesTheStoreAndAServentId) {
    WriteIni("16401");
    CPelmarDoc doc(ui, Options(dir / "pelmar.ini"));
    ASSERT_TRUE(doc.Start());
    for (const char* name : {"index", "0", "9", "a", "f"})
        EXPECT_TRUE(fs::is_directory(dir / (std::string("thread/") + name))) << name;
    EXPECT_EQ(fs::file_size(dir / "serventid.dat"), 16u);
    EXPECT_TRUE(CBinaryId::IsWellFormedText(doc.GetServentId()));
    EXPECT_EQ(doc.OwnAddress().GetText(), "127.0.0.1");
}

TEST_F(PelmarDocStartupTest, SecondStartReusesTheServentId) {
    WriteIni("16402");
    std::string first;
    {
        CPelmarDoc doc(ui, Options(dir / "pelmar.ini"));
        ASSERT_TRUE(doc.Start());
        first = doc.GetServentId();
    }
    CPelmarDoc doc(ui, Options(dir / "pelmar.ini"));
    ASSERT_TRUE(doc.Start());
    EXPECT_EQ(doc.GetServentId(), first);
}

TEST_F(PelmarDocStartupTest, ZeroServentIdFileGivesEmptyId) {
    WriteIni("16403");
    TempDir::WriteFile(dir / "serventid.dat", std::string(16, '\0'));
    CPelmarDoc doc(ui, Options(dir / "pelmar.ini"));
    ASSERT_TRUE(doc.Start());
    EXPECT_EQ(doc.GetServentId(), "");
}

TEST_F(PelmarDocStartupTest, ShortServentIdFileIsReplaced) {
    WriteIni("16404");
    TempDir::WriteFile(dir / "serventid.dat", "short");
    CPelmarDoc doc(ui, Options(dir / "pelmar.ini"));
    ASSERT_TRUE(doc.Start());
    EXPECT_TRUE(CBinaryId::IsWellFormedText(doc.GetServentId()));
    EXPECT_EQ(fs::file_size(dir / "serventid.dat"), 16u);
}

TEST_F(PelmarDocStartupTest, LogIsWrittenOnlyWithTheSwitch) {
    WriteIni("16405");
    {
        CPelmarDoc doc(ui, Options(dir / "pelmar.ini"));
        ASSERT_TRUE(doc.Start());
    }
    EXPECT_FALSE(fs::exists(dir / "pelmar.log"));
    {
        auto options = Options(dir / "pelmar.ini");
        options.logging = true;
        CPelmarDoc doc(ui, options);
        ASSERT_TRUE(doc.Start());
    }
    const std::string log = TempDir::ReadFile(dir / "pelmar.log");
    EXPECT_NE(log.find(" pelmar Startup!!\n"), std::string::npos);
    EXPECT_NE(log.find(" pelmar Shutdown!!\n"), std::string::npos);
}

TEST_F(PelmarDocStartupTest, PortInUseFailsWithTheSocketMessage) {
    WriteIni("16406");
    CPelmarDoc first(ui, Options(dir / "pelmar.ini"));
    ASSERT_TRUE(first.Start());
    ScriptedUi secondUi;
    CPelmarDoc second(secondUi, Options(dir / "pelmar.ini"));
    EXPECT_FALSE(second.Start());
    ASSERT_EQ(secondUi.messages.size(), 1u);
    EXPECT_EQ(secondUi.messages[0], "ソケットの作成に失敗しました。");
}

TEST_F(PelmarDocStartupTest, LeftoverIndexTempIsRemovedAtStartUp) {
    WriteIni("16407");
    fs::create_directories(dir / "thread/index/%6e%65%77%73");
    TempDir::WriteFile(dir / "thread/index/%6e%65%77%73/index.temp", "partial");
    CPelmarDoc doc(ui, Options(dir / "pelmar.ini"));
    ASSERT_TRUE(doc.Start());
    EXPECT_FALSE(fs::exists(dir / "thread/index/%6e%65%77%73/index.temp"));
}
