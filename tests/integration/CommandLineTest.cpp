// The executables' command line: --help and --version answer and exit 0, an
// unknown option gets the usage on standard error and status 2; and pelmard
// ends cleanly on a "category.dat" it cannot read.
#include "support/TempDir.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

ProgramRun RunProgram(const char* path, const QStringList& arguments,
                      const std::string& workDir = "") {
    QProcess process;
    if (!workDir.empty())
        process.setWorkingDirectory(QString::fromStdString(workDir));
    process.start(path, arguments);
    ProgramRun run;
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(2000);
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

} // namespace

TEST(CommandLineTest, HelpAndVersionAnswerAndUnknownOptionsFail) {
    const struct {
        const char* path;
        const char* argument;
        int status;
        const char* out; // expected in standard output
        const char* err; // expected in standard error
    } cases[] = {
        {PELMAR_PATH, "--help", 0, "usage: pelmar [--ini FILE]", ""},
        {PELMARD_PATH, "--help", 0, "usage: pelmard [--ini FILE]", ""},
        {REFLECTOR_PATH, "--help", 0, "usage: pelmar-reflector", ""},
        {PELMAR_PATH, "--version", 0, "pelmar " PELMAR_VERSION "\n", ""},
        {PELMARD_PATH, "--version", 0, "pelmard " PELMAR_VERSION "\n", ""},
        {REFLECTOR_PATH, "--version", 0, "pelmar-reflector " PELMAR_VERSION "\n", ""},
        {PELMAR_PATH, "--bogus", 2, "", "usage: pelmar "},
        {PELMARD_PATH, "--bogus", 2, "", "usage: pelmard "},
        {REFLECTOR_PATH, "--bogus", 2, "", "usage: pelmar-reflector"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = RunProgram(c.path, {c.argument});
        const std::string what = std::string(c.path) + " " + c.argument;
        EXPECT_EQ(run.status, c.status) << what;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << what << ": " << run.out;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << what << ": " << run.err;
    }
}

TEST(CommandLineTest, PelmardEndsWithTheMessageOnACategoryFileItCannotRead) {
    TempDir dir;
    std::filesystem::create_directory(dir / "category.dat");
    const ProgramRun run = RunProgram(PELMARD_PATH, {"--address", "127.0.0.212"}, dir.Path());
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("カテゴリのオープンに失敗しました。"), std::string::npos) << run.err;
}
