// pelmard: the node without windows. Runs the document on the main thread's
// event loop until SIGTERM or SIGINT, then shuts down in order (exit status 0).
#include "app/PelmarDoc.h"
#include "daemon/CommandLine.h"
#include "daemon/HeadlessUi.h"
#include "res/Strings.h"
#include "ui/plain/CategoryFile.h"

#include <QCoreApplication>
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

// The first category of "category.dat" becomes current, as the tree's first
// item would be. False when the file is malformed (the node then ends).
bool LoadFirstCategory(CPelmarDoc& doc, CHeadlessUi& ui) {
    CCategoryFile categories;
    switch (categories.Load(doc.DataPath("category.dat"))) {
    case CCategoryFile::Result::CannotOpen:
        std::fprintf(stderr, "no category.dat: the current category is empty\n");
        return true;
    case CCategoryFile::Result::BadNesting:
        ui.ShowMessage(strings::kCategoryFileError, IPelmarUi::MessageIcon::None);
        return false;
    case CCategoryFile::Result::Ok:
        if (!categories.Items().empty())
            doc.SetCurrentCategory(categories.Items().front().name);
        return true;
    }
    return true;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
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
    options.iniPath = !line.iniPath.empty()
                          ? line.iniPath
                          : (executable.path() + "/" + executable.completeBaseName() + ".ini")
                                .toStdString();
    options.applicationDir = executable.path().toStdString() + "/";
    options.bindAddress = line.address;
    options.logging = line.log;

    if (::pipe(g_signalPipe) != 0)
        return 1;
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    CHeadlessUi ui;
    {
        CPelmarDoc doc(ui, options);
        ui.SetDocument(&doc);
        if (!doc.Start() || !LoadFirstCategory(doc, ui))
            return 0;
        for (const std::string& entry : line.connect)
            QTimer::singleShot(0, &doc, [&doc, entry] { doc.ConnectToEntry(entry); });
        app.exec();
        ui.SetDocument(nullptr);
    }
    return 0;
}
