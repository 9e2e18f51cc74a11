// Where the web interface listens, from the command line, and a node whose
// web port is taken running on without it.
#include "web/WebStartup.h"
#include "support/NodeProcess.h"
#include "web/WebFixture.h"

#include <QTcpServer>

TEST(WebStartupTest, AddressAndPortFollowTheOptions) {
    const struct {
        std::vector<std::string> arguments;
        std::string address;
        int port;
        bool valid;
    } cases[] = {
        {{}, "127.0.0.1", 6341, true},
        {{"--address", "127.0.0.9"}, "127.0.0.9", 6341, true}, // each local node its own
        {{"--address", "10.0.0.1"}, "127.0.0.1", 6341, true},  // never another address unasked
        {{"--web", "0.0.0.0:8080", "--web-host", "a.example"}, "0.0.0.0", 8080, true},
        {{"--web", "127.0.0.1"}, "", 0, false},
        {{"--web", "127.0.0.1:70000"}, "", 0, false},
        {{"--web", "localhost:80"}, "", 0, false},
    };
    for (const auto& c : cases) {
        const CCommandLine line = CCommandLine::Parse(c.arguments);
        EXPECT_EQ(line.error.empty(), c.valid) << line.error;
        if (!c.valid)
            continue;
        const CWebInterface::Options options = WebOptionsFor(line);
        EXPECT_EQ(options.address, c.address);
        EXPECT_EQ(options.port, c.port);
    }
}

class WebStartupNodeTest : public WebFixture {};

TEST_F(WebStartupNodeTest, TakenPortLeavesTheNodeRunningWithoutTheInterface) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress(QString::fromLatin1(kAddress)), 0));
    const std::string web = std::string(kAddress) + ":" + std::to_string(taken.serverPort());
    const CCommandLine line = CCommandLine::Parse({"--web", web});
    CWebFrontEnd frontEnd(*doc, fanOut, line, false);
    EXPECT_EQ(frontEnd.Web(), nullptr);
    // The node goes on: its own interface from the fixture still answers.
    EXPECT_EQ(client->Get("/api/status").status, 200);
    // Not asked for and not on by default: nothing is served.
    EXPECT_EQ(CWebFrontEnd(*doc, fanOut, CCommandLine::Parse({}), false).Web(), nullptr);
}

TEST_F(WebStartupNodeTest, EveryAddressAnswersAsLoopbackAndTheGivenNamesOnly) {
    CWebInterface::Options options;
    options.address = "0.0.0.0";
    options.port = 0;
    options.hosts = {"pelmar.example"};
    CWebInterface any(*doc, options);
    std::string error;
    ASSERT_TRUE(any.Start(error)) << error;
    EXPECT_EQ(any.PageUrl().rfind("http://127.0.0.1:" + std::to_string(any.Port()) + "/", 0), 0u);
    const WebClient loopback("127.0.0.1", any.Port(), any.Token());
    EXPECT_EQ(loopback.Get("/api/status").status, 200);
    EXPECT_EQ(loopback.Call("GET", "/api/status", {}, {}, "pelmar.example:8443").status, 200);
    EXPECT_EQ(loopback.Call("GET", "/api/status", {}, {}, "192.0.2.1:" + std::to_string(any.Port()))
                  .status,
              403);
}

TEST(WebStartupProcessTest, PrintedAddressNamesTheTokenFileNeverTheToken) {
    NodeProcess node("127.0.0.172", 16372);
    ASSERT_TRUE(node.Start());
    std::string printed;
    ASSERT_TRUE(WaitUntil([&] {
        printed += node.Stdout();
        return printed.find('\n') != std::string::npos;
    }));
    std::string token = TempDir::ReadFile(node.dir / "webtoken");
    while (!token.empty() && token.back() == '\n')
        token.pop_back();
    ASSERT_FALSE(token.empty());
    EXPECT_EQ(printed.find(token), std::string::npos) << printed;
    EXPECT_NE(printed.find("http://127.0.0.172:6341/"), std::string::npos) << printed;
    EXPECT_NE(printed.find(node.dir / "webtoken"), std::string::npos) << printed;
    EXPECT_EQ(node.Stop(), 0);
}
