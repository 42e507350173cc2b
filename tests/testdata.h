// SPDX-License-Identifier: Apache-2.0
// Where the suites find the real files of tests/samples.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QtGlobal>

#include "export/exporter.h"
#include "formats/registry.h"
#include "table/tracktable.h"

// A row of a test table, imported with no source format.
struct TestRow
{
    QString name;
    int frame;
    double x, y;
};

// A reading's rows as test rows.
inline QList<TestRow> rowsOf(const corvane::TrackSet &set)
{
    QList<TestRow> out;
    for (int i = 0; i < set.count; ++i)
        out.append({set.names.at(i), set.frames[size_t(i)], set.x[size_t(i)], set.y[size_t(i)]});
    return out;
}

inline corvane::TrackTable importedTable(const QList<TestRow> &rows)
{
    corvane::TrackTable t;
    t.setColumnCount(corvane::TrackColumnCount);
    t.setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i)
        t.setImportedRow(i, t.internName(rows[i].name), rows[i].frame, rows[i].x, rows[i].y, 0);
    return t;
}

// Saves a table as the format with this id, with a target window of w x h.
inline corvane::ExportResult saveAs(const corvane::TrackTable &t, const char *id,
                                    const QString &path, int w = 1920, int h = 1080)
{
    corvane::ExportParams p;
    p.targetFilter = QLatin1String(corvane::formatById(QLatin1String(id))->treeExportFilter);
    p.targetPath = path;
    p.windowWidth = QString::number(w);
    p.windowHeight = QString::number(h);
    p.pixelAspect = QStringLiteral("1.0");
    return corvane::exportTable(t, p);
}

// A registered format without a reader (or one Corvane reads but does not
// write), for tests of how Corvane says so; null where there is none.
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

// A file of the real programs' samples beside the project (shared/samples).
inline QString sharedSample(const QString &relative)
{
    return QString::fromLocal8Bit(qgetenv("CORVANE_SHARED_SAMPLES")) + QLatin1Char('/') + relative;
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
