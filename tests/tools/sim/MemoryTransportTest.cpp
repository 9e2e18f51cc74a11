// The simulator's network: when connects, messages and closes arrive, and
// what a closed link or a departed node drops.
#include "MemoryTransport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
constexpr CEventQueue::Micros kMs = CEventQueue::kMillisecond;
constexpr CEventQueue::Micros kLatency = 10 * kMs;

// Writes down what it hears as "<time in ms> <event>".
class RecordingEndpoint : public ITransportEndpoint {
public:
    RecordingEndpoint(CEventQueue& clock, std::vector<std::string>& log, std::string name)
        : m_clock(clock), m_log(log), m_name(std::move(name)) {}
    void OnAccepted(LinkId, NodeId peer) override { Note("accepted " + std::to_string(peer)); }
    void OnConnected(LinkId) override { Note("connected"); }
    void OnConnectFailed(LinkId) override { Note("failed"); }
    void OnReceive(LinkId, const std::string& bytes) override { Note("got " + bytes); }
    void OnPeerClosed(LinkId) override { Note("peer closed"); }

private:
    void Note(const std::string& what) {
        m_log.push_back(std::to_string(m_clock.Now() / kMs) + " " + m_name + " " + what);
    }
    CEventQueue& m_clock;
    std::vector<std::string>& m_log;
    std::string m_name;
};

struct Network {
    CEventQueue clock;
    CMemoryTransport transport{clock, 1, {kLatency, kLatency}};
    std::vector<std::string> log;
    RecordingEndpoint a{clock, log, "a"};
    RecordingEndpoint b{clock, log, "b"};
    Network() {
        transport.Attach(0, a);
        transport.Attach(1, b);
    }
    void Run() {
        while (clock.RunNext()) {
        }
    }
};
} // namespace

TEST(MemoryTransportTest, AConnectIsAcceptedAfterOneLatencyAndAnsweredAfterTwo) {
    Network net;
    const LinkId link = net.transport.Connect(0, 1);
    net.Run();
    EXPECT_EQ(net.log, (std::vector<std::string>{"10 b accepted 0", "20 a connected"}));
    EXPECT_EQ(net.transport.PeerOf(link, 0), 1u);
    EXPECT_EQ(net.transport.PeerOf(link, 1), 0u);
}

TEST(MemoryTransportTest, MessagesArriveOneLatencyLaterInTheOrderSent) {
    Network net;
    const LinkId link = net.transport.Connect(0, 1);
    net.clock.RunUntil(20 * kMs);
    net.log.clear();
    net.transport.Send(link, 0, "x");
    net.transport.Send(link, 0, "y");
    net.transport.Send(link, 1, "z");
    net.Run();
    EXPECT_EQ(net.log, (std::vector<std::string>{"30 b got x", "30 b got y", "30 a got z"}));
    EXPECT_EQ(net.transport.Delivered(), 3u);
}

TEST(MemoryTransportTest, AConnectToNobodyFailsAfterTheRoundTrip) {
    struct Case {
        const char* what;
        bool detachBeforeArrival;
        NodeId target;
    };
    for (const Case& c : {Case{"never attached", false, 7}, Case{"left meanwhile", true, 1}}) {
        Network net;
        net.transport.Connect(0, c.target);
        if (c.detachBeforeArrival)
            net.transport.Detach(1);
        net.Run();
        EXPECT_EQ(net.log, (std::vector<std::string>{"20 a failed"})) << c.what;
    }
}

TEST(MemoryTransportTest, AClosedSideHearsNothingMoreAndItsPeerLearnsOneLatencyLater) {
    Network net;
    const LinkId link = net.transport.Connect(0, 1);
    net.clock.RunUntil(20 * kMs);
    net.log.clear();
    net.transport.Send(link, 0, "before"); // sent before the close: still arrives
    net.transport.Send(link, 1, "late");   // to a side that closes first: dropped
    net.transport.Close(link, 0);
    net.transport.Send(link, 0, "after"); // from a closed side: never sent
    net.Run();
    EXPECT_EQ(net.log, (std::vector<std::string>{"30 b got before", "30 b peer closed"}));
    EXPECT_FALSE(net.transport.IsOpen(link, 0));
    EXPECT_FALSE(net.transport.IsOpen(link, 1));
}

TEST(MemoryTransportTest, ANodeThatLeavesClosesEveryLinkAndTakesNoNewOnes) {
    Network net;
    RecordingEndpoint c(net.clock, net.log, "c");
    net.transport.Attach(2, c);
    net.transport.Connect(0, 1);
    net.transport.Connect(2, 1);
    net.clock.RunUntil(20 * kMs);
    net.log.clear();
    net.transport.Detach(1);
    net.transport.Connect(0, 1);
    net.Run();
    EXPECT_EQ(net.log,
              (std::vector<std::string>{"30 a peer closed", "30 c peer closed", "40 a failed"}));
    EXPECT_FALSE(net.transport.IsAttached(1));
}

TEST(MemoryTransportTest, LatenciesStayInTheirRangeAndFollowTheSeed) {
    CEventQueue clock;
    std::vector<std::string> unused;
    RecordingEndpoint quiet(clock, unused, "q");
    auto draw = [&](std::uint64_t seed) {
        CMemoryTransport transport(clock, seed, {5 * kMs, 80 * kMs});
        transport.Attach(0, quiet);
        std::vector<CEventQueue::Micros> latencies;
        for (int i = 0; i < 50; ++i)
            latencies.push_back(transport.LatencyOf(transport.Connect(0, 0)));
        return latencies;
    };
    const auto first = draw(42);
    EXPECT_EQ(first, draw(42));
    EXPECT_NE(first, draw(43));
    for (CEventQueue::Micros latency : first) {
        EXPECT_GE(latency, 5 * kMs);
        EXPECT_LE(latency, 80 * kMs);
    }
}

TEST(MemoryTransportTest, JitteredMessagesKeepTheirOrderAndTheCloseComesLast) {
    CEventQueue clock;
    std::vector<std::string> log;
    RecordingEndpoint a(clock, log, "a");
    RecordingEndpoint b(clock, log, "b");
    CMemoryTransport transport(clock, 3, {kLatency, kLatency, 20 * kMs});
    transport.Attach(0, a);
    transport.Attach(1, b);
    const LinkId link = transport.Connect(0, 1);
    clock.RunUntil(20 * kMs);
    log.clear();
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        transport.Send(link, 0, std::to_string(i));
        expected.push_back("got " + std::to_string(i));
        clock.RunUntil(clock.Now() + kMs);
    }
    transport.Close(link, 0);
    expected.push_back("peer closed");
    while (clock.RunNext()) {
    }
    std::vector<std::string> heard;
    bool late = false;
    for (const std::string& line : log) {
        heard.push_back(line.substr(line.find(" b ") + 3));
        // Some message waited beyond the bare latency: the jitter is there.
        late = late || std::stoi(line) > 20 + 40 + 10;
    }
    EXPECT_EQ(heard, expected);
    EXPECT_TRUE(late);
}
