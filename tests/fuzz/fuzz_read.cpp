// SPDX-License-Identifier: Apache-2.0
// One registered reader on any bytes: run as "fuzz_read --format=ID ...".
// Every reader the registry lists can be fuzzed this way, without a target
// of its own.
#include "formats/registry.h"
#include "import/dispatch.h"
#include "import/filetext.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace corvane;

static const Format *format = nullptr;

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
    return 0;
}
