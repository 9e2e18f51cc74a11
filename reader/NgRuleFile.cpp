// CNgRuleFile: reading, re-reading and writing the rule file.
#include "reader/NgRuleFile.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

void CNgRuleFile::ParseText(std::string_view text, std::vector<CNgRule>& rules,
                            std::vector<std::string>& errors) {
    rules.clear();
    errors.clear();
    std::size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::string error;
        if (auto rule = CNgRule::Parse(line, error))
            rules.push_back(std::move(*rule));
        else if (!error.empty())
            errors.push_back(std::string(kFileName) + " " + std::to_string(lineNo) +
                             " 行目: " + error);
    }
}

bool CNgRuleFile::ReloadIfChanged() {
    struct stat info {};
    const bool exists = ::stat(m_path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    const std::int64_t stamp =
        exists ? static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec
               : -1;
    const std::int64_t size = exists ? static_cast<std::int64_t>(info.st_size) : -1;
    if (m_read && stamp == m_stamp && size == m_size)
        return false;
    m_stamp = stamp;
    m_size = size;
    Read();
    return true;
}

void CNgRuleFile::Read() {
    m_read = true;
    ++m_generation;
    m_text.clear();
    std::ifstream in(m_path, std::ios::binary);
    if (in) {
        std::ostringstream whole;
        whole << in.rdbuf();
        m_text = whole.str();
    }
    ParseText(m_text, m_rules, m_errors);
}

bool CNgRuleFile::Save(std::string_view text) {
    m_lastError.clear();
    const std::string temp = m_path + ".temp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            m_lastError = "NGルールのファイル「" + m_path + "」に書き込めませんでした。";
            return false;
        }
    }
    if (std::rename(temp.c_str(), m_path.c_str()) != 0) {
        std::remove(temp.c_str());
        m_lastError = "NGルールのファイル「" + m_path + "」に書き込めませんでした。";
        return false;
    }
    m_read = false;
    ReloadIfChanged();
    return true;
}

bool CNgRuleFile::Append(const CNgRule& rule) {
    ReloadIfChanged();
    std::string text = m_text;
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    text += rule.Format();
    text += '\n';
    return Save(text);
}
