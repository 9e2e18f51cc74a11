// CMemoryTransport: links as records, every arrival an action on the clock.
#include "MemoryTransport.h"

#include <algorithm>

CMemoryTransport::CMemoryTransport(CEventQueue& clock, std::uint64_t seed, Latency latency)
    : m_clock(clock), m_random(seed), m_latency(latency) {}

ITransportEndpoint* CMemoryTransport::EndpointOf(NodeId node) const {
    return node < m_endpoints.size() ? m_endpoints[node] : nullptr;
}

void CMemoryTransport::Attach(NodeId node, ITransportEndpoint& endpoint) {
    if (node >= m_endpoints.size()) {
        m_endpoints.resize(node + 1, nullptr);
        m_linksOf.resize(node + 1);
        m_busyUntil.resize(node + 1, 0);
    }
    m_endpoints[node] = &endpoint;
}

bool CMemoryTransport::IsAttached(NodeId node) const {
    return EndpointOf(node) != nullptr;
}

void CMemoryTransport::Detach(NodeId node) {
    if (!IsAttached(node))
        return;
    for (LinkId link : m_linksOf[node])
        Close(link, node);
    m_linksOf[node].clear();
    m_linksOf[node].shrink_to_fit();
    m_endpoints[node] = nullptr;
}

LinkId CMemoryTransport::Connect(NodeId from, NodeId to) {
    std::uniform_int_distribution<CEventQueue::Micros> draw(m_latency.min, m_latency.max);
    const auto link = static_cast<LinkId>(m_links.size());
    m_links.push_back(Link{from, to, draw(m_random)});
    m_linksOf[from].push_back(link);
    const CEventQueue::Micros latency = m_links[link].latency;
    m_clock.After(latency, [this, link, from, to, latency] {
        Link& record = m_links[link];
        ITransportEndpoint* acceptor = EndpointOf(to);
        if (!acceptor || !record.fromOpen) {
            record.toOpen = false;
            m_clock.After(latency, [this, link, from] {
                if (m_links[link].fromOpen)
                    if (ITransportEndpoint* connector = EndpointOf(from))
                        connector->OnConnectFailed(link);
            });
            return;
        }
        m_linksOf[to].push_back(link);
        acceptor->OnAccepted(link, from);
        m_clock.After(latency, [this, link, from] {
            if (m_links[link].fromOpen)
                if (ITransportEndpoint* connector = EndpointOf(from))
                    connector->OnConnected(link);
        });
    });
    return link;
}

CEventQueue::Micros CMemoryTransport::Arrival(Link& link, NodeId from, bool jitter) {
    CEventQueue::Micros when = m_clock.Now();
    if (jitter && m_latency.sendCost > 0 && from < m_busyUntil.size()) {
        CEventQueue::Micros& busy = m_busyUntil[from];
        busy = std::max(busy, when) + m_latency.sendCost;
        when = busy;
    }
    when += link.latency;
    if (jitter && m_latency.jitterMean > 0)
        when += static_cast<CEventQueue::Micros>(std::exponential_distribution<>(
            1.0 / static_cast<double>(m_latency.jitterMean))(m_random));
    CEventQueue::Micros& last = from == link.from ? link.lastToAcceptor : link.lastToConnector;
    if (when < last)
        when = last;
    last = when;
    return when;
}

void CMemoryTransport::Send(LinkId link, NodeId from, Bytes bytes) {
    Link& record = m_links[link];
    if (!OpenFlag(record, from))
        return;
    const NodeId to = record.from == from ? record.to : record.from;
    std::uint32_t index;
    if (m_freeDeliveries.empty()) {
        index = static_cast<std::uint32_t>(m_deliveries.size());
        m_deliveries.push_back(Delivery{link, from, to, std::move(bytes)});
    } else {
        index = m_freeDeliveries.back();
        m_freeDeliveries.pop_back();
        m_deliveries[index] = Delivery{link, from, to, std::move(bytes)};
    }
    m_clock.At(Arrival(record, from, true), *this, index);
}

void CMemoryTransport::OnEvent(std::uint32_t index) {
    const Delivery delivery = std::move(m_deliveries[index]);
    m_freeDeliveries.push_back(index);
    if (!OpenFlag(m_links[delivery.link], delivery.to))
        return;
    ITransportEndpoint* receiver = EndpointOf(delivery.to);
    if (!receiver)
        return;
    ++m_delivered;
    if (m_observer)
        m_observer(delivery.from, delivery.to, *delivery.bytes);
    receiver->OnReceive(delivery.link, *delivery.bytes);
}

void CMemoryTransport::Close(LinkId link, NodeId from) {
    Link& record = m_links[link];
    bool& open = OpenFlag(record, from);
    if (!open)
        return;
    open = false;
    const NodeId to = record.from == from ? record.to : record.from;
    m_clock.At(Arrival(record, from, false), [this, link, to] {
        bool& peerOpen = OpenFlag(m_links[link], to);
        if (!peerOpen)
            return;
        peerOpen = false;
        if (ITransportEndpoint* peer = EndpointOf(to))
            peer->OnPeerClosed(link);
    });
}

NodeId CMemoryTransport::PeerOf(LinkId link, NodeId node) const {
    const Link& record = m_links[link];
    return record.from == node ? record.to : record.from;
}

bool CMemoryTransport::IsOpen(LinkId link, NodeId side) const {
    const Link& record = m_links[link];
    return side == record.from ? record.fromOpen : record.toOpen;
}
