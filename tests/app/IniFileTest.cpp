// CIniFile and the settings the node takes from it.
#include "app/IniFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

class IniFileTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(IniFileTest, MissingFileGivesDefaults) {
    const CIniFile ini(dir / "absent.ini");
    EXPECT_EQ(ini.GetInt("Network", "Port", 6340), 6340u);
    EXPECT_EQ(ini.GetString("Servent", "CacheMode", "Disable"), "Disable");
}

TEST_F(IniFileTest, SectionsAndKeysIgnoreCase) {
    TempDir::WriteFile(dir / "a.ini", "[network]\r\nPORT=7000\r\n[SERVENT]\r\ncachemode=CacheServent\r\n");
    const CIniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.GetInt("Network", "Port", 6340), 7000u);
    EXPECT_EQ(ini.GetString("Servent", "CacheMode", "Disable"), "CacheServent");
}

TEST_F(IniFileTest, IntegerIsItsLeadingDigits) {
    TempDir::WriteFile(dir / "a.ini", "[Network]\nPort=  70000abc\n[Other]\nPort=x\n");
    const CIniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.GetInt("Network", "Port", 6340), 70000u);
    EXPECT_EQ(ini.GetInt("Other", "Port", 6340), 0u);
    EXPECT_EQ(ini.GetInt("Network", "Missing", 5), 5u);
}

TEST_F(IniFileTest, KeyOutsideItsSectionIsNotFound) {
    TempDir::WriteFile(dir / "a.ini", "Port=1\n[Servent]\nPort=2\n");
    const CIniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.GetInt("Network", "Port", 6340), 6340u);
}

TEST_F(IniFileTest, DirectoryCutShortJunkOrHugeFilesGiveDefaults) {
    std::filesystem::create_directory(dir / "directory.ini");
    TempDir::WriteFile(dir / "short.ini", "[Network]\nPo");
    TempDir::WriteFile(dir / "junk.ini", std::string("\0\xff[\x82\n=\r\n]=7\n", 12));
    // Settings past the first mebibyte are never read, however large the file.
    TempDir::WriteFile(dir / "huge.ini", std::string(CIniFile::kMaxFileSize, ';') +
                                             "\n[Network]\nPort=1\n[Servent]\nCacheMode=x\n");
    for (const char* name : {"directory.ini", "short.ini", "junk.ini", "huge.ini"}) {
        const CIniFile ini(dir / name);
        EXPECT_EQ(ini.GetInt("Network", "Port", 6340), 6340u) << name;
        EXPECT_EQ(ini.GetString("Servent", "CacheMode", "Disable"), "Disable") << name;
    }
}
