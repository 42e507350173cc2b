// SPDX-License-Identifier: Apache-2.0
// One registered reader on any bytes: run as "fuzz_read --format=ID ...".
// Every reader the registry lists can be fuzzed this way, without a target
// of its own. A format's streamed reader runs on the same bytes: what it
// reads, the whole reader reads to the same rows, with nothing to say.
#include "formats/kit/linesource.h"
#include "formats/registry.h"
#include "import/dispatch.h"
#include "import/filetext.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace corvane;

static const Format *format = nullptr;

namespace {

struct Gather : RowStream
{
    TrackSet all;
    bool take(TrackSet &piece) override
    {
        all.append(piece);
        return true;
    }
};

bool sameRows(const TrackSet &a, const TrackSet &b)
{
    return a.count == b.count && a.names.toList() == b.names.toList() && a.frames == b.frames &&
           a.x == b.x && a.y == b.y;
}

void streamAsRead(const QByteArray &bytes)
{
    Gather gathered;
    LineSource lines(bytes);
    if (format->stream(lines, QStringLiteral("fuzz.txt"), gathered) != Streamed::Read) return;
    const ReadResult whole = format->read(bytes, QStringLiteral("fuzz.txt"));
    if (!whole.ok() || !whole.notes.isEmpty() || !sameRows(gathered.all, whole.set))
        std::abort(); // the stream read what the whole reading refuses, notes or reads otherwise
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], "--format=", 9) == 0)
            format = formatById(QString::fromLatin1((*argv)[i] + 9));
    if (!format || !format->read) {
        std::fprintf(stderr, "fuzz_read: give --format=ID of a format with a reader\n");
        std::exit(1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FileText text = trackText(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)),
                              QStringLiteral("fuzz.txt"));
    if (!text.ok()) return 0;
    ReadResult read = readBytes(text.bytes, QStringLiteral("fuzz.txt"), *format);
    const TrackSet &set = read.set;
    if (read.ok() && (set.names.size() < set.count || qsizetype(set.frames.size()) < set.count ||
                      qsizetype(set.x.size()) < set.count || qsizetype(set.y.size()) < set.count))
        std::abort(); // a reader promised rows it does not hold
    if (format->stream) streamAsRead(text.bytes);
    return 0;
}
