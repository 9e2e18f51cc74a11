// Joining through the reflector service and through plain entry points, with
// real pelmard processes.
#include "support/NodeProcess.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

// The reflector tool on its own address and a port the system picks.
class ReflectorProcess {
public:
    ReflectorProcess() {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(REFLECTOR_PATH, {"--address", "127.0.0.140", "--port", "0"});
        const std::string prefix = "pelmar-reflector listening on 127.0.0.140:";
        WaitUntil(
            [&] {
                m_output += m_process.readAllStandardOutput().toStdString();
                return m_output.find('\n') != std::string::npos ||
                       m_process.state() == QProcess::NotRunning;
            },
            5000);
        if (m_output.compare(0, prefix.size(), prefix) == 0)
            port = std::stoi(m_output.substr(prefix.size()));
    }
    ~ReflectorProcess() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    std::string Url() const { return "http://127.0.0.140:" + std::to_string(port) + "/reflect"; }
    int port = 0;

private:
    QProcess m_process;
    std::string m_output;
};

// Collects a node's standard error until a text shows up.
bool WaitForStderr(NodeProcess& node, std::string& collected, const std::string& text) {
    return WaitUntil(
        [&] {
            collected += node.Stderr();
            return collected.find(text) != std::string::npos;
        },
        10000);
}

} // namespace

TEST(ReflectorJoinTest, SecondNodeLearnsTheFirstFromTheReflectorAndConnects) {
    ReflectorProcess reflector;
    ASSERT_GT(reflector.port, 0);
    NodeProcess first("127.0.0.106", 16500);
    ASSERT_TRUE(first.Start({reflector.Url()}));
    std::string firstErr;
    EXPECT_TRUE(WaitForStderr(first, firstErr, "reflector: open\n"));
    EXPECT_TRUE(first.WaitForLog("CGI Reflector Reflect My IPaddress 127.0.0.106\n"));
    EXPECT_EQ(first.CountInLog(" connect 127.0.0."), 0u); // nobody asked before it

    NodeProcess second("127.0.0.107", 16500);
    ASSERT_TRUE(second.Start({reflector.Url()}));
    std::string secondErr;
    EXPECT_TRUE(WaitForStderr(second, secondErr, "reflector: open\n"));
    EXPECT_TRUE(second.WaitForLog("connect 127.0.0.106 16500\n"));
    EXPECT_TRUE(second.WaitForLog("receive PELMAR OK 127.0.0.106 16500\n"));
    EXPECT_TRUE(first.WaitForLog("send PELMAR OK 127.0.0.107 "));
    EXPECT_EQ(first.Stop(), 0);
    EXPECT_EQ(second.Stop(), 0);
}

TEST(ReflectorJoinTest, EntryWithoutPortUsesDefaultAndRepeatedEntryConnectsOnce) {
    NodeProcess target("127.0.0.109", 16500);
    ASSERT_TRUE(target.Start());
    NodeProcess joining("127.0.0.108", 16500);
    ASSERT_TRUE(joining.Start({target.Entry(), target.Entry(), "127.0.0.109"}));
    ASSERT_TRUE(joining.WaitForLog("receive PELMAR OK 127.0.0.109 16500\n"));
    ASSERT_TRUE(joining.WaitForLog("connect entrypoint 127.0.0.109 6340\n"));
    // The node's own ping is answered by a pong naming the target: nothing new opens.
    EXPECT_TRUE(joining.WaitForLog("receive pong message 127.0.0.109 16500 "));
    EXPECT_EQ(joining.CountInLog("connect entrypoint 127.0.0.109 16500\n"), 2u);
    EXPECT_EQ(joining.CountInLog("send PELMAR CONNECT/0.1 127.0.0.109 16500\n"), 1u);
    EXPECT_EQ(joining.CountInLog("connect new servent"), 0u);
    EXPECT_EQ(target.CountInLog("receive PELMAR CONNECT/0.1 127.0.0.108 "), 1u);
    EXPECT_EQ(joining.Stop(), 0);
    EXPECT_EQ(target.Stop(), 0);
}
