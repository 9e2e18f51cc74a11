// pelmard's web interface as a process: served by default as plain HTTP
// without OpenSSL in the process, and not at all with --web off.
#include "support/TempDir.h"
#include "support/Wait.h"

#include <QProcess>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <string>

namespace {
std::string Maps(qint64 pid) {
    return TempDir::ReadFile("/proc/" + std::to_string(pid) + "/maps");
}

// One request on a fresh connection; the status line, or "" when nothing answers.
std::string StatusLine(const QString& address, quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(address, port);
    if (!socket.waitForConnected(2000))
        return "";
    socket.write("GET /api/status HTTP/1.1\r\nHost: " + address.toUtf8() + ":" +
                 QByteArray::number(port) + "\r\n\r\n");
    if (!socket.waitForReadyRead(5000))
        return "";
    return socket.readLine().trimmed().toStdString();
}
} // namespace

TEST(PelmardWebTest, ServesPlainHttpWithoutTlsAndNothingWithWebOff) {
    const struct {
        const char* address;
        QStringList web;
        bool served;
    } cases[] = {
        {"127.0.0.230", {}, true},
        {"127.0.0.231", {"--web", "off"}, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        TempDir::WriteFile(dir / "pelmar.ini", "[Network]\nPort=16330\n");
        QProcess node;
        node.setWorkingDirectory(QString::fromStdString(dir.Path()));
        node.start(PELMARD_PATH, QStringList{"--ini", QString::fromStdString(dir / "pelmar.ini"),
                                             "--address", c.address, "--log"} +
                                     c.web);
        ASSERT_TRUE(node.waitForStarted(5000));
        ASSERT_TRUE(WaitUntil(
            [&] {
                return TempDir::ReadFile(dir / "pelmar.log").find("Startup!!") != std::string::npos;
            },
            10000))
            << c.address;
        RunEventsFor(300); // the web interface starts right after the node
        const std::string out = node.readAllStandardOutput().toStdString();
        EXPECT_EQ(out.find("web interface: http://") != std::string::npos, c.served) << out;
        const std::string status = StatusLine(c.address, 6341);
        EXPECT_EQ(status.rfind("HTTP/1.1 401", 0) == 0, c.served) << c.address << ": " << status;
        const std::string maps = Maps(node.processId());
        EXPECT_EQ(maps.find("libssl"), std::string::npos) << c.address;
        EXPECT_EQ(maps.find("tls/libq"), std::string::npos) << c.address;
        node.terminate();
        if (!node.waitForFinished(5000)) {
            node.kill();
            node.waitForFinished(2000);
        }
        EXPECT_EQ(node.exitCode(), 0);
    }
}
