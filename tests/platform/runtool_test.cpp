#include "src/platform/runtool.h"

#include "tests/authoring/faketoolrecord.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Collected
{
    QByteArray output, errorOutput;
    int calls = 0;
};

ToolOutputHandler Collect(Collected &c)
{
    return [&c](const QByteArray &out, const QByteArray &err, bool &) {
        c.output += out;
        c.errorOutput += err;
        ++c.calls;
    };
}

class RunToolTest : public testing::Test
{
protected:
    QTemporaryDir FDir;
    QString record() const { return FDir.filePath("record"); }
};

TEST_F(RunToolTest, ChildReceivesTheArgumentsOfTheCommandLineAndOurCurrentFolder)
{
    const QString work = FDir.filePath("dossier flux é+1");
    ASSERT_TRUE(QDir().mkpath(work));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work));
    FakeToolEnv env("", record());
    const bool started =
        RunTool(FakeToolPath(),
                QStringLiteral(R"(-demux  "/data/mes clips/été.m2ts"+"/data/a+b.m2ts" "x y" plain)"))
            .Started();
    QDir::setCurrent(previous);

    ASSERT_TRUE(started);
    const FakeToolRecord r = ReadFakeToolRecord(record());
    EXPECT_EQ(r.args, QStringList({FakeToolPath(), "-demux", "/data/mes clips/été.m2ts+/data/a+b.m2ts", "x y",
                                   "plain"}));
    EXPECT_EQ(r.cwd, QDir(work).canonicalPath());
}

TEST_F(RunToolTest, ChildGetsThreePipesAndNoOtherDescriptorOfOurs)
{
    // Opened without close-on-exec on purpose: it must still stay ours.
    const int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    FakeToolEnv env("", record());
    ASSERT_TRUE(RunTool(FakeToolPath(), "").Started());
    close(leaked);

    const FakeToolRecord r = ReadFakeToolRecord(record());
    ASSERT_EQ(r.fds.size(), 3) << r.fds.join(", ").toStdString();
    for (int fd = 0; fd < 3; ++fd) {
        const QString pipe = QString("%1 pipe:").arg(fd);
        EXPECT_TRUE(std::any_of(r.fds.begin(), r.fds.end(), [&](const QString &f) {
            return f.startsWith(pipe);
        })) << r.fds.join(", ").toStdString();
    }
}

TEST_F(RunToolTest, HandlerGetsProgressTextOfBothPipesUnchanged)
{
    FakeToolEnv env("progress");
    Collected c;
    ASSERT_TRUE(RunTool(FakeToolPath(), "", Collect(c)).Started());
    EXPECT_EQ(c.output, QByteArray("0%\b\b25%\b\b\b50%\b\b\b75%\b\b\b100%\b\b\b\bdone\n"));
    EXPECT_EQ(c.errorOutput, QByteArray("\r0%\r25%\r50%\r75%\r100%\r\n"));
    EXPECT_GT(c.calls, 5);
}

TEST_F(RunToolTest, HandlerIsCalledAboutEveryMillisecondWhileTheProgramRuns)
{
    FakeToolEnv env("sleep:0.3");
    Collected c;
    const auto start = Clock::now();
    ASSERT_TRUE(RunTool(FakeToolPath(), "", Collect(c)).Started());
    const double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 0.3);
    // At most one call per millisecond, and not far from it.
    EXPECT_LE(c.calls, int(elapsed * 1000) + 2);
    EXPECT_GE(c.calls, int(elapsed * 1000 / 20));
}

// A program writing tens of thousands of small pieces without pause: the
// handler still gets at most one call per millisecond, each with all that
// came meanwhile. Load only makes the run longer, so the bound holds on a
// busy machine too.
TEST_F(RunToolTest, ChattyProgramStillGetsItsHandlerCalledAtMostEveryMillisecond)
{
    constexpr int kLines = 50'000;
    FakeToolEnv env(QString("chatter:%1").arg(kLines));
    Collected c;
    const auto start = Clock::now();
    ASSERT_TRUE(RunTool(FakeToolPath(), "", Collect(c)).Started());
    const double elapsed = SecondsSince(start);
    EXPECT_EQ(c.output.count('\n'), kLines);
    EXPECT_TRUE(c.output.endsWith(QByteArray("line ") + QByteArray::number(kLines - 1) + "\n"));
    EXPECT_LE(c.calls, int(elapsed * 1000) + 2) << "in " << elapsed << " s";
}

TEST_F(RunToolTest, AbortFromTheHandlerKillsTheProgram)
{
    FakeToolEnv env("sleep", record());
    const TToolOutcome outcome =
        RunTool(FakeToolPath(), "", [&](const QByteArray &, const QByteArray &, bool &abort) {
            // Stopped once it has recorded itself.
            if (QFile::exists(record()))
                abort = true;
        });
    // The program sleeps for a minute and would exit 0: a signal proves the stop.
    EXPECT_TRUE(outcome.Stopped);
    EXPECT_EQ(outcome.End, TToolOutcome::Signalled);
    EXPECT_EQ(outcome.Code, SIGTERM);
    const FakeToolRecord r = ReadFakeToolRecord(record());
    ASSERT_TRUE(r.found);
    // Reaped: the process no longer exists.
    EXPECT_EQ(kill(r.pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST_F(RunToolTest, AbortAlreadySetStartsThenKillsTheProgram)
{
    FakeToolEnv env("sleep");
    int calls = 0;
    const TToolOutcome outcome =
        RunTool(FakeToolPath(), "", [&](const QByteArray &, const QByteArray &, bool &abort) {
            ++calls;
            abort = true;
        });
    EXPECT_TRUE(outcome.Stopped);
    EXPECT_EQ(outcome.End, TToolOutcome::Signalled);
    EXPECT_EQ(outcome.Code, SIGTERM);
    EXPECT_GE(calls, 1);
}

TEST_F(RunToolTest, ProgramThatCannotStartGivesFalseAtOnce)
{
    const QString notExecutable = FDir.filePath("plain file");
    QFile(notExecutable).open(QIODevice::WriteOnly);
    // The name up to the quote is a program that does run.
    const QString cut = FDir.filePath("tool");
    ASSERT_TRUE(QFile::copy(FakeToolPath(), cut));
    for (const QString &program : {FDir.filePath("missing tool"), notExecutable, QString(), cut + "\"x"}) {
        int calls = 0;
        const TToolOutcome outcome =
            RunTool(program, "-demux", [&](const QByteArray &, const QByteArray &, bool &) { ++calls; });
        EXPECT_FALSE(outcome.Started()) << program.toStdString();
        EXPECT_NE(outcome.Code, 0) << program.toStdString();
        // Never watched: no handler call, so no waiting on a process.
        EXPECT_EQ(calls, 0);
    }
}

TEST_F(RunToolTest, BurstOfOutputIsReadWhole)
{
    FakeToolEnv env("burst");
    Collected c;
    ASSERT_TRUE(RunTool(FakeToolPath(), "", Collect(c)).Started());
    EXPECT_EQ(c.output.size(), 320 * 65536);
    EXPECT_EQ(c.errorOutput.size(), 16 * 65536);
}

TEST_F(RunToolTest, BurstWithoutHandlerDoesNotBlockTheProgram)
{
    // A program blocked on a full pipe never ends: the run would hang.
    FakeToolEnv env("burst,exit:4");
    const TToolOutcome outcome = RunTool(FakeToolPath(), "");
    EXPECT_EQ(outcome.End, TToolOutcome::Exited);
    EXPECT_EQ(outcome.Code, 4);
}

TEST_F(RunToolTest, ProgramClosingItsOutputsIsStillWaitedFor)
{
    // Only a run that waited for the exit knows its code and has reaped it.
    FakeToolEnv env("progress,close,sleep:0.2,exit:5", record());
    Collected c;
    const TToolOutcome outcome = RunTool(FakeToolPath(), "", Collect(c));
    EXPECT_EQ(outcome.End, TToolOutcome::Exited);
    EXPECT_EQ(outcome.Code, 5);
    EXPECT_TRUE(c.output.endsWith("done\n"));
    const FakeToolRecord r = ReadFakeToolRecord(record());
    ASSERT_TRUE(r.found);
    EXPECT_EQ(kill(r.pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST_F(RunToolTest, ThrowingHandlerKeepsTheProgramWatchedToItsEnd)
{
    FakeToolEnv env("sleep:0.05,exit:3");
    int calls = 0;
    const TToolOutcome outcome =
        RunTool(FakeToolPath(), "", [&](const QByteArray &, const QByteArray &, bool &) {
            ++calls;
            throw std::runtime_error("handler failure");
        });
    EXPECT_GT(calls, 1);
    EXPECT_EQ(outcome.End, TToolOutcome::Exited);
    EXPECT_EQ(outcome.Code, 3);
}

struct EndCase
{
    const char *actions;
    TToolOutcome::TEnd end;
    int code;
};

TEST_F(RunToolTest, ReportsHowTheProgramEnded)
{
    const EndCase cases[] = {
        {"", TToolOutcome::Exited, 0},
        {"exit:1", TToolOutcome::Exited, 1},
        {"progress,exit:2", TToolOutcome::Exited, 2},
        {"exit:139", TToolOutcome::Exited, 139},
        {"signal:11", TToolOutcome::Signalled, SIGSEGV},
        {"signal:9", TToolOutcome::Signalled, SIGKILL},
    };
    for (const EndCase &c : cases) {
        FakeToolEnv env(c.actions);
        Collected output;
        const TToolOutcome outcome = RunTool(FakeToolPath(), "", Collect(output));
        EXPECT_EQ(outcome.End, c.end) << c.actions;
        EXPECT_EQ(outcome.Code, c.code) << c.actions;
        EXPECT_FALSE(outcome.Stopped) << c.actions;
    }
    const TToolOutcome missing = RunTool(FDir.filePath("missing tool"), "");
    EXPECT_EQ(missing.End, TToolOutcome::NotStarted);
    EXPECT_EQ(missing.Code, ENOENT);
}

// A stop request lets the program clean up: it gets SIGTERM first.
TEST_F(RunToolTest, StopSendsTerminateFirst)
{
    FakeToolEnv env("onterm,sleep", record());
    const TToolOutcome outcome =
        RunTool(FakeToolPath(), "", [&](const QByteArray &, const QByteArray &, bool &abort) {
            abort = QFile::exists(record());
        });
    // Its own exit code after its mark, not SIGKILL: it ended on SIGTERM.
    EXPECT_TRUE(outcome.Stopped);
    EXPECT_EQ(outcome.End, TToolOutcome::Exited);
    EXPECT_EQ(outcome.Code, 2);
    EXPECT_TRUE(QFile::exists(record() + ".term"));
}

// A program that does not end on SIGTERM is killed after the grace period.
TEST_F(RunToolTest, StopKillsAProgramThatIgnoresTerminate)
{
    FakeToolEnv env("ignoreterm,sleep", record());
    const auto start = Clock::now();
    const TToolOutcome outcome =
        RunTool(FakeToolPath(), "", [&](const QByteArray &, const QByteArray &, bool &abort) {
            abort = QFile::exists(record());
        });
    // The grace period is the behaviour: SIGKILL never comes before it.
    EXPECT_GE(SecondsSince(start), kRunToolGraceMs / 1000.0);
    EXPECT_TRUE(outcome.Stopped);
    EXPECT_EQ(outcome.End, TToolOutcome::Signalled);
    EXPECT_EQ(outcome.Code, SIGKILL);
}

TEST_F(RunToolTest, StartsInItsWorkingFolderAndLeavesOursAlone)
{
    const QString work = FDir.filePath("flux é");
    ASSERT_TRUE(QDir().mkpath(work));
    const QString ours = QDir::currentPath();
    FakeToolEnv env("", record());
    ASSERT_TRUE(RunTool(FakeToolPath(), "", {}, work).Started());
    EXPECT_EQ(QDir::currentPath(), ours);
    EXPECT_EQ(ReadFakeToolRecord(record()).cwd, QDir(work).canonicalPath());

    const TToolOutcome missing = RunTool(FakeToolPath(), "", {}, FDir.filePath("missing"));
    EXPECT_EQ(missing.End, TToolOutcome::NotStarted);
}

TEST_F(RunToolTest, TwoRunsOnTwoThreadsKeepTheirOwnOutput)
{
    FakeToolEnv env("progress");
    Collected a, b;
    std::thread other([&] { RunTool(FakeToolPath(), "", Collect(b)); });
    RunTool(FakeToolPath(), "", Collect(a));
    other.join();
    EXPECT_EQ(a.output, b.output);
    EXPECT_TRUE(a.output.endsWith("done\n"));
}

}  // namespace
