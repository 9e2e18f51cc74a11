// Test support for the store: a fresh directory under /tmp per test with the
// store root inside it, a reporter that records messages, and a helper that
// lays down an ".info" with chosen counters. Test thread only.
#pragma once

#include "base/BinaryId.h"
#include "store/FileSystem.h"
#include "store/StorePaths.h"
#include "store/StoreReporter.h"
#include "store/ThreadRecord.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace storetest {

// An id text: the bucket digit, then n in hex.
inline std::string IdText(unsigned n, char bucket = '1') {
    char text[40];
    std::snprintf(text, sizeof text, "%c%031x", bucket, n);
    return text;
}
inline CBinaryId Id(unsigned n, char bucket = '1') {
    return CBinaryId::FromText(IdText(n, bucket));
}

class CRecordingReporter : public IStoreReporter {
public:
    void ReportStoreFailure(std::string_view textUtf8) override { messages.emplace_back(textUtf8); }
    std::vector<std::string> messages;
};

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pelmar-store-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        root = m_dir + "/thread/";
        ASSERT_TRUE(storefs::MakeDirectories(root + "index"));
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::string ReadAll(const std::string& path) const {
        std::string data;
        storefs::ReadFile(path, data, 1 << 20);
        return data;
    }
    void WriteAll(const std::string& path, std::string_view data) const {
        ASSERT_TRUE(storefs::WriteFileAtomically(path, data));
    }
    void WriteInfo(const std::string& id, std::uint16_t held, std::uint16_t resCount,
                   std::uint32_t updated, std::uint32_t newestHeld = 0) const {
        CThreadRecord record;
        record.SetHeld(held);
        record.SetResCount(resCount);
        record.SetUpdated(updated);
        record.SetNewestHeld(newestHeld);
        ASSERT_TRUE(storefs::MakeDirectories(storepaths::ThreadDir(root, id)));
        WriteAll(storepaths::InfoFile(root, id), record.EncodeInfo());
    }

    std::string root;
    CRecordingReporter reporter;

private:
    std::string m_dir;
};

// Records every path the store flushes while it lives, in order.
class CSyncRecorder {
public:
    CSyncRecorder() {
        Paths().clear();
        storefs::SetSyncObserver([](const std::string& path) { Paths().push_back(path); });
    }
    ~CSyncRecorder() { storefs::SetSyncObserver(nullptr); }
    static std::vector<std::string>& Paths() {
        static std::vector<std::string> paths;
        return paths;
    }
    // Where path was first flushed; -1: never.
    static int Position(const std::string& path) { return Find(path, false); }
    // Where a temporary name made for path was first flushed; -1: never.
    static int TempPosition(const std::string& path) { return Find(path + ".tmp", true); }

private:
    static int Find(const std::string& path, bool prefix) {
        const auto& paths = Paths();
        for (std::size_t i = 0; i < paths.size(); ++i)
            if (prefix ? paths[i].rfind(path, 0) == 0 : paths[i] == path)
                return static_cast<int>(i);
        return -1;
    }
};

} // namespace storetest
