// CWebThreadLists: the thread lists the web interface serves its pages from:
// the current category's rows, kept as the desktop's list keeps them (filled
// from the index, moved and marked by announced and fetched threads), and
// the last other category listed, kept until the store changes.
//
// Listing a category of 100,000 threads, and moving one row among them, take
// time in proportion to the category, so the lists live on the web worker:
// every call but the two "Want" ones is a job CWebInterface queues there, and
// the jobs run in the order the GUI thread queued them, so a change and the
// pages asked after it meet in that order. Worker thread only, except
// WantRefill and StoreChanged, which the GUI thread calls.
#pragma once

#include "base/ThreadSummary.h"
#include "frontend/ThreadRows.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

class CWebThreadLists {
public:
    explicit CWebThreadLists(std::string root);

    // GUI thread. The current category is to be listed again from the store
    // (a refresh, a new selection, the node's start); any number of these
    // before the worker comes to the lists costs one listing.
    void WantRefill() { m_refillWanted.fetch_add(1); }
    // GUI thread. The store changed: the other category's listing is stale.
    void StoreChanged() { m_storeGeneration.fetch_add(1); }

    // Lists the current category when a refill is wanted or the rows are of
    // another one. True when it listed.
    bool Ensure(const std::string& current);
    // An announced or fetched thread, as CThreadRows::UpdateThreadRow takes
    // it, in the current category's rows (listed first when they must be).
    bool Update(const std::string& current, const CThreadSummary& summary);

    // A page of a category's list as JSON: {"total","offset","rows":[...]},
    // a row as the desktop's list shows it. listed tells whether a category
    // had to be listed for it.
    std::string Page(const std::string& current, const std::string& category, std::size_t offset,
                     std::size_t limit, bool& listed);

private:
    std::string m_root;
    CThreadRows m_rows;
    int m_refillDone = -1;
    std::atomic<int> m_refillWanted{0};
    std::atomic<int> m_storeGeneration{0};
    std::unique_ptr<CThreadRows> m_other;
    int m_otherGeneration = 0; // the store generation it was listed in
};
