// CNgRule: reading and writing one line of the rule file.
#include "reader/NgRule.h"

#include <re2/re2.h>

#include <initializer_list>
#include <utility>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The next blank-parted field; line is left at the blank after it.
std::string_view NextField(std::string_view& line) {
    std::size_t start = 0;
    while (start < line.size() && IsBlank(line[start]))
        ++start;
    std::size_t end = start;
    while (end < line.size() && !IsBlank(line[end]))
        ++end;
    const std::string_view field = line.substr(start, end - start);
    line.remove_prefix(end);
    return field;
}

bool ReadTargets(std::string_view text, unsigned& targets) {
    targets = 0;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view word = text.substr(0, comma);
        if (word == "title")
            targets |= CNgRule::Title;
        else if (word == "name")
            targets |= CNgRule::Name;
        else if (word == "mail")
            targets |= CNgRule::Mail;
        else if (word == "body")
            targets |= CNgRule::Body;
        else if (word == "all")
            targets |= CNgRule::All;
        else
            return false;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return targets != 0;
}

// The value a field names among the words a column allows.
template <typename Value>
bool ReadChoice(std::string_view field,
                std::initializer_list<std::pair<std::string_view, Value>> words, Value& value) {
    for (const auto& [word, meant] : words)
        if (field == word) {
            value = meant;
            return true;
        }
    return false;
}

} // namespace

std::optional<CNgRule> CNgRule::Parse(std::string_view line, std::string& error) {
    error.clear();
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    std::size_t first = 0;
    while (first < line.size() && IsBlank(line[first]))
        ++first;
    if (first == line.size() || line[first] == '#')
        return std::nullopt;

    CNgRule rule;
    if (!ReadTargets(NextField(line), rule.targets)) {
        error = "対象は title, name, mail, body, all のどれかです";
        return std::nullopt;
    }
    if (!ReadChoice(NextField(line), {{"word", Kind::Word}, {"regex", Kind::Regex}}, rule.kind)) {
        error = "種類は word か regex です";
        return std::nullopt;
    }
    const std::string_view scope = NextField(line);
    if (scope == "all") {
        rule.scope = Scope::All;
    } else if (scope.starts_with("category=") && scope.size() > 9) {
        rule.scope = Scope::Category;
        rule.scopeValue = scope.substr(9);
    } else if (scope.starts_with("thread=") && scope.size() == 7 + 32) {
        rule.scope = Scope::Thread;
        rule.scopeValue = scope.substr(7);
    } else {
        error = "範囲は all, category=名前, thread=ID のどれかです";
        return std::nullopt;
    }
    if (!ReadChoice(NextField(line), {{"abone", ENgAction::Abone}, {"hide", ENgAction::Hide}},
                    rule.action)) {
        error = "動作は abone か hide です";
        return std::nullopt;
    }
    // One blank parts the action from the pattern; the rest is the pattern.
    if (!line.empty())
        line.remove_prefix(1);
    rule.pattern = std::string(line);
    if (rule.pattern.empty()) {
        error = "パターンがありません";
        return std::nullopt;
    }
    if (rule.kind == Kind::Regex) {
        RE2::Options options;
        options.set_log_errors(false);
        const RE2 compiled(rule.pattern, options);
        if (!compiled.ok()) {
            error = "正規表現として読めません (" + compiled.error() + ")";
            return std::nullopt;
        }
    }
    return rule;
}

std::string CNgRule::Format() const {
    std::string line;
    if (targets == All) {
        line = "all";
    } else {
        const std::pair<unsigned, const char*> names[] = {
            {Title, "title"}, {Name, "name"}, {Mail, "mail"}, {Body, "body"}};
        for (const auto& [bit, name] : names)
            if (targets & bit) {
                if (!line.empty())
                    line += ',';
                line += name;
            }
    }
    line += kind == Kind::Word ? " word " : " regex ";
    if (scope == Scope::All)
        line += "all";
    else
        line += (scope == Scope::Category ? "category=" : "thread=") + scopeValue;
    line += action == ENgAction::Hide ? " hide " : " abone ";
    line += pattern;
    return line;
}
