// Tests of the relay rules: bounds of the plain rule, the update's randomised
// variant with an injected generator.
#include "protocol/wire/RelayRule.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

CMessageHeader Header(std::uint8_t ttl, std::uint8_t hops) {
    CMessageHeader header;
    header.SetTtl(ttl);
    header.SetHops(hops);
    return header;
}

// Returns the given values in turn and counts the draws.
struct SScriptedRandom {
    std::vector<unsigned> values;
    std::size_t draws = 0;
    std::function<unsigned()> Function() {
        return [this] { return values.at(draws++); };
    }
};

TEST(RelayRuleTest, FreshMessageIsRelayedWithHopsUpAndTtlDown) {
    CMessageHeader header = Header(5, 0);
    EXPECT_TRUE(ApplyRelayRule(header));
    EXPECT_EQ(header.GetHops(), 1);
    EXPECT_EQ(header.GetTtl(), 4);
}

TEST(RelayRuleTest, TtlOneIsNotRelayed) {
    CMessageHeader header = Header(1, 0);
    EXPECT_FALSE(ApplyRelayRule(header));
    EXPECT_EQ(header.GetTtl(), 0);
}

TEST(RelayRuleTest, HopsSevenIsNotRelayedAndKeepsItsTtl) {
    CMessageHeader header = Header(200, 7);
    EXPECT_FALSE(ApplyRelayRule(header));
    EXPECT_EQ(header.GetHops(), 8);
    EXPECT_EQ(header.GetTtl(), 200);

    header = Header(200, 6);
    EXPECT_TRUE(ApplyRelayRule(header));
}

TEST(RelayRuleTest, TtlZeroWrapsAndIsRelayed) {
    CMessageHeader header = Header(0, 0);
    EXPECT_TRUE(ApplyRelayRule(header));
    EXPECT_EQ(header.GetTtl(), 255);
}

TEST(UpdateRelayRuleTest, UsedUpdateMovesWithoutDrawing) {
    SScriptedRandom random;
    CMessageHeader header = Header(2, 3);
    EXPECT_TRUE(ApplyUpdateRelayRule(header, random.Function()));
    EXPECT_EQ(header.GetHops(), 4);
    EXPECT_EQ(header.GetTtl(), 1);
    EXPECT_EQ(random.draws, 0u);
}

TEST(UpdateRelayRuleTest, HopsSevenStopsBeforeTheTtlDraw) {
    SScriptedRandom random{{1}};
    CMessageHeader header = Header(5, 7);
    EXPECT_FALSE(ApplyUpdateRelayRule(header, random.Function()));
    EXPECT_EQ(header.GetTtl(), 5);
    EXPECT_EQ(random.draws, 0u);
}

TEST(UpdateRelayRuleTest, TtlOneWithHopsZeroStops) {
    SScriptedRandom random{{0}};
    CMessageHeader header = Header(1, 0);
    EXPECT_FALSE(ApplyUpdateRelayRule(header, random.Function()));
    EXPECT_EQ(header.GetTtl(), 0);
    EXPECT_EQ(random.draws, 1u); // the hops draw only
}

TEST(UpdateRelayRuleTest, FreshUpdateDrawsHopsFirstThenTtl) {
    SScriptedRandom random{{3, 8}};
    CMessageHeader header = Header(5, 0);
    EXPECT_TRUE(ApplyUpdateRelayRule(header, random.Function()));
    EXPECT_EQ(header.GetHops(), 1); // odd
    EXPECT_EQ(header.GetTtl(), 5);  // even
    EXPECT_EQ(random.draws, 2u);

    SScriptedRandom other{{8, 3}};
    header = Header(5, 0);
    EXPECT_TRUE(ApplyUpdateRelayRule(header, other.Function()));
    EXPECT_EQ(header.GetHops(), 0);
    EXPECT_EQ(header.GetTtl(), 4);
}

TEST(UpdateRelayRuleTest, FreshUpdateSplitsAboutEvenlyAndIndependently) {
    std::mt19937 engine(12345);
    const std::function<unsigned()> random = [&engine] { return static_cast<unsigned>(engine()); };
    int counts[2][2] = {};
    const int trials = 20000;
    for (int i = 0; i < trials; ++i) {
        CMessageHeader header = Header(5, 0);
        ASSERT_TRUE(ApplyUpdateRelayRule(header, random));
        ASSERT_LE(header.GetHops(), 1);
        ASSERT_GE(header.GetTtl(), 4);
        ++counts[header.GetHops()][5 - header.GetTtl()];
    }
    // Each of the four combinations about a quarter of the time.
    for (auto& row : counts)
        for (int count : row) {
            EXPECT_GT(count, trials / 4 - 500);
            EXPECT_LT(count, trials / 4 + 500);
        }
}

} // namespace
