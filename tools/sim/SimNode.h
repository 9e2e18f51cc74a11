// CSimNode: one simulated node. It holds the node's real overlay (connection
// list, message history, joining rule, handlers) and is, for that overlay,
// both its host (a virtual clock, seeded draws, no log) and its transport
// (connections over the memory transport). What the node itself would do
// with a heard thread is reduced to what costs traffic: a cache servent asks
// the overlay for the holders of each thread it passes on. Simulator thread.
#pragma once

#include "MemoryTransport.h"

#include "base/IPv4Address.h"
#include "protocol/Overlay.h"
#include "protocol/ServentHost.h"
#include "protocol/ServentTransport.h"

#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class CSimConnection;
class CSimNetwork;

class CSimNode : public IServentHost, public IServentTransport, public ITransportEndpoint {
public:
    static constexpr std::uint16_t kPort = 6340;
    // Virtual time 0 is this moment (seconds since 1970).
    static constexpr std::uint32_t kEpoch = 1765000000;

    CSimNode(CSimNetwork& network, NodeId id, std::uint64_t seed);
    ~CSimNode() override;

    NodeId Id() const { return m_id; }
    COverlay& Overlay() { return m_overlay; }
    // Nodes are told apart by address alone: 20.x.y.z from the id.
    static std::string AddressOf(NodeId id);
    static bool IdOf(const std::string& address, NodeId& id);

    void SetCacheServent(bool on) { m_cacheServent = on; }
    void SetThreadDir(std::string root) { m_threadDir = std::move(root); }
    // The node draws as the node does: a Mersenne twister seeded once. Real
    // nodes seed it with the second they start, so nodes started in the same
    // second draw alike; the check against real nodes gives those seeds.
    void SetDrawSeed(std::uint32_t seed) { m_draws.seed(seed); }
    // Off: connects the overlay asks for (pongs) fail, so a given set of
    // connections stays as it is (the check against real nodes).
    void SetJoining(bool on) { m_joining = on; }
    // Connect to another node as the "接続" command does.
    void ConnectTo(NodeId entry);
    // Messages this node starts, built as the node builds them and sent
    // through the overlay's own origination. Each returns the message id.
    std::string SendQuery(const std::string& category, const CBinaryId& threadId);
    std::string PostUpdate(const CBinaryId& threadId, const std::string& category);
    int CountIncomingEstablished() const;

    // For CSimConnection.
    void SendOn(LinkId link, std::string_view bytes);
    void CloseLink(LinkId link);
    void Forget(CSimConnection& connection);

    // IServentHost.
    const CIPv4Address& OwnAddress() const override { return m_address; }
    std::uint16_t GetListenPort() const override { return kPort; }
    const std::string& GetServentId() const override { return m_serventId; }
    void LearnReflectedAddress(const std::string&) override {}
    const std::string& GetThreadDir() const override { return m_threadDir; }
    void ConnectionStateChanged() override {}
    void ConnectFailed(const std::string&, std::uint16_t) override {}
    void HolderHeard(const std::string&, const CIPv4Address&, std::uint16_t,
                     std::uint16_t) override;
    void ThreadHeard(const CThreadSummary&) override {}
    void ThreadAnnounced(const CThreadSummary& summary) override;
    std::uint32_t Now() const override;
    unsigned Random() override { return static_cast<unsigned>(m_draws()); }
    CBinaryId NewMessageId() override;
    void WriteLog(std::string_view) override {}
    bool IsLogging() const override { return false; }

    // IServentTransport.
    CConnection* Open(COverlay& overlay, const std::string& host, std::uint16_t port) override;

    // ITransportEndpoint.
    void OnAccepted(LinkId link, NodeId peer) override;
    void OnConnected(LinkId link) override;
    void OnConnectFailed(LinkId link) override;
    void OnReceive(LinkId link, const std::string& bytes) override;
    void OnPeerClosed(LinkId link) override;

private:
    CSimConnection* Find(LinkId link) const;
    void Handle(CSimConnection& connection, const std::string& bytes);
    // The busy host: what arrived while the node waited to run.
    void RunInbox();

    CSimNetwork& m_network;
    NodeId m_id;
    std::mt19937 m_random; // ids
    std::mt19937 m_draws;  // the handlers' draws
    CIPv4Address m_address;
    std::string m_serventId;
    std::string m_threadDir;
    bool m_cacheServent = false;
    bool m_joining = true;
    std::vector<std::pair<LinkId, std::string>> m_inbox;
    CMemoryTransport::Bytes m_lastSent;
    bool m_runScheduled = false;
    COverlay m_overlay; // last: its connections are deleted while the rest is whole
};
