// SPDX-License-Identifier: Apache-2.0
#include "recognise.h"

#include "formats/registry.h"

#include "filetext.h"
#include "formats/kit/textscan.h"

#include <QFile>
#include <QStringDecoder>

namespace corvane {

QString firstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    // A binary file may have no line end for a long way; a first line is short.
    QByteArray start = file.read(MaxLineLength + 4);
    if (start.startsWith("\xFF\xFE") || start.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(start.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                          : QStringConverter::Utf16BE);
        QString text = utf16.decode(QByteArrayView(start).sliced(2));
        return text.left(text.indexOf(QLatin1Char('\n'))).remove(QLatin1Char('\r'));
    }
    if (start.startsWith("\xEF\xBB\xBF")) start.remove(0, 3);
    return firstLineOf(start);
}

Recognised recognise(const QString &path, const QString &formatFilter)
{
    const Format *format = formatForFilter(formatFilter);
    if (!format) return {};
    return recognise(path, *format);
}

Recognised recognise(const QString &path, const Format &format)
{
    if (format.recognition.kind == Recognition::Always) return {QStringLiteral("ok"), QString()};
    return recogniseLine(firstLine(path), format);
}

Recognised recogniseLine(const QString &line, const Format &format)
{
    const Recognition &rule = format.recognition;
    bool pass = true;
    switch (rule.kind) {
    case Recognition::Always:
        break;
    case Recognition::Marker:
        pass = line.contains(QLatin1String(rule.marker));
        break;
    case Recognition::NoDoubleSlash:
        pass = !line.contains(QLatin1String("//"));
        break;
    case Recognition::DoubleSlash:
        pass = line.contains(QLatin1String("//"));
        break;
    }
    if (pass) return {QStringLiteral("ok"), QString()};
    return {QStringLiteral("no"), QString::fromLatin1(rule.message)};
}

QString firstLineOf(const QByteArray &text)
{
    qsizetype end = text.indexOf('\n');
    QByteArray line = end < 0 ? text : text.left(end);
    while (line.endsWith('\r'))
        line.chop(1);
    return fieldToString({line.constData(), line.constData() + line.size()});
}

} // namespace corvane
