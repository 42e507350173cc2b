// All-or-nothing saves: every file of a save is written in full to a
// temporary file beside its target first; only when all of them were
// written are they renamed into place. A failure leaves every target as it
// was. An existing target that is not a regular file (a FIFO, a device) is
// written directly, after all the others are ready; a symbolic link is
// followed, so the file it points to is replaced and the link stays.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <QHash>
#include <QList>

#include <deque>
#include <future>
#include <memory>

class QTemporaryFile;

namespace corvane {

class SaveTransaction
{
public:
    // Paths that no file of this save may be (the inputs of the table),
    // compared as real paths.
    explicit SaveTransaction(const QStringList &protectedPaths = {});

    // The bytes of the file at path; asking again for a path gives the same
    // buffer, so a save can come back to a file and write on at its end.
    // The buffer stays valid for the life of the transaction.
    QByteArray &file(const QString &path);
    bool contains(const QString &path) const;
    // The path a file would land on is one of the protected paths.
    bool isProtected(const QString &path) const;

    // Large saves need not hold a whole file in memory: the bytes of the
    // file at path so far go to its temporary file now, and its buffer
    // starts again empty. Targets written directly keep their bytes; a
    // failure is reported by commit.
    void spill(const QString &path);

    // The files as they would be written, in the order first asked for.
    QList<std::pair<QString, QByteArray>> contents() const;

    // Writes every file; on success lists them in the order they were first
    // asked for and returns an empty text, else the error naming the file.
    QString commit(QStringList &written);

private:
    struct Entry
    {
        QString path;
        QByteArray bytes;                      // not yet in `early`
        std::shared_ptr<QTemporaryFile> early; // the bytes spilled so far
        bool keep = false;                     // written directly: never spilled
        QString error;
        // The last spill, written on another thread while the save goes on.
        QByteArray inFlight;
        std::future<int> writing; // 0, or the errno of the failed write
    };
    void finishSpill(Entry &entry);
    std::deque<Entry> m_files; // buffers stay where they are as files are added
    QHash<QString, size_t> m_index;
    QStringList m_protected; // canonical paths
};

} // namespace corvane
