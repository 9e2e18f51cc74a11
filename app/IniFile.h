// CIniFile: the settings file, read once at start-up (GUI thread). Sections and
// keys compare without regard to ASCII case; a missing file, section or key
// gives the caller's default.
#pragma once

#include <cstddef>
#include <map>
#include <string>

class CIniFile {
public:
    // Settings fit in a few lines; a larger file (or a device that never
    // ends) is read no further than this.
    static constexpr std::size_t kMaxFileSize = 1024 * 1024;

    // A missing or unreadable file (or a directory) reads as empty.
    explicit CIniFile(const std::string& path);

    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& fallback) const;
    // The leading decimal digits after leading blanks; no digits give 0.
    unsigned long GetInt(const std::string& section, const std::string& key,
                         unsigned long fallback) const;

private:
    std::map<std::string, std::string> m_values; // "section\nkey", lower-cased
};
