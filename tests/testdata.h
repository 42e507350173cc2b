// Where the suites find the real files of tests/samples.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QtGlobal>

#include "formats/registry.h"

// A registered format whose reader (or writer) is not built yet, for tests
// of how Corvane says so; null once every format reads and writes.
inline const corvane::Format *formatWithoutReader()
{
    for (const corvane::Format &f : corvane::formats())
        if (!f.read) return &f;
    return nullptr;
}
inline const corvane::Format *formatWithoutWriter()
{
    for (const corvane::Format &f : corvane::formats())
        if (!f.writer) return &f;
    return nullptr;
}

inline QString samplePath(const char *name)
{
    return QString::fromLocal8Bit(qgetenv("CORVANE_TEST_SAMPLES")) + QLatin1Char('/') +
           QLatin1String(name);
}

// Writes a file of a test (making its folder) and returns its path.
inline QString writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(content);
    return path;
}

inline QByteArray fileContents(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
