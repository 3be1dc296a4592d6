#pragma once

// Shared by the base library's tests: the launch of the helper program
// (tests/quvbase/helper.cpp, at QUVBASE_HELPER).

#include <memory>

#include <QByteArray>
#include <QProcess>
#include <QStringList>

namespace quvbasetest {

// Starts the helper with arguments; its standard error goes to the test's.
// process lets a caller give a QProcess of its own kind.
inline std::unique_ptr<QProcess> startHelper(const QStringList& arguments, std::unique_ptr<QProcess> process = nullptr)
{
    if (!process)
        process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(QUVBASE_HELPER), arguments);
    process->waitForStarted(30000);
    return process;
}

// Waits for a started helper to end and gives its exit code and output; -1
// for a crash, -2 for a helper still running after timeoutMs (then killed).
inline int finishHelper(QProcess& helper, QByteArray* output = nullptr, int timeoutMs = 60000)
{
    if (!helper.waitForFinished(timeoutMs)) {
        helper.kill();
        helper.waitForFinished(30000);
        return -2;
    }
    if (output)
        *output = helper.readAllStandardOutput();
    return helper.exitStatus() == QProcess::NormalExit ? helper.exitCode() : -1;
}

// Runs the helper to its end: finishHelper's result.
inline int runHelper(const QStringList& arguments, QByteArray* output = nullptr)
{
    std::unique_ptr<QProcess> helper = startHelper(arguments);
    return finishHelper(*helper, output);
}

} // namespace quvbasetest
