// CSearchIndex: full-text search over every held post's title, name and body.
// The texts are converted from Shift_JIS to UTF-8 and folded (textfold) into
// an FTS5 table with the trigram tokenizer; a query shorter than three
// characters is a plain scan of the same folded texts. Hits come newest first
// with a snippet of the original text around the match. The store stays the
// truth: the index is filled from it and can always be made again. Writing
// runs on the index worker with the worker's connection, searching on the
// front ends' threads with theirs.
#pragma once

#include "reader/ReaderDb.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CSearchHit {
    std::string threadId;
    std::string postId; // the response id, or the thread id for the opening post
    std::uint32_t time = 0;
    std::string threadTitle; // UTF-8
    // The snippet, UTF-8: the match and up to a few dozen characters either side.
    std::string before;
    std::string match;
    std::string after;
};

class CSearchIndex {
public:
    static constexpr std::size_t kSnippetSide = 30; // characters

    CSearchIndex(CReaderDb& db, std::string storeRoot);

    // Brings what the index holds of the thread up to the store: responses
    // not indexed yet are added, those the store lost are dropped; a thread
    // the store no longer holds leaves the index.
    void IndexThread(std::string_view threadId);
    void RemoveThread(std::string_view threadId);
    // Indexes every thread whose held count or update time differs from the
    // index and drops threads the store lost; stops early when stop is set.
    // The number of threads (re)indexed.
    std::size_t CatchUp(const std::atomic<bool>* stop = nullptr);

    std::vector<CSearchHit> Search(std::string_view queryUtf8, std::size_t limit = 50);

    // The snippet parts of text around the first match of the folded query.
    static bool MakeSnippet(std::string_view text, std::string_view foldedQuery, CSearchHit& hit);

private:
    // Response id to posts row of what the index holds of a thread; none
    // when it could not be read.
    static std::optional<std::map<std::string, std::int64_t>>
    IndexedPosts(CReaderDb::Session& session, std::string_view threadId);
    CReaderDb& m_db;
    std::string m_root;
};
