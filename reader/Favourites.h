// CFavourites: the threads the reader keeps under "お気に入り", across
// categories. Only the reader adds or removes one; nothing else (retention
// included) may drop it. Texts are the store's raw bytes. Any thread; each
// call uses the front ends' connection.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CReaderDb;

struct CFavourite {
    std::string threadId;
    std::string category; // raw Shift_JIS
    std::string title;    // raw Shift_JIS
};

class CFavourites {
public:
    explicit CFavourites(CReaderDb& db) : m_db(db) {}

    void Add(const CFavourite& favourite, std::uint32_t now);
    void Remove(std::string_view threadId);
    bool Contains(std::string_view threadId);
    // In the order they were added.
    std::vector<CFavourite> List();

private:
    CReaderDb& m_db;
};
