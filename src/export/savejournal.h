// SPDX-License-Identifier: Apache-2.0
// The record a save keeps in a folder while it puts its files in place:
// the targets it replaced (and the hidden names their old files wait
// under), the ones it added, and the files of an earlier set it removes.
// A save killed or stopped before its last file was in place leaves the
// record behind, and the next run that touches the folder puts every old
// file back from it; a save that got through leaves, at most, a record
// marked done, and then only its kept files go.
#pragma once

#include <QList>
#include <QString>

#include <cstddef>
#include <functional>

namespace corvane {

// Runs work(0) to work(count - 1) on a few threads, for the save and its
// journal: each call mostly waits for the file system, and several at once
// let it take them together.
void inParallel(size_t count, const std::function<void(size_t)> &work);

struct JournalEntry
{
    enum Kind : char { Replaced = 'R', Added = 'A', Removed = 'D' };
    Kind kind = Added;
    QString target; // a file name in the folder
    QString kept;   // Replaced and Removed: where the old file waits
};

class SaveJournal
{
public:
    explicit SaveJournal(const QString &folder = QString());

    void add(const JournalEntry &entry) { m_entries.append(entry); }
    const QList<JournalEntry> &entries() const { return m_entries; }

    // Puts the record in the folder before any target changes; an error
    // text. It is made durable with the save's files (one sync of their
    // file system), or by syncRecord where that cannot be had.
    QString begin();
    QString syncRecord();
    // Every new file is in place: from here on a kill keeps them. Syncs
    // the folder, which makes the save's new names durable.
    QString markDone();
    // The kept files go, then the record; nothing to sync, as the next run
    // finishes what a record marked done names.
    void finish();
    // The save gave every file back itself: the record goes.
    void drop();

    // What a killed or stopped save left in the folder, undone or finished,
    // and its temporary files removed; the folder must be locked. A text
    // for the user when files were put back.
    static QString recover(const QString &folder);

    static constexpr const char *recordName = ".corvane-journal";
    static constexpr const char *doneName = ".corvane-journal-done";

private:
    QString m_folder;
    QList<JournalEntry> m_entries;
    bool m_begun = false;
};

} // namespace corvane
