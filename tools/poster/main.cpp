// pelmar-poster: a headless node that posts what it is told on standard
// input, through the node's own posting commands, and stays up as the
// writer of those posts. It takes pelmard's options. Main thread only.
//
// Commands, one a line, fields separated by tabs:
//   thread<TAB>category<TAB>title<TAB>body   -> "thread ID MD5" (MD5 of ".thread")
//   res<TAB>threadid<TAB>body                -> "res THREADID RESID MD5" (of ".res")
//   connect<TAB>entry                        -> "connected N" (established connections)
// anything that fails answers "error ...". End of input ends the node.
#include "app/FrontEndStartup.h"
#include "app/PelmarDoc.h"
#include "daemon/HeadlessUi.h"
#include "store/FileSystem.h"
#include "store/ResRecord.h"
#include "store/StorePaths.h"
#include "store/ThreadIndex.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class CPosterUi : public CHeadlessUi {
public:
    bool ComposeThread(CThreadDraft& draft) override {
        if (!threadDraft)
            return false;
        draft = *threadDraft;
        return true;
    }
    bool ComposeResponse(CResponseDraft& draft) override {
        if (!responseDraft)
            return false;
        draft = *responseDraft;
        return true;
    }
    std::optional<CThreadDraft> threadDraft;
    std::optional<CResponseDraft> responseDraft;
};

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

std::string FileMd5(const std::string& path) {
    std::string bytes;
    if (!storefs::ReadFile(path, bytes, 1 << 20))
        return "-";
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Md5)
        .toHex()
        .toStdString();
}

template <typename T> std::string FirstNew(const std::vector<T>& before, std::vector<T> after) {
    const std::set<T> known(before.begin(), before.end());
    for (const T& item : after)
        if (!known.count(item))
            return item;
    return {};
}

std::string PostThread(CPelmarDoc& doc, CPosterUi& ui, const std::vector<std::string>& f) {
    if (f.size() != 4)
        return "error usage";
    const std::string& root = doc.GetThreadDir();
    std::vector<std::string> before, after;
    CThreadIndex(f[1], root).List(before);
    doc.SetCurrentCategory(f[1]);
    ui.threadDraft = CThreadDraft{f[2], f[1], "soak", "", f[3]};
    doc.PostNewThread();
    ui.threadDraft.reset();
    CThreadIndex(f[1], root).List(after);
    const std::string id = FirstNew(before, after);
    if (id.empty())
        return "error thread not stored";
    return "thread " + id + " " + FileMd5(storepaths::ThreadFile(root, id));
}

std::string PostResponse(CPelmarDoc& doc, CPosterUi& ui, const std::vector<std::string>& f) {
    if (f.size() != 3)
        return "error usage";
    const std::string& root = doc.GetThreadDir();
    std::vector<CBinaryId> before, after;
    CResRecord::ListHeld(root, f[1], before);
    doc.SetCurrentThreadId(f[1]);
    ui.responseDraft = CResponseDraft{"", "soak", "", f[2]};
    doc.PostNewResponse();
    ui.responseDraft.reset();
    CResRecord::ListHeld(root, f[1], after);
    std::vector<std::string> beforeText, afterText;
    for (const CBinaryId& id : before)
        beforeText.push_back(id.GetText());
    for (const CBinaryId& id : after)
        afterText.push_back(id.GetText());
    const std::string resId = FirstNew(beforeText, afterText);
    if (resId.empty())
        return "error response not stored";
    return "res " + f[1] + " " + resId + " " + FileMd5(storepaths::ResFile(root, f[1], resId));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto line = ReadCommandLine(argc, argv);
    if (!line)
        return 2;
    if (!QuitOnTerminationSignals())
        return 1;
    RaiseDescriptorLimit();

    CPosterUi ui;
    CPelmarDoc doc(ui, MakeDocumentOptions(*line));
    ui.SetDocument(&doc);
    if (!doc.Start())
        return 1;
    for (const std::string& entry : line->connect)
        QTimer::singleShot(0, &doc, [&doc, entry] { doc.ConnectToEntry(entry); });

    std::string pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::vector<std::string> fields = Split(pending.substr(0, end));
            pending.erase(0, end + 1);
            std::string answer = "error unknown command";
            if (fields[0] == "thread")
                answer = PostThread(doc, ui, fields);
            else if (fields[0] == "res")
                answer = PostResponse(doc, ui, fields);
            else if (fields[0] == "connect" && fields.size() == 2) {
                // Joins again when its neighbours have gone (the node itself
                // only asks the reflector every 30 minutes).
                doc.ConnectToEntry(fields[1]);
                answer = "connected " + std::to_string(doc.CountEstablished());
            }
            std::printf("%s\n", answer.c_str());
            std::fflush(stdout);
        }
    });
    app.exec();
    ui.SetDocument(nullptr);
    return 0;
}
