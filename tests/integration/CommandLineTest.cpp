// The executables' command line: --help and --version answer and exit 0, an
// unknown option gets the usage on standard error and status 2 (the desktop's
// without a display too); pelmard ends cleanly on a "category.dat" it cannot
// read, and the desktop ends on SIGTERM while its message about it is open.
#include "support/TempDir.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string_view>
#include <thread>

// A build without the desktop (the sanitized one) checks the other programs.
#ifndef PELMAR_PATH
#define PELMAR_PATH ""
#endif

namespace {
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

ProgramRun
RunProgram(const char* path, const QStringList& arguments, const std::string& dir,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QString::fromStdString(dir));
    process.start(path, arguments);
    ProgramRun run;
    if (!process.waitForFinished(10000))
        process.kill(); // the QProcess destructor waits for it
    else if (process.exitStatus() == QProcess::NormalExit)
        run.status = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}
} // namespace

TEST(CommandLineTest, HelpAndVersionAnswerAndUnknownOptionsAndUnreadableCategoriesFail) {
    TempDir dir; // with a category.dat that cannot be read
    std::filesystem::create_directory(dir / "category.dat");
    const struct {
        const char* path;
        QStringList arguments;
        int status;
        const char* out; // expected in standard output
        const char* err; // expected in standard error
    } cases[] = {
        {PELMAR_PATH, {"--help"}, 0, "usage: pelmar [--ini FILE]", ""},
        {PELMARD_PATH, {"--help"}, 0, "usage: pelmard [--ini FILE]", ""},
        {REFLECTOR_PATH, {"--help"}, 0, "usage: pelmar-reflector", ""},
        {PELMAR_PATH, {"--version"}, 0, "pelmar " PELMAR_VERSION "\n", ""},
        {PELMARD_PATH, {"--version"}, 0, "pelmard " PELMAR_VERSION "\n", ""},
        {REFLECTOR_PATH, {"--version"}, 0, "pelmar-reflector " PELMAR_VERSION "\n", ""},
        {PELMAR_PATH, {"--bogus"}, 2, "", "usage: pelmar "},
        {PELMARD_PATH, {"--bogus"}, 2, "", "usage: pelmard "},
        {REFLECTOR_PATH, {"--bogus"}, 2, "", "usage: pelmar-reflector"},
        {PELMARD_PATH, {"--address", "127.0.0.212"}, 0, "", "カテゴリのオープンに失敗しました。"},
    };
    for (const auto& c : cases) {
        if (std::string_view(c.path).empty())
            continue;
        const ProgramRun run = RunProgram(c.path, c.arguments, dir.Path());
        const std::string what = std::string(c.path) + " " + c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.status, c.status) << what;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << what << ": " << run.out;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << what << ": " << run.err;
    }
}

TEST(CommandLineTest, DesktopOptionErrorsAreToldWithoutADisplay) {
    if (std::string_view(PELMAR_PATH).empty())
        GTEST_SKIP() << "the desktop is not built";
    TempDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY"})
        environment.remove(name);
    environment.insert("DISPLAY", "");
    const QStringList cases[] = {
        {"--no-such-option"},
        {"--address", "not-an-address"},
        {"--web", "127.0.0.1"},
        {"--ini"},
    };
    for (const QStringList& arguments : cases) {
        const ProgramRun run = RunProgram(PELMAR_PATH, arguments, dir.Path(), environment);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString() << ": " << run.err;
        EXPECT_NE(run.err.find("usage: pelmar "), std::string::npos) << run.err;
    }
}

TEST(CommandLineTest, DesktopEndsOnSigtermWhileAModalMessageIsOpen) {
    if (std::string_view(PELMAR_PATH).empty())
        GTEST_SKIP() << "the desktop is not built";
    TempDir dir; // the unreadable category.dat opens a message box at start-up
    std::filesystem::create_directory(dir / "category.dat");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QString::fromStdString(dir.Path()));
    process.start(PELMAR_PATH, {"--address", "127.0.0.244", "--log"});
    ASSERT_TRUE(process.waitForStarted(10000));
    // The node has started once it logs so; the message follows at once.
    for (int i = 0;
         i < 200 && TempDir::ReadFile(dir / "pelmar.log").find("Startup") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    process.terminate();
    const bool ended = process.waitForFinished(10000);
    if (!ended)
        process.kill();
    ASSERT_TRUE(ended) << "still running 10 s after SIGTERM";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_NE(TempDir::ReadFile(dir / "pelmar.log").find("pelmar Shutdown!!"), std::string::npos);
}
