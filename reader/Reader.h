// CReader: the reader's tools as one object the front ends share (the desktop
// and the web interface in one process hold the same one): the NG rule file
// and its filter, read marks, favourites, the search index and the worker that
// keeps it current. Nothing is loaded at construction: the rule file is read
// when a filter is first asked for, the database opened when first used, so
// an idle headless node pays for none of it. Made and used on the GUI thread;
// the index worker is its own thread, and the reporter may be called from it.
#pragma once

#include "reader/Favourites.h"
#include "reader/NgFilter.h"
#include "reader/NgRuleFile.h"
#include "reader/ReadMarks.h"
#include "reader/ReaderDb.h"
#include "reader/SearchIndex.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class CIndexWorker;

class CReader {
public:
    using Reporter = std::function<void(std::string_view textUtf8)>;

    // dataDir: the working directory prefix ("" or ending in "/"), where
    // "reader.db" and "ngrules.txt" live; storeRoot: "thread/" under it.
    CReader(std::string dataDir, std::string storeRoot, Reporter reporter);
    ~CReader();

    // The rules as last read; the file is read again when it changed, and the
    // broken lines of a new reading are told to the reporter.
    CNgRuleFile& RuleFile();
    // The filter of the rules as they stand (none while "show filtered" is
    // on). Shared: a page built on another thread keeps the one it began with.
    std::shared_ptr<const CNgFilter> Filter();
    // "show filtered": everything is shown as if there were no rules.
    bool ShowFiltered() const { return m_showFiltered; }
    void SetShowFiltered(bool on) { m_showFiltered = on; }
    // The category (UTF-8) the filter sees for a thread's raw category.
    static std::string CategoryText(std::string_view cp932);

    CReaderDb& Db() { return *m_db; }
    CReadMarks& Marks() { return m_marks; }
    CFavourites& Favourites() { return m_favourites; }
    CSearchIndex& Index() { return m_index; }

    // A thread was posted, fetched, refreshed or deleted here: the worker
    // re-reads it. Starts the worker (and with it the first catch-up).
    void ThreadChanged(const std::string& threadId);
    // Starts the worker so that the index catches up with the store now.
    void StartIndexing();
    // Told (on the worker) after each job; "" after a catch-up.
    void SetIndexedCallback(std::function<void(const std::string&)> callback) {
        m_indexed = std::move(callback);
    }
    // Blocks until the worker has nothing left (tests, benchmarks).
    void WaitIndexed();

private:
    Reporter m_reporter;
    std::string m_storeRoot;
    std::unique_ptr<CReaderDb> m_db;
    CReadMarks m_marks;
    CFavourites m_favourites;
    CSearchIndex m_index;
    CNgRuleFile m_ruleFile;
    std::shared_ptr<const CNgFilter> m_filter;
    std::uint64_t m_filterGeneration = 0;
    bool m_showFiltered = false;
    std::function<void(const std::string&)> m_indexed;
    std::unique_ptr<CIndexWorker> m_worker;
};
