// SPDX-License-Identifier: Apache-2.0
#include "scripttext.h"

#include <cstdio>

namespace corvane {

std::vector<TrackRun> trackRuns(WriteContext &ctx)
{
    // The census counts the runs' rows: a row is looked at once per run.
    std::vector<TrackRun> runs;
    const std::vector<int> &counts = ctx.census().rowCounts;
    runs.reserve(counts.size());
    int first = 0;
    for (const int rows : counts) {
        if (rows <= 0) continue;
        runs.push_back({ctx.exportRow(first).name, first, rows});
        first += rows;
    }
    return runs;
}

namespace {

void appendEscape(QByteArray &out, const char *pattern, unsigned value)
{
    char buf[16];
    const int n = std::snprintf(buf, sizeof buf, pattern, value);
    out.append(buf, n);
}

} // namespace

void appendQuoted(QByteArray &out, const QString &text, Literal language)
{
    out += '"';
    const QList<uint> points = text.toUcs4();
    for (const uint u : points) {
        if (u == '"' || u == '\\') {
            out += '\\';
            out += char(u);
        } else if (u >= 0x20 && u < 0x7f) {
            out += char(u);
        } else if (language == Literal::Utf8) {
            if (u == '\n')
                out += "\\n";
            else if (u == '\t')
                out += "\\t";
            else if (u < 0x20 || u == 0x7f)
                out += '_';
            else
                out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&u), 1).toUtf8();
        } else if (language == Literal::Python) {
            appendEscape(out, u > 0xffff ? "\\U%08x" : "\\u%04x", u);
        } else if (u > 0xffff) {
            appendEscape(out, "\\u%04x", 0xd800 + ((u - 0x10000) >> 10));
            appendEscape(out, "\\u%04x", 0xdc00 + ((u - 0x10000) & 0x3ff));
        } else {
            appendEscape(out, "\\u%04x", u);
        }
    }
    out += '"';
}

ScenePlane::ScenePlane(int plateWidth, int plateHeight)
    : halfWidth(plateWidth / 2.0), halfHeight(plateHeight / 2.0),
      scale(plateWidth > 0 ? 10.0 / plateWidth : 1.0)
{
}

} // namespace corvane
