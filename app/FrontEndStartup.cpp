// Front-end start-up shared by pelmard and pelmar. GUI thread.
#include "app/FrontEndStartup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};
bool g_terminating = false;

// Only async-signal-safe work here: the event loop reads the pipe.
void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

std::string ProgramName(char** argv) {
    const std::string path = argv && argv[0] ? argv[0] : "pelmar";
    return path.substr(path.rfind('/') + 1);
}

CCommandLine ParseArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return CCommandLine::Parse(arguments);
}
} // namespace

std::optional<int> AnswerInformationOptions(int argc, char** argv) {
    // Arguments that do not parse are left to ReadCommandLine.
    const CCommandLine line = ParseArguments(argc, argv);
    if (!line.error.empty() || (!line.help && !line.version))
        return std::nullopt;
    if (line.help)
        std::fputs(CCommandLine::Usage(ProgramName(argv)).c_str(), stdout);
    else
        std::printf("%s %s\n", ProgramName(argv).c_str(), CCommandLine::Version());
    return 0;
}

std::optional<CCommandLine> ReadCommandLine(int argc, char** argv) {
    CCommandLine line = ParseArguments(argc, argv);
    if (!line.error.empty()) {
        std::fprintf(stderr, "%s\n%s", line.error.c_str(),
                     CCommandLine::Usage(ProgramName(argv)).c_str());
        return std::nullopt;
    }
    return line;
}

CPelmarDoc::Options MakeDocumentOptions(const CCommandLine& line) {
    const QFileInfo executable(QCoreApplication::applicationFilePath());
    CPelmarDoc::Options options;
    options.iniPath =
        !line.iniPath.empty()
            ? line.iniPath
            : (executable.path() + "/" + executable.completeBaseName() + ".ini").toStdString();
    options.applicationDir = executable.path().toStdString() + "/";
    options.bindAddress = line.address;
    options.logging = line.log;
    return options;
}

bool RaiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    if (limit.rlim_cur == limit.rlim_max)
        return true;
    limit.rlim_cur = limit.rlim_max;
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

bool QuitOnTerminationSignals() {
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return false;
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    auto* notifier =
        new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), [] {
        // An unread byte would keep the notifier firing: the loop would spin.
        char bytes[64];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        g_terminating = true;
        // exit(), not quit(): quit() asks the windows to close, which a modal
        // dialog refuses. exit() ends every running loop, the dialogs' nested
        // ones too, and any loop started afterwards returns at once.
        QCoreApplication::exit(0);
    });
    return true;
}

bool TerminationRequested() {
    return g_terminating;
}
