#include "recognise.h"

#include "formats/registry.h"

#include <QFile>

namespace corvane {

QString firstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return QString();
    // A binary file may have no line end for a long way; a first line is short.
    constexpr qint64 limit = 1 << 20;
    QByteArray line = file.readLine(limit);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromLocal8Bit(line);
}

Recognised recognise(const QString &path, const QString &formatFilter)
{
    const Format *format = formatForFilter(formatFilter);
    if (!format) return {};
    const Recognition &rule = format->recognition;
    bool pass = true;
    switch (rule.kind) {
    case Recognition::Always:
        break;
    case Recognition::Marker:
        pass = firstLine(path).contains(QLatin1String(rule.marker));
        break;
    case Recognition::NoDoubleSlash:
        pass = !firstLine(path).contains(QLatin1String("//"));
        break;
    case Recognition::DoubleSlash:
        pass = firstLine(path).contains(QLatin1String("//"));
        break;
    }
    if (pass) return {QStringLiteral("ok"), QString()};
    return {QStringLiteral("no"), QString::fromLatin1(rule.message)};
}

} // namespace corvane
