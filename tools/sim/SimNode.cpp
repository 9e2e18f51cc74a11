// CSimNode: the real overlay of one node, hosted and carried by the simulator.
#include "SimNode.h"

#include "SimConnection.h"
#include "SimNetwork.h"

#include "protocol/Connection.h"
#include "protocol/MessageHistory.h"
#include "protocol/wire/LogText.h"
#include "protocol/wire/MessageHeader.h"
#include "protocol/wire/QueryMessage.h"
#include "protocol/wire/UpdateMessage.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

CBinaryId DrawId(std::mt19937& random) {
    std::uint8_t bytes[16];
    for (std::uint8_t& byte : bytes)
        byte = static_cast<std::uint8_t>(random());
    return CBinaryId::FromBytes(bytes);
}

bool IsRequest(std::uint8_t type) {
    return type == CMessageHeader::kTypePing || type == CMessageHeader::kTypeQuery ||
           type == CMessageHeader::kTypeUpdate;
}

} // namespace

CSimNode::CSimNode(CSimNetwork& network, NodeId id, std::uint64_t seed)
    : m_network(network), m_id(id), m_random(static_cast<std::uint32_t>(seed)),
      m_draws(static_cast<std::uint32_t>(seed >> 32)), m_overlay(*this, *this) {
    m_address.SetText(AddressOf(id));
    m_serventId = DrawId(m_random).GetText();
}

CSimNode::~CSimNode() = default;

std::string CSimNode::AddressOf(NodeId id) {
    const NodeId n = id + 1;
    char text[20];
    std::snprintf(text, sizeof text, "20.%u.%u.%u", (n >> 16) & 255u, (n >> 8) & 255u, n & 255u);
    return text;
}

bool CSimNode::IdOf(const std::string& address, NodeId& id) {
    unsigned a, b, c, d;
    if (std::sscanf(address.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4 || a != 20)
        return false;
    const NodeId n = (b << 16) | (c << 8) | d;
    if (n == 0)
        return false;
    id = n - 1;
    return true;
}

std::uint32_t CSimNode::Now() const {
    return kEpoch + static_cast<std::uint32_t>(m_network.Clock().Now() / CEventQueue::kSecond);
}

CBinaryId CSimNode::NewMessageId() {
    return DrawId(m_random);
}

void CSimNode::ConnectTo(NodeId entry) {
    const std::string host = AddressOf(entry);
    if (!m_overlay.IsKnownPeer(host, kPort))
        m_overlay.Open(host, kPort);
}

std::string CSimNode::SendQuery(const std::string& category, const CBinaryId& threadId) {
    CQueryMessage query;
    query.Header() = CMessageHeader(NewMessageId(), CMessageHeader::kTypeQuery);
    query.SetThreadId(threadId);
    query.SetCategory(category);
    const std::string& id = query.Header().GetMessageIdText();
    m_network.Follow(id);
    m_overlay.Originate(query.Encode(), id, [&](const CConnection& connection) {
        return QueryLogText(EWireEvent::Send, connection.GetPeerAddress(), connection.GetPeerPort(),
                            query);
    });
    return id;
}

std::string CSimNode::PostUpdate(const CBinaryId& threadId, const std::string& category) {
    CUpdateMessage update;
    update.Header() = CMessageHeader(NewMessageId(), CMessageHeader::kTypeUpdate);
    update.SetThreadId(threadId);
    update.SetTime(Now());
    update.SetResCount(1);
    update.SetTitle("sim");
    update.SetName("sim");
    update.SetCategory(category);
    update.SetServentId(CBinaryId::FromText(m_serventId));
    const std::string& id = update.Header().GetMessageIdText();
    m_network.Follow(id);
    m_overlay.Originate(update.Encode(), id, [&](const CConnection& connection) {
        return UpdateLogText(EWireEvent::Send, connection.GetPeerAddress(),
                             connection.GetPeerPort(), update);
    });
    return id;
}

int CSimNode::CountIncomingEstablished() const {
    int count = 0;
    for (const CConnection* connection : m_overlay.Connections()) {
        const auto* sim = static_cast<const CSimConnection*>(connection);
        if (!sim->IsClosed() && sim->IsEstablished() &&
            !m_network.Transport().IsOutgoing(sim->Link(), m_id))
            ++count;
    }
    return count;
}

void CSimNode::SendOn(LinkId link, std::string_view bytes) {
    // A flood hands the same bytes to each neighbour in turn: one copy does.
    if (!m_lastSent || *m_lastSent != bytes)
        m_lastSent = std::make_shared<const std::string>(bytes);
    m_network.Transport().Send(link, m_id, m_lastSent);
}

void CSimNode::CloseLink(LinkId link) {
    m_network.Transport().Close(link, m_id);
}

void CSimNode::Forget(CSimConnection& connection) {
    m_network.Transport().Close(connection.Link(), m_id);
    m_network.ConnectionAt(connection.Link(), m_id) = nullptr;
}

CSimConnection* CSimNode::Find(LinkId link) const {
    return m_network.ConnectionAt(link, m_id);
}

void CSimNode::HolderHeard(const std::string&, const CIPv4Address&, std::uint16_t, std::uint16_t) {}

void CSimNode::ThreadAnnounced(const CThreadSummary& summary) {
    // A cache servent fetches every thread it passes on. It knows no holder
    // yet, so its first step is a query for the thread's holders.
    if (m_cacheServent && !summary.threadId.empty())
        SendQuery(summary.category, CBinaryId::FromText(summary.threadId));
}

CConnection* CSimNode::Open(COverlay&, const std::string& host, std::uint16_t) {
    NodeId target = 0;
    if (!m_joining || !IdOf(host, target))
        target = static_cast<NodeId>(-1);
    const LinkId link = m_network.Transport().Connect(m_id, target);
    auto* connection = new CSimConnection(*this, link, host, true);
    m_network.ConnectionAt(link, m_id) = connection;
    return connection;
}

void CSimNode::OnAccepted(LinkId link, NodeId peer) {
    auto* connection = new CSimConnection(*this, link, AddressOf(peer), false);
    m_network.ConnectionAt(link, m_id) = connection;
    m_overlay.Accepted(connection);
    m_overlay.Established(*connection, false);
    // The incoming-cap proposal: a node over its cap still answers the
    // newcomer's first ping (so it learns of other nodes), then closes.
    const int cap = m_network.Options().incomingCap;
    if (cap > 0 && CountIncomingEstablished() > cap)
        m_network.Clock().After(m_network.Options().capGrace, [this, link, cap] {
            CSimConnection* late = Find(link);
            if (late && !late->IsClosed() && CountIncomingEstablished() > cap)
                late->CloseConnection();
        });
}

void CSimNode::OnConnected(LinkId link) {
    CSimConnection* connection = Find(link);
    if (!connection)
        return;
    connection->MarkAnswered();
    m_overlay.Connected(*connection);
    m_overlay.Established(*connection, true);
}

void CSimNode::OnConnectFailed(LinkId link) {
    if (CSimConnection* connection = Find(link)) {
        connection->MarkFailed();
        m_overlay.ConnectFailed(*connection);
    }
}

void CSimNode::OnReceive(LinkId link, const std::string& bytes) {
    CSimConnection* connection = Find(link);
    if (!connection || connection->IsClosed())
        return;
    const CEventQueue::Micros busy = m_network.Options().busyMean;
    if (busy == 0) {
        Handle(*connection, bytes);
        return;
    }
    m_inbox.emplace_back(link, bytes);
    if (m_runScheduled)
        return;
    m_runScheduled = true;
    const auto wait = static_cast<CEventQueue::Micros>(
        std::exponential_distribution<>(1.0 / static_cast<double>(busy))(m_random));
    m_network.Clock().After(wait, [this] { RunInbox(); });
}

void CSimNode::RunInbox() {
    m_runScheduled = false;
    std::vector<std::pair<LinkId, std::string>> inbox;
    inbox.swap(m_inbox);
    std::unordered_map<LinkId, std::size_t> position;
    const auto& list = m_overlay.Connections();
    for (std::size_t i = 0; i < list.size(); ++i)
        position[static_cast<CSimConnection*>(list[i])->Link()] = i;
    std::stable_sort(inbox.begin(), inbox.end(), [&](const auto& a, const auto& b) {
        return position[a.first] < position[b.first];
    });
    for (const auto& [link, bytes] : inbox)
        if (CSimConnection* connection = Find(link); connection && !connection->IsClosed())
            Handle(*connection, bytes);
}

void CSimNode::Handle(CSimConnection& connection, const std::string& bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (m_network.Options().extraHistory > 0 && bytes.size() >= CMessageHeader::kSize &&
        IsRequest(data[16])) {
        const std::string key = CBinaryId::FromBytes(data).GetText();
        CRouteEntry route;
        if (!m_overlay.History().Lookup(key, route) && m_network.SeenInExtraHistory(m_id, key))
            return;
    }
    m_overlay.Dispatch(connection, data, bytes.size());
}

void CSimNode::OnPeerClosed(LinkId link) {
    if (CSimConnection* connection = Find(link)) {
        const bool wasEstablished = connection->MarkLost();
        m_overlay.Lost(*connection, wasEstablished);
    }
}
