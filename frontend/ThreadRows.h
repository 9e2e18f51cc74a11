// CThreadRows: the rows of the thread list as plain data, for front ends that
// draw the list themselves (the web page): the same rows, marks and order as
// the desktop's list, filled from the category's index and updated in place
// by announced and fetched threads. Plain code; GUI thread.
#pragma once

#include <cstdint>
#include <string>
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

class CThreadRows {
public:
    explicit CThreadRows(std::string root) : m_root(std::move(root)) {}

    // Rebuilds every row from the category's index, newest first; a thread
    // whose record cannot be read gets no row.
    void Refill(const std::string& category);
    // An announced (isNew) thread moves to the place its update time gives it
    // with the lightning mark; a fetched one keeps its place and shows as
    // held; a thread without a row is added at the end.
    void UpdateThreadRow(const std::string& id, const std::string& title, std::uint16_t resCount,
                         const std::string& name, std::uint32_t time, bool isNew);

    // The row of a stored thread; false when its record cannot be read.
    static bool StoredRow(const std::string& root, const std::string& id, CThreadRow& row);
    // The row an announced or fetched thread shows: its summary's texts, with
    // what is held of it from the store. A thread not in the store has
    // nothing held and the lightning mark.
    static CThreadRow AnnouncedRow(const std::string& root, const std::string& id,
                                   const std::string& title, std::uint16_t resCount,
                                   const std::string& name, std::uint32_t time, bool isNew);

    const std::string& Category() const { return m_category; }
    const std::vector<CThreadRow>& Rows() const { return m_rows; }

private:
    std::string m_root;
    std::string m_category;
    std::vector<CThreadRow> m_rows;
};
