// Asking a reflector never holds up the GUI thread: the answer (or its
// failure) is handled later, on that thread.
#include "app/ReflectorClient.h"

#include "res/Strings.h"
#include "support/InProcessNode.h"
#include "support/Wait.h"

#include <QTcpServer>

#include <gtest/gtest.h>

TEST(ReflectorClientTest, ConnectReturnsAtOnceAndTheAnswerComesLater) {
    // A reflector that takes the connection and never answers, and an
    // address where nothing listens.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress("127.0.0.213"), 0));
    const struct {
        std::string url;
        int timerStarts; // an answer, even an empty one, starts the timer
        std::size_t messages;
    } cases[] = {
        {"http://127.0.0.213:" + std::to_string(silent.serverPort()) + "/reflect", 1, 0},
        {"http://127.0.0.213:1/reflect", 0, 1},
    };
    for (const auto& c : cases) {
        InProcessNode node("127.0.0.214", 16610);
        node.doc->ConnectToEntry(c.url);
        // Nothing has been handled yet: the request is still on its way.
        EXPECT_EQ(node.ui.reflectTimerStarts, 0) << c.url;
        EXPECT_TRUE(node.ui.messages.empty()) << c.url;
        EXPECT_TRUE(WaitUntil(
            [&] { return node.ui.reflectTimerStarts + node.ui.messages.size() > 0; }, 15000))
            << c.url;
        EXPECT_EQ(node.ui.reflectTimerStarts, c.timerStarts) << c.url;
        ASSERT_EQ(node.ui.messages.size(), c.messages) << c.url;
        if (c.messages) {
            EXPECT_EQ(node.ui.messages[0], strings::kEntryPointConnectFailed);
        }
        if (c.timerStarts) {
            EXPECT_EQ(node.doc->GetReflectorUrl(), c.url);
        }
    }
}
