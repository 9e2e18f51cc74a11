// CSimNetwork: the nodes, their network and the counts kept of the traffic.
#include "SimNetwork.h"

#include "protocol/MessageHistory.h"
#include "protocol/wire/MessageHeader.h"

#include <cstring>

namespace {

bool IsRequest(std::uint8_t type) {
    return type == CMessageHeader::kTypePing || type == CMessageHeader::kTypeQuery ||
           type == CMessageHeader::kTypeUpdate;
}

} // namespace

CSimNetwork::RawId CSimNetwork::RawIdOf(const std::string& text) {
    return CBinaryId::FromText(text).GetBytes();
}

std::size_t CSimNetwork::RawIdHash::operator()(const RawId& id) const {
    std::uint64_t head;
    std::memcpy(&head, id.data(), sizeof head);
    return static_cast<std::size_t>(head);
}

CSimNetwork::CSimNetwork(const CSimOptions& options)
    : m_options(options), m_transport(m_clock, options.seed, options.latency),
      m_random(options.seed * 7919 + 17) {
    m_transport.SetDeliveryObserver(
        [this](NodeId from, NodeId to, std::string_view bytes) { Observe(from, to, bytes); });
}

CSimNetwork::~CSimNetwork() {
    // The nodes first: their connections unbind themselves from the links.
    m_nodes.clear();
}

CSimNode& CSimNetwork::AddNode() {
    const auto id = static_cast<NodeId>(m_nodes.size());
    m_nodes.push_back(std::make_unique<CSimNode>(*this, id, m_random()));
    m_sentBy.push_back(0);
    if (m_options.extraHistory > 0)
        m_extra.emplace_back();
    m_transport.Attach(id, *m_nodes.back());
    return *m_nodes.back();
}

void CSimNetwork::RemoveNode(NodeId id) {
    if (!Node(id))
        return;
    m_transport.Detach(id);
    m_nodes[id].reset();
    if (id < m_extra.size())
        m_extra[id] = ExtraHistory();
}

std::vector<NodeId> CSimNetwork::LiveNodes() const {
    std::vector<NodeId> live;
    for (NodeId id = 0; id < m_nodes.size(); ++id)
        if (m_nodes[id])
            live.push_back(id);
    return live;
}

std::vector<int> CSimNetwork::Degrees() const {
    std::vector<int> degrees;
    for (const auto& node : m_nodes)
        if (node)
            degrees.push_back(node->Overlay().CountEstablished());
    return degrees;
}

CSimConnection*& CSimNetwork::ConnectionAt(LinkId link, NodeId node) {
    const std::size_t index =
        2 * static_cast<std::size_t>(link) + (m_transport.IsOutgoing(link, node) ? 0 : 1);
    if (index >= m_sides.size())
        m_sides.resize(index + 2 + m_sides.size() / 2, nullptr);
    return m_sides[index];
}

void CSimNetwork::Follow(const std::string& messageIdText) {
    CFollowed& followed = m_followed[RawIdOf(messageIdText)];
    followed.copies.assign(m_nodes.size(), 0);
    followed.startAt = followed.lastAt = m_clock.Now();
}

CFollowed CSimNetwork::Unfollow(const std::string& messageIdText) {
    const auto found = m_followed.find(RawIdOf(messageIdText));
    if (found == m_followed.end())
        return {};
    CFollowed followed = std::move(found->second);
    m_followed.erase(found);
    return followed;
}

void CSimNetwork::Observe(NodeId from, NodeId to, std::string_view bytes) {
    if (bytes.size() < CMessageHeader::kSize)
        return;
    const auto type = static_cast<std::uint8_t>(bytes[16]);
    ++m_byType[type];
    ++m_sentBy[from];
    if (m_followed.empty())
        return;
    RawId id;
    std::memcpy(id.data(), bytes.data(), id.size());
    const auto found = m_followed.find(id);
    if (found == m_followed.end())
        return;
    CFollowed& followed = found->second;
    ++followed.delivered;
    if (!IsRequest(type))
        return;
    followed.lastAt = m_clock.Now();
    if (to >= followed.copies.size())
        followed.copies.resize(m_nodes.size(), 0);
    std::uint16_t& copies = followed.copies[to];
    if (copies > 0 && m_leakCheck) {
        // A repeat: the node drops it only while its history still has the id.
        ++m_repeats;
        CRouteEntry route;
        const std::string key =
            CBinaryId::FromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data())).GetText();
        const bool inExtra = to < m_extra.size() && m_extra[to].count.count(key) > 0;
        if (m_nodes[to] && !m_nodes[to]->Overlay().History().Lookup(key, route) && !inExtra) {
            ++followed.leaked;
            ++m_leaked;
        }
    }
    if (copies < UINT16_MAX)
        ++copies;
}

bool CSimNetwork::SeenInExtraHistory(NodeId node, const std::string& key) {
    ExtraHistory& extra = m_extra[node];
    if (extra.count.count(key))
        return true;
    if (extra.ring.size() < static_cast<std::size_t>(m_options.extraHistory)) {
        extra.ring.push_back(key);
    } else {
        std::string& slot = extra.ring[extra.next];
        if (--extra.count[slot] == 0)
            extra.count.erase(slot);
        slot = key;
        extra.next = (extra.next + 1) % extra.ring.size();
    }
    ++extra.count[key];
    return false;
}
