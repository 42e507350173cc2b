// SPDX-License-Identifier: Apache-2.0
// All-or-nothing saves: every file of a save is written in full to a
// temporary file beside its target first; only when all of them were
// written and synced are they put in place, and the files they replace are
// kept until every new one is in: a failure at any file, at any stage,
// leaves every target as it was. Temporary files are closed as soon as they
// are written, so a save of any number of files holds a few descriptors.
// An existing target that is not a regular file (a FIFO, a device) is
// written directly, after all the others are in place; a symbolic link is
// followed, so the file it points to is replaced and the link stays.
//
// One save at a time writes into a folder: a save waits for another one
// writing into the same folder, and removes what a killed save left there
// (its temporary files; a replaced file it had not yet given back is put
// back).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <QHash>
#include <QList>

#include <deque>
#include <functional>
#include <future>
#include <memory>

namespace corvane {

class SaveTransaction
{
public:
    // Paths that no file of this save may be (the inputs of the table),
    // compared as real paths.
    explicit SaveTransaction(const QStringList &protectedPaths = {});
    ~SaveTransaction(); // removes temporary files a failed save leaves, ends the locks
    SaveTransaction(const SaveTransaction &) = delete;
    SaveTransaction &operator=(const SaveTransaction &) = delete;

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

    // For tests: makes the stage of the commit fail for the file at index
    // (in the order first asked for) when fault returns true.
    enum class Stage { Write, PutInPlace, Direct };
    using Fault = std::function<bool(Stage stage, int index)>;
    static void setFault(Fault fault);

    // The temporary files' and kept files' names carry these marks, so that
    // a later save knows what a killed one left.
    static constexpr const char *partMark = ".corvane-part-";
    static constexpr const char *keptMark = ".corvane-kept-";

private:
    struct Entry
    {
        QString path;
        QByteArray bytes;  // not yet in `part`
        QString part;      // the temporary file beside the target, once made
        bool keep = false; // written directly: never spilled
        QString error;
        // The last spill, written on another thread while the save goes on.
        QByteArray inFlight;
        std::future<int> writing; // 0, or the errno of the failed write
    };
    void finishSpill(Entry &entry);
    QString lockFolderOf(const QString &target);
    void removeParts();

    std::deque<Entry> m_files; // buffers stay where they are as files are added
    QHash<QString, size_t> m_index;
    QStringList m_protected;     // canonical paths
    QHash<QString, int> m_locks; // folder -> its locked descriptor
    QString m_lockError;
};

} // namespace corvane
