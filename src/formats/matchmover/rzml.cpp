// SPDX-License-Identifier: Apache-2.0
// MatchMover RZML projects: XML, read with Qt's stream reader. The tracks
// are <L i="1" n="Track 01"/>, the plate the <SHOT>'s w and h, and each
// image frame an <IFRM t="…"> of <M i="…" x="…" y="…"/> marks in pixels
// from the top-left corner. Frames are the image sequence's own numbers:
// the <IPLN>'s first image b plus the frame's time t.
#include "formats/families.h"
#include "formats/kit/rowcollector.h"
#include "table/namerule.h"

#include <QHash>
#include <QXmlStreamReader>

#include <map>

namespace corvane {

namespace {

struct Mark
{
    int frame;
    double x, y;
};

struct Project
{
    std::map<int, QString> names;        // track number: name, in number order
    QHash<int, int> nameLines;           // track number: the line that names it
    QHash<int, std::vector<Mark>> marks; // track number: its marks
    std::vector<int> order;              // track numbers as first met
    int plateWidth = 0, plateHeight = 0;
    QString error;
    int errorLine = 0;
    ErrorKind errorKind = ErrorKind::UnsupportedLayout;
};

bool failWith(Project &p, const QString &reason, const QXmlStreamReader &xml,
              ErrorKind kind = ErrorKind::UnsupportedLayout)
{
    p.error = reason;
    p.errorLine = int(xml.lineNumber());
    p.errorKind = kind;
    return false;
}

// An attribute as a number; absent gives `fallback`, anything else not a number an error.
bool number(const QXmlStreamAttributes &a, const char *key, double fallback, double &out,
            Project &p, const QXmlStreamReader &xml)
{
    const QStringView text = a.value(QLatin1String(key));
    if (text.isEmpty()) {
        out = fallback;
        return true;
    }
    bool ok = false;
    out = text.toDouble(&ok);
    if (ok && std::isfinite(out)) return true;
    const QByteArray bytes = text.toUtf8();
    const Field field{bytes.constData(), bytes.constData() + bytes.size()};
    if (isNonFiniteNumber(field))
        return failWith(
            p,
            QStringLiteral("the %1 of <%2>: %3")
                .arg(QLatin1String(key), xml.name().toString(), nonFiniteMessage(field)),
            xml, ErrorKind::BadNumber);
    return failWith(p,
                    QStringLiteral("<%1> has %2=\"%3\", which is not a number.")
                        .arg(xml.name().toString(), QLatin1String(key), text.toString()),
                    xml, ErrorKind::BadNumber);
}

// A whole-number attribute (a track number, a plate size); absent gives 0.
bool whole(const QXmlStreamAttributes &a, const char *key, int &out, Project &p,
           const QXmlStreamReader &xml)
{
    double value = 0;
    if (!number(a, key, 0, value, p, xml)) return false;
    if (wholeFrame(value, out)) return true;
    return failWith(
        p,
        QStringLiteral("<%1> has %2=\"%3\", which is not a whole number Corvane can "
                       "handle.")
            .arg(xml.name().toString(), QLatin1String(key), a.value(QLatin1String(key)).toString()),
        xml, ErrorKind::BadNumber);
}

bool readMark(const QXmlStreamReader &xml, double first, double time, Project &p)
{
    const QXmlStreamAttributes a = xml.attributes();
    if (!a.hasAttribute(QLatin1String("x")) || !a.hasAttribute(QLatin1String("y")))
        return true; // a mark that holds no position
    int id = 0;
    double x = 0, y = 0;
    if (!whole(a, "i", id, p, xml) || !number(a, "x", 0, x, p, xml) ||
        !number(a, "y", 0, y, p, xml))
        return false;
    int frame = 0;
    if (!wholeFrame(first + time, frame))
        return failWith(
            p,
            QStringLiteral("frame %1 is not a whole frame Corvane can handle.").arg(first + time),
            xml, ErrorKind::BadNumber);
    auto it = p.marks.find(id);
    if (it == p.marks.end()) {
        it = p.marks.insert(id, {});
        p.order.push_back(id);
    }
    it->push_back({frame, x, y});
    return true;
}

bool readProject(const QByteArray &data, Project &p)
{
    QXmlStreamReader xml(data);
    double first = 0, time = 0;
    bool haveShot = false; // the first shot states the plate
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QStringView name = xml.name();
        const QXmlStreamAttributes a = xml.attributes();
        if (name == QLatin1String("L")) {
            int id = 0;
            if (!whole(a, "i", id, p, xml)) return false;
            // Two tracks of one number: whose marks they are cannot be told.
            if (p.nameLines.contains(id))
                return failWith(p,
                                QStringLiteral("track number %1 is given again (line %2 gave "
                                               "it first).")
                                    .arg(id)
                                    .arg(p.nameLines.value(id)),
                                xml);
            p.nameLines.insert(id, int(xml.lineNumber()));
            p.names[id] = a.value(QLatin1String("n")).toString();
        } else if (name == QLatin1String("SHOT") && !haveShot) {
            if (!whole(a, "w", p.plateWidth, p, xml) || !whole(a, "h", p.plateHeight, p, xml))
                return false;
            haveShot = true;
        } else if (name == QLatin1String("IPLN")) {
            if (!number(a, "b", 0, first, p, xml)) return false;
        } else if (name == QLatin1String("IFRM")) {
            if (!number(a, "t", 0, time, p, xml)) return false;
        } else if (name == QLatin1String("M")) {
            if (!readMark(xml, first, time, p)) return false;
        }
    }
    // A document cut before its end is the XML reader's premature end.
    if (xml.hasError())
        return failWith(p, xml.errorString(), xml,
                        xml.error() == QXmlStreamReader::PrematureEndOfDocumentError
                            ? ErrorKind::CutShort
                            : ErrorKind::UnsupportedLayout);
    return true;
}

ReadResult readRzml(const QByteArray &data, const QString &)
{
    Project p;
    if (!readProject(data, p)) return ReadResult::failure(p.error, p.errorLine, p.errorKind);
    RowCollector rows;
    // Tracks in the project's own order of numbers, then any marked track it does not list.
    std::vector<int> ids;
    for (const auto &[id, name] : p.names)
        if (p.marks.contains(id)) ids.push_back(id);
    for (int id : p.order)
        if (!p.names.count(id)) ids.push_back(id);
    for (int id : ids) {
        const auto found = p.names.find(id);
        const QString name = applyNameRule(found != p.names.end() && !found->second.isEmpty()
                                               ? found->second
                                               : QStringLiteral("Track %1").arg(id));
        for (const Mark &m : p.marks.value(id))
            rows.addValues(name, m.frame, m.x, m.y);
    }
    ReadResult result = rows.finish();
    result.set.plateWidth = std::max(p.plateWidth, 0);
    result.set.plateHeight = std::max(p.plateHeight, 0);
    return result;
}

// The root element is <RZML>, after at most an XML declaration and comments.
bool looksLikeRzml(const QByteArray &data)
{
    const QByteArray head = data.left(4096);
    const qsizetype root = head.indexOf("<RZML");
    if (root < 0) return false;
    for (qsizetype i = 0; i < root; ++i) {
        const char c = head.at(i);
        if (c == '<') {
            if (head.mid(i, 2) != "<?" && head.mid(i, 4) != "<!--") return false;
            const qsizetype close = head.indexOf('>', i);
            if (close < 0 || close > root) return false;
            i = close;
        }
    }
    return true;
}

} // namespace

Formats matchMoverRzmlFormats()
{
    Format f;
    f.id = "matchmover-rzml";
    f.name = "MatchMover RZML";
    f.importFilter = f.treeExportFilter = "MatchMover RZML File (*.rzml)";
    f.read = readRzml;
    f.sniff = looksLikeRzml;
    f.statesPlate = true;
    return {f};
}

} // namespace corvane
