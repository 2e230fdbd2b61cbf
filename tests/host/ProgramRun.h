#pragma once
// Runs the built program as a user or a client would.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include "TestPaths.h"

struct TProgramResult {
    bool Finished = false;
    bool Crashed = false; // ended by a signal; ExitCode is then the signal's number
    int ExitCode = -1;
    QString Out;
    QString Err;
};

inline QString ProgramPath() { return QString::fromStdString(TestBuildFolder() + "/src/lumenfall"); }

inline TProgramResult WaitForProgram(QProcess& process, int timeoutMs = 60000)
{
    TProgramResult result;
    result.Finished = process.waitForFinished(timeoutMs);
    if (!result.Finished) {
        process.kill();
        process.waitForFinished();
    }
    result.Crashed = process.exitStatus() == QProcess::CrashExit;
    result.ExitCode = process.exitCode();
    result.Out = QString::fromUtf8(process.readAllStandardOutput());
    result.Err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

inline TProgramResult RunProgram(const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(ProgramPath(), arguments);
    process.waitForStarted();
    process.closeWriteChannel();
    return WaitForProgram(process);
}
