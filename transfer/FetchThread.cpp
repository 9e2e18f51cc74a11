// FetchThread: asks up to three holders of a thread, newest sighting first,
// for its opening post and the responses missing here, checks what they send
// and stores it, then refreshes the thread's counters and index entry. Runs
// on the fetch worker's thread; it reaches the node only through IFetchHost.
#include "transfer/FetchThread.h"

#include "base/BinaryId.h"
#include "res/Strings.h"
#include "store/ResRecord.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"
#include "transfer/BlockingSocket.h"
#include "transfer/FetchClient.h"
#include "transfer/ThreadSourceTable.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

constexpr std::size_t kIdSize = 16;

struct SIdHash {
    std::size_t operator()(const CBinaryId& id) const {
        return std::hash<std::string>()(id.GetText());
    }
};
using CIdSet = std::unordered_set<CBinaryId, SIdHash>;

bool StartsWithId(std::string_view bytes, std::size_t offset, const CBinaryId& id) {
    return bytes.size() >= offset + kIdSize &&
           std::memcmp(bytes.data() + offset, id.GetBytes().data(), kIdSize) == 0;
}

// A ".thread" as a holder sent it: whole fields, and the thread asked for.
bool IsThreadFileOf(std::string_view bytes, const CBinaryId& threadId) {
    if (bytes.size() < fetch::kMinThreadFile || !StartsWithId(bytes, 0, threadId))
        return false;
    CThreadRecord probe;
    return probe.DecodeThread(bytes);
}

// The fetch of one thread from its holders. It is the store's reporter for
// what it writes: the first write the store refuses (a full disk) is told and
// ends the fetch, since every further file would be refused too and each
// message waits for the user.
class CHolderFetch : public IStoreReporter {
public:
    CHolderFetch(const CBinaryId& threadId, IFetchHost& host)
        : m_threadId(threadId), m_host(host), m_root(host.StoreRoot()) {}

    // One holder: the opening post when it is not held here, the list of
    // the holder's responses and those missing here. False when the holder
    // could not be reached or had nothing to list.
    bool FetchFrom(const CSourceEntry& holder, int position, int range);

    void ReportStoreFailure(std::string_view textUtf8) override {
        if (!m_storeFailed.exchange(true))
            m_host.ReportStoreFailure(textUtf8);
    }
    // Ends the fetch: shutting down, or the store refused a write.
    bool Stopping() const { return m_storeFailed || m_host.Stopping(); }

    bool ThreadFetched() const { return m_threadFetched; }
    bool ResponsesStored() const { return m_resStored; }
    // Posting times of the responses stored by this fetch, by id text.
    const std::unordered_map<std::string, std::uint32_t>& StoredTimes() const {
        return m_storedTimes;
    }

private:
    bool Open(CBlockingSocket& socket, const CSourceEntry& holder);
    bool FetchThreadFile(CFetchClient& client);
    // The POST body's response ids, in the holder's order, without those held
    // here, repeats or null ids; progress for each listed id.
    std::vector<CBinaryId> MissingIds(const std::vector<CBinaryId>& remote,
                                      const std::vector<CBinaryId>& local, int position, int range);
    bool PostBatch(CFetchClient& client, const std::vector<CBinaryId>& ids, std::size_t begin,
                   std::size_t end, std::size_t& stored, int range);
    void StoreChunk(std::string_view chunk, const CIdSet& asked, std::size_t& stored, int range);

    CBinaryId m_threadId;
    IFetchHost& m_host;
    std::string m_root;
    std::atomic<bool> m_storeFailed{false};
    bool m_threadFetched = false;
    bool m_resStored = false;
    std::unordered_map<std::string, std::uint32_t> m_storedTimes;
};

bool CHolderFetch::Open(CBlockingSocket& socket, const CSourceEntry& holder) {
    if (!socket.Create(m_host.BindAddress()))
        m_host.ShowMessage(strings::kSocketCreateFailed);
    if (Stopping() || !socket.Connect(holder.address.GetText(), holder.port)) {
        socket.Close();
        return false;
    }
    return true;
}

bool CHolderFetch::FetchThreadFile(CFetchClient& client) {
    std::string bytes;
    if (!client.GetThreadFile(m_threadId, nullptr, bytes) || !IsThreadFileOf(bytes, m_threadId))
        return false;
    CThreadRecord thread;
    thread.SetThreadId(m_threadId);
    // Without the thread's directory no response could be stored either.
    if (!thread.StoreFetched(m_root, bytes, this))
        return false;
    m_threadFetched = true;
    return true;
}

bool CHolderFetch::FetchFrom(const CSourceEntry& holder, int position, int range) {
    CBlockingSocket socket;
    if (!Open(socket, holder))
        return false;
    CFetchClient client(socket, [this] { return Stopping(); });

    CThreadRecord thread;
    std::vector<CBinaryId> local;
    const bool loaded = thread.Load(m_threadId.GetText(), m_root);
    if (loaded)
        CResRecord::ListHeld(thread, local);
    if ((!loaded || thread.GetHeld() == 0) && !FetchThreadFile(client)) {
        socket.Close();
        return false;
    }
    const std::vector<CBinaryId> remote = client.GetResList(m_threadId);
    if (remote.empty()) {
        socket.Close();
        return false;
    }
    const std::vector<CBinaryId> missing = MissingIds(remote, local, position, range);

    // The body is sent even when it names the thread alone. A POST carries at
    // most kMaxIdsPerPost ids and is answered once per connection, so a
    // longer list goes in several requests, each on a new connection.
    const int chunkRange = static_cast<int>(missing.size() + 1);
    std::size_t stored = 0;
    std::size_t begin = 0;
    do {
        const std::size_t end = std::min(missing.size(), begin + CFetchClient::kMaxIdsPerPost);
        if (begin > 0 && !Open(socket, holder))
            break;
        CFetchClient batchClient(socket, [this] { return Stopping(); });
        CFetchClient& use = begin == 0 ? client : batchClient;
        if (!PostBatch(use, missing, begin, end, stored, chunkRange))
            break;
        begin = end;
    } while (begin < missing.size() && !Stopping());
    socket.Close();
    return true;
}

std::vector<CBinaryId> CHolderFetch::MissingIds(const std::vector<CBinaryId>& remote,
                                                const std::vector<CBinaryId>& local, int position,
                                                int range) {
    CIdSet skip(local.begin(), local.end());
    std::vector<CBinaryId> missing;
    const auto count = static_cast<long long>(remote.size());
    for (std::size_t k = 0; k < remote.size(); ++k) {
        const CBinaryId& id = remote[k];
        if (!id.IsNull() && skip.insert(id).second)
            missing.push_back(id);
        m_host.Progress(position + static_cast<int>(10 * static_cast<long long>(k) / count), range);
    }
    return missing;
}

bool CHolderFetch::PostBatch(CFetchClient& client, const std::vector<CBinaryId>& ids,
                             std::size_t begin, std::size_t end, std::size_t& stored, int range) {
    std::string body(reinterpret_cast<const char*>(m_threadId.GetBytes().data()), kIdSize);
    body.reserve(kIdSize * (end - begin + 1));
    const CIdSet asked(ids.begin() + static_cast<std::ptrdiff_t>(begin),
                       ids.begin() + static_cast<std::ptrdiff_t>(end));
    for (std::size_t i = begin; i < end; ++i)
        body.append(reinterpret_cast<const char*>(ids[i].GetBytes().data()), kIdSize);
    return client.PostGetThread(body, end - begin, [&](std::string_view chunk) {
        StoreChunk(chunk, asked, stored, range);
    });
}

void CHolderFetch::StoreChunk(std::string_view chunk, const CIdSet& asked, std::size_t& stored,
                              int range) {
    // A chunk is one whole ".res" of this thread, answering an id asked for.
    CBinaryId threadId;
    CBinaryId resId;
    if (chunk.size() < fetch::kMinResFile || !CResRecord::PeekIds(chunk, threadId, resId) ||
        !StartsWithId(chunk, 0, m_threadId) || resId.IsNull() || !asked.count(resId))
        return;
    CResRecord probe;
    if (!probe.Decode(chunk))
        return;
    CResRecord response;
    response.SetThreadId(m_threadId);
    response.SetResId(resId);
    if (Stopping() || !response.StoreFetched(m_root, chunk, this))
        return;
    m_resStored = true;
    m_storedTimes[resId.GetText()] = probe.GetTime();
    m_host.Progress(static_cast<int>(++stored), range);
}

} // namespace

void FetchThread(const CFetchRequest& request, IFetchHost& host) {
    if (request.delayMs > 0 && !host.Pause(std::chrono::milliseconds(request.delayMs)))
        return;
    CThreadSources sources;
    const bool wellFormed = CBinaryId::IsWellFormedText(request.threadId);
    if (wellFormed)
        host.LookupSources(request.threadId, sources);
    if (!wellFormed || !sources.SelectNewest()) {
        host.ClearFetchInProgress();
        if (request.delayMs == 0)
            host.NoHolder();
        else
            host.HolderNotFound();
        return;
    }

    const CBinaryId threadId = CBinaryId::FromText(request.threadId);
    const int range = sources.CountSources() * 100;
    int position = 0;
    std::vector<CSourceEntry> holders;
    for (CSourceEntry holder;
         static_cast<int>(holders.size()) < fetch::kMaxHolders && sources.NextSource(holder);)
        holders.push_back(holder);
    host.Asking(holders);
    CHolderFetch fetch(threadId, host);
    for (const CSourceEntry& holder : holders) {
        if (fetch.Stopping())
            break;
        if (!fetch.FetchFrom(holder, position, range))
            continue;
        position += 100;
        host.Progress(position, range);
    }

    // Stored responses count too: a thread held before would otherwise keep
    // counters and an index place that leave them out.
    if (fetch.ThreadFetched() || fetch.ResponsesStored()) {
        const std::string root = host.StoreRoot();
        CThreadRecord thread;
        if (thread.Load(request.threadId, root)) {
            thread.Refresh(root, &fetch, fetch.StoredTimes());
            CThreadIndex(thread.GetCategory(), root).Add(request.threadId);
        }
    }
    host.Done();
}
