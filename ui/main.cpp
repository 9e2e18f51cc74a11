// pelmar: the desktop node. Builds the window and the document on the GUI
// thread, runs the event loop until the window closes (or SIGTERM / SIGINT),
// then removes the views and the document, which logs its shutdown.
#include "app/DefaultCategoryFile.h"
#include "app/FrontEndStartup.h"
#include "app/PelmarDoc.h"
#include "app/Retention.h"
#include "app/UiFanOut.h"
#include "reader/Reader.h"
#include "ui/AppIcon.h"
#include "ui/MainFrame.h"
#include "ui/QtTranslation.h"
#include "web/WebStartup.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    // --help, --version and option errors answer before anything needs a
    // display. Qt's own options are not taken (QT_QPA_PLATFORM and the like
    // still are).
    if (const auto status = AnswerInformationOptions(argc, argv))
        return *status;
    const auto line = ReadCommandLine(argc, argv);
    if (!line)
        return 2;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("pelmar"));
    QApplication::setWindowIcon(MakeApplicationIcon());
    InstallQtJapanese(app);

    // A terminal's Ctrl+C ends the node as closing the window does, so the
    // shutdown is logged.
    if (!QuitOnTerminationSignals())
        return 1;
    RaiseDescriptorLimit();

    // The frame outlives the document: the document's last calls go to it.
    CMainFrame frame;
    CUiFanOut fanOut(frame);
    {
        CPelmarDoc doc(fanOut, MakeDocumentOptions(*line));
        defaultcategory::ProvideForThisProgram(doc.DataPath("category.dat"));
        if (doc.Start()) {
            // The reader's tools; its index worker is stopped before the
            // frame and the document go.
            CReader reader(doc.DataPath(""), doc.GetThreadDir(), [&frame](std::string_view text) {
                const std::string message(text);
                QMetaObject::invokeMethod(
                    &frame,
                    [&frame, message] {
                        frame.ShowMessage(message, IPelmarUi::MessageIcon::Warning);
                    },
                    Qt::QueuedConnection);
            });
            doc.SetThreadChangedHook(
                [&reader](const std::string& threadId) { reader.ThreadChanged(threadId); });
            // The store's retention never removes a favourite.
            doc.Retention().SetKeepPredicate([&reader](const std::string& threadId) {
                return reader.Favourites().Contains(threadId);
            });
            frame.SetReader(&reader);
            frame.AttachDocument(&doc);
            // The page, when asked for, is a further view of the same node.
            CWebFrontEnd web(doc, fanOut, *line, false, &reader);
            // A signal during a start-up dialog has already ended its loop.
            if (frame.InitialUpdateFrame() && !TerminationRequested()) {
                for (const std::string& entry : line->connect)
                    QTimer::singleShot(0, &doc, [&doc, entry] { doc.ConnectToEntry(entry); });
                app.exec();
            }
            frame.AttachDocument(nullptr);
            doc.Retention().SetKeepPredicate(nullptr);
            doc.SetThreadChangedHook(nullptr);
        }
        frame.AttachDocument(nullptr);
    }
    return 0;
}
