// CEntryPointFile: reading, writing and editing the entry point list.
#include "frontend/EntryPointFile.h"

#include "base/ShiftJis.h"

#include "store/FileSystem.h"

#include <fstream>
#include <utility>

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

CEntryPointFile::CEntryPointFile(std::string path) : m_path(std::move(path)) {}

bool CEntryPointFile::Load() {
    m_entries.clear();
    // A missing file is an empty list that the first change creates.
    m_canSave = !storefs::Exists(m_path);
    if (m_canSave)
        return false;
    // One byte over the bound tells a file cut at the bound from one that fits.
    std::string bytes;
    if (!storefs::ReadFile(m_path, bytes, kMaxFileSize + 1))
        return false;
    if (bytes.size() > kMaxFileSize) {
        // Whole lines only: an entry cut at the bound would be a wrong address.
        const std::size_t lastBreak = bytes.rfind('\n', kMaxFileSize - 1);
        bytes.resize(lastBreak == std::string::npos ? 0 : lastBreak + 1);
    } else {
        m_canSave = true;
    }
    m_entries = Parse(bytes);
    return true;
}

std::vector<std::string> CEntryPointFile::Parse(std::string_view bytes) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            entries.emplace_back(bytes.substr(start)); // a last line without a break
            break;
        }
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        entries.emplace_back(line);
        start = end + 1;
    }
    return entries;
}

bool CEntryPointFile::Save() const {
    if (!m_canSave)
        return false;
    std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    for (const std::string& entry : m_entries) {
        out.write(entry.data(), static_cast<std::streamsize>(entry.size()));
        out.write("\r\n", 2);
    }
    out.close();
    return static_cast<bool>(out);
}

std::string CEntryPointFile::FirstEntry() const {
    return m_entries.empty() ? std::string() : m_entries.front();
}

bool CEntryPointFile::Add(const std::string& text) {
    for (const std::string& entry : m_entries) {
        if (BeginsWithNoCase(entry, text))
            return false;
    }
    m_entries.insert(m_entries.begin(), text);
    Save();
    return true;
}

void CEntryPointFile::MoveUp(int& selected) {
    if (!IsValid(selected))
        return;
    if (selected > 0) {
        std::swap(m_entries[selected], m_entries[selected - 1]);
        --selected;
    }
    Save();
}

void CEntryPointFile::MoveDown(int& selected) {
    if (!IsValid(selected))
        return;
    if (static_cast<std::size_t>(selected) + 1 < m_entries.size()) {
        std::swap(m_entries[selected], m_entries[selected + 1]);
        ++selected;
    }
    Save();
}

void CEntryPointFile::Remove(int selected) {
    if (!IsValid(selected))
        return;
    m_entries.erase(m_entries.begin() + selected);
    Save();
}

bool CEntryPointFile::BeginsWithNoCase(std::string_view entry, std::string_view text) {
    if (entry.size() < text.size())
        return false;
    std::size_t i = 0;
    while (i < text.size()) {
        if (shiftjis::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            if (entry[i] != text[i] || entry[i + 1] != text[i + 1])
                return false;
            i += 2;
            continue;
        }
        if (LowerAscii(entry[i]) != LowerAscii(text[i]))
            return false;
        ++i;
    }
    return true;
}
