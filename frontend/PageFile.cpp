// CPageFile: one lock and the latest ticket written per path, for every
// thread of the process.
#include "frontend/PageFile.h"

#include "store/FileSystem.h"

#include <atomic>
#include <map>
#include <mutex>

namespace {
std::atomic<std::uint64_t> g_nextTicket{1};
std::mutex g_writeLock;
std::map<std::string, std::uint64_t> g_writtenTickets; // under g_writeLock
} // namespace

std::uint64_t CPageFile::NextTicket() {
    return g_nextTicket.fetch_add(1);
}

CPageFile::Outcome CPageFile::Write(const std::string& path, std::string_view page,
                                    std::uint64_t ticket) {
    const std::lock_guard lock(g_writeLock);
    std::uint64_t& written = g_writtenTickets[path];
    if (ticket < written)
        return Outcome::Superseded;
    if (!storefs::WriteFileAtomically(path, page))
        return Outcome::NotWritten;
    written = ticket;
    return Outcome::Written;
}
