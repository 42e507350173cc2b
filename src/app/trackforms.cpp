// SPDX-License-Identifier: Apache-2.0
// The Tracks menu's operations: each one's fields and how their values make
// the operation, through the same parser as the converter's options.
#include "tracksmenu.h"

#include <QFile>
#include <QFileInfo>

using namespace corvane;

namespace {

using Kind = OperationField::Kind;

OperationField field(const QString &label, const QString &initial = QString())
{
    return {label, initial, Kind::Text, {}};
}

// The option's text from the values, parsed as the converter parses it.
std::function<ParsedOperation(const QStringList &)> option(const char *name, QString separator)
{
    return [name, separator](const QStringList &values) {
        QStringList parts;
        for (const QString &v : values)
            parts << v.trimmed();
        return parseTrackOperation(QLatin1String(name), parts.join(separator));
    };
}

ParsedOperation renameByPattern(const QStringList &values)
{
    return renameOperation(values.at(0), values.at(1));
}

ParsedOperation renameByList(const QStringList &values)
{
    const QString path = values.at(0).trimmed();
    ParsedOperation none;
    QFile file(path);
    if (path.isEmpty()) {
        none.error = QStringLiteral("Choose a list of old and new names, one pair per line.");
    } else if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        none.error = QStringLiteral("%1 cannot be read.").arg(path);
    } else if (file.size() > (qint64(16) << 20)) {
        none.error = QStringLiteral("%1 is larger than 16 MB: not a list of names.").arg(path);
    } else {
        return parseRenameList(QString::fromUtf8(file.readAll()), QFileInfo(path).fileName());
    }
    return none;
}

QStringList plateValues(PlateSize plate)
{
    return {QString::number(plate.width), QString::number(plate.height)};
}

QList<OperationForm> makeForms()
{
    const QString pixels = QStringLiteral(" (pixels)");
    QList<OperationForm> forms;
    forms << OperationForm{"actionTrackRename",
                           QStringLiteral("Rename Tracks"),
                           QStringLiteral("Renames the tracks whose names match a regular "
                                          "expression (\\1 in the replacement is its first "
                                          "group)."),
                           {field(QStringLiteral("Pattern")), field(QStringLiteral("Replacement"))},
                           {},
                           renameByPattern};
    forms << OperationForm{
        "actionTrackRenameList",
        QStringLiteral("Rename from List"),
        QStringLiteral("Renames tracks by a text file of old and new names, one pair per line."),
        {OperationField{QStringLiteral("List"), QString(), Kind::File, {}}},
        {},
        renameByList};
    forms << OperationForm{"actionTrackPrefix",
                           QStringLiteral("Add Prefix"),
                           QStringLiteral("Puts a text before every track's name."),
                           {field(QStringLiteral("Prefix"))},
                           {},
                           option("prefix", {})};
    forms << OperationForm{"actionTrackSuffix",
                           QStringLiteral("Add Suffix"),
                           QStringLiteral("Puts a text after every track's name."),
                           {field(QStringLiteral("Suffix"))},
                           {},
                           option("suffix", {})};
    forms << OperationForm{"actionTrackSlip",
                           QStringLiteral("Slip"),
                           QStringLiteral("Moves every key by a number of frames."),
                           {field(QStringLiteral("Frames"), QStringLiteral("0"))},
                           {},
                           option("slip", {})};
    forms << OperationForm{"actionTrackStartAt",
                           QStringLiteral("Start At"),
                           QStringLiteral("Moves the keys so that the earliest lands on a frame."),
                           {field(QStringLiteral("First frame"), QStringLiteral("1001"))},
                           {},
                           option("start-at", {})};
    forms << OperationForm{"actionTrackTrim",
                           QStringLiteral("Trim"),
                           QStringLiteral("Removes the keys outside a frame range; a track left "
                                          "without keys goes."),
                           {field(QStringLiteral("First frame"), QStringLiteral("1")),
                            field(QStringLiteral("Last frame"), QStringLiteral("100"))},
                           {},
                           option("trim", QStringLiteral(".."))};
    forms << OperationForm{"actionTrackDropBefore",
                           QStringLiteral("Drop Frames Before"),
                           QStringLiteral("Removes the keys before a frame; a track left without "
                                          "keys goes."),
                           {field(QStringLiteral("Frame"), QStringLiteral("1"))},
                           {},
                           option("drop-before", {})};
    forms << OperationForm{"actionTrackShift",
                           QStringLiteral("Shift"),
                           QStringLiteral("Moves every point on the plate."),
                           {field(QStringLiteral("X") + pixels, QStringLiteral("0")),
                            field(QStringLiteral("Y (down)") + pixels, QStringLiteral("0"))},
                           {},
                           option("shift", QStringLiteral(","))};
    forms << OperationForm{"actionTrackScale",
                           QStringLiteral("Scale"),
                           QStringLiteral("Scales the points about the plate's top-left corner; "
                                          "the plate scales with them."),
                           {field(QStringLiteral("X factor"), QStringLiteral("1")),
                            field(QStringLiteral("Y factor"), QStringLiteral("1"))},
                           {},
                           option("scale", QStringLiteral(","))};
    forms << OperationForm{"actionTrackReformat",
                           QStringLiteral("Reformat"),
                           QStringLiteral("Takes points and plate to a new resolution, each axis "
                                          "by its own factor."),
                           {field(QStringLiteral("Width")), field(QStringLiteral("Height"))},
                           plateValues,
                           option("reformat", QStringLiteral("x"))};
    forms << OperationForm{"actionTrackFlip",
                           QStringLiteral("Flip Left-Right"),
                           QStringLiteral("Mirrors every point left to right within the plate."),
                           {},
                           {},
                           option("flip", {})};
    forms << OperationForm{"actionTrackFlop",
                           QStringLiteral("Flop Top-Bottom"),
                           QStringLiteral("Mirrors every point top to bottom within the plate."),
                           {},
                           {},
                           option("flop", {})};
    const QList<OperationField> sides{field(QStringLiteral("Left"), QStringLiteral("0")),
                                      field(QStringLiteral("Right"), QStringLiteral("0")),
                                      field(QStringLiteral("Top"), QStringLiteral("0")),
                                      field(QStringLiteral("Bottom"), QStringLiteral("0"))};
    forms << OperationForm{"actionTrackCrop",
                           QStringLiteral("Crop"),
                           QStringLiteral("Removes pixels at the plate's sides (a negative number "
                                          "adds them); the points keep their place in the "
                                          "picture."),
                           sides,
                           {},
                           option("crop", QStringLiteral(","))};
    forms << OperationForm{"actionTrackPad",
                           QStringLiteral("Pad"),
                           QStringLiteral("Adds to the plate's sides, in fractions of its width "
                                          "and height (0.1 adds a tenth)."),
                           sides,
                           {},
                           option("pad", QStringLiteral(","))};
    forms << OperationForm{"actionTrackMinKeys",
                           QStringLiteral("Keep Long Tracks"),
                           QStringLiteral("Removes the tracks with fewer keys than a number."),
                           {field(QStringLiteral("Fewest keys"), QStringLiteral("10"))},
                           {},
                           option("min-keys", {})};
    forms << OperationForm{"actionTrackFillGaps",
                           QStringLiteral("Fill Gaps"),
                           QStringLiteral("Adds keys in the frames a track misses between two of "
                                          "its keys, on the straight line between them."),
                           {field(QStringLiteral("Longest gap (frames; empty: every gap)"))},
                           {},
                           option("fill-gaps", {})};
    forms << OperationForm{
        "actionTrackLens",
        QStringLiteral("Lens Distortion"),
        QStringLiteral("SynthEyes' radial model: adds the lens's distortion to the points, or "
                       "removes it."),
        {OperationField{QStringLiteral("Distortion"),
                        QStringLiteral("Remove"),
                        Kind::Choice,
                        {QStringLiteral("Add"), QStringLiteral("Remove")}},
         field(QStringLiteral("k"), QStringLiteral("0")),
         field(QStringLiteral("k cube"), QStringLiteral("0"))},
        {},
        [](const QStringList &values) {
            const bool add = values.at(0) == QLatin1String("Add");
            return parseTrackOperation(
                add ? QStringLiteral("lens-distort") : QStringLiteral("lens-undistort"),
                values.at(1).trimmed() + QLatin1Char(',') + values.at(2).trimmed());
        }};
    for (OperationForm &form : forms)
        for (const char *action :
             {"actionTrackScale", "actionTrackReformat", "actionTrackCrop", "actionTrackPad"})
            if (qstrcmp(form.action, action) == 0) form.changesPlate = true;
    return forms;
}

} // namespace

const QList<OperationForm> &TracksMenu::forms()
{
    static const QList<OperationForm> all = makeForms();
    return all;
}
