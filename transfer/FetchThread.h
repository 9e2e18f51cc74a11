// FetchThread: one fetch of a thread from the nodes known to hold it, as the
// fetch worker runs it on its own thread. What it needs from the node and how
// it reports back go through IFetchHost, so the same procedure runs under the
// document (CFetchWorker) and under a test's recording host.
#pragma once

#include "store/StoreReporter.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

class CThreadSources;
struct CSourceEntry;

struct CFetchRequest {
    std::string threadId; // 32 hex digits
    int delayMs = 0;      // wait before looking up holders: 0, or 500 after a query
};

// Called on the worker thread. ReportStoreFailure (from IStoreReporter) and
// ShowMessage return once the user has seen the message, or at once when the
// node is stopping.
class IFetchHost : public IStoreReporter {
public:
    // The store root ("<data>thread/") and the address to connect from.
    virtual std::string StoreRoot() const = 0;
    virtual std::string BindAddress() const = 0;
    // A copy of the thread's holders, taken under the source table's lock.
    virtual bool LookupSources(const std::string& threadId, CThreadSources& sources) = 0;
    virtual void ShowMessage(std::string_view textUtf8) = 0;
    virtual void ClearFetchInProgress() = 0;
    // Progress as position of range; returns once it has been shown.
    virtual void Progress(int position, int range) = 0;
    virtual void Done() = 0;
    virtual void NoHolder() = 0;
    // The second look, after the query's answers had time to come, found no
    // holder either: the fetch ends here.
    virtual void HolderNotFound() {}
    // The holders this fetch will ask, in turn, before it asks the first.
    virtual void Asking(const std::vector<CSourceEntry>&) {}
    // True once the node is shutting down: the fetch ends as soon as it can.
    virtual bool Stopping() const = 0;
    // Waits for the time given; false when the wait was ended by stopping.
    virtual bool Pause(std::chrono::milliseconds time) = 0;
};

namespace fetch {
// Holders asked per fetch, newest sighting first.
inline constexpr int kMaxHolders = 3;
// The smallest legal ".thread" (three ids, a time, four empty short texts and
// an empty long text) and ".res" (five ids, a time, three short texts and a
// long text).
inline constexpr std::size_t kMinThreadFile = 58;
inline constexpr std::size_t kMinResFile = 89;
} // namespace fetch

void FetchThread(const CFetchRequest& request, IFetchHost& host);
