// SPDX-License-Identifier: Apache-2.0
#include "detect.h"

#include "dispatch.h"
#include "filetext.h"
#include "formats/kit/textscan.h"
#include "formats/registry.h"
#include "recognise.h"
#include "table/parallel.h"

#include <QDir>
#include <QHash>

#include <algorithm>

namespace corvane {

namespace {

// Whether a file's first line marks it as a script: such a first line may
// pass a format's own test (a "//" comment, a "#!" line), so a script counts
// for a format only when its reader reads rows from it. 3D Equalizer v3's
// header is a "//" line of its own.
bool marksScript(const QString &first)
{
    const QString line = first.trimmed();
    if (line.startsWith(QLatin1String("//"))) return !line.contains(QLatin1String("3DE"));
    return line.startsWith(QLatin1String("#!")) || line.startsWith(QLatin1String("var ")) ||
           line.startsWith(QLatin1String("nuke.")) || line.contains(QLatin1String("Shake v"));
}

bool containsAny(const QByteArray &text, std::initializer_list<const char *> words)
{
    return std::any_of(words.begin(), words.end(),
                       [&](const char *word) { return text.contains(word); });
}

bool looksLikeNukeText(const QString &line, const QByteArray &text)
{
    return (line.startsWith(QLatin1String("#!")) && line.contains(QLatin1String("uke"))) ||
           line.startsWith(QLatin1String("version ")) ||
           line.startsWith(QLatin1String("set cut_paste_input")) ||
           (line.endsWith(QLatin1String(" {")) &&
            containsAny(text, {"\n xpos ", "{curve ", "\n name "})) ||
           text.contains("\nRoot {") || text.contains("\nversion ");
}

bool looksLikeShakeText(const QString &line, const QByteArray &text)
{
    return line.contains(QLatin1String("Shake")) ||
           containsAny(text, {"SetTimeRange(", "Tracker(", "Tracker (", "Stabilize(", "MatchMove(",
                              "OfxPluginFactory("});
}

// What a file that no reader takes seems to be, for the message.
QString fileLooksLike(const QString &first, const QByteArray &text)
{
    const QString line = first.trimmed();
    if (looksLikeNukeText(line, text))
        return containsAny(text, {"\nRotoPaint {", "\nRoto {"})
                   ? QStringLiteral("a Nuke script whose RotoPaint shapes are in a layout Corvane "
                                    "does not read")
                   : QStringLiteral("a Nuke script with no RotoPaint");
    if (line.startsWith(QLatin1String("nuke.")) || text.contains("import nuke"))
        return QStringLiteral("a Nuke Python script");
    if (looksLikeShakeText(line, text)) return QStringLiteral("a Shake script");
    if (line.startsWith(QLatin1String("var ")) || text.contains("app.project"))
        return QStringLiteral("an After Effects script");
    if (line.startsWith(QLatin1String("<?xml")) || line.startsWith(QLatin1Char('<')))
        return QStringLiteral("an XML file");
    if (line.startsWith(QLatin1String("StabilizerFileVersion")))
        return QStringLiteral("a Flame/Smoke stabilizer setup");
    if (line.startsWith(QLatin1String("#!")) || line.startsWith(QLatin1String("//")))
        return QStringLiteral("a script");
    return QStringLiteral("text in no track layout Corvane knows");
}

bool sameRows(const TrackSet &a, const TrackSet &b)
{
    return a.count == b.count && a.frames == b.frames && a.x == b.x && a.y == b.y &&
           a.names.runs() == b.names.runs() && a.names.runStarts() == b.names.runStarts() &&
           a.plateWidth == b.plateWidth && a.plateHeight == b.plateHeight;
}

bool convertsAlike(const Format &a, const Format &b)
{
    return a.source == b.source && a.centres == b.centres && a.frameBase == b.frameBase;
}

// Given every candidate's reading of the text: when all give the same rows
// and convert them alike, the one the habits point to (else the first).
void chooseAmongEqualReadings(const QByteArray &text, const std::vector<ReadResult> &reads,
                              Detection &detection)
{
    const auto &candidates = detection.candidates;
    for (qsizetype k = 0; k < candidates.size(); ++k) {
        const ReadResult &read = reads[size_t(k)];
        if (!read.ok() || !read.cutShort.isEmpty() ||
            !convertsAlike(*candidates[k], *candidates[0]) || !sameRows(read.set, reads[0].set))
            return;
    }
    const Format *chosen = candidates.first();
    QString why = QStringLiteral("the first that fits");
    for (const Format *f : candidates)
        if (f->habits && f->habits(text)) {
            chosen = f;
            why = QStringLiteral("its layout is %1's").arg(QLatin1String(f->name));
            break;
        }
    QStringList others;
    for (const Format *f : candidates)
        if (f != chosen) others << QLatin1String(f->name);
    detection.format = chosen;
    detection.choice =
        QStringLiteral("read as %1 (%2); %3 fits too and reads the same rows.")
            .arg(QLatin1String(chosen->name), why, others.join(QStringLiteral(", ")));
}

} // namespace

namespace {

// The whole lines of a file's start (all of it when no line ends there).
QByteArray wholeLinesOf(const QByteArray &start)
{
    const qsizetype end = start.lastIndexOf('\n');
    return end < 0 ? start : start.left(end + 1);
}

// Whether the start of a larger file leaves the choice to its whole text:
// the candidates' readings decide, or a script's tracking node may come later.
bool choiceNeedsWhole(const QString &first, const QByteArray &start,
                      const QList<const Format *> &candidates)
{
    if (marksScript(first) || candidates.size() > 1) return true;
    const QString line = first.trimmed();
    return candidates.isEmpty() &&
           (looksLikeNukeText(line, start) || looksLikeShakeText(line, start));
}

} // namespace

Detection detectFormat(const QString &path, std::atomic<qint64> *bytesRead)
{
    qsizetype longest = 0;
    for (const Format &format : formats())
        if (format.read) longest = std::max(longest, format.maxLineLength);
    Detection detection;
    const FileText start = loadTrackFileStart(path, DetectionPrefix, longest, bytesRead);
    if (!start.ok()) {
        detection.error = start.error;
        return detection;
    }
    if (start.complete) return detectText(start.bytes, path);
    // The chosen reader reads the file whole: its start is enough to choose.
    const QByteArray head = wholeLinesOf(start.bytes);
    const QString first = firstLineOf(head);
    detection.candidates = formatsFitting(head);
    if (!choiceNeedsWhole(first, head, detection.candidates)) {
        if (detection.candidates.isEmpty())
            detection.looksLike = fileLooksLike(first, head);
        else
            detection.format = detection.candidates.first();
        return detection;
    }
    const FileText text = loadTrackFile(path, longest, {}, bytesRead);
    if (!text.ok()) {
        detection = Detection();
        detection.error = text.error;
        return detection;
    }
    return detectText(text.bytes, path);
}

Detection detectText(const QByteArray &text, const QString &path)
{
    Detection detection;
    detection.candidates = formatsFitting(text);
    const QString first = firstLineOf(text);
    // The candidates' readings, made once, for the script test and the choice.
    std::vector<ReadResult> reads;
    auto readAll = [&] {
        for (const Format *f : std::as_const(detection.candidates))
            reads.push_back(readBytes(text, path, *f));
    };
    if (marksScript(first)) {
        readAll();
        QList<const Format *> reading;
        std::vector<ReadResult> kept;
        for (qsizetype k = 0; k < detection.candidates.size(); ++k)
            if (reads[size_t(k)].ok() && reads[size_t(k)].set.count > 0) {
                reading.append(detection.candidates[k]);
                kept.push_back(std::move(reads[size_t(k)]));
            }
        detection.candidates = reading;
        reads = std::move(kept);
    }
    if (detection.candidates.isEmpty()) {
        detection.looksLike = fileLooksLike(first, text);
    } else if (detection.candidates.size() == 1) {
        detection.format = detection.candidates.first();
    } else {
        if (reads.empty()) readAll();
        chooseAmongEqualReadings(text, reads, detection);
    }
    return detection;
}

QList<const Format *> formatsFitting(const QByteArray &text)
{
    const QString line = firstLineOf(text);
    // The formats whose first-line test and line limit the text passes
    // (each limit checked once); their sniffs, some of which read the whole
    // text, are shared between the cores.
    QHash<qsizetype, bool> tooLong;
    std::vector<const Format *> asked;
    for (const Format &format : formats()) {
        if (!format.read || !format.sniff) continue;
        auto limit = tooLong.find(format.maxLineLength);
        if (limit == tooLong.end())
            limit = tooLong.insert(format.maxLineLength, hasLongLine(text, format.maxLineLength));
        if (!limit.value() && recogniseLine(line, format).ok()) asked.push_back(&format);
    }
    const int pieces = std::clamp(textPieces(text.size()), 1, std::max(1, int(asked.size())));
    std::vector<char> fits(asked.size(), 0);
    forEachPiece(pieces, [&](int p) {
        for (size_t k = size_t(p); k < asked.size(); k += size_t(pieces))
            fits[k] = asked[k]->sniff(text);
    });
    QList<const Format *> fitting;
    for (size_t k = 0; k < asked.size(); ++k)
        if (fits[k]) fitting.append(asked[k]);
    return fitting;
}

QString notATrackFileMessage(const QString &path, const Detection &detection)
{
    return QStringLiteral("%1: not a track file Corvane reads (it looks like %2).")
        .arg(QDir::toNativeSeparators(path), detection.looksLike);
}

} // namespace corvane
