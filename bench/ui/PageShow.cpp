// pelmar-page-show-bench: the longest stop of the desktop's event loop while
// the page of a thread with many responses is shown, next to the stop the
// same page causes when it is built and set on the GUI thread in one go.
// Runs on the offscreen platform with its own store under /tmp, removed at
// the end.
//
//   pelmar-page-show-bench [RESPONSES]   (default 30000, about 18 MB of page)
#include "app/IdGenerator.h"
#include "app/PelmarDoc.h"
#include "app/SilentUi.h"
#include "frontend/PageBuilder.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"
#include "ui/Cp932.h"
#include "ui/ThreadHtmlView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextBrowser>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

CBinaryId NewId() {
    return CBinaryId::FromText(CIdGenerator().GetText());
}

std::string Seed(const std::string& root, int responses) {
    std::filesystem::create_directories(root + "index");
    const CBinaryId threadId = NewId();
    const std::uint32_t base = 1600000000;
    CThreadRecord thread(threadId, "bench", "bench", "name", "", std::string(400, 'o'), NewId(),
                         CBinaryId(), base, base);
    thread.SetHeld(1);
    thread.Create(root, nullptr);
    for (int i = 0; i < responses; ++i) {
        std::string body(330, static_cast<char>('a' + i % 26));
        body[100] = '\r';
        body[101] = '\n';
        CResRecord response(threadId, NewId(), CBinaryId(), "", "name", "", body, NewId(),
                            CBinaryId(), base + 1 + static_cast<std::uint32_t>(i));
        response.Create(root, nullptr);
    }
    return threadId.GetText();
}

// The longest gap between turns of the event loop while waiting runs.
class CStopWatch {
public:
    CStopWatch() {
        m_tick.setInterval(5);
        QObject::connect(&m_tick, &QTimer::timeout, [this] { Tick(); });
    }
    void Start() {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_tick.start();
    }
    qint64 Stop() {
        m_tick.stop();
        Tick();
        return m_longest;
    }

private:
    void Tick() {
        const qint64 now = m_clock.elapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

void RunFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int responses = argc > 1 ? std::atoi(argv[1]) : 30000;
    char pattern[] = "/tmp/pelmar-page-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const std::string dir = std::string(pattern) + "/";
    const std::string root = dir + "thread/";
    const std::string threadId = Seed(root, responses);

    CSilentUi ui;
    CPelmarDoc::Options options;
    options.iniPath = dir + "pelmar.ini";
    options.applicationDir = dir;
    options.dataDir = dir;
    CPelmarDoc doc(ui, options);
    doc.SetCurrentThreadId(threadId);
    const std::string path = dir + std::string(CPageBuilder::kFileName);

    // All at once on the GUI thread: build, write, read back, set.
    QTextBrowser plain;
    plain.resize(800, 600);
    plain.show();
    QElapsedTimer clock;
    clock.start();
    CPageBuilder(root, nullptr).RenderThread(threadId, path);
    QFile file(QString::fromStdString(path));
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    plain.setHtml(cp932::ToQString(std::string_view(bytes.constData(), bytes.size())));
    const qint64 atOnce = clock.elapsed();
    RunFor(500);

    // The same wait with nothing to show: what the machine itself costs the
    // loop (on a shared machine other processes take the processor too).
    CStopWatch idle;
    idle.Start();
    RunFor(3000);
    const qint64 idleLongest = idle.Stop();

    CThreadHtmlView view(doc);
    view.resize(800, 600);
    view.show();
    RunFor(200);
    CStopWatch watch;
    watch.Start();
    clock.restart();
    view.RenderThread();
    while (view.IsBuilding() && clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const qint64 ready = clock.elapsed();
    RunFor(3000); // the view lays the page out in steps meanwhile
    const qint64 longest = watch.Stop();

    std::printf("page_bytes=%lld shown_characters=%lld\n", static_cast<long long>(bytes.size()),
                static_cast<long long>(view.document()->characterCount()));
    std::printf("at_once_stop_ms=%lld view_ready_ms=%lld view_longest_stop_ms=%lld "
                "idle_longest_stop_ms=%lld ratio=%.2f\n",
                static_cast<long long>(atOnce), static_cast<long long>(ready),
                static_cast<long long>(longest), static_cast<long long>(idleLongest),
                atOnce > 0 ? static_cast<double>(longest) / static_cast<double>(atOnce) : 0.0);
    std::filesystem::remove_all(pattern);
    return 0;
}
