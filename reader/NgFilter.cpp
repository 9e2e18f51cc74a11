// CNgFilter: folded words and RE2 sets per target.
#include "reader/NgFilter.h"

#include "base/Cp932Text.h"
#include "reader/TextFolding.h"

#include <re2/re2.h>
#include <re2/set.h>

struct CNgFilter::Target {
    std::vector<std::size_t> words;      // rules with a word for this target
    std::vector<std::string> folded;     // their folded patterns
    std::unique_ptr<RE2::Set> wordSet;   // the folded words as literals, or null
    std::vector<std::size_t> wordRules;  // rule of each word set member
    std::unique_ptr<RE2::Set> set;       // the expressions, or null
    std::vector<std::size_t> setRules;   // rule of each set member
    std::vector<std::unique_ptr<RE2>> alone; // the same, each by itself
};

namespace {
constexpr unsigned kTargetBits[4] = {CNgRule::Title, CNgRule::Name, CNgRule::Mail, CNgRule::Body};

RE2::Options SetOptions(bool literal) {
    RE2::Options options;
    options.set_log_errors(false);
    options.set_literal(literal);
    // Room for the DFA of a few hundred rules; past it a set reports the
    // shortage and the words are found one by one.
    options.set_max_mem(64 << 20);
    return options;
}

// Rule indexes of the members of a set that match text; false when the set
// could not run (its DFA ran out of memory).
bool MatchSet(const RE2::Set& set, std::string_view text, const std::vector<std::size_t>& rules,
              std::vector<std::size_t>& matched) {
    std::vector<int> hits;
    RE2::Set::ErrorInfo info{};
    if (!set.Match(re2::StringPiece(text.data(), text.size()), &hits, &info))
        return info.kind == RE2::Set::kNoError;
    for (int hit : hits)
        matched.push_back(rules[static_cast<std::size_t>(hit)]);
    return true;
}
} // namespace

CNgFilter::CNgFilter() = default;
CNgFilter::~CNgFilter() = default;
CNgFilter::CNgFilter(CNgFilter&&) noexcept = default;
CNgFilter& CNgFilter::operator=(CNgFilter&&) noexcept = default;

CNgFilter::CNgFilter(const std::vector<CNgRule>& rules) : m_rules(rules) {
    for (int t = 0; t < 4; ++t) {
        auto target = std::make_unique<Target>();
        for (std::size_t i = 0; i < m_rules.size(); ++i) {
            const CNgRule& rule = m_rules[i];
            if (!(rule.targets & kTargetBits[t]))
                continue;
            if (rule.kind == CNgRule::Kind::Word) {
                target->words.push_back(i);
                target->folded.push_back(textfold::Fold(rule.pattern));
                if (!target->wordSet)
                    target->wordSet = std::make_unique<RE2::Set>(SetOptions(true), RE2::UNANCHORED);
                if (target->wordSet->Add(target->folded.back(), nullptr) >= 0)
                    target->wordRules.push_back(i);
                continue;
            }
            if (!target->set)
                target->set = std::make_unique<RE2::Set>(SetOptions(false), RE2::UNANCHORED);
            // A pattern RE2 refuses was reported when the file was read; it
            // simply takes no part here.
            if (target->set->Add(rule.pattern, nullptr) >= 0) {
                target->setRules.push_back(i);
                target->alone.push_back(std::make_unique<RE2>(rule.pattern, SetOptions(false)));
            }
        }
        if (target->set && (target->setRules.empty() || !target->set->Compile()))
            target->set.reset();
        // Words the set could not take are found one by one instead.
        if (target->wordSet && (target->wordRules.size() != target->words.size() ||
                                !target->wordSet->Compile()))
            target->wordSet.reset();
        m_targets.push_back(std::move(target));
    }
}

bool CNgFilter::InScope(const CNgRule& rule, std::string_view threadId,
                        std::string_view categoryUtf8) const {
    switch (rule.scope) {
    case CNgRule::Scope::All:
        return true;
    case CNgRule::Scope::Category:
        return rule.scopeValue == categoryUtf8;
    case CNgRule::Scope::Thread:
        return rule.scopeValue == threadId;
    }
    return false;
}

ENgAction CNgFilter::JudgeText(int t, std::string_view cp932, std::string_view threadId,
                               std::string_view categoryUtf8) const {
    const Target& target = *m_targets[static_cast<std::size_t>(t)];
    if (target.words.empty() && !target.set)
        return ENgAction::None;
    ENgAction result = ENgAction::None;
    const std::string utf8 = cp932text::ToUtf8(cp932);
    auto take = [&](std::size_t ruleIndex) {
        const CNgRule& rule = m_rules[ruleIndex];
        if (rule.action > result && InScope(rule, threadId, categoryUtf8))
            result = rule.action;
    };
    std::vector<std::size_t> matched;
    if (!target.words.empty()) {
        // One pass over the folded text for all the words.
        const std::string folded = textfold::Fold(utf8);
        if (!target.wordSet || !MatchSet(*target.wordSet, folded, target.wordRules, matched))
            for (std::size_t w = 0; w < target.words.size(); ++w)
                if (folded.find(target.folded[w]) != std::string::npos)
                    matched.push_back(target.words[w]);
    }
    if (target.set && !MatchSet(*target.set, utf8, target.setRules, matched)) {
        // An expression set too large for its DFA: each expression alone.
        for (std::size_t k = 0; k < target.alone.size(); ++k)
            if (RE2::PartialMatch(utf8, *target.alone[k]))
                matched.push_back(target.setRules[k]);
    }
    for (std::size_t ruleIndex : matched)
        take(ruleIndex);
    return result;
}

ENgAction CNgFilter::Judge(const CNgSubject& post, std::string_view threadId,
                           std::string_view categoryUtf8) const {
    if (m_rules.empty())
        return ENgAction::None;
    const std::string_view texts[4] = {post.title, post.name, post.mail, post.body};
    ENgAction result = ENgAction::None;
    for (int t = 0; t < 4 && result != ENgAction::Hide; ++t) {
        const ENgAction action = JudgeText(t, texts[t], threadId, categoryUtf8);
        if (action > result)
            result = action;
    }
    return result;
}

ENgAction CNgFilter::JudgeTitle(std::string_view titleCp932, std::string_view threadId,
                                std::string_view categoryUtf8) const {
    if (m_rules.empty())
        return ENgAction::None;
    return JudgeText(0, titleCp932, threadId, categoryUtf8);
}
