// Finding a file's format from its content: the recognition check and the
// reader's own evidence, for every format that has a reader.
#pragma once

#include <QList>
#include <QString>

namespace corvane {

struct Format;

struct Detection
{
    bool readable = false;            // the file could be opened
    QList<const Format *> candidates; // every format the content fits
};

Detection detectFormat(const QString &path);

} // namespace corvane
