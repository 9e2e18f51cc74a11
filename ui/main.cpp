// pelmar: the desktop node. Builds the window and the document on the GUI
// thread, runs the event loop until the window closes (or SIGTERM / SIGINT),
// then removes the views and the document, which logs its shutdown.
#include "app/PelmarDoc.h"
#include "daemon/CommandLine.h"
#include "ui/AppIcon.h"
#include "ui/CategoryTreeView.h"
#include "ui/MainFrame.h"

#include <QApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pelmar"));
    QApplication::setWindowIcon(MakeApplicationIcon());

    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    const CCommandLine line = CCommandLine::Parse(arguments);
    if (!line.error.empty()) {
        std::fprintf(stderr, "%s\n%s\n", line.error.c_str(), CCommandLine::Usage());
        return 2;
    }

    const QFileInfo executable(QCoreApplication::applicationFilePath());
    CPelmarDoc::Options options;
    options.iniPath =
        !line.iniPath.empty()
            ? line.iniPath
            : (executable.path() + "/" + executable.completeBaseName() + ".ini").toStdString();
    options.applicationDir = executable.path().toStdString() + "/";
    options.bindAddress = line.address;
    options.logging = line.log;

    // A terminal's Ctrl+C ends the node as closing the window does, so the
    // shutdown is logged.
    if (::pipe(g_signalPipe) != 0)
        return 1;
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    // The frame outlives the document: the document's last calls go to it.
    CMainFrame frame;
    {
        CPelmarDoc doc(frame, options);
        if (doc.Start()) {
            frame.AttachDocument(&doc);
            if (frame.CategoryTree()->Load()) {
                frame.show();
                for (const std::string& entry : line.connect)
                    QTimer::singleShot(0, &doc, [&doc, entry] { doc.ConnectToEntry(entry); });
                app.exec();
            }
        }
        frame.AttachDocument(nullptr);
    }
    return 0;
}
