// CSimNetwork: the simulated nodes on one memory transport and one virtual
// clock, and what is counted of their traffic: every message delivered, by
// kind and by sender, and, for the messages a scenario follows, the copies
// each node receives and the repeats its history no longer knew (which the
// node then handles, and floods, a second time). Simulator thread.
#pragma once

#include "EventQueue.h"
#include "MemoryTransport.h"
#include "SimNode.h"

class CSimConnection;

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct CSimOptions {
    std::uint64_t seed = 1;
    CMemoryTransport::Latency latency;
    // Proposals a node could make alone, off by default (0):
    int incomingCap = 0; // an incoming connection beyond this is closed after a grace
    CEventQueue::Micros capGrace = 10 * CEventQueue::kSecond;
    int extraHistory = 0; // ids remembered beyond the history's 1000
    // A busy host: a node runs only now and then (an exponential wait of this
    // mean after something arrives) and then reads its connections in list
    // order, each one's messages in turn, as an event loop that polls its
    // sockets does. 0: every message is handled the moment it arrives.
    CEventQueue::Micros busyMean = 0;
};

// One followed message: the copies each node received.
struct CFollowed {
    std::vector<std::uint16_t> copies; // per node id
    CEventQueue::Micros startAt = 0;   // when it was followed (sent)
    CEventQueue::Micros lastAt = 0;    // when its last copy arrived
    std::uint64_t leaked = 0;          // repeats handled again
    std::uint64_t delivered = 0;       // every message with this id (replies too)
};

class CSimNetwork {
public:
    explicit CSimNetwork(const CSimOptions& options);
    ~CSimNetwork();

    CEventQueue& Clock() { return m_clock; }
    CMemoryTransport& Transport() { return m_transport; }
    const CSimOptions& Options() const { return m_options; }
    std::mt19937_64& Random() { return m_random; }

    // A new node, listening from now on.
    CSimNode& AddNode();
    // The node leaves the network (its links close) and is deleted.
    void RemoveNode(NodeId id);
    CSimNode* Node(NodeId id) const { return id < m_nodes.size() ? m_nodes[id].get() : nullptr; }
    std::size_t NodeCount() const { return m_nodes.size(); }
    std::vector<NodeId> LiveNodes() const;
    // Established connections of every live node.
    std::vector<int> Degrees() const;

    // Repeats are checked against the node's history (to count those it no
    // longer knew) only when asked: the check costs a lookup per copy.
    void SetLeakCheck(bool on) { m_leakCheck = on; }

    // The connection each side of a link belongs to (null when none).
    CSimConnection*& ConnectionAt(LinkId link, NodeId node);

    // Starts counting the copies of a message id (16 raw bytes as text).
    void Follow(const std::string& messageIdText);
    // The counts so far, and forgetting them.
    CFollowed Unfollow(const std::string& messageIdText);

    std::uint64_t Delivered() const { return m_transport.Delivered(); }
    std::uint64_t DeliveredOfType(std::uint8_t type) const { return m_byType[type]; }
    std::uint64_t Leaked() const { return m_leaked; }
    std::uint64_t Repeats() const { return m_repeats; }
    // Messages each node has sent so far (all kinds).
    const std::vector<std::uint64_t>& SentBy() const { return m_sentBy; }

    // The longer-history proposal: ids the node handled, remembered beyond
    // the history's own. True when the node had the id (it is dropped);
    // otherwise the id is remembered from now on.
    bool SeenInExtraHistory(NodeId node, const std::string& key);

private:
    void Observe(NodeId from, NodeId to, std::string_view bytes);

    CSimOptions m_options;
    CEventQueue m_clock;
    CMemoryTransport m_transport;
    std::mt19937_64 m_random;
    std::vector<std::unique_ptr<CSimNode>> m_nodes;
    // Looked up for every message delivered: keyed by the id's raw bytes.
    using RawId = std::array<std::uint8_t, 16>;
    struct RawIdHash {
        std::size_t operator()(const RawId& id) const;
    };
    static RawId RawIdOf(const std::string& text);
    std::unordered_map<RawId, CFollowed, RawIdHash> m_followed;
    std::array<std::uint64_t, 256> m_byType{};
    std::vector<std::uint64_t> m_sentBy;
    std::uint64_t m_leaked = 0;
    bool m_leakCheck = false;
    std::vector<CSimConnection*> m_sides; // two per link
    std::uint64_t m_repeats = 0;
    struct ExtraHistory {
        std::vector<std::string> ring;
        std::size_t next = 0;
        std::unordered_map<std::string, int> count;
    };
    std::vector<ExtraHistory> m_extra;
};
