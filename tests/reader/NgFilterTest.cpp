// CNgRule, CNgRuleFile and CNgFilter: what a rule line means, which posts it
// catches, and that a broken line costs only itself.
#include "reader/NgFilter.h"
#include "reader/NgRuleFile.h"

#include "base/Cp932Text.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

const std::string kThread = "0123456789abcdef0123456789abcdef";
const std::string kOther = "fedcba9876543210fedcba9876543210";

struct FilterCase {
    const char* rule;     // one line of the rule file
    const char* field;    // "title", "name", "mail" or "body" of the post
    const char* text;     // UTF-8; stored as Shift_JIS
    const char* thread;   // kThread unless "other"
    const char* category; // the thread's category (UTF-8)
    ENgAction expected;
};

class NgFilterCaseTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(NgFilterCaseTest, JudgesThePost) {
    const FilterCase& c = GetParam();
    std::vector<CNgRule> rules;
    std::vector<std::string> errors;
    CNgRuleFile::ParseText(c.rule, rules, errors);
    ASSERT_TRUE(errors.empty()) << errors.front();
    ASSERT_EQ(rules.size(), 1u);
    const std::string bytes = cp932text::FromUtf8(c.text);
    CNgSubject post;
    const std::string_view field = c.field;
    (field == "title"  ? post.title
     : field == "name" ? post.name
     : field == "mail" ? post.mail
                       : post.body) = bytes;
    const std::string thread = std::string_view(c.thread) == "other" ? kOther : kThread;
    EXPECT_EQ(CNgFilter(rules).Judge(post, thread, c.category), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, NgFilterCaseTest,
    ::testing::Values(
        FilterCase{"body word all abone 荒らし", "body", "これは荒らしです", "", "雑談",
                   ENgAction::Abone},
        FilterCase{"body word all abone 荒らし", "name", "荒らし", "", "雑談", ENgAction::None},
        // Width, case and kana do not count for a word.
        FilterCase{"body word all hide spam", "body", "ＳＰＡＭだよ", "", "雑談", ENgAction::Hide},
        FilterCase{"body word all hide ｶﾀｶﾅ", "body", "ひらがなのかたかな", "", "雑談",
                   ENgAction::Hide},
        FilterCase{"name word all abone かたかな", "name", "カタカナ", "", "雑談",
                   ENgAction::Abone},
        // An expression sees the text as written.
        FilterCase{"mail regex all abone ^sage$", "mail", "sage", "", "雑談", ENgAction::Abone},
        FilterCase{"mail regex all abone ^sage$", "mail", "sage2", "", "雑談", ENgAction::None},
        FilterCase{"all regex all abone [０-９]{3}", "title", "番号１２３", "", "雑談",
                   ENgAction::Abone},
        // Scopes.
        FilterCase{"body word category=雑談 abone x", "body", "x", "", "雑談", ENgAction::Abone},
        FilterCase{"body word category=雑談 abone x", "body", "x", "", "ニュース", ENgAction::None},
        FilterCase{"body word thread=0123456789abcdef0123456789abcdef hide x", "body", "x", "",
                   "雑談", ENgAction::Hide},
        FilterCase{"body word thread=0123456789abcdef0123456789abcdef hide x", "body", "x", "other",
                   "雑談", ENgAction::None},
        FilterCase{"title,name word all abone 名無し", "name", "名無しさん", "", "雑談",
                   ENgAction::Abone},
        // A word is plain text, whatever it holds.
        FilterCase{"body word all abone a.b", "body", "axb", "", "雑談", ENgAction::None},
        FilterCase{"body word all abone (笑)", "body", "それは（笑）", "", "雑談",
                   ENgAction::Abone}),
    [](const ::testing::TestParamInfo<FilterCase>& info) {
        return "Case" + std::to_string(info.index);
    });

TEST(NgFilterTest, HideWinsOverAboneWhenBothMatch) {
    std::vector<CNgRule> rules;
    std::vector<std::string> errors;
    CNgRuleFile::ParseText("body word all abone a\nbody regex all hide b\n", rules, errors);
    EXPECT_EQ(CNgFilter(rules).Judge(CNgSubject{"", "", "", "ab"}, kThread, ""), ENgAction::Hide);
}

TEST(NgFilterTest, EachMatchingWordCountsByItsOwnRuleAmongExpressions) {
    std::vector<CNgRule> rules;
    std::vector<std::string> errors;
    CNgRuleFile::ParseText("body regex all hide ^zzz\n"
                           "body word category=ニュース hide x\n"
                           "body word all abone y\n",
                           rules, errors);
    ASSERT_EQ(rules.size(), 3u);
    const CNgFilter filter(rules);
    EXPECT_EQ(filter.Judge(CNgSubject{"", "", "", "x y"}, kThread, "雑談"), ENgAction::Abone);
    EXPECT_EQ(filter.Judge(CNgSubject{"", "", "", "x y"}, kThread, "ニュース"), ENgAction::Hide);
    EXPECT_EQ(filter.Judge(CNgSubject{"", "", "", "x"}, kThread, "雑談"), ENgAction::None);
}

TEST(NgRuleTest, BrokenLinesAreReportedByNumberAndTheOthersApply) {
    std::vector<CNgRule> rules;
    std::vector<std::string> errors;
    CNgRuleFile::ParseText("# comment\n"
                           "\n"
                           "body word all abone good\n"
                           "body regex all abone (unclosed\n"
                           "face word all abone x\n"
                           "body word all explode x\n"
                           "body word somewhere abone x\n"
                           "body word all abone\n"
                           "name word all hide also\r\n",
                           rules, errors);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].pattern, "good");
    EXPECT_EQ(rules[1].pattern, "also");
    ASSERT_EQ(errors.size(), 5u);
    EXPECT_EQ(errors[0].rfind("ngrules.txt 4 行目: 正規表現", 0), 0u) << errors[0];
    EXPECT_EQ(errors[4].rfind("ngrules.txt 8 行目: ", 0), 0u) << errors[4];
    EXPECT_EQ(CNgFilter(rules).Judge(CNgSubject{"", "", "", "good"}, kThread, ""),
              ENgAction::Abone);
}

TEST(NgRuleTest, FormatReadsBackAsTheSameRule) {
    for (const char* line : {"body word all abone a b", "title,mail regex category=雑談 hide ^x",
                             "all word thread=0123456789abcdef0123456789abcdef abone y"}) {
        std::string error;
        const auto rule = CNgRule::Parse(line, error);
        ASSERT_TRUE(rule) << line << ": " << error;
        EXPECT_EQ(rule->Format(), line);
    }
}

TEST(NgRuleFileTest, IsReadAgainWhenChangedAndAMissingFileHoldsNoRules) {
    TempDir dir;
    CNgRuleFile file(dir / "ngrules.txt");
    EXPECT_TRUE(file.ReloadIfChanged());
    EXPECT_TRUE(file.Rules().empty());
    EXPECT_FALSE(file.ReloadIfChanged());
    TempDir::WriteFile(dir / "ngrules.txt", "body word all abone one\n");
    EXPECT_TRUE(file.ReloadIfChanged());
    EXPECT_EQ(file.Rules().size(), 1u);
    TempDir::WriteFile(dir / "ngrules.txt", "body word all abone one\nname word all hide two\n");
    EXPECT_TRUE(file.ReloadIfChanged());
    EXPECT_EQ(file.Rules().size(), 2u);

    CNgRule rule;
    rule.pattern = "three";
    ASSERT_TRUE(file.Append(rule));
    EXPECT_EQ(file.Rules().size(), 3u);
    EXPECT_EQ(TempDir::ReadFile(dir / "ngrules.txt"),
              "body word all abone one\nname word all hide two\nbody word all abone three\n");
}

} // namespace
