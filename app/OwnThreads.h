// COwnThreads: the threads this node wrote or answered, kept in
// "ownthreads.dat" in the data directory (one thread id a line), so that the
// store's retention never removes them, across restarts too. Not a file of
// the store: the store never reads it. GUI thread only.
#pragma once

#include <string>
#include <unordered_set>

class COwnThreads {
public:
    static constexpr const char* kFileName = "ownthreads.dat";
    // Ids beyond this many are not read (about 3 MiB of lines).
    static constexpr std::size_t kMaxThreads = 100000;

    // Reads the file at path; a missing or unreadable file reads as empty.
    explicit COwnThreads(std::string path);

    // Records a thread posted or answered here; false when it could not be
    // written (it is still known until the node ends).
    bool Add(const std::string& threadId);
    bool Contains(const std::string& threadId) const { return m_ids.count(threadId) != 0; }
    std::size_t Size() const { return m_ids.size(); }

private:
    std::string m_path;
    std::unordered_set<std::string> m_ids;
};
