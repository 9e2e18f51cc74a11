// CThreadRows: the thread list as plain data, for front ends that draw the
// list themselves (the web page): the same rows, marks and order as the
// desktop's list, filled from the category's index and updated in place by
// announced and fetched threads. A category of 100,000 threads is held as
// ids and update times only; a row's texts are read from the store when its
// page is shown. Plain code.
//
// Threads: Listed and PageRows only read the store (and the process-wide
// updated-time cache) and may run on any thread; a CThreadRows object
// belongs to the one thread that uses it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct CThreadRow {
    enum Icon { kSheet = 0, kLightning = 2 }; // the list's pictures, by index
    std::string id;
    std::string title; // raw Shift_JIS bytes
    unsigned held = 0;
    unsigned resCount = 0;
    std::string name;    // raw Shift_JIS bytes
    std::string updated; // "%y/%m/%d %H:%M:%S" in local time
    std::string created; // the same; empty when the creation time is 0
    int icon = kSheet;
};

// One place in the list: a thread and the update time it is ordered by (the
// list's text, compared as the desktop compares it). A row given by an
// announcement or a fetch is kept whole; any other is read when shown.
struct CListedThread {
    std::array<char, 32> id{};
    std::array<char, 17> updated{}; // zero-padded when shorter
    std::shared_ptr<const CThreadRow> shown;

    std::string Id() const { return std::string(id.data(), id.size()); }
};

class CThreadRows {
public:
    explicit CThreadRows(std::string root) : m_root(std::move(root)) {}

    // The category's threads from its index, newest first, without their
    // texts: the walk of the store a fill needs, made on any thread.
    static std::vector<CListedThread> Listed(const std::string& root, const std::string& category);
    // Takes a listing made by Listed as the category's rows.
    void Assign(const std::string& category, std::vector<CListedThread> listed);
    // Rebuilds every row from the category's index (Listed, then Assign).
    void Refill(const std::string& category);
    // An announced (isNew) thread moves to the place its update time gives it
    // with the lightning mark; a fetched one keeps its place and shows as
    // held; a thread without a row is added at the end.
    void UpdateThreadRow(const std::string& id, const std::string& title, std::uint16_t resCount,
                         const std::string& name, std::uint32_t time, bool isNew);

    // Places [offset, offset + limit) of the list, to be shown by PageRows.
    std::vector<CListedThread> Slice(std::size_t offset, std::size_t limit) const;
    // The rows of a slice: a kept row as it is, any other read from the
    // store; a thread whose record cannot be read gets no row.
    static std::vector<CThreadRow> PageRows(const std::string& root,
                                            const std::vector<CListedThread>& slice);

    // The row of a stored thread; false when its record cannot be read.
    static bool StoredRow(const std::string& root, const std::string& id, CThreadRow& row);
    // The row an announced or fetched thread shows: its summary's texts, with
    // what is held of it from the store. A thread not in the store has
    // nothing held and the lightning mark.
    static CThreadRow AnnouncedRow(const std::string& root, const std::string& id,
                                   const std::string& title, std::uint16_t resCount,
                                   const std::string& name, std::uint32_t time, bool isNew);

    // The place of a thread in the list, or null.
    const CListedThread* Find(std::string_view id) const;

    const std::string& Category() const { return m_category; }
    std::size_t Size() const { return m_listed.size(); }
    // Every row, read as PageRows reads them (tests, small lists).
    std::vector<CThreadRow> Rows() const { return PageRows(m_root, m_listed); }

private:
    std::string m_root;
    std::string m_category;
    std::vector<CListedThread> m_listed;
};
