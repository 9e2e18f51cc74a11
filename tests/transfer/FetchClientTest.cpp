// CFetchClient against a holder that trickles its replies: once a request has
// run past its grace time too slowly it fails, and the connection is not
// used again; an honest reply passes the same rule.
#include "transfer/FetchClient.h"
#include "transfer/BlockingSocket.h"
#include "transfer/TransferSupport.h"

#include <gtest/gtest.h>

using namespace transfertest;

namespace {

constexpr const char* kHolderAddress = "127.0.0.72";
constexpr int kHolderPort = 16490;

const CSlowHolderRule kStrictRule{std::chrono::milliseconds(300), 1000};

} // namespace

TEST(FetchClientTest, HolderBelowTheRateAfterTheGraceIsLeftAndHonestOneIsNot) {
    const CBinaryId threadId = NewId();
    const std::string file(600, 'x');
    FakeHolder holder(kHolderAddress, kHolderPort,
                      [&](const FakeRequest&) { return OkReply(file); });
    ASSERT_TRUE(holder.Listening());

    {
        CBlockingSocket socket;
        ASSERT_TRUE(socket.Create());
        ASSERT_TRUE(socket.Connect(kHolderAddress, kHolderPort));
        CFetchClient client(socket, nullptr, kStrictRule);
        std::string body;
        EXPECT_TRUE(client.GetThreadFile(threadId, nullptr, body));
        EXPECT_EQ(body, file);
    }

    holder.Trickle(20); // 50 bytes a second, each receive well inside its time-out
    CBlockingSocket socket;
    ASSERT_TRUE(socket.Create());
    ASSERT_TRUE(socket.Connect(kHolderAddress, kHolderPort));
    CFetchClient client(socket, nullptr, kStrictRule);
    std::string body;
    EXPECT_FALSE(client.GetThreadFile(threadId, nullptr, body));
    EXPECT_TRUE(client.GetResList(threadId).empty());
    EXPECT_EQ(holder.Requests().size(), 2u); // the second request was never answered
}
