// SPDX-License-Identifier: Apache-2.0
// Finding a file's format from its content: the recognition check and the
// reader's own evidence, for every format that has a reader.
#pragma once

#include <QList>
#include <QString>

#include <atomic>

namespace corvane {

struct Format;

struct Detection
{
    QString error;                    // the file cannot be read as a track file
    QList<const Format *> candidates; // every format the content fits
    // The format to read it as: the one candidate, or, where every candidate
    // reads the file to the same rows and converts them alike, the one the
    // file's habits point to (else the first registered). Null when the
    // readings differ and the user must choose, or when nothing fits.
    const Format *format = nullptr;
    QString choice;    // with several candidates and a format: which was taken, and why
    QString looksLike; // with no candidate: what the file seems to be instead
};

// How much of a file detection reads before it reads on: the sniffs that
// look at a file's head read 256 KB of it, and the others find their
// evidence in a file's header. A larger file is read whole only where the
// start leaves the choice open (a script's tracking node may lie further,
// several formats fit and their readings decide).
constexpr qint64 DetectionPrefix = qint64(4) << 20;

// bytesRead, when given, follows the reading.
Detection detectFormat(const QString &path, std::atomic<qint64> *bytesRead = nullptr);
// The same on a file's decoded text (path names it in messages).
Detection detectText(const QByteArray &text, const QString &path = QString());
// The formats whose first-line test and sniff the text passes.
QList<const Format *> formatsFitting(const QByteArray &text);

// "shot.shk: not a track file Corvane reads (it looks like a Shake script)."
QString notATrackFileMessage(const QString &path, const Detection &detection);

} // namespace corvane
