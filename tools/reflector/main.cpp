// pelmar-reflector: the minimal reflector service.
//   pelmar-reflector [--address ADDR] [--port N]   (defaults 127.0.0.1 and 8080)
//   pelmar-reflector --help | --version
// Runs on its main thread until SIGTERM or SIGINT.
#include "ReflectorService.h"
#include "app/CommandLine.h"
#include "app/FrontEndStartup.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage = "usage: pelmar-reflector [--address ADDR] [--port N]\n"
                               "       pelmar-reflector --help | --version\n"
                               "  --address ADDR    listen on this address (default 127.0.0.1)\n"
                               "  --port N          listen on this port (default 8080; 0: any)\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    QString addressText = QStringLiteral("127.0.0.1");
    unsigned port = 8080;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("pelmar-reflector %s\n", CCommandLine::Version());
            return 0;
        }
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

    // SIGTERM and SIGINT end the event loop cleanly, as in the node.
    if (!QuitOnTerminationSignals())
        return 1;

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

    return app.exec();
}
