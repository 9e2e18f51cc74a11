// CUpdatedTimeCache: cached updated times, checked by the identity of each
// ".info". The lock guards only the maps; stats and reads run outside it, so
// the two readers of a listing and the fetch worker never wait on a disk.
#include "store/UpdatedTimeCache.h"

#include "base/BinaryId.h"
#include "store/FieldCoding.h"
#include "store/StorePaths.h"
#include "store/ThreadRecord.h"

#include <algorithm>

namespace {

constexpr std::size_t kIdTextSize = 32;
constexpr std::size_t kUpdatedOffset = 8;

std::uint64_t HexValue(std::string_view digits) {
    std::uint64_t value = 0;
    for (const char c : digits)
        value = value << 4 | static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    return value;
}

} // namespace

CUpdatedTimeCache& CUpdatedTimeCache::Instance() {
    static CUpdatedTimeCache cache;
    return cache;
}

bool CUpdatedTimeCache::KeyOf(std::string_view threadId, SLookup::SKey& key) {
    if (!CBinaryId::IsWellFormedText(threadId))
        return false;
    key.high = HexValue(threadId.substr(0, kIdTextSize / 2));
    key.low = HexValue(threadId.substr(kIdTextSize / 2));
    return true;
}

std::uint32_t CUpdatedTimeCache::UpdatedTime(const std::string& root,
                                             const storefs::CDirectoryHandle& rootDir,
                                             std::string_view threadId) {
    SLookup lookup;
    lookup.threadId = threadId;
    Take(root, &lookup, 1);
    Resolve(rootDir, &lookup, 1);
    Put(root, &lookup, 1);
    return lookup.updated;
}

void CUpdatedTimeCache::Take(const std::string& root, SLookup* lookups, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        lookups[i].valid = KeyOf(lookups[i].threadId, lookups[i].key);
    for (std::size_t begin = 0; begin < count; begin += kLockedBatch) {
        const std::size_t end = std::min(count, begin + kLockedBatch);
        const std::lock_guard lock(m_mutex);
        const auto threads = m_roots.find(root);
        if (threads == m_roots.end())
            return;
        for (std::size_t i = begin; i < end; ++i) {
            SLookup& lookup = lookups[i];
            if (!lookup.valid)
                continue;
            const auto found = threads->second.find(lookup.key);
            if (found != threads->second.end()) {
                lookup.entry = found->second;
                lookup.cached = true;
            }
        }
    }
}

void CUpdatedTimeCache::Resolve(const storefs::CDirectoryHandle& rootDir, SLookup* lookups,
                                std::size_t count) const {
    for (std::size_t i = 0; i < count; ++i)
        ResolveOne(rootDir, lookups[i]);
}

void CUpdatedTimeCache::ResolveOne(const storefs::CDirectoryHandle& rootDir,
                                   SLookup& lookup) const {
    lookup.updated = 0;
    if (!lookup.valid)
        return;
    // "h/T/T.info", relative to the root held open.
    const std::string_view id = lookup.threadId;
    char path[2 + 2 * kIdTextSize + 8];
    char* at = path;
    *at++ = id[0];
    *at++ = '/';
    at = std::copy(id.begin(), id.end(), at);
    *at++ = '/';
    at = std::copy(id.begin(), id.end(), at);
    at = std::copy(storepaths::kInfoSuffix.begin(), storepaths::kInfoSuffix.end(), at);
    *at = '\0';

    if (lookup.cached) {
        storefs::SFileIdentity now;
        if (rootDir.StatAt(path, now) && now == lookup.entry.identity) {
            lookup.updated = lookup.entry.updated;
            return;
        }
    }
    const std::int64_t readAt = storefs::WallClockNs();
    char info[CThreadRecord::kInfoSize];
    storefs::SFileIdentity identity;
    const long read = rootDir.ReadStart(path, info, sizeof info, &identity);
    // A missing, unreadable or short ".info" counts as updated at time 0.
    if (read == static_cast<long>(sizeof info)) {
        field::CFieldReader reader(std::string_view(info + kUpdatedOffset, 4));
        reader.ReadTime(lookup.updated);
    }
    // A file changed just before it was read may change again within the
    // same timestamp tick: it is read again next time until it has settled.
    if (read >= 0 && identity.changedNs + m_settleNs.load() < readAt) {
        lookup.entry.identity = identity;
        lookup.entry.updated = lookup.updated;
        lookup.store = true;
    } else {
        lookup.drop = lookup.cached;
    }
}

void CUpdatedTimeCache::Put(const std::string& root, const SLookup* lookups, std::size_t count) {
    const std::size_t stored = static_cast<std::size_t>(
        std::count_if(lookups, lookups + count, [](const SLookup& l) { return l.store; }));
    // A first listing stores thousands: room for them all at once.
    if (stored > 1) {
        const std::lock_guard lock(m_mutex);
        Threads& threads = m_roots[root];
        threads.reserve(std::min(threads.size() + stored, kMaxEntries));
    }
    for (std::size_t begin = 0; begin < count; begin += kLockedBatch) {
        const std::size_t end = std::min(count, begin + kLockedBatch);
        const std::lock_guard lock(m_mutex);
        for (std::size_t i = begin; i < end; ++i)
            PutLocked(root, lookups[i]);
    }
}

void CUpdatedTimeCache::PutLocked(const std::string& root, const SLookup& lookup) {
    if (lookup.drop) {
        const auto threads = m_roots.find(root);
        if (threads != m_roots.end())
            m_size -= threads->second.erase(lookup.key);
        return;
    }
    if (!lookup.store)
        return;
    Threads* threads = &m_roots[root];
    if (const auto found = threads->find(lookup.key); found != threads->end()) {
        found->second = lookup.entry;
        return;
    }
    // Bounded by emptying: the next listing of each category fills it again.
    if (m_size >= kMaxEntries) {
        m_roots.clear();
        m_size = 0;
        threads = &m_roots[root];
    }
    threads->emplace(lookup.key, lookup.entry);
    ++m_size;
}

void CUpdatedTimeCache::Forget(const std::string& root, std::string_view threadId) {
    SLookup lookup;
    if (!KeyOf(threadId, lookup.key))
        return;
    lookup.drop = true;
    const std::lock_guard lock(m_mutex);
    PutLocked(root, lookup);
}

std::size_t CUpdatedTimeCache::Size() const {
    const std::lock_guard lock(m_mutex);
    return m_size;
}

void CUpdatedTimeCache::Clear() {
    const std::lock_guard lock(m_mutex);
    m_roots.clear();
    m_size = 0;
}
