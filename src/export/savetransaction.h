// SPDX-License-Identifier: Apache-2.0
// All-or-nothing saves: every file of a save is written in full to a
// temporary file beside its target first; only when all of them were
// written, and then made durable together (one sync of their file system,
// not one per file), are they put in place, and the files they replace are
// kept until every new one is in: a failure at any file, at any stage,
// leaves every target as it was. Temporary files are closed as soon as they
// are written, so a save of any number of files holds a few descriptors.
// An existing target that is not a regular file (a FIFO, a device) is
// written directly, after all the others are in place; a symbolic link is
// followed, so the file it points to is replaced and the link stays.
//
// While the new files take their places, a journal in the folder names
// every target and where its old file waits, so that a save killed at any
// moment is undone by the next run that touches the folder: every old file
// returns. A save that is stopped (a signal, Ctrl+C, Cancel) gives every
// file back itself.
//
// A per-track save records its set of files beside the target; the next
// set saved to that target removes the files of the old set it does not
// have (those, and no others), as part of the same all-or-nothing save.
//
// One save at a time writes into a folder: a save waits for another one
// writing into the same folder, and undoes what a killed save left there.
#pragma once

#include "savejournal.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <QHash>
#include <QList>

#include <atomic>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <vector>

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

    // The files of a per-track save, to replace the set saved before to
    // the same target.
    void replaceSet(const QString &targetPath, const QStringList &files);
    // Where a per-track set's list of files is kept.
    static QString setRecordPath(const QString &targetPath);

    // Set to stop the save: what was put in place is given back.
    void setCancel(const std::atomic<bool> *cancel) { m_cancel = cancel; }
    // Replace write-protected files of other users (the user said so).
    void setReplaceProtected(bool replace) { m_replaceProtected = replace; }
    // After a failed commit: the write-protected file that stopped it.
    const QString &writeProtected() const { return m_writeProtected; }
    // What earlier saves, killed or stopped, left in the folders and this
    // one put back: texts for the user.
    const QStringList &recovered() const { return m_recovered; }

    // The same for a run that only reads from the paths' folders; a folder
    // another save is writing into is left to it.
    static QStringList recoverFolders(const QStringList &paths);

    // The files as they would be written, in the order first asked for.
    QList<std::pair<QString, QByteArray>> contents() const;

    // Writes every file; on success lists them in the order they were first
    // asked for and returns an empty text, else the error naming the file.
    QString commit(QStringList &written);

    // For tests: makes the stage of the commit fail for the file at index
    // (in the order first asked for) when fault returns true. SyncAll is
    // the sync of a whole file system (index: which one, from 0); where it
    // fails, SyncFile, each temporary file's own sync, stands in for it.
    enum class Stage { Write, SyncAll, SyncFile, PutInPlace, Direct };
    using Fault = std::function<bool(Stage stage, int index)>;
    static void setFault(Fault fault);

    // The temporary files' and kept files' names carry these marks, so that
    // a later save knows what a killed one left.
    static constexpr const char *partMark = ".corvane-part-";
    static constexpr const char *keptMark = ".corvane-kept-";
    static constexpr const char *setMark = ".corvane-set";

private:
    struct Entry
    {
        QString path;
        QByteArray bytes;    // not yet in `part`
        QString part;        // the temporary file beside the target, once made
        bool keep = false;   // written directly: never spilled
        bool record = false; // the set's list: not one of the files written
        QString error;
        // The last spill, written on another thread while the save goes on.
        QByteArray inFlight;
        std::future<int> writing; // 0, or the errno of the failed write
    };
    struct Pending;
    struct Stale;
    void finishSpill(Entry &entry);
    QString lockFolderOf(const QString &target);
    void removeParts();
    bool stopped() const;
    QString stopError() const;
    QString pend(Entry &entry, int index, Pending &pending);
    QList<Stale> staleFiles() const;
    QString makeDurable(std::vector<Pending> &pending, QHash<QString, SaveJournal> &journals);
    QStringList syncFileSystems(const QStringList &folders);
    static QHash<QString, SaveJournal> beginJournals(std::vector<Pending> &pending,
                                                     const QList<Stale> &stale, QString &error);

    std::deque<Entry> m_files; // buffers stay where they are as files are added
    QHash<QString, size_t> m_index;
    QStringList m_protected;     // canonical paths
    QHash<QString, int> m_locks; // folder -> its locked descriptor
    QString m_lockError;
    const std::atomic<bool> *m_cancel = nullptr;
    bool m_replaceProtected = false;
    QString m_writeProtected;
    QStringList m_recovered;
    QString m_setPath;      // a per-track set's target
    QStringList m_setFiles; // and its files
};

} // namespace corvane
