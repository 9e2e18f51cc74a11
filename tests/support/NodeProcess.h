// NodeProcess: a pelmard process run by a test in its own temporary working
// directory on its own 127.0.0.x address. The test stops it (SIGTERM, then
// kill after a bounded wait); the destructor makes sure of it.
#pragma once

#include "support/TempDir.h"
#include "support/Wait.h"

#include <QProcess>
#include <QStringList>

#include <string>
#include <vector>

class NodeProcess {
public:
    NodeProcess(std::string address, int port, std::string cacheMode = "Disable")
        : m_address(std::move(address)), m_port(port) {
        TempDir::WriteFile(dir / "pelmar.ini", "[Network]\nPort=" + std::to_string(port) +
                                                   "\n[Servent]\nCacheMode=" + cacheMode + "\n");
    }
    ~NodeProcess() { Stop(); }

    bool Start(const std::vector<std::string>& connect = {}, bool log = true) {
        QStringList arguments{"--ini", QString::fromStdString(dir / "pelmar.ini"), "--address",
                              QString::fromStdString(m_address)};
        if (log)
            arguments << "--log";
        for (const std::string& entry : connect)
            arguments << "--connect" << QString::fromStdString(entry);
        m_process.setWorkingDirectory(QString::fromStdString(dir.Path()));
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        const auto starts = CountInLog("pelmar Startup!!");
        m_process.start(PELMARD_PATH, arguments);
        if (!log) // nothing to watch: give the node a moment to set itself up
            return m_process.waitForStarted(5000) && !m_process.waitForFinished(500);
        return m_process.waitForStarted(5000) &&
               WaitUntil([&] { return CountInLog("pelmar Startup!!") > starts || !Running(); },
                         5000) &&
               Running();
    }

    // SIGTERM, then at most five seconds before a kill. The exit code.
    int Stop() {
        if (m_process.state() == QProcess::NotRunning)
            return m_process.exitCode();
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
            return -1;
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

    std::size_t CountInLog(const std::string& text) const {
        const std::string log = Log();
        std::size_t count = 0;
        for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++count;
        return count;
    }
    bool Running() const { return m_process.state() == QProcess::Running; }
    std::string Log() const { return TempDir::ReadFile(dir / "pelmar.log"); }
    bool LogHas(const std::string& text) const { return Log().find(text) != std::string::npos; }
    bool WaitForLog(const std::string& text, int timeoutMs = 10000) const {
        return WaitUntil([&] { return LogHas(text); }, timeoutMs);
    }
    std::string Stderr() { return m_process.readAllStandardError().toStdString(); }
    std::string Stdout() { return m_process.readAllStandardOutput().toStdString(); }
    const std::string& Address() const { return m_address; }
    int Port() const { return m_port; }
    std::string Entry() const { return m_address + ":" + std::to_string(m_port); }

    TempDir dir;

private:
    std::string m_address;
    int m_port;
    QProcess m_process;
};
