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

    // Each client on a connection of its own, under the strict rule.
    const auto fetch = [&](bool& fetched, std::string& body, bool& listedNothing) {
        CBlockingSocket socket;
        ASSERT_TRUE(socket.Create());
        ASSERT_TRUE(socket.Connect(kHolderAddress, kHolderPort));
        CFetchClient client(socket, nullptr, kStrictRule);
        fetched = client.GetThreadFile(threadId, nullptr, body);
        listedNothing = client.GetResList(threadId).empty();
    };
    bool fetched = false, listedNothing = false;
    std::string body;
    fetch(fetched, body, listedNothing);
    EXPECT_TRUE(fetched);
    EXPECT_EQ(body, file);

    holder.Trickle(20); // 50 bytes a second, each receive well inside its time-out
    fetch(fetched, body, listedNothing);
    EXPECT_FALSE(fetched);
    EXPECT_TRUE(listedNothing);
    EXPECT_EQ(holder.Requests().size(), 3u); // thread and list, then the trickled thread
}
