// Where the suites find the real files of tests/samples.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

inline QString samplePath(const char *name)
{
    return QString::fromLocal8Bit(qgetenv("CORVANE_TEST_SAMPLES")) + QLatin1Char('/') +
           QLatin1String(name);
}
