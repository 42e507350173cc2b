// SPDX-License-Identifier: Apache-2.0
#include "manpage.h"

#include "formats/registry.h"

#include <QStringList>

namespace corvane {

const char *const converterSummary =
    "Converts 2D tracking data between the formats of camera trackers and compositors,\n"
    "with the same import, Apply and Save Data as the Corvane window.\n\n"
    "FORMAT is a format id (see --list-formats) or its exact filter text.";

const char *const converterExitStatus =
    "Exit status: 0 done, 1 usage, 2 an input could not be read or recognised,\n"
    "3 an output could not be written, 4 settings missing; 128 + the signal when\n"
    "stopped by SIGINT (130), SIGTERM (143) or SIGHUP (129), every file as it was.";

namespace {

// Text for troff: backslashes and leading dots and dashes kept literal.
QString roff(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    text.replace(QLatin1Char('-'), QStringLiteral("\\-"));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QStringLiteral("\\&"));
    return text;
}

// One worked example per track operation, on examples/corner_pins.txt
// (3DE v4, Y up, first key "topLeft 1001 212.5 871.25") with
// --to 3de4 --plate 1920x1080.
const char *const operationExamples[][2] = {
    {"--rename '^top=upper'", "topLeft and topRight become upperLeft and upperRight."},
    {"--rename-file names.txt", "a line \"topLeft<TAB>TL\" renames topLeft to TL."},
    {"--prefix sh010_", "topLeft becomes sh010_topLeft; a shape's vertex S01_Track_0001 becomes "
                        "S01_sh010_Track_0001."},
    {"--suffix _v2", "topLeft becomes topLeft_v2."},
    {"--slip 1000", "the first key is at frame 2001."},
    {"--start-at 1", "the first key is at frame 1, the others keep their distance."},
    {"--trim 1001..1002", "keeps frames 1001 and 1002; a track left empty is removed."},
    {"--drop-before 1002", "the first key is 1002 214.125 870."},
    {"--shift 10,-5", "10 pixels right, 5 up the picture: 1001 222.5 876.25."},
    {"--scale 0.5", "1001 106.25 435.625 on a 960x540 plate."},
    {"--reformat 960x540",
     "1001 106.25 435.625: each axis by its own factor, in the plate's pixels, "
     "whatever the format's convention."},
    {"--flip", "1001 1707.5 871.25 (1920 - 212.5)."},
    {"--flop", "1001 212.5 208.75 (1080 - 871.25)."},
    {"--crop 100,100,40,40", "1001 112.5 831.25 on a 1720x1000 plate."},
    {"--pad 0.1,0.1,0,0", "192 pixels each side: 1001 404.5 871.25 on a 2304x1080 plate."},
    {"--min-keys 3", "keeps the four tracks of three keys; --min-keys 4 would remove them."},
    {"--fill-gaps", "a track keyed at frames 1, 2 and 5 gains keys at 3 and 4 on the straight line "
                    "between 2 and 5; --fill-gaps=1 fills only gaps of one frame."},
    {"--lens-distort -0.05,0.01", "1001 272.290156 844.754362 (SynthEyes' radial model)."},
    {"--lens-undistort -0.05,0.01", "1001 135.965119 905.165959; distorting and undistorting "
                                    "gives the points back within 1e-9 of a pixel."},
};

} // namespace

QString manPage(const QList<QCommandLineOption> &options, const QString &version)
{
    QString page;
    page += QStringLiteral(".TH CORVANE-CONVERT 1 \"\" \"corvane-convert %1\" \"User Commands\"\n")
                .arg(version);
    page += QStringLiteral(".SH NAME\ncorvane-convert \\- convert 2D tracking data between "
                           "trackers and compositors\n");
    page += QStringLiteral(".SH SYNOPSIS\n.B corvane-convert\n\\-\\-to FORMAT [OPTIONS] INPUT...\n"
                           ".br\n.B corvane-convert\n\\-\\-info INPUT...\n.br\n"
                           ".B corvane-convert\n\\-\\-list\\-formats\n");
    QStringList paragraphs;
    for (const QString &paragraph :
         QString::fromLatin1(converterSummary).split(QStringLiteral("\n\n")))
        paragraphs << roff(paragraph);
    page += QStringLiteral(".SH DESCRIPTION\n") + paragraphs.join(QStringLiteral("\n.PP\n")) +
            QLatin1Char('\n');
    page += QStringLiteral(".SH OPTIONS\n");
    for (const QCommandLineOption &option : options) {
        if (option.flags() & QCommandLineOption::HiddenFromHelp) continue;
        QStringList names;
        for (const QString &name : option.names())
            names << (name.size() == 1 ? QStringLiteral("\\-") : QStringLiteral("\\-\\-")) +
                         roff(name);
        QString head = names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            head += QStringLiteral(" \\fI") + option.valueName() + QStringLiteral("\\fR");
        page += QStringLiteral(".TP\n\\fB") + head + QStringLiteral("\\fR\n") +
                roff(option.description()) + QLatin1Char('\n');
    }
    page += QStringLiteral(
        ".SH TRACK OPERATIONS\n"
        "The track operations run in the order the command line gives them, after the import and "
        "before Apply; \\-\\-json lists what each did. Geometry works in the plate's pixels "
        "from its top-left corner, X right and Y down, whatever the file's convention; a "
        "coordinate changes only when the operation changes it. Shapes are their vertices' "
        "tracks. On examples/corner_pins.txt (3DE v4, first key topLeft 1001 212.5 871.25) with "
        "\\-\\-to 3de4 \\-\\-plate 1920x1080:\n");
    for (const auto &example : operationExamples)
        page += QStringLiteral(".TP\n\\fB%1\\fR\n%2\n")
                    .arg(roff(QLatin1String(example[0])), roff(QLatin1String(example[1])));
    page += QStringLiteral(".SH FORMATS\n");
    for (const Format &f : formats())
        page += QStringLiteral(".TP\n\\fB%1\\fR\n%2\n")
                    .arg(roff(QLatin1String(f.id)), roff(QLatin1String(f.name)));
    page += QStringLiteral(".SH EXIT STATUS\n") + roff(QString::fromLatin1(converterExitStatus)) +
            QLatin1Char('\n');
    page += QStringLiteral(".SH SEE ALSO\nThe Corvane manual, installed with the program.\n");
    return page;
}

} // namespace corvane
