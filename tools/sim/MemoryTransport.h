// CMemoryTransport: the simulated network. Nodes are numbered endpoints; a
// link joins two of them with one latency each way, drawn when it is made,
// and carries whole overlay messages in order, as a TCP connection carries
// the bytes of a node's sends. Each message may also wait a random time of
// its own (jitter: a busy host that runs the receiving node late), still
// behind everything sent on the link before it. A node's sends may also
// take time (send cost): one after another they leave it, as a node's send
// loop writes to one neighbour after the other. Nothing is lost on an open
// link and there is no bandwidth limit. Runs on the simulator's thread, on
// its virtual clock.
#pragma once

#include "EventQueue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

using NodeId = std::uint32_t;
using LinkId = std::uint32_t;

// What a node hears from the network. Called only from the event queue.
class ITransportEndpoint {
public:
    virtual ~ITransportEndpoint() = default;
    // Another node's connect reached this one and its handshake lines came:
    // on this side the link is established.
    virtual void OnAccepted(LinkId link, NodeId peer) = 0;
    // This node's connect was answered: established on this side too.
    virtual void OnConnected(LinkId link) = 0;
    // Nobody listens at the node connected to.
    virtual void OnConnectFailed(LinkId link) = 0;
    virtual void OnReceive(LinkId link, const std::string& bytes) = 0;
    // The other side closed the link (or left the network).
    virtual void OnPeerClosed(LinkId link) = 0;
};

class CMemoryTransport : private CEventQueue::ITarget {
public:
    struct Latency {
        CEventQueue::Micros min = 5 * CEventQueue::kMillisecond;
        CEventQueue::Micros max = 80 * CEventQueue::kMillisecond;
        // Mean of an exponential extra delay per message; 0: none.
        CEventQueue::Micros jitterMean = 0;
        // Time a node takes to send one message; 0: none.
        CEventQueue::Micros sendCost = 0;
    };

    CMemoryTransport(CEventQueue& clock, std::uint64_t seed, Latency latency);

    // The node listens from now on. A node that left is never attached again.
    void Attach(NodeId node, ITransportEndpoint& endpoint);
    // The node leaves: each of its links closes and its peers hear of it one
    // latency later; connects to it fail from now on.
    void Detach(NodeId node);
    bool IsAttached(NodeId node) const;

    // The connect reaches `to` after one latency (OnAccepted there) and its
    // answer comes back after another (OnConnected here); with nobody at
    // `to`, OnConnectFailed comes after the two.
    LinkId Connect(NodeId from, NodeId to);
    // Arrives one latency (and its jitter) later, after everything sent on
    // the link before, unless the receiving side has closed the link by then.
    // A flood sends one message on many links: they may share its bytes.
    using Bytes = std::shared_ptr<const std::string>;
    void Send(LinkId link, NodeId from, Bytes bytes);
    void Send(LinkId link, NodeId from, std::string bytes) {
        Send(link, from, std::make_shared<const std::string>(std::move(bytes)));
    }
    // This side stops sending and receiving; the other side hears of it one
    // latency later.
    void Close(LinkId link, NodeId from);

    NodeId PeerOf(LinkId link, NodeId node) const;
    CEventQueue::Micros LatencyOf(LinkId link) const { return m_links[link].latency; }
    bool IsOpen(LinkId link, NodeId side) const;
    // The node opened this link (rather than accepted it).
    bool IsOutgoing(LinkId link, NodeId node) const { return m_links[link].from == node; }

    // Sees every message as it is handed to its receiver (statistics).
    void
    SetDeliveryObserver(std::function<void(NodeId from, NodeId to, std::string_view)> observer) {
        m_observer = std::move(observer);
    }
    std::uint64_t Delivered() const { return m_delivered; }

private:
    struct Link {
        NodeId from; // the node that connected
        NodeId to;   // the node that accepted
        CEventQueue::Micros latency;
        bool fromOpen = true;
        bool toOpen = true;
        // The last arrival scheduled each way: nothing may overtake it.
        CEventQueue::Micros lastToAcceptor = 0;
        CEventQueue::Micros lastToConnector = 0;
    };
    // When a message (or the close) sent now from `from` arrives.
    CEventQueue::Micros Arrival(Link& link, NodeId from, bool jitter);
    bool& OpenFlag(Link& link, NodeId side) {
        return side == link.from ? link.fromOpen : link.toOpen;
    }
    ITransportEndpoint* EndpointOf(NodeId node) const;
    // A message on its way, kept here until its event on the clock.
    struct Delivery {
        LinkId link;
        NodeId from;
        NodeId to;
        Bytes bytes;
    };
    void OnEvent(std::uint32_t index) override; // a delivery is due

    CEventQueue& m_clock;
    std::mt19937_64 m_random;
    Latency m_latency;
    std::vector<ITransportEndpoint*> m_endpoints;
    std::vector<std::vector<LinkId>> m_linksOf;
    std::vector<CEventQueue::Micros> m_busyUntil; // per node, with a send cost
    std::vector<Link> m_links;
    std::vector<Delivery> m_deliveries;
    std::vector<std::uint32_t> m_freeDeliveries;
    std::function<void(NodeId, NodeId, std::string_view)> m_observer;
    std::uint64_t m_delivered = 0;
};
