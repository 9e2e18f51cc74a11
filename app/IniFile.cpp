// CIniFile: a small reader of "[Section]" and "Key=Value" lines.
#include "app/IniFile.h"

#include <fstream>
#include <sstream>

namespace {
std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}
} // namespace

CIniFile::CIniFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes(kMaxFileSize, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    std::istringstream in(bytes);
    std::string line;
    std::string section;
    while (in && std::getline(in, line)) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == ';')
            continue;
        if (trimmed[0] == '[') {
            const auto close = trimmed.find(']');
            section = Lower(Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos
                                                                               : close - 1)));
            continue;
        }
        const auto equals = trimmed.find('=');
        if (equals == std::string::npos || section.empty())
            continue;
        const std::string key = Lower(Trim(trimmed.substr(0, equals)));
        // The first occurrence of a key wins, as with the platform's profile files.
        m_values.emplace(section + '\n' + key, Trim(trimmed.substr(equals + 1)));
    }
}

std::string CIniFile::GetString(const std::string& section, const std::string& key,
                                const std::string& fallback) const {
    const auto it = m_values.find(Lower(section) + '\n' + Lower(key));
    return it == m_values.end() ? fallback : it->second;
}

unsigned long CIniFile::GetInt(const std::string& section, const std::string& key,
                               unsigned long fallback) const {
    const auto it = m_values.find(Lower(section) + '\n' + Lower(key));
    if (it == m_values.end())
        return fallback;
    unsigned long value = 0;
    for (char c : it->second) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return value;
}
