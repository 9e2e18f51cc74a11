// CThreadIndex: markers, the ordered ".index" and its replacement through
// "index.temp". Add runs on the GUI thread and on the fetch worker; whoever
// creates "index.temp" first writes, the other leaves the index as it is.
// The updated times come from the process-wide CUpdatedTimeCache.
#include "store/ThreadIndex.h"

#include "base/BinaryId.h"
#include "store/EscapedName.h"
#include "store/FieldCoding.h"
#include "store/FileSystem.h"
#include "store/StorePaths.h"
#include "store/ThreadRecord.h"
#include "store/UpdatedTimeCache.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>

namespace {

using storefs::CFileHandle;

// A damaged ".index" could be of any size; no rewrite needs more than this.
constexpr std::size_t kMaxIndexRead = 64 * 1024;
// From this many threads on, a listing reads their times on two threads.
constexpr std::size_t kParallelListing = 2000;

// The entries of an index read as bytes: a damaged tail is no entry.
std::string_view WholeEntries(std::string_view bytes) {
    return bytes.substr(0, bytes.size() - bytes.size() % field::kIdSize);
}

std::string_view Entry(std::string_view entries, std::size_t i) {
    return std::string_view(entries).substr(i * field::kIdSize, field::kIdSize);
}

// Writes the new entries into the held "index.temp" and renames it over
// ".index": readers see the old index or the new one, and a crash before the
// rename leaves the old one whole.
bool Commit(CFileHandle& temp, const std::string& tempPath, const std::string& indexPath,
            std::string_view entries) {
    const bool written = temp.WriteAt(0, entries);
    const bool closed = temp.Close();
    if (written && closed && storefs::RenameOver(tempPath, indexPath))
        return true;
    storefs::RemoveFile(tempPath);
    return false;
}

} // namespace

CThreadIndex::CThreadIndex(std::string category, std::string root)
    : m_category(std::move(category)), m_root(std::move(root)),
      m_escaped(CEscapedName(m_category).GetText()) {}

std::uint32_t CThreadIndex::UpdatedTime(const std::string& root, std::string_view threadId) {
    storefs::CDirectoryHandle rootDir;
    rootDir.Open(root);
    return CUpdatedTimeCache::Instance().UpdatedTime(root, rootDir, threadId);
}

std::string CThreadIndex::ReadIndex() const {
    std::string bytes;
    if (!storefs::ReadFile(storepaths::IndexFile(m_root, m_escaped), bytes, kMaxIndexRead))
        bytes.clear();
    return bytes;
}

bool CThreadIndex::Add(std::string_view threadId) {
    if (!CBinaryId::IsWellFormedText(threadId))
        return false;
    // A thread filed before has its empty marker, and so its directory: one
    // stat spares making either again.
    const std::string marker = storepaths::MarkerFile(m_root, m_escaped, threadId);
    if (!storefs::IsEmptyFile(marker)) {
        storefs::MakeDirectories(storepaths::CategoryDir(m_root, m_escaped));
        storefs::CreateEmptyFile(marker);
    }

    storefs::CDirectoryHandle rootDir;
    rootDir.Open(m_root);
    // A thread that keeps its place (re-filed after a fetch, or already
    // first when a response is posted) would rewrite the same bytes: the
    // ".index" is left as it is, without taking "index.temp".
    const std::string current = ReadIndex();
    std::string placed = Placed(rootDir, threadId, WholeEntries(current));
    if (placed == current)
        return true;

    const std::string tempPath = storepaths::IndexTempFile(m_root, m_escaped);
    CFileHandle temp;
    if (!temp.Open(tempPath, CFileHandle::Mode::CreateExclusive))
        return false;
    // The other writer may have replaced the ".index" before the lock was
    // taken: then the place is found again in the one it left.
    const std::string locked = ReadIndex();
    if (locked != current)
        placed = Placed(rootDir, threadId, WholeEntries(locked));
    return Commit(temp, tempPath, storepaths::IndexFile(m_root, m_escaped), placed);
}

std::string CThreadIndex::Placed(const storefs::CDirectoryHandle& rootDir,
                                 std::string_view threadId, std::string_view entries) const {
    const CBinaryId thread = CBinaryId::FromText(threadId);
    const std::string_view threadBytes(reinterpret_cast<const char*>(thread.GetBytes().data()),
                                       field::kIdSize);
    CUpdatedTimeCache& times = CUpdatedTimeCache::Instance();
    const std::uint32_t updated = times.UpdatedTime(m_root, rootDir, threadId);
    const std::size_t count = entries.size() / field::kIdSize;

    // One pass: the thread goes before the first entry updated strictly
    // earlier; its old entry is dropped. The pass stops once 100 entries are
    // out, so inserting while 99 are out gives 101.
    std::string result;
    result.reserve((kMaxEntries + 1) * field::kIdSize);
    std::size_t written = 0;
    bool threadWritten = false;
    for (std::size_t i = 0; i < count && written < kMaxEntries; ++i) {
        const std::string_view entry = Entry(entries, i);
        if (!threadWritten) {
            const CBinaryId entryId =
                CBinaryId::FromBytes(reinterpret_cast<const std::uint8_t*>(entry.data()));
            if (times.UpdatedTime(m_root, rootDir, entryId.GetText()) < updated) {
                result.append(threadBytes);
                ++written;
                threadWritten = true;
            }
        }
        if (entry != threadBytes) {
            result.append(entry);
            ++written;
        }
    }
    if (!threadWritten && written < kMaxEntries)
        result.append(threadBytes);
    return result;
}

bool CThreadIndex::Remove(std::string_view threadId) {
    if (!CBinaryId::IsWellFormedText(threadId))
        return false;
    storefs::RemoveFile(storepaths::MarkerFile(m_root, m_escaped, threadId));

    const std::string tempPath = storepaths::IndexTempFile(m_root, m_escaped);
    CFileHandle temp;
    if (!temp.Open(tempPath, CFileHandle::Mode::CreateExclusive))
        return false;

    const std::string bytes = ReadIndex();
    const std::string_view entries = WholeEntries(bytes);
    const std::size_t count = entries.size() / field::kIdSize;
    std::string result;
    std::size_t written = 0;
    for (std::size_t i = 0; i < count && written < kMaxEntries; ++i) {
        const std::string_view entry = Entry(entries, i);
        const CBinaryId entryId =
            CBinaryId::FromBytes(reinterpret_cast<const std::uint8_t*>(entry.data()));
        if (entryId.GetText() != threadId) {
            result.append(entry);
            ++written;
        }
    }
    return Commit(temp, tempPath, storepaths::IndexFile(m_root, m_escaped), result);
}

std::size_t CThreadIndex::List(std::vector<std::string>& threadIds,
                               std::vector<std::uint32_t>* updatedTimes) const {
    const std::vector<std::string> markers =
        storefs::ListFiles(storepaths::CategoryDir(m_root, m_escaped), storepaths::kMarkerSuffix);
    std::vector<std::pair<std::uint32_t, std::string>> threads(markers.size());
    for (std::size_t i = 0; i < markers.size(); ++i)
        threads[i].second =
            markers[i].substr(0, markers[i].size() - storepaths::kMarkerSuffix.size());

    // One ".info" per thread is what the time goes to: a cached time costs a
    // stat, any other a read. A large category is checked by two threads,
    // each with its own half; the order is made after.
    std::vector<CUpdatedTimeCache::SLookup> lookups(threads.size());
    for (std::size_t i = 0; i < threads.size(); ++i)
        lookups[i].threadId = threads[i].second;
    CUpdatedTimeCache& times = CUpdatedTimeCache::Instance();
    times.Take(m_root, lookups.data(), lookups.size());
    storefs::CDirectoryHandle rootDir;
    rootDir.Open(m_root);
    if (lookups.size() >= kParallelListing) {
        const std::size_t half = lookups.size() / 2;
        std::thread helper(&CUpdatedTimeCache::Resolve, &times, std::cref(rootDir),
                           lookups.data() + half, lookups.size() - half);
        times.Resolve(rootDir, lookups.data(), half);
        helper.join();
    } else {
        times.Resolve(rootDir, lookups.data(), lookups.size());
    }
    times.Put(m_root, lookups.data(), lookups.size());
    for (std::size_t i = 0; i < threads.size(); ++i)
        threads[i].first = lookups[i].updated;
    // Newest first; a stable sort keeps threads updated at the same time in
    // listing order.
    std::stable_sort(threads.begin(), threads.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    threadIds.reserve(threadIds.size() + threads.size());
    if (updatedTimes)
        updatedTimes->reserve(updatedTimes->size() + threads.size());
    for (auto& thread : threads) {
        threadIds.push_back(std::move(thread.second));
        if (updatedTimes)
            updatedTimes->push_back(thread.first);
    }
    return markers.size();
}

std::size_t CThreadIndex::MatchQuery(std::string_view threadId,
                                     std::vector<std::string>& threadIds) const {
    if (!threadId.empty()) {
        CThreadRecord thread;
        if (!thread.Load(threadId, m_root))
            return 0;
        threadIds.emplace_back(threadId);
        return 1;
    }
    std::string entries;
    if (!storefs::ReadFile(storepaths::IndexFile(m_root, m_escaped), entries,
                           kMaxQueryAnswers * field::kIdSize))
        return 0;
    std::size_t appended = 0;
    for (std::size_t i = 0; i < entries.size() / field::kIdSize; ++i) {
        const CBinaryId entry =
            CBinaryId::FromBytes(reinterpret_cast<const std::uint8_t*>(Entry(entries, i).data()));
        // A zeroed entry names no thread; offering it would answer with an
        // empty id.
        if (entry.IsNull())
            continue;
        threadIds.push_back(entry.GetText());
        ++appended;
    }
    return appended;
}

std::size_t CThreadIndex::RemoveLeftoverTemp(const std::string& root) {
    const std::string indexRoot = storepaths::IndexRoot(root);
    std::size_t removed = 0;
    for (const std::string& dir : storefs::ListDirectories(indexRoot)) {
        if (storefs::RemoveFile(storepaths::IndexTempFile(root, dir)))
            ++removed;
    }
    return removed;
}
