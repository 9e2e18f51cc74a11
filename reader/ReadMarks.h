// CReadMarks: what the reader saw of each thread when its page was last shown
// (the number of posts held then). A thread's new responses are the posts
// held now beyond that; a thread never shown has no mark and no new count.
// Any thread; each call uses the front ends' connection.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

class CReaderDb;

class CReadMarks {
public:
    explicit CReadMarks(CReaderDb& db) : m_db(db) {}

    void SetSeen(std::string_view threadId, int held);
    std::optional<int> Seen(std::string_view threadId);
    // Every mark, by thread id.
    std::map<std::string, int> All();
    // "すべて既読にする": every marked thread counts as seen up to what the
    // index holds of it.
    void MarkAllRead();
    // New posts by category (raw bytes), from the index and the marks.
    std::map<std::string, int> NewByCategory();

    // held beyond seen; 0 without a mark.
    static int NewCount(std::optional<int> seen, int held) {
        return seen && held > *seen ? held - *seen : 0;
    }

private:
    CReaderDb& m_db;
};
