// CThreadSummary: one thread as a queryhit, an update or a finished fetch
// describes it, for a row of the thread list. Texts are raw Shift_JIS bytes.
// A plain value; any thread.
#pragma once

#include <cstdint>
#include <string>

struct CThreadSummary {
    std::string category;
    std::string threadId; // 32 hex digits
    std::string title;
    std::uint16_t resCount = 0;
    std::string name;
    std::uint32_t time = 0;
    bool isNew = false; // shown with the "new" (lightning) mark
};
