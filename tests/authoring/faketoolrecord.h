// Test side of the fake tool: where it is, how to steer it, what it saw.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <sys/types.h>

inline QString FakeToolPath()
{
    return QStringLiteral(FAKETOOL_PATH);
}

// Sets the fake tool's environment for the lifetime of the object.
class FakeToolEnv
{
public:
    FakeToolEnv() = default;
    FakeToolEnv(const QString &actions, const QString &recordFile = {}) { Use(actions, recordFile); }
    FakeToolEnv(const FakeToolEnv &) = delete;
    FakeToolEnv &operator=(const FakeToolEnv &) = delete;
    ~FakeToolEnv()
    {
        unsetenv("FAKETOOL_ACTIONS");
        unsetenv("FAKETOOL_RECORD");
    }

    // What the tool does from now on.
    void Use(const QString &actions, const QString &recordFile = {})
    {
        setenv("FAKETOOL_ACTIONS", actions.toUtf8().constData(), 1);
        if (recordFile.isEmpty())
            unsetenv("FAKETOOL_RECORD");
        else
            setenv("FAKETOOL_RECORD", QFile::encodeName(recordFile).constData(), 1);
    }
};

struct FakeToolRecord
{
    bool found = false;
    pid_t pid = -1;
    QString cwd;
    QStringList args;  // argv, program name first
    QStringList fds;  // "number target" of each open descriptor
};

inline FakeToolRecord ReadFakeToolRecord(const QString &path)
{
    FakeToolRecord record;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return record;
    record.found = true;
    for (const QByteArray &field : file.readAll().split('\0')) {
        const QString value = QFile::decodeName(field.mid(field.indexOf('=') + 1));
        if (field.startsWith("pid="))
            record.pid = pid_t(value.toLongLong());
        else if (field.startsWith("cwd="))
            record.cwd = value;
        else if (field.startsWith("arg="))
            record.args << value;
        else if (field.startsWith("fd="))
            record.fds << value;
    }
    return record;
}

// Runs action from the event loop of owner once the fake tool has written
// recordFile, that is once it runs.
inline void WhenFakeToolRuns(QObject *owner, const QString &recordFile, const std::function<void()> &action)
{
    auto *timer = new QTimer(owner);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, owner, [timer, recordFile, action] {
        if (!QFile::exists(recordFile))
            return;
        timer->stop();
        action();
    });
    timer->start();
}
