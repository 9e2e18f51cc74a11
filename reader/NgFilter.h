// CNgFilter: a set of NG rules made ready to judge posts: words folded once
// and joined in one RE2 set of literals, the expressions of each target in
// another (linear time, one pass over a text whatever the number of rules). Posts come as the store holds
// them (Shift_JIS); they are converted for matching only. Built on one thread,
// then read-only (any thread).
#pragma once

#include "reader/NgRule.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace re2 {
class RE2;
}

// One post's texts, raw Shift_JIS bytes.
struct CNgSubject {
    std::string_view title;
    std::string_view name;
    std::string_view mail;
    std::string_view body;
};

class CNgFilter {
public:
    CNgFilter();
    explicit CNgFilter(const std::vector<CNgRule>& rules);
    ~CNgFilter();
    CNgFilter(CNgFilter&&) noexcept;
    CNgFilter& operator=(CNgFilter&&) noexcept;

    bool Empty() const { return m_rules.empty(); }

    // The strongest action of the rules that match the post in that thread
    // and category (UTF-8): Hide over Abone over None.
    ENgAction Judge(const CNgSubject& post, std::string_view threadId,
                    std::string_view categoryUtf8) const;
    // A thread's row in the list: only title rules count.
    ENgAction JudgeTitle(std::string_view titleCp932, std::string_view threadId,
                         std::string_view categoryUtf8) const;

private:
    struct Target;
    ENgAction JudgeText(int target, std::string_view cp932, std::string_view threadId,
                        std::string_view categoryUtf8) const;
    bool InScope(const CNgRule& rule, std::string_view threadId,
                 std::string_view categoryUtf8) const;

    std::vector<CNgRule> m_rules;
    std::vector<std::unique_ptr<Target>> m_targets; // title, name, mail, body
};
