// CResultTable: plain text and CSV of the scenario rows.
#include "ResultTable.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

void CResultTable::Add(Row row) {
    std::string line = "row:";
    for (const auto& [name, value] : row)
        line += " " + name + "=" + value;
    std::fprintf(stderr, "%s\n", line.c_str());
    m_rows.push_back(std::move(row));
}

void CResultTable::Print() const {
    if (m_rows.empty())
        return;
    std::vector<std::size_t> widths;
    for (const auto& [name, value] : m_rows.front())
        widths.push_back(name.size());
    for (const Row& row : m_rows)
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], row[i].second.size());
    std::printf("\n%s\n", m_title.c_str());
    for (std::size_t i = 0; i < widths.size(); ++i)
        std::printf("%*s ", static_cast<int>(widths[i]), m_rows.front()[i].first.c_str());
    std::printf("\n");
    for (const Row& row : m_rows) {
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
            std::printf("%*s ", static_cast<int>(widths[i]), row[i].second.c_str());
        std::printf("\n");
    }
    std::fflush(stdout);
}

bool CResultTable::WriteCsv(const std::string& path) const {
    std::ofstream out(path);
    if (!out)
        return false;
    if (m_rows.empty())
        return true;
    for (std::size_t i = 0; i < m_rows.front().size(); ++i)
        out << (i ? "," : "") << m_rows.front()[i].first;
    out << "\n";
    for (const Row& row : m_rows) {
        for (std::size_t i = 0; i < row.size(); ++i)
            out << (i ? "," : "") << row[i].second;
        out << "\n";
    }
    return static_cast<bool>(out);
}

std::string CResultTable::Number(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}
