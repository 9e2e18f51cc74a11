// Six pelmard nodes, each told only of the first, build an overlay through
// pings and pongs. Every node's log is replayed to check the joining rules:
// outgoing connections only while fewer than four are established, never to
// the node itself, never to a host it is already connected to.
#include "support/NodeProcess.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sstream>
#include <vector>

namespace {

constexpr int kPort = 16500;
constexpr int kNodes = 6;

std::string AddressOf(int index) {
    return "127.0.0.10" + std::to_string(index);
}

// The log's lines without their time stamps ("YYYY/MM/DD HH:MM:SS ").
std::vector<std::string> Events(const std::string& log) {
    std::vector<std::string> events;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.size() > 20)
            events.push_back(line.substr(20));
    return events;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}
std::string HostAfter(const std::string& event, const std::string& prefix) {
    const std::string rest = event.substr(prefix.size());
    return rest.substr(0, rest.find(' '));
}

struct Replay {
    int established = 0; // handshakes completed, in either direction
    int opened = 0;      // outgoing connects that completed
    int discovered = 0;  // "connect new servent" lines
    std::vector<std::string> faults;
};

// Walks one node's log in order, keeping what the node knew at each step.
Replay ReplayLog(const std::string& self, const std::string& log) {
    Replay replay;
    std::set<std::string> hosts;
    for (const std::string& event : Events(log)) {
        for (const char* prefix : {"send PELMAR OK ", "receive PELMAR OK "})
            if (StartsWith(event, prefix)) {
                ++replay.established;
                hosts.insert(HostAfter(event, prefix));
            }
        if (StartsWith(event, "receive PELMAR CONNECT/0.1 "))
            hosts.insert(HostAfter(event, "receive PELMAR CONNECT/0.1 "));
        if (StartsWith(event, "send PELMAR CONNECT/0.1 ")) {
            ++replay.opened;
            hosts.insert(HostAfter(event, "send PELMAR CONNECT/0.1 "));
        }
        if (StartsWith(event, "connect new servent ")) {
            ++replay.discovered;
            const std::string host = HostAfter(event, "connect new servent ");
            if (host == self)
                replay.faults.push_back(self + " connected to itself");
            if (hosts.count(host))
                replay.faults.push_back(self + " connected again to " + host);
            if (replay.established >= 4)
                replay.faults.push_back(self + " connected with " +
                                        std::to_string(replay.established) + " established");
        }
    }
    return replay;
}

} // namespace

TEST(OverlayTest, SixNodesToldOfOneJoinWithinTheConnectionRules) {
    std::vector<std::unique_ptr<NodeProcess>> nodes;
    for (int i = 0; i < kNodes; ++i) {
        nodes.push_back(std::make_unique<NodeProcess>(AddressOf(i), kPort));
        std::vector<std::string> entries;
        if (i > 0)
            entries.push_back(nodes[0]->Entry());
        ASSERT_TRUE(nodes.back()->Start(entries)) << AddressOf(i);
        // One at a time, so each newcomer finds the overlay built so far.
        if (i > 0) {
            ASSERT_TRUE(nodes.back()->WaitForLog("receive PELMAR OK " + AddressOf(0), 10000));
        }
    }

    // Settled: the last node has four neighbours, every completed connect on
    // one side is an established connection on both, and nothing changes.
    auto snapshot = [&] {
        std::string all;
        int sent = 0, received = 0;
        for (auto& node : nodes) {
            sent += static_cast<int>(node->CountInLog("send PELMAR OK "));
            received += static_cast<int>(node->CountInLog("receive PELMAR OK "));
            all += node->Log();
        }
        return std::make_tuple(sent, received, all.size());
    };
    auto previous = snapshot();
    const bool settled = WaitUntil(
        [&] {
            RunEventsFor(1000);
            const auto now = snapshot();
            const bool still =
                now == previous && std::get<0>(now) == std::get<1>(now) &&
                ReplayLog(AddressOf(kNodes - 1), nodes.back()->Log()).established >= 4;
            previous = now;
            return still;
        },
        20000);
    EXPECT_TRUE(settled);

    int sentOk = 0, receivedOk = 0;
    for (int i = 0; i < kNodes; ++i) {
        const Replay replay = ReplayLog(AddressOf(i), nodes[i]->Log());
        SCOPED_TRACE(AddressOf(i));
        EXPECT_TRUE(replay.faults.empty()) << replay.faults.front();
        EXPECT_GE(replay.established, 1);
        // Every outgoing connect (entry point or discovered) was made and answered.
        EXPECT_EQ(replay.opened, replay.discovered + (i > 0 ? 1 : 0));
        EXPECT_EQ(static_cast<int>(nodes[i]->CountInLog("receive PELMAR OK ")), replay.opened);
        sentOk += static_cast<int>(nodes[i]->CountInLog("send PELMAR OK "));
        receivedOk += static_cast<int>(nodes[i]->CountInLog("receive PELMAR OK "));
    }
    EXPECT_EQ(sentOk, receivedOk);
    // The newcomer found every other node through one ping.
    EXPECT_GE(ReplayLog(AddressOf(kNodes - 1), nodes.back()->Log()).established, 4);
    for (auto& node : nodes)
        EXPECT_EQ(node->Stop(), 0);
}
