// CollectQueryHits: the local answer to a query, built from the thread store.
// Thread of the overlay only (the query handler).
#include "protocol/Handlers.h"
#include "protocol/wire/HitEntry.h"
#include "protocol/wire/QueryHitMessage.h"
#include "protocol/wire/QueryMessage.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"

#include <string>
#include <vector>

int CollectQueryHits(const std::string& root, const CQueryMessage& query, CQueryHitMessage& hits) {
    std::vector<std::string> threadIds;
    CThreadIndex(query.GetCategory(), root).MatchQuery(query.GetThreadId().GetText(), threadIds);

    int count = 0;
    for (const std::string& threadId : threadIds) {
        if (count == static_cast<int>(CThreadIndex::kMaxQueryAnswers))
            break;
        CThreadRecord thread;
        // An index entry whose files are gone or unreadable is not offered:
        // a peer would only fail to fetch it.
        if (!thread.Load(threadId, root))
            continue;
        CHitEntry entry;
        entry.SetThreadId(CBinaryId::FromText(threadId));
        entry.SetTime(thread.GetUpdated());
        entry.SetResCount(thread.GetResCount());
        entry.SetTitle(thread.GetTitle());
        entry.SetName(thread.GetName());
        entry.SetCategory(thread.GetCategory());
        hits.AddEntry(std::move(entry));
        ++count;
    }
    return count;
}
