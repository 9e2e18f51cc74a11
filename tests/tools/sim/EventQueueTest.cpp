// The simulator's virtual clock: order of actions and the time they see.
#include "EventQueue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
constexpr CEventQueue::Micros kMs = CEventQueue::kMillisecond;
}

TEST(EventQueueTest, RunsActionsByTimeAndTiesInTheOrderScheduled) {
    struct Case {
        std::vector<CEventQueue::Micros> times;
        std::string expected; // letters in scheduling order: a, b, c, ...
    };
    const std::vector<Case> cases = {
        {{30, 10, 20}, "bca"},
        {{10, 10, 10}, "abc"},
        {{20, 10, 20, 10}, "bdac"},
    };
    for (const Case& c : cases) {
        CEventQueue clock;
        std::string ran;
        for (std::size_t i = 0; i < c.times.size(); ++i)
            clock.At(c.times[i] * kMs, [&ran, i] { ran += static_cast<char>('a' + i); });
        while (clock.RunNext()) {
        }
        EXPECT_EQ(ran, c.expected);
    }
}

TEST(EventQueueTest, TargetEventsTakeTheirTurnAmongActions) {
    struct Recorder : CEventQueue::ITarget {
        std::string* ran = nullptr;
        void OnEvent(std::uint32_t tag) override { *ran += static_cast<char>('A' + tag); }
    };
    CEventQueue clock;
    std::string ran;
    Recorder target;
    target.ran = &ran;
    clock.At(20 * kMs, [&ran] { ran += 'a'; });
    clock.At(10 * kMs, target, 0);
    clock.At(20 * kMs, target, 1);
    clock.At(10 * kMs, [&ran] { ran += 'b'; });
    clock.At(5 * kMs, target, 2);
    while (clock.RunNext()) {
    }
    EXPECT_EQ(ran, "CAbaB");
}

TEST(EventQueueTest, EachActionSeesItsOwnTimeAndThePastIsNow) {
    CEventQueue clock;
    std::vector<CEventQueue::Micros> seen;
    clock.At(50 * kMs, [&] {
        seen.push_back(clock.Now());
        clock.At(10 * kMs, [&] { seen.push_back(clock.Now()); }); // already past
        clock.After(5 * kMs, [&] { seen.push_back(clock.Now()); });
    });
    while (clock.RunNext()) {
    }
    EXPECT_EQ(seen, (std::vector<CEventQueue::Micros>{50 * kMs, 50 * kMs, 55 * kMs}));
}

TEST(EventQueueTest, RunUntilTakesWhatFallsInTheSpanAndLeavesTheRest) {
    CEventQueue clock;
    int ran = 0;
    clock.At(10 * kMs, [&] {
        ++ran;
        clock.After(10 * kMs, [&] { ++ran; });  // at 20: inside
        clock.After(100 * kMs, [&] { ++ran; }); // at 110: outside
    });
    clock.At(40 * kMs, [&] { ++ran; });
    EXPECT_EQ(clock.RunUntil(40 * kMs), 3u);
    EXPECT_EQ(ran, 3);
    EXPECT_EQ(clock.Now(), 40 * kMs);
    EXPECT_EQ(clock.Pending(), 1u);
    EXPECT_EQ(clock.RunUntil(60 * kMs), 0u);
    EXPECT_EQ(clock.Now(), 60 * kMs);
}
