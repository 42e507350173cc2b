// SPDX-License-Identifier: Apache-2.0
#include "savejournal.h"

#include "folderfiles.h"
#include "savetransaction.h"

#include <QStringList>
#include <QThreadPool>
#include <QUrl>

#include <dirent.h>

#include <cerrno>
#include <cstring>

namespace corvane {

namespace {

constexpr const char *firstLine = "corvane-journal 1";
constexpr const char *lastLine = "end";

QString inFolder(const QString &folder, const QString &name)
{
    return folder + QLatin1Char('/') + name;
}

// Names may hold spaces and any other character but "/": they are written
// percent-encoded, one entry a line.
QByteArray recordText(const QList<JournalEntry> &entries)
{
    QByteArray text = QByteArray(firstLine) + '\n';
    for (const JournalEntry &e : entries) {
        text += char(e.kind);
        text += ' ' + QUrl::toPercentEncoding(e.target);
        if (e.kind != JournalEntry::Added) text += ' ' + QUrl::toPercentEncoding(e.kept);
        text += '\n';
    }
    return text + lastLine + '\n';
}

bool plainName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
           name != QLatin1String("..");
}

// The entries of a record; false when it is not one written whole.
bool parseRecord(const QByteArray &text, QList<JournalEntry> &entries)
{
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 3 || lines.first() != firstLine || lines.at(lines.size() - 2) != lastLine ||
        !lines.last().isEmpty())
        return false;
    for (qsizetype i = 1; i < lines.size() - 2; ++i) {
        const QList<QByteArray> parts = lines.at(i).split(' ');
        if (parts.size() < 2 || parts.first().size() != 1) return false;
        JournalEntry e;
        e.kind = JournalEntry::Kind(parts.first().at(0));
        e.target = QUrl::fromPercentEncoding(parts.at(1));
        const bool keeps = e.kind == JournalEntry::Replaced || e.kind == JournalEntry::Removed;
        if (!keeps && e.kind != JournalEntry::Added) return false;
        if (parts.size() != (keeps ? 3 : 2)) return false;
        if (keeps) e.kept = QUrl::fromPercentEncoding(parts.at(2));
        if (!plainName(e.target) || (keeps && !plainName(e.kept))) return false;
        entries.append(e);
    }
    return true;
}

bool readRecord(const QString &path, QList<JournalEntry> &entries)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return parseRecord(file.read(4 << 20), entries) && file.atEnd();
}

// Writes a file whole under a hidden temporary name and renames it into
// place, so that a kill leaves either all of it or none. It is synced with
// the save's files, before any target changes.
QString writeWhole(const QString &path, const QByteArray &bytes)
{
    const QString part = path + QLatin1String(SaveTransaction::partMark) + QLatin1String("journal");
    const int fd =
        ::open(encoded(part).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
    bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    const int error = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(encoded(part).constData(), encoded(path).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(ok ? errno : error));
        ::unlink(encoded(part).constData());
        return reason;
    }
    return QString();
}

// The old file of an entry returns to its place; an added one goes.
void putBack(const QString &folder, const JournalEntry &e)
{
    const QString target = inFolder(folder, e.target);
    if (e.kind == JournalEntry::Added) {
        ::unlink(encoded(target).constData());
        return;
    }
    putKeptBack(inFolder(folder, e.kept), target); // nothing when never aside, or already back
}

// Removing a file can wait for the disk to free its blocks (a discard, on
// file systems mounted with them): a set's thousand files go several at once.
void removeKept(const QString &folder, const QList<JournalEntry> &entries)
{
    QList<QByteArray> kept;
    for (const JournalEntry &e : entries)
        if (e.kind != JournalEntry::Added) kept.append(encoded(inFolder(folder, e.kept)));
    inParallel(size_t(kept.size()), [&kept](size_t i) { ::unlink(kept.at(qsizetype(i))); });
}

QStringList hiddenNamesWith(const QString &folder, const char *mark)
{
    QStringList names;
    DIR *dir = ::opendir(encoded(folder).constData());
    if (!dir) return names;
    while (dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name.startsWith(QLatin1Char('.')) && name.contains(QLatin1String(mark))) names << name;
    }
    ::closedir(dir);
    return names;
}

// Kept files no record names (left by a save killed before saves kept
// records): one whose target is gone returns to its place. False when
// there were none.
bool putBackUnrecorded(const QString &folder)
{
    const QStringList names = hiddenNamesWith(folder, SaveTransaction::keptMark);
    for (const QString &name : names) {
        const QString from = inFolder(folder, name);
        const qsizetype mark = name.lastIndexOf(QLatin1String(SaveTransaction::keptMark));
        const QString target = inFolder(folder, name.mid(1, mark - 1));
        if (existsAsName(target))
            ::unlink(encoded(from).constData());
        else
            ::rename(encoded(from).constData(), encoded(target).constData());
    }
    return !names.isEmpty();
}

} // namespace

void inParallel(size_t count, const std::function<void(size_t)> &work)
{
    if (count < 4) {
        for (size_t i = 0; i < count; ++i)
            work(i);
        return;
    }
    QThreadPool pool;
    pool.setMaxThreadCount(8);
    for (size_t i = 0; i < count; ++i)
        pool.start([&work, i] { work(i); });
    pool.waitForDone();
}

SaveJournal::SaveJournal(const QString &folder) : m_folder(folder) {}

QString SaveJournal::begin()
{
    const QString error =
        writeWhole(inFolder(m_folder, QLatin1String(recordName)), recordText(m_entries));
    if (!error.isEmpty()) return error;
    m_begun = true;
    return QString();
}

QString SaveJournal::syncRecord()
{
    if (!m_begun) return QString();
    for (const QString &path : {inFolder(m_folder, QLatin1String(recordName)), m_folder}) {
        const int fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC);
        const bool synced = fd >= 0 && ::fsync(fd) == 0;
        const int error = errno;
        if (fd >= 0) ::close(fd);
        if (!synced) return QString::fromLocal8Bit(std::strerror(error));
    }
    return QString();
}

QString SaveJournal::markDone()
{
    if (!m_begun) return QString();
    if (::rename(encoded(inFolder(m_folder, QLatin1String(recordName))).constData(),
                 encoded(inFolder(m_folder, QLatin1String(doneName))).constData()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    syncFolder(m_folder);
    return QString();
}

void SaveJournal::finish()
{
    removeKept(m_folder, m_entries);
    if (m_begun) ::unlink(encoded(inFolder(m_folder, QLatin1String(doneName))).constData());
    m_begun = false;
}

void SaveJournal::drop()
{
    if (m_begun) ::unlink(encoded(inFolder(m_folder, QLatin1String(recordName))).constData());
    m_begun = false;
}

QString SaveJournal::recover(const QString &folder)
{
    QString message;
    bool changed = false;
    const QString record = inFolder(folder, QLatin1String(recordName));
    const QString done = inFolder(folder, QLatin1String(doneName));
    QList<JournalEntry> entries;
    if (existsAsName(record)) {
        if (!readRecord(record, entries))
            return QStringLiteral("The record of an unfinished save in \"%1\" cannot be read; its "
                                  "files were left as they are (%2).")
                .arg(folder, QLatin1String(recordName));
        for (qsizetype i = entries.size(); i-- > 0;)
            putBack(folder, entries.at(i));
        syncFolder(folder); // the files are back before the record goes
        ::unlink(encoded(record).constData());
        changed = true;
        message = QStringLiteral("A save into \"%1\" was stopped before it was done: its %2 "
                                 "files are back as they were before it.")
                      .arg(folder)
                      .arg(entries.size());
    } else if (existsAsName(done)) {
        if (readRecord(done, entries)) removeKept(folder, entries);
        ::unlink(encoded(done).constData());
        changed = true;
    }
    const QStringList parts = hiddenNamesWith(folder, SaveTransaction::partMark);
    for (const QString &name : parts)
        ::unlink(encoded(inFolder(folder, name)).constData());
    const bool putBack = putBackUnrecorded(folder);
    // A folder with nothing to recover (every save's case) is not synced.
    if (changed || putBack || !parts.isEmpty()) syncFolder(folder);
    return message;
}

} // namespace corvane
