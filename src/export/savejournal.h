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

namespace corvane {

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

    // Puts the record on disk before any target changes; an error text.
    QString begin();
    // Every new file is in place: from here on a kill keeps them.
    QString markDone();
    // The kept files go, then the record.
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
