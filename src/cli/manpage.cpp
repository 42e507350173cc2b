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
