// CResultTable: the rows a scenario produces, printed as an aligned table and
// written as CSV. Values are kept as their text. Simulator thread.
#pragma once

#include <string>
#include <utility>
#include <vector>

class CResultTable {
public:
    using Row = std::vector<std::pair<std::string, std::string>>;

    explicit CResultTable(std::string title) : m_title(std::move(title)) {}
    // Every row has the columns of the first, in its order. Each row is also
    // told at once on standard error, so a long run shows what it has.
    void Add(Row row);
    bool Empty() const { return m_rows.empty(); }

    void Print() const;
    bool WriteCsv(const std::string& path) const;

    static std::string Number(double value, int decimals = 2);

private:
    std::string m_title;
    std::vector<Row> m_rows;
};
