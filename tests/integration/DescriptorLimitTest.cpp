// A pelmard that runs out of file descriptors while connections pile up keeps
// its listener: it neither spins on the failing accept nor stops accepting,
// and takes servents again once descriptors are free. One started with a
// soft limit below its hard one raises it, and answers at once while
// thousands of idle connections are open.
#include "support/RawPeer.h"
#include "support/TempDir.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* kNode = "127.0.0.111";
constexpr const char* kClient = "127.0.0.112";
constexpr int kPort = 16500;
constexpr const char* kBusyNode = "127.0.0.113";
constexpr const char* kBusyClient = "127.0.0.114";

rlimit g_descriptorLimit{1024, 1024};

class LimitedNode {
public:
    explicit LimitedNode(rlim_t limit, rlim_t hardLimit = 0, const char* address = kNode) {
        TempDir::WriteFile(dir / "pelmar.ini", "[Network]\nPort=" + std::to_string(kPort) + "\n");
        g_descriptorLimit = {limit, hardLimit == 0 ? limit : hardLimit};
        m_process.setChildProcessModifier([] { ::setrlimit(RLIMIT_NOFILE, &g_descriptorLimit); });
        m_process.setWorkingDirectory(QString::fromStdString(dir.Path()));
        m_process.start(PELMARD_PATH, {"--ini", QString::fromStdString(dir / "pelmar.ini"),
                                       "--address", address, "--log"});
        started =
            m_process.waitForStarted(5000) &&
            WaitUntil([&] { return Log().find("pelmar Startup!!") != std::string::npos; }, 5000);
        RunEventsFor(300); // let start-up finish before anything counts
    }
    ~LimitedNode() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    std::string Log() const { return TempDir::ReadFile(dir / "pelmar.log"); }
    // What went wrong, for a failed expectation.
    std::string Diagnostics() {
        return "state " + std::to_string(m_process.state()) + ", exit " +
               std::to_string(m_process.exitCode()) +
               ", stderr: " + m_process.readAllStandardError().toStdString();
    }
    bool Running() const { return m_process.state() == QProcess::Running; }
    qint64 Pid() const { return m_process.processId(); }
    int OpenDescriptors() const {
        return static_cast<int>(QDir(QString("/proc/%1/fd").arg(Pid()))
                                    .entryList(QDir::NoDotAndDotDot | QDir::System)
                                    .size());
    }
    // User and system time used so far, in clock ticks.
    long CpuTicks() const {
        std::ifstream in("/proc/" + std::to_string(Pid()) + "/stat");
        std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        long utime = 0, stime = 0;
        for (int i = 3; fields >> field; ++i) {
            if (i == 14)
                utime = std::stol(field);
            if (i == 15) {
                stime = std::stol(field);
                break;
            }
        }
        return utime + stime;
    }

    TempDir dir;
    bool started = false;

private:
    QProcess m_process;
};

int OpenClientConnection(const char* from = kClient, const char* to = kNode) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return fd;
    sockaddr_in local{}, remote{};
    local.sin_family = remote.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    ::inet_pton(AF_INET, to, &remote.sin_addr);
    remote.sin_port = htons(kPort);
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    return fd;
}

} // namespace

TEST(DescriptorLimitTest, ListenerOutlivesRunningOutOfDescriptors) {
    int baseline = 0;
    {
        LimitedNode probe(1024);
        ASSERT_TRUE(probe.started);
        baseline = probe.OpenDescriptors();
        ASSERT_GT(baseline, 0) << probe.Diagnostics();
    }
    LimitedNode node(static_cast<rlim_t>(baseline + 6));
    ASSERT_TRUE(node.started);

    // A first connection drained to an empty backlog leaves the listener in
    // the state it is in on any node that has run a while.
    std::vector<int> clients{OpenClientConnection()};
    RunEventsFor(300);
    for (int i = 1; i < 24; ++i)
        clients.push_back(OpenClientConnection());
    RunEventsFor(1500);
    ASSERT_TRUE(node.Running());
    EXPECT_GE(node.OpenDescriptors(), baseline + 5); // it did run out
    const long before = node.CpuTicks();
    RunEventsFor(2000);
    const long used = node.CpuTicks() - before;
    EXPECT_LT(used, sysconf(_SC_CLK_TCK))
        << "busy while out of descriptors (baseline " << baseline << ")";

    for (int fd : clients)
        ::close(fd);
    // The node takes the queued connections a few at a time as descriptors
    // come free, then the servent behind them.
    RawPeer servent(kClient);
    ASSERT_TRUE(servent.Connect(kNode, kPort));
    servent.Write(ConnectBlock(kNode));
    EXPECT_TRUE(servent.WaitForText(OkBlock(kClient), 20000));
    EXPECT_TRUE(node.Running());
}

TEST(DescriptorLimitTest, RaisedLimitKeepsAnsweringWithTwoThousandIdleConnections) {
    constexpr int kIdle = 2000;
    // The test holds the client ends: it needs room for them too.
    rlimit own{};
    ::getrlimit(RLIMIT_NOFILE, &own);
    if (own.rlim_max < kIdle + 512)
        GTEST_SKIP() << "hard descriptor limit " << own.rlim_max << " is too low";
    const rlimit saved = own;
    own.rlim_cur = own.rlim_max;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &own), 0);

    // Started as a login shell would start it: soft 1,024, hard well above.
    LimitedNode node(1024, kIdle + 512, kBusyNode);
    ASSERT_TRUE(node.started) << node.Diagnostics();
    const int baseline = node.OpenDescriptors();
    // In batches the backlog can hold: a connection that overflows it is
    // complete for the client but unknown to the node until the client
    // sends, which an idle one never does.
    struct CClients : std::vector<int> {
        ~CClients() {
            for (int fd : *this)
                ::close(fd);
        }
    } clients;
    while (clients.size() < static_cast<std::size_t>(kIdle)) {
        for (int i = 0; i < 50; ++i) {
            const int fd = OpenClientConnection(kBusyClient, kBusyNode);
            ASSERT_GE(fd, 0);
            clients.push_back(fd);
        }
        const int wanted = baseline + static_cast<int>(clients.size());
        ASSERT_TRUE(WaitUntil([&] { return node.OpenDescriptors() >= wanted; }, 5000))
            << "node holds " << node.OpenDescriptors() - baseline << " of " << clients.size();
    }

    RawPeer servent(kBusyClient);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(servent.Connect(kBusyNode, kPort));
    servent.Write(ConnectBlock(kBusyNode));
    EXPECT_TRUE(servent.WaitForText(OkBlock(kBusyClient), 5000));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("answered with %d idle connections open in %lld ms\n", kIdle,
                static_cast<long long>(took.count()));
    EXPECT_TRUE(node.Running());
    ::setrlimit(RLIMIT_NOFILE, &saved);
}
