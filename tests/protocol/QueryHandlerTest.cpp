// Queries and queryhits between nodes in this process: answers from the
// store, flooding, routing answers back and what the asking node keeps.
// Runs on the test's GUI thread; raw peers are plain QTcpSockets that speak
// the handshake themselves, so the exact bytes a node sends can be checked.
#include "app/IdGenerator.h"
#include "protocol/wire/QueryHitMessage.h"
#include "protocol/wire/QueryMessage.h"
#include "res/Strings.h"
#include "store/ThreadRecord.h"
#include "support/InProcessNode.h"
#include "support/Wait.h"
#include "transfer/ThreadSourceTable.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// A peer that speaks the wire directly.
class RawPeer {
public:
    // Connects from `from` to the node and completes the handshake.
    bool Connect(const std::string& from, const InProcessNode& node) {
        m_socket.bind(QHostAddress(QString::fromStdString(from)));
        m_socket.connectToHost(QString::fromStdString(node.doc->GetBindAddress()),
                               node.doc->GetListenPort());
        if (!WaitUntil([&] { return m_socket.state() == QAbstractSocket::ConnectedState; }))
            return false;
        m_socket.write("PELMAR CONNECT/0.1\r\n\r\n");
        if (!WaitUntil([&] { return Pump().find("\r\n\r\n") != std::string::npos; }))
            return false;
        m_input.erase(0, m_input.find("\r\n\r\n") + 4);
        return true;
    }
    void Send(const std::string& bytes) {
        m_socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    // The next whole message, or nothing within the time.
    std::optional<std::string> Next(int timeoutMs = 5000) {
        if (!WaitUntil([&] { return HasMessage(); }, timeoutMs))
            return std::nullopt;
        const std::size_t size = MessageSize();
        std::string message = m_input.substr(0, size);
        m_input.erase(0, size);
        return message;
    }
    void Close() { m_socket.abort(); }

private:
    const std::string& Pump() {
        m_input += m_socket.readAll().toStdString();
        return m_input;
    }
    std::size_t MessageSize() const {
        auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(m_input[i]); };
        return 23 + (std::size_t{byte(19)} << 24 | std::size_t{byte(20)} << 16 |
                     std::size_t{byte(21)} << 8 | byte(22));
    }
    bool HasMessage() {
        Pump();
        return m_input.size() >= 23 && m_input.size() >= MessageSize();
    }

    QTcpSocket m_socket;
    std::string m_input;
};

std::string NewId() {
    return CIdGenerator().GetText();
}

std::string QueryBytes(const std::string& messageId, const std::string& threadId,
                       const std::string& category, std::uint8_t ttl = 5, std::uint8_t hops = 0) {
    CQueryMessage query;
    query.Header() = CMessageHeader(CBinaryId::FromText(messageId), CMessageHeader::kTypeQuery);
    query.Header().SetTtl(ttl);
    query.Header().SetHops(hops);
    query.SetThreadId(CBinaryId::FromText(threadId));
    query.SetCategory(category);
    return query.Encode();
}

CHitEntry Hit(const std::string& threadId, std::uint32_t time, std::uint16_t resCount,
              const std::string& category = "News") {
    CHitEntry entry;
    entry.SetThreadId(CBinaryId::FromText(threadId));
    entry.SetTime(time);
    entry.SetResCount(resCount);
    entry.SetTitle("title " + threadId.substr(0, 4));
    entry.SetName("name");
    entry.SetCategory(category);
    return entry;
}

std::string QueryHitBytes(const std::string& messageId, const std::vector<CHitEntry>& entries,
                          const std::string& address = "127.0.0.99", std::uint16_t port = 7000) {
    CQueryHitMessage hits;
    hits.Header() = CMessageHeader(CBinaryId::FromText(messageId), CMessageHeader::kTypeQueryHit);
    hits.SetHitCount(static_cast<std::uint8_t>(entries.size()));
    hits.SetPort(port);
    CIPv4Address ip;
    ip.SetText(address);
    hits.SetAddress(ip);
    hits.SetServentId(CBinaryId::FromText(NewId()));
    for (const CHitEntry& entry : entries)
        hits.AddEntry(entry);
    return hits.Encode();
}

std::optional<CQueryHitMessage> DecodeHits(const std::optional<std::string>& bytes) {
    if (!bytes)
        return std::nullopt;
    return CQueryHitMessage::Decode(reinterpret_cast<const std::uint8_t*>(bytes->data()),
                                    bytes->size());
}

std::optional<CQueryMessage> DecodeQuery(const std::optional<std::string>& bytes) {
    if (!bytes)
        return std::nullopt;
    return CQueryMessage::Decode(reinterpret_cast<const std::uint8_t*>(bytes->data()),
                                 bytes->size());
}

} // namespace

class QueryHandlerTest : public ::testing::Test {
protected:
    // Each test has its own node addresses and ports, so test programs may
    // run side by side; raw peers connect from these two.
    static constexpr const char* kAsker = "127.0.0.58";
    static constexpr const char* kNeighbour = "127.0.0.59";

    std::unique_ptr<InProcessNode> StartNode(int last) {
        auto node =
            std::make_unique<InProcessNode>("127.0.0." + std::to_string(last), 16400 + last);
        EXPECT_TRUE(node->Start());
        return node;
    }
    // A thread held here with one post, updated at `updated`.
    static std::string MakeThread(InProcessNode& node, const std::string& category,
                                  std::uint32_t updated, std::uint16_t resCount = 1) {
        const CBinaryId id = CBinaryId::FromText(NewId());
        CThreadRecord thread(id, "title " + id.GetText().substr(0, 4), category, "name", "", "body",
                             CBinaryId(), CBinaryId(), updated, updated);
        thread.SetHeld(1);
        thread.SetResCount(resCount);
        EXPECT_TRUE(thread.Create(node.ThreadDir(), nullptr));
        return id.GetText();
    }
    // Two raw peers connected to node: the one that asks and another neighbour.
    void ConnectPeers(InProcessNode& node) {
        ASSERT_TRUE(asker.Connect(kAsker, node));
        ASSERT_TRUE(neighbour.Connect(kNeighbour, node));
        ASSERT_TRUE(WaitUntil([&] { return node.doc->CountEstablished() == 2; }));
    }
    static void Link(InProcessNode& from, InProcessNode& to) {
        from.doc->ConnectToEntry(to.doc->GetBindAddress() + ":" +
                                 std::to_string(to.doc->GetListenPort()));
    }

    RawPeer asker;
    RawPeer neighbour;
};

TEST_F(QueryHandlerTest, CategoryQueryIsAnsweredWithTheFirstTenIndexEntriesAndRelayed) {
    auto a = StartNode(40);
    std::vector<std::string> threads;
    for (std::uint32_t i = 0; i < 25; ++i)
        threads.push_back(MakeThread(*a, "News", 1000 + i, static_cast<std::uint16_t>(i + 1)));
    ConnectPeers(*a);

    const std::string id = NewId();
    asker.Send(QueryBytes(id, "", "News"));

    auto hits = DecodeHits(asker.Next());
    ASSERT_TRUE(hits);
    EXPECT_EQ(hits->Header().GetType(), CMessageHeader::kTypeQueryHit);
    EXPECT_EQ(hits->Header().GetMessageIdText(), id);
    EXPECT_EQ(hits->Header().GetTtl(), 5);
    EXPECT_EQ(hits->Header().GetHops(), 0);
    EXPECT_EQ(hits->GetPort(), 16440);
    EXPECT_EQ(hits->GetAddress().GetText(), "127.0.0.40");
    EXPECT_EQ(hits->GetServentId().GetText(), a->doc->GetServentId());
    EXPECT_EQ(hits->GetHitCount(), 10);
    ASSERT_EQ(hits->GetEntries().size(), 10u);
    for (std::size_t k = 0; k < 10; ++k) {
        // Newest update first: thread 24, 23, ...
        const CHitEntry& entry = hits->GetEntries()[k];
        const std::size_t i = 24 - k;
        EXPECT_EQ(entry.GetThreadId().GetText(), threads[i]) << k;
        EXPECT_EQ(entry.GetTime(), 1000 + i);
        EXPECT_EQ(entry.GetResCount(), i + 1);
        EXPECT_EQ(entry.GetTitle(), "title " + threads[i].substr(0, 4));
        EXPECT_EQ(entry.GetName(), "name");
        EXPECT_EQ(entry.GetCategory(), "News");
    }

    auto relayed = DecodeQuery(neighbour.Next());
    ASSERT_TRUE(relayed);
    EXPECT_EQ(relayed->Header().GetMessageIdText(), id);
    EXPECT_EQ(relayed->Header().GetTtl(), 4);
    EXPECT_EQ(relayed->Header().GetHops(), 1);
    EXPECT_EQ(relayed->GetCategory(), "News");
    EXPECT_TRUE(a->LogHas("receive query message 127.0.0.58 "));
    EXPECT_TRUE(a->LogHas(" MSGID=" + id + " HIT=10"));
    EXPECT_TRUE(a->LogHas("relay query message 127.0.0.59 "));
}

TEST_F(QueryHandlerTest, ThreadQueryIsAnsweredWhicheverCategoryItNames) {
    auto a = StartNode(41);
    const std::string held = MakeThread(*a, "News", 500, 3);
    MakeThread(*a, "News", 600);
    ConnectPeers(*a);

    asker.Send(QueryBytes(NewId(), NewId(), "News")); // a thread not held here
    asker.Send(QueryBytes(NewId(), held, "Other"));
    auto hits = DecodeHits(asker.Next());
    ASSERT_TRUE(hits);
    ASSERT_EQ(hits->GetHitCount(), 1);
    ASSERT_EQ(hits->GetEntries().size(), 1u);
    EXPECT_EQ(hits->GetEntries()[0].GetThreadId().GetText(), held);
    EXPECT_EQ(hits->GetEntries()[0].GetResCount(), 3);
    EXPECT_EQ(hits->GetEntries()[0].GetCategory(), "News");
}

TEST_F(QueryHandlerTest, AnsweringAndRelayingAreDecidedSeparately) {
    auto a = StartNode(42);
    const std::string held = MakeThread(*a, "News", 500);
    ConnectPeers(*a);

    const std::string noCategory = NewId();
    asker.Send(QueryBytes(noCategory, held, ""));
    const std::string noIndex = NewId();
    asker.Send(QueryBytes(noIndex, "", "Nothing"));
    const std::string lastTtl = NewId();
    asker.Send(QueryBytes(lastTtl, "", "News", 1, 0));
    const std::string lastHop = NewId();
    asker.Send(QueryBytes(lastHop, "", "News", 9, 7));
    const std::string both = NewId();
    asker.Send(QueryBytes(both, held, "News", 2, 0));

    // Messages on one connection are handled in order, so what arrives up to
    // the last query's answer and relay is all the earlier ones caused.
    for (const std::string& id : {lastTtl, lastHop, both}) {
        auto hits = DecodeHits(asker.Next());
        ASSERT_TRUE(hits);
        EXPECT_EQ(hits->Header().GetMessageIdText(), id);
    }
    for (const std::string& id : {noIndex, both}) {
        auto relayed = DecodeQuery(neighbour.Next());
        ASSERT_TRUE(relayed);
        EXPECT_EQ(relayed->Header().GetMessageIdText(), id);
    }
    EXPECT_TRUE(a->LogHas(" MSGID=" + noCategory + " TID=" + held));
    EXPECT_FALSE(a->LogHas(" MSGID=" + noCategory + " HIT="));
}

TEST_F(QueryHandlerTest, AnswersTravelBackAlongTheQueryPathToTheAskingNode) {
    auto a = StartNode(45);
    auto b = StartNode(46);
    auto c = StartNode(47);
    const std::string thread = MakeThread(*a, "News", 500, 4);
    // C joins B before B joins A, so the pongs of their pings name no node
    // that C could open a direct connection to.
    Link(*c, *b);
    ASSERT_TRUE(WaitUntil([&] { return c->doc->CountEstablished() == 1; }));
    Link(*b, *a);
    ASSERT_TRUE(WaitUntil([&] { return a->doc->CountEstablished() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return b->doc->CountEstablished() == 2; }));

    c->doc->SetClock([] { return 4242u; });
    c->doc->SetCurrentCategory("News");
    c->doc->SendCategoryQuery();
    EXPECT_EQ(c->ui.refreshes, 1);
    ASSERT_TRUE(WaitUntil([&] { return c->ui.rows.size() == 1; }));
    const CThreadSummary& row = c->ui.rows[0];
    EXPECT_EQ(row.threadId, thread);
    EXPECT_EQ(row.category, "News");
    EXPECT_EQ(row.resCount, 4);
    EXPECT_EQ(row.time, 500u);
    EXPECT_FALSE(row.isNew);
    EXPECT_EQ(c->doc->CountEstablished(), 1);
    EXPECT_TRUE(b->LogHas("relay query message 127.0.0.45 16445 "));
    EXPECT_TRUE(b->LogHas("relay queryhit message 127.0.0.47 "));
    EXPECT_TRUE(c->LogHas("send query message 127.0.0.46 16446 "));

    CThreadSources sources;
    { ASSERT_TRUE(c->doc->Sources().Lookup(thread, sources)); }
    EXPECT_EQ(sources.Entries()[0].address.GetText(), "127.0.0.45");
    EXPECT_EQ(sources.Entries()[0].port, 16445);
    EXPECT_EQ(sources.Entries()[0].time, 4242u);
    EXPECT_EQ(sources.Entries()[0].resCount, 4);

    // Asking for one thread by id reaches its holder too, whatever category
    // is current; the row is for another category, so the list stays as is.
    c->doc->SetCurrentCategory("Other");
    c->doc->SetCurrentThreadId(thread);
    c->doc->SendThreadQuery();
    ASSERT_TRUE(WaitUntil(
        [&] { return c->doc->Sources().Lookup(thread, sources) && sources.CountSources() == 2; }));
    EXPECT_EQ(c->ui.rows.size(), 1u);
    EXPECT_EQ(c->ui.refreshes, 1);
}

TEST_F(QueryHandlerTest, AskingNodeKeepsEveryHolderAndListsOnlyWhatItLacks) {
    auto c = StartNode(48);
    const std::string same = MakeThread(*c, "News", 500, 2);
    const std::string behind = MakeThread(*c, "News", 500, 2);
    const std::string older = MakeThread(*c, "News", 500, 2);
    ASSERT_TRUE(asker.Connect(kAsker, *c));
    ASSERT_TRUE(WaitUntil([&] { return c->doc->CountEstablished() == 1; }));
    c->doc->SetClock([] { return 77u; });
    c->doc->SetCurrentCategory("News");
    c->doc->SendCategoryQuery();
    auto query = DecodeQuery(asker.Next());
    ASSERT_TRUE(query);
    const std::string id = query->Header().GetMessageIdText();
    EXPECT_TRUE(query->GetThreadId().IsNull());
    EXPECT_EQ(query->GetCategory(), "News");

    auto sourceCount = [&](const std::string& thread) {
        CThreadSources sources;
        return c->doc->Sources().Lookup(thread, sources) ? sources.CountSources() : 0;
    };

    // One hit for a thread held here as it is: a holder, but no row.
    asker.Send(QueryHitBytes(id, {Hit(same, 500, 2)}));
    ASSERT_TRUE(WaitUntil([&] { return sourceCount(same) == 1; }));
    EXPECT_TRUE(c->ui.rows.empty());

    // A hit naming no thread is left out; one for a thread not held here is
    // listed, not marked new.
    asker.Send(QueryHitBytes(id, {Hit("", 300, 1)}));
    const std::string missing = NewId();
    asker.Send(QueryHitBytes(id, {Hit(missing, 300, 1)}));
    ASSERT_TRUE(WaitUntil([&] { return c->ui.rows.size() == 1; }));
    EXPECT_EQ(c->ui.rows[0].threadId, missing);
    EXPECT_FALSE(c->ui.rows[0].isNew);
    EXPECT_EQ(sourceCount(""), 0);

    // Three hits: more posts, newer posts, and nothing new; the first two are
    // listed marked new, and all three holders are kept.
    asker.Send(QueryHitBytes(id, {Hit(behind, 500, 3), Hit(older, 501, 2), Hit(same, 500, 2)},
                             "127.0.0.98", 7001));
    ASSERT_TRUE(WaitUntil([&] { return sourceCount(same) == 2; }));
    ASSERT_EQ(c->ui.rows.size(), 3u);
    EXPECT_EQ(c->ui.rows[1].threadId, behind);
    EXPECT_EQ(c->ui.rows[1].resCount, 3);
    EXPECT_TRUE(c->ui.rows[1].isNew);
    EXPECT_EQ(c->ui.rows[2].threadId, older);
    EXPECT_EQ(c->ui.rows[2].time, 501u);
    EXPECT_TRUE(c->ui.rows[2].isNew);
    EXPECT_EQ(sourceCount(behind), 1);
    EXPECT_EQ(sourceCount(older), 1);

    CThreadSources sources;
    c->doc->Sources().Lookup(same, sources);
    EXPECT_EQ(sources.Entries()[1].address.GetText(), "127.0.0.98");
    EXPECT_EQ(sources.Entries()[1].port, 7001);
    EXPECT_EQ(sources.Entries()[1].time, 77u);
    EXPECT_FALSE(c->LogHas("relay queryhit message"));
}

TEST_F(QueryHandlerTest, QueryHitIsDroppedOnceTheConnectionItsQueryCameOnHasGone) {
    auto b = StartNode(49);
    ConnectPeers(*b);
    const std::string id = NewId();
    asker.Send(QueryBytes(id, "", "News"));
    ASSERT_TRUE(neighbour.Next());

    // While the asker is there, the answer goes back to it one hop further on.
    const CHitEntry entry = Hit(NewId(), 300, 1);
    std::string answer = QueryHitBytes(id, {entry});
    neighbour.Send(answer);
    auto routed = asker.Next();
    ASSERT_TRUE(routed);
    answer[17] = 4; // TTL
    answer[18] = 1; // hops
    EXPECT_EQ(*routed, answer);

    asker.Close();
    ASSERT_TRUE(WaitUntil([&] { return b->doc->CountEstablished() == 1; }));
    neighbour.Send(QueryHitBytes(id, {entry}, "127.0.0.97"));
    ASSERT_TRUE(WaitUntil([&] { return b->LogHas(" SITE=127.0.0.97 7000"); }));
    // A relay would be logged by the same handler call, right after.
    const std::string log = b->Log();
    EXPECT_EQ(log.find("relay queryhit", log.find(" SITE=127.0.0.97 7000")), std::string::npos);
}

TEST_F(QueryHandlerTest, CategoryQueryWithoutConnectionWarnsAndSendsNothing) {
    auto c = StartNode(50);
    c->doc->SetCurrentCategory("News");
    c->doc->SendCategoryQuery();
    ASSERT_EQ(c->ui.messages.size(), 1u);
    EXPECT_EQ(c->ui.messages[0], strings::kNotConnected);
    EXPECT_EQ(c->ui.icons[0], IPelmarUi::MessageIcon::Warning);
    EXPECT_EQ(c->ui.refreshes, 0);
}
