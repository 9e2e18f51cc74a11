// pelmar-seed: writes the demo's sample threads into a node's working
// directory with the node's own posting commands, or joins a running overlay
// as a node and posts one thread there. Runs on its main thread.
//   pelmar-seed [--share K/N] DIR
//       posts every Nth sample, starting with the Kth (default: all), into DIR
//   pelmar-seed --live --address ADDR --port PORT --connect ENTRY [--stay S] [--log] DIR
//       runs a node in DIR, joins through ENTRY, posts the live sample once a
//       connection stands, prints its thread id and serves it for S seconds
#include "Poster.h"
#include "SampleThreads.h"
#include "app/FrontEndStartup.h"
#include "app/PelmarDoc.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

namespace {
struct Arguments {
    std::string dir;
    unsigned shareIndex = 1;
    unsigned shareCount = 1;
    bool live = false;
    std::string address = "127.0.0.1";
    unsigned port = 0;
    std::string entry;
    int staySeconds = 30;
    bool log = false;
};

int Usage() {
    std::fprintf(stderr, "usage: pelmar-seed [--share K/N] DIR\n"
                         "       pelmar-seed --live --address ADDR --port PORT --connect ENTRY"
                         " [--stay SECONDS] [--log] DIR\n");
    return 2;
}

bool Parse(int argc, char** argv, Arguments& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--live") {
            out.live = true;
        } else if (option == "--log") {
            out.log = true;
        } else if (option == "--share" && hasValue) {
            if (std::sscanf(argv[++i], "%u/%u", &out.shareIndex, &out.shareCount) != 2 ||
                out.shareIndex == 0 || out.shareIndex > out.shareCount)
                return false;
        } else if (option == "--address" && hasValue) {
            out.address = argv[++i];
        } else if (option == "--port" && hasValue) {
            if (std::sscanf(argv[++i], "%u", &out.port) != 1 || out.port > 65535)
                return false;
        } else if (option == "--connect" && hasValue) {
            out.entry = argv[++i];
        } else if (option == "--stay" && hasValue) {
            if (std::sscanf(argv[++i], "%d", &out.staySeconds) != 1 || out.staySeconds < 0)
                return false;
        } else if (option.rfind("--", 0) != 0 && out.dir.empty()) {
            out.dir = option;
        } else {
            return false;
        }
    }
    if (out.live && (out.port == 0 || out.entry.empty()))
        return false;
    return !out.dir.empty();
}

std::uint32_t Now() {
    return static_cast<std::uint32_t>(std::time(nullptr));
}

// Posting into a directory while no node runs: the document listens on a free
// loopback port for the moment it lives.
int SeedDirectory(const Arguments& arguments, const std::string& iniPath) {
    CPoster poster;
    CPelmarDoc::Options options;
    options.iniPath = iniPath;
    options.applicationDir = arguments.dir;
    options.bindAddress = "127.0.0.1";
    options.dataDir = arguments.dir;
    CPelmarDoc doc(poster, options);
    poster.SetDocument(&doc);
    if (!doc.Start())
        return 1;
    const auto& samples = SampleThreads();
    const std::uint32_t now = Now();
    int posted = 0;
    for (std::size_t i = arguments.shareIndex - 1; i < samples.size(); i += arguments.shareCount) {
        const std::string id = poster.Post(samples[i], now);
        if (id.empty())
            return 1;
        std::printf("%s\n", id.c_str());
        ++posted;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "pelmar-seed: %d threads posted into %s\n", posted, arguments.dir.c_str());
    return 0;
}

int PostLive(QCoreApplication& app, const Arguments& arguments, const std::string& iniPath) {
    constexpr int kJoinTimeoutMs = 20000;
    CPoster poster;
    CPelmarDoc::Options options;
    options.iniPath = iniPath;
    options.applicationDir = arguments.dir;
    options.bindAddress = arguments.address;
    options.logging = arguments.log;
    options.dataDir = arguments.dir;
    CPelmarDoc doc(poster, options);
    poster.SetDocument(&doc);
    if (!doc.Start())
        return 1;
    if (!QuitOnTerminationSignals())
        return 1;

    int status = 0;
    QTimer::singleShot(0, &doc, [&doc, &arguments] { doc.ConnectToEntry(arguments.entry); });
    QTimer::singleShot(kJoinTimeoutMs, &app, [&app, &status] {
        std::fprintf(stderr, "pelmar-seed: no connection stood within %d s\n",
                     kJoinTimeoutMs / 1000);
        status = 1;
        app.quit();
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (doc.CountEstablished() == 0)
            return;
        poll.stop();
        const std::string id = poster.Post(LiveSampleThread(), Now());
        doc.SetClock(Now);
        if (id.empty()) {
            status = 1;
            app.quit();
            return;
        }
        std::printf("%s\n", id.c_str());
        std::fflush(stdout);
        // Stay to answer the queries and fetches the announcement brings.
        QTimer::singleShot(arguments.staySeconds * 1000, &app, &QCoreApplication::quit);
    });
    poll.start(100);
    app.exec();
    return status;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Arguments arguments;
    if (!Parse(argc, argv, arguments))
        return Usage();
    if (arguments.dir.back() != '/')
        arguments.dir += '/';

    // The document reads its port from a settings file.
    QTemporaryDir settingsDir;
    const std::string iniPath = settingsDir.filePath(QStringLiteral("seed.ini")).toStdString();
    std::ofstream(iniPath) << "[Network]\nPort=" << arguments.port << "\n";
    return arguments.live ? PostLive(app, arguments, iniPath) : SeedDirectory(arguments, iniPath);
}
