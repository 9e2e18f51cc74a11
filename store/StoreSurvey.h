// SurveyStore: what the store holds and the disk it takes, walked from the
// thread directories. Plain code; the node runs it on a thread of its own,
// since a large store takes a while to walk.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct SThreadUsage {
    std::string threadId;
    std::string category;  // as the thread's record holds it: the name of its index
    std::string creatorId; // the servent that posted the thread, as text
    std::uint32_t updated = 0;
    std::uint64_t bytes = 0; // the sizes of its files
};

struct SStoreUsage {
    std::uint64_t bytes = 0; // every file of the store, the indexes included
    std::vector<SThreadUsage> threads;
    bool complete = false; // false when the walk was stopped
};

// The walk ends early, incomplete, once stop becomes true (nullptr: never).
SStoreUsage SurveyStore(const std::string& root, const std::atomic<bool>* stop = nullptr);
