// IServentHost: what the overlay and its message handlers need of the node
// they run in, and nothing more. The node (CPelmarDoc) implements it; an
// overlay simulator implements it once per simulated node, with a virtual
// clock, a seeded random generator and a log it may keep or drop. Every call
// is made on the thread that runs the overlay (the GUI thread in the node).
#pragma once

#include "base/BinaryId.h"
#include "base/IPv4Address.h"
#include "base/ThreadSummary.h"

#include <cstdint>
#include <string>
#include <string_view>

class IServentHost {
public:
    virtual ~IServentHost() = default;

    // Identity: the address and port others reach this node at, told in
    // pongs and queryhits; the servent id queryhits carry.
    virtual const CIPv4Address& OwnAddress() const = 0;
    virtual std::uint16_t GetListenPort() const = 0;
    virtual const std::string& GetServentId() const = 0;
    // A peer told us the address it reached us at ("Reflect:"). The node
    // takes it only while its own address is a private one.
    virtual void LearnReflectedAddress(const std::string& address) = 0;
    // The store root ("<data>thread/") queries are answered from.
    virtual const std::string& GetThreadDir() const = 0;

    // A connection was opened, established or closed: the status panes.
    virtual void ConnectionStateChanged() = 0;
    // An outgoing connect failed.
    virtual void ConnectFailed(const std::string& host, std::uint16_t port) = 0;

    // A queryhit answering this node's query named a holder of a thread.
    virtual void HolderHeard(const std::string& threadId, const CIPv4Address& address,
                             std::uint16_t port, std::uint16_t resCount) = 0;
    // A thread to show in the thread list: a hit for a thread this node
    // lacks or holds older, or an update that went no further.
    virtual void ThreadHeard(const CThreadSummary& summary) = 0;
    // An update this node passed on: its row, and whatever the node does
    // with threads it helps announce (a cache servent fetches them).
    virtual void ThreadAnnounced(const CThreadSummary& summary) = 0;

    // Seconds since 1970, the node's pseudo-random draws and fresh message
    // ids. A simulator gives a virtual clock and seeded draws here.
    virtual std::uint32_t Now() const = 0;
    virtual unsigned Random() = 0;
    virtual CBinaryId NewMessageId() = 0;
    // One line of the event log (the node writes it only when logging is on).
    virtual void WriteLog(std::string_view text) = 0;
    // Whether a line given to WriteLog would be kept. Callers that build a
    // line ask first: a flood crosses every node, and a line nobody keeps is
    // not worth its formatting.
    virtual bool IsLogging() const = 0;
};
