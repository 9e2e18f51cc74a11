// CThreadIndex: the threads filed under one category. One empty marker file
// per thread (the full membership, listed for the thread list) and an
// ordered ".index" of at most 100 thread ids, newest update first (read to
// answer queries). A short-lived value made for one operation. Add runs on
// the GUI thread and on the fetch worker: the exclusive creation of
// "index.temp" is the lock between them, and the new ".index" replaces the
// old one by a single rename.
#pragma once

#include "store/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CThreadIndex {
public:
    static constexpr std::size_t kMaxEntries = 100;
    static constexpr std::size_t kMaxQueryAnswers = 10;

    CThreadIndex(std::string category, std::string root);

    // Files the thread (32-digit id text) in the category, or moves it to
    // its place after an update: before the first entry updated strictly
    // earlier, behind every entry updated at the same time. True when the
    // ".index" holds the thread's place (rewritten, or already so); false
    // when the id is not a thread id or another writer holds "index.temp"
    // (the marker is made all the same).
    bool Add(std::string_view threadId);
    // Takes the thread out of the category: its marker and its entry.
    bool Remove(std::string_view threadId);
    // Every thread of the category, newest update first, ties in listing
    // order, with its updated time when updatedTimes is given. Returns the
    // number of markers found.
    std::size_t List(std::vector<std::string>& threadIds,
                     std::vector<std::uint32_t>* updatedTimes = nullptr) const;
    // The local answer to a query: the thread itself when a thread id is
    // given and held here (whatever its category), else the first 10
    // entries of the ".index" in file order. Returns the number appended.
    std::size_t MatchQuery(std::string_view threadId, std::vector<std::string>& threadIds) const;

    // Removes an "index.temp" left by a writer that died between writing
    // and renaming, in every category directory under root. Called once at
    // start-up, before any Add can run. Returns the number removed.
    static std::size_t RemoveLeftoverTemp(const std::string& root);

    // The updated time of a thread as the index orders by it: the time at
    // offset 8 of its ".info", 0 when that cannot be read.
    static std::uint32_t UpdatedTime(const std::string& root, std::string_view threadId);

    const std::string& GetCategory() const { return m_category; }
    const std::string& GetRoot() const { return m_root; }

private:
    // The ".index" as bytes (a damaged one may end in part of an entry).
    std::string ReadIndex() const;
    // The ".index" bytes with the thread in its place.
    std::string Placed(const storefs::CDirectoryHandle& rootDir, std::string_view threadId,
                       std::string_view entries) const;

    std::string m_category;
    std::string m_root;
    std::string m_escaped;
};
