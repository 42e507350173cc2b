// SPDX-License-Identifier: Apache-2.0
// Runs the built corvane-convert for the suites that test it.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

inline CliRun runConverter(const QStringList &arguments, const QString &workingFolder = QString(),
                           const QByteArray *input = nullptr)
{
    QProcess process;
    if (!workingFolder.isEmpty()) process.setWorkingDirectory(workingFolder);
    process.start(QStringLiteral(CORVANE_CONVERT), arguments);
    if (input) process.write(*input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    CliRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}
