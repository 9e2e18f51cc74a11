// CNgRuleFile: the rule file "ngrules.txt", plain UTF-8 a person may edit by
// hand: one rule a line (CNgRule), "#" starts a comment line. A broken line is
// reported and skipped; the other rules still apply. The file is read again
// when its time or size changed. Owned by one thread at a time (the front
// end's).
#pragma once

#include "reader/NgRule.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CNgRuleFile {
public:
    static constexpr std::string_view kFileName = "ngrules.txt";

    explicit CNgRuleFile(std::string path) : m_path(std::move(path)) {}

    // Reads the file when it changed since the last read (or was never read).
    // True when the rules were read again. A missing file holds no rules.
    bool ReloadIfChanged();
    // Replaces the file with text (through a temporary file and a rename) and
    // reads it. False, with a message in LastError(), when it cannot be written.
    bool Save(std::string_view text);
    // Adds one rule at the end of the file.
    bool Append(const CNgRule& rule);

    const std::vector<CNgRule>& Rules() const { return m_rules; }
    // One Japanese line per broken line: "ngrules.txt 3 行目: ..."
    const std::vector<std::string>& Errors() const { return m_errors; }
    const std::string& Text() const { return m_text; }
    const std::string& LastError() const { return m_lastError; }
    const std::string& Path() const { return m_path; }
    // Counts every reading, so a filter built from the rules knows it is stale.
    std::uint64_t Generation() const { return m_generation; }

    // The rules and errors of a file's text.
    static void ParseText(std::string_view text, std::vector<CNgRule>& rules,
                          std::vector<std::string>& errors);

private:
    void Read();

    std::string m_path;
    std::string m_text;
    std::vector<CNgRule> m_rules;
    std::vector<std::string> m_errors;
    std::string m_lastError;
    bool m_read = false;
    std::int64_t m_stamp = -1;
    std::int64_t m_size = -1;
    std::uint64_t m_generation = 0;
};
