// pelmard: the node without windows. Runs the document on the main thread's
// event loop until SIGTERM or SIGINT, then shuts down in order (exit status 0).
#include "app/DefaultCategoryFile.h"
#include "app/FrontEndStartup.h"
#include "app/PelmarDoc.h"
#include "app/Retention.h"
#include "app/UiFanOut.h"
#include "daemon/HeadlessUi.h"
#include "frontend/CategoryFile.h"
#include "reader/Reader.h"
#include "res/Strings.h"
#include "web/WebStartup.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {
// The first category of "category.dat" becomes current, as the tree's first
// item would be. False when the file is malformed or cannot be read (the
// node then ends).
bool LoadFirstCategory(CPelmarDoc& doc, CHeadlessUi& ui) {
    CCategoryFile categories;
    switch (categories.Load(doc.DataPath("category.dat"))) {
    case CCategoryFile::Result::CannotOpen:
        std::fprintf(stderr, "no category.dat: the current category is empty\n");
        return true;
    case CCategoryFile::Result::Unreadable:
        ui.ShowMessage(strings::kCategoryOpenFailed, IPelmarUi::MessageIcon::None);
        return false;
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
    if (const auto status = AnswerInformationOptions(argc, argv))
        return *status;
    // Nothing here needs glib's main loop. Qt's own loop watches a new
    // descriptor without waking itself, so each transfer client's connection
    // costs fewer system calls.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    const auto line = ReadCommandLine(argc, argv);
    if (!line)
        return 2;
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);
    if (!QuitOnTerminationSignals())
        return 1;
    RaiseDescriptorLimit();

    CHeadlessUi ui;
    CUiFanOut fanOut(ui);
    {
        CPelmarDoc doc(fanOut, MakeDocumentOptions(*line));
        ui.SetDocument(&doc);
        defaultcategory::ProvideForThisProgram(doc.DataPath("category.dat"));
        if (!doc.Start() || !LoadFirstCategory(doc, ui))
            return 0;
        // The reader's tools for the page. Nothing of them is loaded until the
        // page or a post asks: an idle node keeps neither database nor rules.
        // Their troubles are one line each on standard error.
        CReader reader(doc.DataPath(""), doc.GetThreadDir(), [](std::string_view text) {
            std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
            std::fflush(stderr);
        });
        doc.SetThreadChangedHook(
            [&reader](const std::string& threadId) { reader.ThreadChanged(threadId); });
        // The store's retention never removes a favourite.
        doc.Retention().SetKeepPredicate([&reader](const std::string& threadId) {
            return reader.Favourites().Contains(threadId);
        });
        // The browser is this node's screen: on unless asked elsewhere.
        CWebFrontEnd web(doc, fanOut, *line, true, &reader);
        for (const std::string& entry : line->connect)
            QTimer::singleShot(0, &doc, [&doc, entry] { doc.ConnectToEntry(entry); });
        app.exec();
        doc.Retention().SetKeepPredicate(nullptr);
        doc.SetThreadChangedHook(nullptr);
        ui.SetDocument(nullptr);
    }
    return 0;
}
