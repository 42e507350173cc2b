// Where the suites find the real files of tests/samples.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QtGlobal>

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
