#include "platform/runtool.h"

#include "faketoolrecord.h"

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

struct Collected {
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
    QTemporaryDir dir;
    QString record() const { return dir.filePath("record"); }
};

TEST_F(RunToolTest, ChildReceivesTheArgumentsOfTheCommandLineAndOurCurrentFolder)
{
    const QString work = dir.filePath("dossier flux é+1");
    ASSERT_TRUE(QDir().mkpath(work));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work));
    FakeToolEnv env("", record());
    const bool started = RunTool(FakeToolPath(),
        QStringLiteral(R"(-demux  "/data/mes clips/été.m2ts"+"/data/a+b.m2ts" "x y" plain)"));
    QDir::setCurrent(previous);

    ASSERT_TRUE(started);
    const FakeToolRecord r = ReadFakeToolRecord(record());
    EXPECT_EQ(r.args, QStringList({FakeToolPath(), "-demux",
                                   "/data/mes clips/été.m2ts+/data/a+b.m2ts", "x y", "plain"}));
    EXPECT_EQ(r.cwd, QDir(work).canonicalPath());
}

TEST_F(RunToolTest, ChildGetsThreePipesAndNoOtherDescriptorOfOurs)
{
    // Opened without close-on-exec on purpose: it must still stay ours.
    const int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    FakeToolEnv env("", record());
    ASSERT_TRUE(RunTool(FakeToolPath(), ""));
    close(leaked);

    const FakeToolRecord r = ReadFakeToolRecord(record());
    ASSERT_EQ(r.fds.size(), 3) << r.fds.join(", ").toStdString();
    for (int fd = 0; fd < 3; ++fd) {
        const QString pipe = QString("%1 pipe:").arg(fd);
        EXPECT_TRUE(std::any_of(r.fds.begin(), r.fds.end(),
                                [&](const QString &f) { return f.startsWith(pipe); }))
            << r.fds.join(", ").toStdString();
    }
}

TEST_F(RunToolTest, HandlerGetsProgressTextOfBothPipesUnchanged)
{
    FakeToolEnv env("progress");
    Collected c;
    ASSERT_TRUE(RunTool(FakeToolPath(), "", Collect(c)));
    EXPECT_EQ(c.output, QByteArray("0%\b\b25%\b\b\b50%\b\b\b75%\b\b\b100%\b\b\b\bdone\n"));
    EXPECT_EQ(c.errorOutput, QByteArray("\r0%\r25%\r50%\r75%\r100%\r\n"));
    EXPECT_GT(c.calls, 5);
}

TEST_F(RunToolTest, HandlerIsCalledAboutEveryMillisecondWhileTheProgramRuns)
{
    FakeToolEnv env("sleep:0.3");
    Collected c;
    const auto start = Clock::now();
    ASSERT_TRUE(RunTool(FakeToolPath(), "", Collect(c)));
    const double elapsed = SecondsSince(start);
    EXPECT_GE(elapsed, 0.3);
    // At most one call per millisecond, and not far from it.
    EXPECT_LE(c.calls, int(elapsed * 1000) + 2);
    EXPECT_GE(c.calls, int(elapsed * 1000 / 20));
}

TEST_F(RunToolTest, AbortFromTheHandlerKillsTheProgram)
{
    FakeToolEnv env("sleep", record());
    const auto start = Clock::now();
    ASSERT_TRUE(RunTool(FakeToolPath(), "", [&](const QByteArray &, const QByteArray &, bool &abort) {
        // Stopped once it has recorded itself.
        if (QFile::exists(record()))
            abort = true;
    }));
    EXPECT_LT(SecondsSince(start), 10.0);
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
    const auto start = Clock::now();
    EXPECT_TRUE(RunTool(FakeToolPath(), "", [&](const QByteArray &, const QByteArray &, bool &abort) {
        ++calls;
        abort = true;
    }));
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_GE(calls, 1);
}

TEST_F(RunToolTest, ProgramThatCannotStartGivesFalseAtOnce)
{
    const QString notExecutable = dir.filePath("plain file");
    QFile(notExecutable).open(QIODevice::WriteOnly);
    // The name up to the quote is a program that does run.
    const QString cut = dir.filePath("tool");
    ASSERT_TRUE(QFile::copy(FakeToolPath(), cut));
    for (const QString &program : {dir.filePath("missing tool"), notExecutable, QString(), cut + "\"x"}) {
        int calls = 0;
        const auto start = Clock::now();
        EXPECT_FALSE(RunTool(program, "-demux", [&](const QByteArray &, const QByteArray &, bool &) {
            ++calls;
        })) << program.toStdString();
        EXPECT_EQ(calls, 0);
        EXPECT_LT(SecondsSince(start), 1.0);
    }
}

TEST_F(RunToolTest, BurstOfOutputIsReadWhole)
{
    FakeToolEnv env("burst");
    Collected c;
    ASSERT_TRUE(RunTool(FakeToolPath(), "", Collect(c)));
    EXPECT_EQ(c.output.size(), 320 * 65536);
    EXPECT_EQ(c.errorOutput.size(), 16 * 65536);
}

TEST_F(RunToolTest, BurstWithoutHandlerDoesNotBlockTheProgram)
{
    FakeToolEnv env("burst");
    const auto start = Clock::now();
    ASSERT_TRUE(RunTool(FakeToolPath(), ""));
    EXPECT_LT(SecondsSince(start), 20.0);
}

TEST_F(RunToolTest, ProgramClosingItsOutputsIsStillWaitedFor)
{
    FakeToolEnv env("progress,close,sleep:0.2");
    Collected c;
    const auto start = Clock::now();
    ASSERT_TRUE(RunTool(FakeToolPath(), "", Collect(c)));
    EXPECT_GE(SecondsSince(start), 0.2);
    EXPECT_TRUE(c.output.endsWith("done\n"));
}

TEST_F(RunToolTest, ExitCodeAndThrowingHandlerDoNotChangeTheResult)
{
    FakeToolEnv env("sleep:0.05,exit:3");
    int calls = 0;
    EXPECT_TRUE(RunTool(FakeToolPath(), "", [&](const QByteArray &, const QByteArray &, bool &) {
        ++calls;
        throw std::runtime_error("handler failure");
    }));
    EXPECT_GT(calls, 1);
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

} // namespace
