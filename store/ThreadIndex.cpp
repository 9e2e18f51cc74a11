// CThreadIndex: markers, the ordered ".index" and its replacement through
// "index.temp". Add runs on the GUI thread and on the fetch worker; whoever
// creates "index.temp" first writes, the other leaves the index as it is.
#include "store/ThreadIndex.h"

#include "base/BinaryId.h"
#include "store/EscapedName.h"
#include "store/FieldCoding.h"
#include "store/FileSystem.h"
#include "store/StorePaths.h"
#include "store/ThreadRecord.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <utility>

namespace {

using storefs::CFileHandle;

// A damaged ".index" could be of any size; no rewrite needs more than this.
constexpr std::size_t kMaxIndexRead = 64 * 1024;
constexpr std::size_t kIdTextSize = 32;
// From this many threads on, a listing reads their times on two threads.
constexpr std::size_t kParallelListing = 2000;

// The updated time of a thread, read through the store root held open: the
// path walked per thread is only "h/T/T.info".
std::uint32_t UpdatedTimeUnder(const storefs::CDirectoryHandle& root, std::string_view threadId) {
    if (!CBinaryId::IsWellFormedText(threadId))
        return 0;
    char path[2 + 2 * kIdTextSize + 8];
    char* at = path;
    *at++ = threadId[0];
    *at++ = '/';
    at = std::copy(threadId.begin(), threadId.end(), at);
    *at++ = '/';
    at = std::copy(threadId.begin(), threadId.end(), at);
    at = std::copy(storepaths::kInfoSuffix.begin(), storepaths::kInfoSuffix.end(), at);
    *at = '\0';
    char info[CThreadRecord::kInfoSize];
    if (root.ReadStart(path, info, sizeof info) != static_cast<long>(sizeof info))
        return 0;
    std::uint32_t updated = 0;
    field::CFieldReader reader(std::string_view(info + 8, sizeof info - 8));
    reader.ReadTime(updated);
    return updated;
}

std::string_view Entry(const std::string& entries, std::size_t i) {
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
    return UpdatedTimeUnder(rootDir, threadId);
}

std::string CThreadIndex::ReadIndex() const {
    std::string entries;
    if (!storefs::ReadFile(storepaths::IndexFile(m_root, m_escaped), entries, kMaxIndexRead))
        entries.clear();
    entries.resize(entries.size() - entries.size() % field::kIdSize);
    return entries;
}

bool CThreadIndex::Add(std::string_view threadId) {
    if (!CBinaryId::IsWellFormedText(threadId))
        return false;
    storefs::MakeDirectories(storepaths::CategoryDir(m_root, m_escaped));
    storefs::CreateEmptyFile(storepaths::MarkerFile(m_root, m_escaped, threadId));

    const std::string tempPath = storepaths::IndexTempFile(m_root, m_escaped);
    CFileHandle temp;
    if (!temp.Open(tempPath, CFileHandle::Mode::CreateExclusive))
        return false;

    const CBinaryId thread = CBinaryId::FromText(threadId);
    const std::string_view threadBytes(reinterpret_cast<const char*>(thread.GetBytes().data()),
                                       field::kIdSize);
    storefs::CDirectoryHandle rootDir;
    rootDir.Open(m_root);
    const std::uint32_t updated = UpdatedTimeUnder(rootDir, threadId);
    const std::string entries = ReadIndex();
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
            if (UpdatedTimeUnder(rootDir, entryId.GetText()) < updated) {
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

    return Commit(temp, tempPath, storepaths::IndexFile(m_root, m_escaped), result);
}

bool CThreadIndex::Remove(std::string_view threadId) {
    if (!CBinaryId::IsWellFormedText(threadId))
        return false;
    storefs::RemoveFile(storepaths::MarkerFile(m_root, m_escaped, threadId));

    const std::string tempPath = storepaths::IndexTempFile(m_root, m_escaped);
    CFileHandle temp;
    if (!temp.Open(tempPath, CFileHandle::Mode::CreateExclusive))
        return false;

    const std::string entries = ReadIndex();
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

std::size_t CThreadIndex::List(std::vector<std::string>& threadIds) const {
    const std::vector<std::string> markers =
        storefs::ListFiles(storepaths::CategoryDir(m_root, m_escaped), storepaths::kMarkerSuffix);
    std::vector<std::pair<std::uint32_t, std::string>> threads(markers.size());
    for (std::size_t i = 0; i < markers.size(); ++i)
        threads[i].second =
            markers[i].substr(0, markers[i].size() - storepaths::kMarkerSuffix.size());

    // One ".info" per thread is all the time goes to. A large category is
    // read by two threads, each with its own half; the order is made after.
    storefs::CDirectoryHandle rootDir;
    rootDir.Open(m_root);
    const auto readTimes = [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i)
            threads[i].first = UpdatedTimeUnder(rootDir, threads[i].second);
    };
    if (threads.size() >= kParallelListing) {
        const std::size_t half = threads.size() / 2;
        std::thread helper(readTimes, half, threads.size());
        readTimes(0, half);
        helper.join();
    } else {
        readTimes(0, threads.size());
    }
    // Newest first; a stable sort keeps threads updated at the same time in
    // listing order.
    std::stable_sort(threads.begin(), threads.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    threadIds.reserve(threadIds.size() + threads.size());
    for (auto& thread : threads)
        threadIds.push_back(std::move(thread.second));
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
