// SPDX-License-Identifier: Apache-2.0
// The writing end of a save, as every writer sees it: the bytes of the file
// being written, held in a save transaction and handed on to disk in pieces
// between rows. A table's save and a streamed conversion both write
// through it; each gives the writers its rows and census its own way.
#pragma once

#include "exporter.h"
#include "formats/writecontext.h"
#include "savetransaction.h"

#include <QStringEncoder>

namespace corvane {

class SaveContext : public WriteContext
{
public:
    // expectedBytes: about how large the file will be, for its buffer.
    SaveContext(const ExportParams &params, qsizetype expectedBytes);

    bool mayFlush(double done) override;
    bool cancelled() const { return m_cancelled; }

    void write(const QString &text) override { *m_current += m_encoder.encode(text); }
    void write(const char *ascii) override { m_current->append(ascii); }
    void write(const QByteArray &ascii) override { m_current->append(ascii); }
    void writeInt(long long value) override;
    QByteArray &out() override { return *m_current; }
    void note(const QString &text) override { m_notes.append(text); }

protected:
    // Further bytes go to the file at path.
    void writeTo(const QString &path);
    // Writes every file of the save; the error, or empty.
    QString commitFiles(ExportResult &result, bool inMemory);

    SaveTransaction m_save;
    QString m_targetPath;
    QString m_currentPath;
    QStringList m_notes;

private:
    QStringEncoder m_encoder;
    QByteArray *m_current = nullptr;
    bool m_streaming;
    qsizetype m_heldBytes;
    const std::atomic<bool> *m_cancel;
    std::atomic<qint64> *m_progress;
    bool m_cancelled = false;
};

} // namespace corvane
