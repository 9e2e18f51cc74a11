// CNgRule: one NG rule, as one line of the rule file holds it:
//   TARGETS KIND SCOPE ACTION PATTERN
// TARGETS is "title", "name", "mail", "body" or "all", several joined by ",";
// KIND "word" (plain text, matched after folding) or "regex" (RE2, on the
// text as it is); SCOPE "all", "category=NAME" or "thread=ID"; ACTION
// "abone" (shown as "あぼーん") or "hide" (left out). The fields are parted by
// blanks or tabs; the pattern is the rest of the line. Plain code, any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class ENgAction { None, Abone, Hide };

struct CNgRule {
    enum Target : unsigned { Title = 1, Name = 2, Mail = 4, Body = 8, All = 15 };
    enum class Kind { Word, Regex };
    enum class Scope { All, Category, Thread };

    unsigned targets = Body;
    Kind kind = Kind::Word;
    Scope scope = Scope::All;
    std::string scopeValue; // the category (UTF-8) or the 32-digit thread id
    ENgAction action = ENgAction::Abone;
    std::string pattern; // UTF-8 as written

    // Reads one line; nullopt with a Japanese reason in error when the line
    // is not a rule (a blank line or a comment gives nullopt and no error).
    static std::optional<CNgRule> Parse(std::string_view line, std::string& error);
    // The line Parse reads back as this rule.
    std::string Format() const;
};
