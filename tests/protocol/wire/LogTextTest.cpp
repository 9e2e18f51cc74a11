// Tests of the log texts for messages received, relayed and sent.
#include "protocol/wire/LogText.h"

#include "protocol/wire/PongMessage.h"
#include "protocol/wire/QueryHitMessage.h"
#include "protocol/wire/QueryMessage.h"
#include "protocol/wire/UpdateMessage.h"

#include "WireTestSupport.h"

#include <gtest/gtest.h>

using namespace wiretest;

namespace {

const std::string kId = kMessageId;
const std::string kTid = kThreadId;

TEST(LogTextTest, SentPingHasTwoBlanksBeforeMessageId) {
    const CMessageHeader header(Id(kMessageId), CMessageHeader::kTypePing);
    EXPECT_EQ(PingLogText(EWireEvent::Send, "127.0.0.3", 6340, header),
              "send ping message 127.0.0.3 6340  MSGID=" + kId);
    EXPECT_EQ(PingLogText(EWireEvent::Receive, "127.0.0.3", 6340, header),
              "receive ping message 127.0.0.3 6340 MSGID=" + kId);
    EXPECT_EQ(PingLogText(EWireEvent::Relay, "127.0.0.4", 41000, header),
              "relay ping message 127.0.0.4 41000 MSGID=" + kId);
}

TEST(LogTextTest, PongNamesTheLiveNodeExceptWhenSent) {
    CPongMessage pong;
    pong.Header() = CMessageHeader(Id(kMessageId), CMessageHeader::kTypePong);
    pong.SetAddress(Address("203.0.113.5"));
    pong.SetPort(6341);
    EXPECT_EQ(PongLogText(EWireEvent::Send, "127.0.0.2", 5000, pong),
              "send pong message 127.0.0.2 5000 MSGID=" + kId);
    EXPECT_EQ(PongLogText(EWireEvent::Receive, "127.0.0.2", 5000, pong),
              "receive pong message 127.0.0.2 5000 MSGID=" + kId + " LIVE=203.0.113.5 6341");
    EXPECT_EQ(PongLogText(EWireEvent::Relay, "127.0.0.2", 5000, pong),
              "relay pong message 127.0.0.2 5000 MSGID=" + kId + " LIVE=203.0.113.5 6341");
}

TEST(LogTextTest, CategoryQueryEndsWithEmptyThreadId) {
    CQueryMessage query;
    query.Header() = CMessageHeader(Id(kMessageId), CMessageHeader::kTypeQuery);
    EXPECT_EQ(QueryLogText(EWireEvent::Send, "127.0.0.2", 6340, query),
              "send query message 127.0.0.2 6340 MSGID=" + kId + " TID=");
    query.SetThreadId(Id(kThreadId));
    EXPECT_EQ(QueryLogText(EWireEvent::Receive, "127.0.0.2", 6340, query),
              "receive query message 127.0.0.2 6340 MSGID=" + kId + " TID=" + kTid);
    EXPECT_EQ(QueryLogText(EWireEvent::Relay, "127.0.0.2", 6340, query),
              "relay query message 127.0.0.2 6340 MSGID=" + kId + " TID=" + kTid);
}

TEST(LogTextTest, QueryHitNamesTheRespondingSiteExceptWhenSent) {
    CQueryHitMessage hit;
    hit.Header() = CMessageHeader(Id(kMessageId), CMessageHeader::kTypeQueryHit);
    hit.SetHitCount(3);
    hit.SetAddress(Address("10.1.2.3"));
    hit.SetPort(7000);
    EXPECT_EQ(QueryHitLogText(EWireEvent::Send, "127.0.0.2", 6340, hit),
              "send queryhit message 127.0.0.2 6340 MSGID=" + kId + " HIT=3");
    EXPECT_EQ(QueryHitLogText(EWireEvent::Receive, "127.0.0.2", 6340, hit),
              "receive queryhit message 127.0.0.2 6340 MSGID=" + kId + " HIT=3 SITE=10.1.2.3 7000");
    EXPECT_EQ(QueryHitLogText(EWireEvent::Relay, "127.0.0.2", 6340, hit),
              "relay queryhit message 127.0.0.2 6340 MSGID=" + kId + " HIT=3 SITE=10.1.2.3 7000");
}

TEST(LogTextTest, UpdateNamesItsThread) {
    CUpdateMessage update;
    update.Header() = CMessageHeader(Id(kMessageId), CMessageHeader::kTypeUpdate);
    update.SetThreadId(Id(kThreadId));
    EXPECT_EQ(UpdateLogText(EWireEvent::Send, "127.0.0.2", 6340, update),
              "send update message 127.0.0.2 6340 MSGID=" + kId + " TID=" + kTid);
    EXPECT_EQ(UpdateLogText(EWireEvent::Receive, "127.0.0.2", 6340, update),
              "receive update message 127.0.0.2 6340 MSGID=" + kId + " TID=" + kTid);
    EXPECT_EQ(UpdateLogText(EWireEvent::Relay, "127.0.0.2", 6340, update),
              "relay update message 127.0.0.2 6340 MSGID=" + kId + " TID=" + kTid);
}

} // namespace
