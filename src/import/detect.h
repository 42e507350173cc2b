// Finding a file's format from its content: the recognition check and the
// reader's own evidence, for every format that has a reader.
#pragma once

#include <QList>
#include <QString>

namespace corvane {

struct Format;

struct Detection
{
    QString error;                    // the file cannot be read as a track file
    QList<const Format *> candidates; // every format the content fits
};

Detection detectFormat(const QString &path);
// The same on a file's decoded text.
QList<const Format *> formatsFitting(const QByteArray &text);

} // namespace corvane
