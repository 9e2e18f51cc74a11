// Test support for the reader: a store in a fresh directory with threads and
// responses written through the store's own code. Test thread only.
#pragma once

#include "base/BinaryId.h"
#include "base/Cp932Text.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace readertest {

inline std::string IdText(unsigned n, char bucket) {
    char text[40];
    std::snprintf(text, sizeof text, "%c%031x", bucket, n);
    return text;
}

struct CStore {
    TempDir dir;
    std::string root = dir.Path() + "thread/";

    // A thread with its opening post; texts in UTF-8.
    std::string Thread(unsigned n, const std::string& title, const std::string& body,
                       const std::string& category = "雑談") {
        const std::string id = IdText(n, 'a');
        CThreadRecord thread(CBinaryId::FromText(id), cp932text::FromUtf8(title),
                             cp932text::FromUtf8(category), "名無し", "", cp932text::FromUtf8(body),
                             {}, {}, 1000 + n, 1000 + n);
        thread.SetHeld(1);
        EXPECT_TRUE(thread.Create(root, nullptr));
        return id;
    }
    std::string Response(const std::string& threadId, unsigned n, const std::string& body,
                         std::uint32_t time) {
        const std::string id = IdText(n, 'b');
        EXPECT_TRUE(CResRecord(CBinaryId::FromText(threadId), CBinaryId::FromText(id), {}, "",
                               "名無し", "", cp932text::FromUtf8(body), {}, {}, time)
                        .Create(root, nullptr));
        return id;
    }
};

} // namespace readertest
