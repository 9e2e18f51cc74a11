// Asking a reflector never holds up the GUI thread: the answer (or its
// failure) is handled later, on that thread.
#include "res/Strings.h"
#include "support/InProcessNode.h"
#include "support/Wait.h"

#include <QTcpServer>

#include <gtest/gtest.h>

TEST(ReflectorClientTest, ConnectReturnsAtOnceAndTheAnswerComesLater) {
    QTcpServer silent; // takes the connection and never answers
    ASSERT_TRUE(silent.listen(QHostAddress("127.0.0.213"), 0));
    const struct {
        std::string url;
        int timerStarts; // an answer, even an empty one, starts the timer
        std::vector<std::string> messages;
    } cases[] = {
        {"http://127.0.0.213:" + std::to_string(silent.serverPort()) + "/r", 1, {}},
        {"http://127.0.0.213:1/r", 0, {strings::kEntryPointConnectFailed}}, // refused
    };
    for (const auto& c : cases) {
        InProcessNode node("127.0.0.214", 16610);
        node.doc->ConnectToEntry(c.url);
        EXPECT_EQ(node.ui.reflectTimerStarts + node.ui.messages.size(), 0u) << c.url;
        EXPECT_TRUE(WaitUntil(
            [&] { return node.ui.reflectTimerStarts + node.ui.messages.size() > 0; }, 15000));
        EXPECT_EQ(node.ui.reflectTimerStarts, c.timerStarts) << c.url;
        EXPECT_EQ(node.ui.messages, c.messages) << c.url;
    }
}
