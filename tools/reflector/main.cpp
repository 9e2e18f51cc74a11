// pelmar-reflector: the minimal reflector service.
//   pelmar-reflector [--address ADDR] [--port N]   (defaults 127.0.0.1 and 8080)
// Runs on its main thread until SIGTERM or SIGINT.
#include "ReflectorService.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    char byte = 1;
    ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
    (void)ignored;
}

int Usage() {
    std::fprintf(stderr, "usage: pelmar-reflector [--address ADDR] [--port N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    QString addressText = QStringLiteral("127.0.0.1");
    unsigned port = 8080;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--address") == 0 && i + 1 < argc) {
            addressText = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            bool ok = false;
            port = QByteArray(argv[++i]).toUInt(&ok);
            if (!ok || port > 65535)
                return Usage();
        } else {
            return Usage();
        }
    }
    QHostAddress address;
    if (!address.setAddress(addressText))
        return Usage();

    // Signals arrive through a pipe so the event loop ends cleanly.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return 1;
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [] {
        char byte;
        ssize_t ignored = ::read(g_signalPipe[0], &byte, 1);
        (void)ignored;
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    CReflectorService service;
    if (!service.Listen(address, static_cast<quint16>(port))) {
        std::fprintf(stderr, "pelmar-reflector: cannot listen on %s:%u\n", qPrintable(addressText),
                     port);
        return 1;
    }
    // Tests and scripts wait for this line (it names the port when 0 was asked).
    std::printf("pelmar-reflector listening on %s:%u\n", qPrintable(addressText),
                static_cast<unsigned>(service.ServerPort()));
    std::fflush(stdout);

    int status = app.exec();
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    return status;
}
