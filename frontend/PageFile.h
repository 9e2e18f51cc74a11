// CPageFile: the one "current.html" of the process, written whole (a
// temporary name renamed over it) and by one writer at a time. Views on the
// GUI thread and page builders on threads of their own write through it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CPageFile {
public:
    enum class Outcome {
        Written,    // the file holds this page
        Superseded, // a page asked for later is there already and stays
        NotWritten  // the file could not be written; it holds what it held
    };

    // Orders the pages asked for: taken when a page is asked for, before it
    // is built (a large page takes a while, a small one asked for after it
    // may be written first).
    static std::uint64_t NextTicket();
    // Replaces the file at path with page unless a page with a later ticket
    // has been written there.
    static Outcome Write(const std::string& path, std::string_view page, std::uint64_t ticket);
};
