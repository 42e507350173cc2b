// SPDX-License-Identifier: Apache-2.0
#include "savetransaction.h"

#include "exporter.h"
#include "folderfiles.h"
#include "formats/kit/stoprequest.h"
#include "savejournal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

std::mutex faultMutex;
SaveTransaction::Fault fault;

bool faultAt(SaveTransaction::Stage stage, int index)
{
    std::lock_guard<std::mutex> lock(faultMutex);
    if (fault && fault(stage, index)) {
        errno = EIO;
        return true;
    }
    return false;
}

// The system's words for the last failed call ("No space left on device").
QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString failure(const QString &path, const QString &reason)
{
    return QStringLiteral("Could not write \"%1\": %2").arg(QDir::toNativeSeparators(path), reason);
}

// The file a path lands on: a symbolic link's target, else the path itself.
QString landingPath(const QString &path)
{
    QFileInfo info(path);
    if (info.isSymLink()) {
        QString canonical = info.canonicalFilePath();
        return canonical.isEmpty() ? info.symLinkTarget() : canonical;
    }
    return info.absoluteFilePath();
}

// An existing target that a rename must not replace (a FIFO, a device).
bool isSpecialFile(const QString &path)
{
    struct stat st;
    if (::stat(encoded(path).constData(), &st) != 0) return false;
    return !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

// A target that is a symbolic link must lead to a file, or be a link to a
// file yet to be made: a loop, or a chain of links that ends nowhere, is an
// error rather than a link replaced by a regular file.
QString linkProblem(const QString &path)
{
    const QByteArray name = encoded(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return QString();
    if (::stat(name.constData(), &st) == 0) return QString();
    if (errno == ELOOP) return failure(path, systemError());
    if (QFileInfo(QFileInfo(path).symLinkTarget()).isSymLink())
        return failure(path, QStringLiteral("it is a chain of symbolic links that leads to no "
                                            "file"));
    return QString();
}

// Writes every byte straight to the descriptor, so that a failure (a full
// disk, a reader that went away) is seen at the write that met it and not
// lost in a buffer; false with errno set.
bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(std::min<qint64>(left, qint64(1) << 30)));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

// A name beside the target that no other file has: ".name<mark>XXXXXX".
QString besideName(const QString &target, const char *mark)
{
    const QFileInfo info(target);
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    for (int i = 0; i < 6; ++i)
        suffix += QLatin1Char(letters[QRandomGenerator::global()->bounded(36)]);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1String(mark) +
           suffix;
}

// Makes the temporary file beside a target; its descriptor, or -1 with the
// error (a folder that is missing or not writable, a name too long).
int createPart(const QString &target, const QString &shown, QString &part, QString &error)
{
    if (QFileInfo(target).isDir()) {
        error = failure(shown, QStringLiteral("it is a folder"));
        return -1;
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
        part = besideName(target, SaveTransaction::partMark);
        const int fd =
            ::open(encoded(part).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) return fd;
        if (errno != EEXIST) break;
    }
    // The temporary name is the target's with a few more characters: one
    // too long for the folder is the target's own problem.
    error = failure(shown, systemError());
    part.clear();
    return -1;
}

// Writes a spilled piece to the end of the temporary file, and lets the
// system start putting it on disk, so that the sync at the end of the save
// has less left to wait for. What was written well before this piece is
// waited for and dropped from the system's cache: a large save then reuses
// a few megabytes of cache instead of filling memory with a file nobody is
// reading, and its final sync is short. The file is closed again: a save of
// many large files holds no descriptor between pieces. 0, or the errno.
int appendPiece(const QString &part, const QByteArray &bytes)
{
    const int fd = ::open(encoded(part).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return errno;
    const off_t at = ::lseek(fd, 0, SEEK_END);
    int error = writeAll(fd, bytes) ? 0 : errno;
#if defined(__linux__)
    if (error == 0) {
        ::sync_file_range(fd, at, bytes.size(), SYNC_FILE_RANGE_WRITE); // a hint
        constexpr off_t behind = off_t(16) << 20;
        if (at > behind) {
            const unsigned wait =
                SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
            if (::sync_file_range(fd, 0, at - behind, wait) == 0)
                ::posix_fadvise(fd, 0, at - behind, POSIX_FADV_DONTNEED);
        }
    }
#else
    Q_UNUSED(at);
#endif
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

} // namespace

// One file of the save on its way to disk.
struct SaveTransaction::Pending
{
    QString target; // where it lands
    QString shown;  // the path as the caller gave it, for messages
    const QByteArray *bytes = nullptr;
    bool direct = false;
    int index = 0;
    QString part;            // holds what was spilled, if anything
    mode_t mode = 0644;      // the replaced file's permissions, given to the new one
    QString kept;            // the file it replaces, put aside until the save is done
    bool keptByLink = false; // kept as a second name: the target still has it too
    bool placed = false;
    QString error;

    // Writes the rest of the bytes to the temporary file and closes it,
    // with the replaced file's permissions. It is made durable later,
    // together with the save's other files.
    void prepare()
    {
        if (direct) return;
        int fd = -1;
        if (part.isEmpty()) {
            fd = createPart(target, shown, part, error);
        } else {
            fd = ::open(encoded(part).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
            if (fd < 0) error = failure(shown, systemError());
        }
        if (fd < 0) return;
        struct stat st;
        if (::stat(encoded(target).constData(), &st) == 0 && S_ISREG(st.st_mode))
            mode = st.st_mode & 07777;
        if (!writeAll(fd, *bytes) || faultAt(SaveTransaction::Stage::Write, index) ||
            ::fchmod(fd, mode) != 0)
            error = failure(shown, systemError());
        if (::close(fd) != 0 && error.isEmpty()) error = failure(shown, systemError());
    }

    // The temporary file's own sync, where its file system's cannot be had.
    // It has its target's permissions already: where those keep its owner
    // from reading it, they are lifted for the open.
    void syncOwn()
    {
        const QByteArray name = encoded(part);
        const bool unreadable = !(mode & S_IRUSR);
        if (unreadable && ::chmod(name.constData(), mode | S_IRUSR) != 0) {
            error = failure(shown, systemError());
            return;
        }
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = failure(shown, systemError());
            return;
        }
        if ((unreadable && ::fchmod(fd, mode) != 0) ||
            faultAt(SaveTransaction::Stage::SyncFile, index) || ::fdatasync(fd) != 0)
            error = failure(shown, systemError());
        if (::close(fd) != 0 && error.isEmpty()) error = failure(shown, systemError());
    }

    // The name the replaced file waits under, chosen before anything
    // changes so that the journal can name it.
    void chooseKept()
    {
        if (!direct && existsAsName(target)) kept = besideName(target, SaveTransaction::keptMark);
    }

    // The new file takes the target's place; a file there is kept beside it
    // (a second name for it, or moved aside) until the save is done.
    QString putInPlace()
    {
        if (!kept.isEmpty()) {
            keptByLink = ::link(encoded(target).constData(), encoded(kept).constData()) == 0;
            if (!keptByLink &&
                ::rename(encoded(target).constData(), encoded(kept).constData()) != 0) {
                kept.clear();
                return failure(shown, systemError());
            }
        }
        if (faultAt(SaveTransaction::Stage::PutInPlace, index) ||
            ::rename(encoded(part).constData(), encoded(target).constData()) != 0) {
            const QString error = failure(shown, systemError());
            giveBack();
            return error;
        }
        part.clear();
        placed = true;
        return QString();
    }

    // Undoes putInPlace: the kept file returns to its place.
    void giveBack()
    {
        if (!putKeptBack(kept, target) && placed) ::unlink(encoded(target).constData());
        kept.clear();
        placed = false;
    }

    // A device or FIFO: every write and the close are checked. A FIFO that
    // no program reads would block the open for ever: it is waited for a
    // little, then refused.
    QString writeDirectly()
    {
        int fd = -1;
        for (int waited = 0;; waited += 20) {
            fd = ::open(encoded(target).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0 || errno != ENXIO) break;
            if (waited >= 2000 || stopRequested())
                return failure(shown, QStringLiteral("no program is reading from it"));
            QThread::msleep(20);
        }
        if (fd < 0) return failure(shown, systemError());
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        const bool written =
            writeAll(fd, *bytes) && !faultAt(SaveTransaction::Stage::Direct, index);
        const QString writeError = written ? QString() : systemError();
        if (::close(fd) != 0 && written) return failure(shown, systemError());
        return written ? QString() : failure(shown, writeError);
    }
};

// A file of the set being replaced that the new set does not have: it goes
// aside as the new files come in, and is removed with the kept files.
struct SaveTransaction::Stale
{
    QString path;
    QString kept;
    bool removed = false;

    bool remove()
    {
        removed = ::rename(encoded(path).constData(), encoded(kept).constData()) == 0;
        return removed;
    }
    void giveBack()
    {
        if (removed) putKeptBack(kept, path);
        removed = false;
    }
};

namespace {

// Why a target may not be replaced: in a folder where only a file's owner
// may rename it (the sticky bit), another user's file; a write-protected
// file of another user, unless the caller said to.
QString replaceProblem(const QString &target, const QString &shown, bool replaceProtected,
                       bool &isProtected)
{
    struct stat st, folder;
    if (::stat(encoded(target).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return QString();
    const uid_t me = ::geteuid();
    if (me != 0 && st.st_uid != me &&
        ::stat(encoded(QFileInfo(target).absolutePath()).constData(), &folder) == 0 &&
        (folder.st_mode & S_ISVTX) && folder.st_uid != me)
        return failure(shown, QStringLiteral("it belongs to another user, in a folder where only "
                                             "a file's owner may replace it"));
    if (!replaceProtected && st.st_uid != me && (st.st_mode & 0222) == 0) {
        isProtected = true;
        return failure(shown, QStringLiteral("it is write-protected and belongs to another user"));
    }
    return QString();
}

} // namespace

void SaveTransaction::setFault(Fault f)
{
    std::lock_guard<std::mutex> lock(faultMutex);
    fault = std::move(f);
}

SaveTransaction::SaveTransaction(const QStringList &protectedPaths)
{
    for (const QString &path : protectedPaths) {
        QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty()) m_protected.append(canonical);
    }
}

SaveTransaction::~SaveTransaction()
{
    for (Entry &entry : m_files)
        if (entry.writing.valid()) entry.writing.wait();
    removeParts();
    for (int fd : std::as_const(m_locks))
        ::close(fd); // ends its lock
}

void SaveTransaction::removeParts()
{
    for (Entry &entry : m_files)
        if (!entry.part.isEmpty()) {
            ::unlink(encoded(entry.part).constData());
            entry.part.clear();
        }
}

QString SaveTransaction::lockFolderOf(const QString &target)
{
    const QString folder = QFileInfo(target).absolutePath();
    if (m_locks.contains(folder)) return QString();
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return QString(); // the folder's own problem is met when the file is written
    // Another save writing into this folder is waited for, a while.
    QElapsedTimer clock;
    clock.start();
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || clock.elapsed() > 30000 || stopped()) {
            ::close(fd);
            if (stopped()) return stopError();
            return failure(target, QStringLiteral("another save into its folder is under way; "
                                                  "try again when it is done"));
        }
        QThread::msleep(20);
    }
    m_locks.insert(folder, fd);
    const QString recovered = SaveJournal::recover(folder);
    if (!recovered.isEmpty()) m_recovered << recovered;
    return QString();
}

QStringList SaveTransaction::recoverFolders(const QStringList &paths)
{
    QStringList messages;
    QSet<QString> seen;
    for (const QString &path : paths) {
        const QString folder = QFileInfo(path).absolutePath();
        if (seen.contains(folder)) continue;
        seen.insert(folder);
        const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) continue;
        // A folder another save is writing into is that save's to finish.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const QString recovered = SaveJournal::recover(folder);
            if (!recovered.isEmpty()) messages << recovered;
        }
        ::close(fd);
    }
    return messages;
}

// A stop request from outside, or the caller's Cancel: each with its words.
QString SaveTransaction::stopError() const
{
    return QString::fromLatin1(stopRequested() ? stoppedMessage : saveCancelledMessage);
}

bool SaveTransaction::stopped() const
{
    return stopRequested() || (m_cancel && m_cancel->load(std::memory_order_relaxed));
}

void SaveTransaction::replaceSet(const QString &targetPath, const QStringList &files)
{
    m_setPath = targetPath;
    m_setFiles = files;
    const QString recordPath = setRecordPath(targetPath);
    QByteArray &record = file(recordPath);
    m_files[m_index.value(recordPath)].record = true;
    record = "corvane-set 1\n";
    for (const QString &path : files)
        record += QUrl::toPercentEncoding(QFileInfo(path).fileName()) + '\n';
}

QString SaveTransaction::setRecordPath(const QString &targetPath)
{
    const QFileInfo info(targetPath);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1String(setMark);
}

QByteArray &SaveTransaction::file(const QString &path)
{
    auto it = m_index.constFind(path);
    if (it != m_index.cend()) return m_files[it.value()].bytes;
    m_index.insert(path, m_files.size());
    m_files.emplace_back();
    m_files.back().path = path;
    return m_files.back().bytes;
}

void SaveTransaction::spill(const QString &path)
{
    auto it = m_index.constFind(path);
    if (it == m_index.cend()) return;
    Entry &entry = m_files[it.value()];
    if (entry.keep || !entry.error.isEmpty() || entry.bytes.isEmpty()) return;
    if (entry.part.isEmpty()) {
        const QString target = landingPath(path);
        entry.keep = isProtected(path) || isSpecialFile(target);
        if (entry.keep) return;
        if (m_lockError.isEmpty()) m_lockError = lockFolderOf(target);
        if (!m_lockError.isEmpty()) return;
        const int fd = createPart(target, entry.path, entry.part, entry.error);
        if (fd < 0) return;
        ::close(fd);
    }
    finishSpill(entry);
    if (!entry.error.isEmpty()) return;
    // Written on another thread while the caller makes the next bytes; the
    // buffers change places and keep their room.
    std::swap(entry.bytes, entry.inFlight);
    entry.bytes.resize(0);
    entry.writing = std::async(std::launch::async, [part = entry.part, data = &entry.inFlight] {
        return appendPiece(part, *data);
    });
}

void SaveTransaction::finishSpill(Entry &entry)
{
    if (!entry.writing.valid()) return;
    const int error = entry.writing.get();
    if (error != 0) entry.error = failure(entry.path, QString::fromLocal8Bit(std::strerror(error)));
}

bool SaveTransaction::contains(const QString &path) const
{
    return m_index.contains(path);
}

bool SaveTransaction::isProtected(const QString &path) const
{
    QString canonical = QFileInfo(path).canonicalFilePath();
    return !canonical.isEmpty() && m_protected.contains(canonical);
}

QList<std::pair<QString, QByteArray>> SaveTransaction::contents() const
{
    QList<std::pair<QString, QByteArray>> out;
    for (const Entry &e : m_files)
        out.append({e.path, e.bytes});
    return out;
}

QList<SaveTransaction::Stale> SaveTransaction::staleFiles() const
{
    QList<Stale> stale;
    if (m_setPath.isEmpty()) return stale;
    const QString record = landingPath(setRecordPath(m_setPath));
    QFile file(record);
    if (!file.open(QIODevice::ReadOnly)) return stale;
    const QList<QByteArray> lines = file.read(64 << 20).split('\n');
    if (lines.value(0) != "corvane-set 1") return stale;
    QSet<QString> kept;
    for (const QString &path : m_setFiles)
        kept.insert(landingPath(path));
    const QString folder = QFileInfo(record).absolutePath();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString name = QUrl::fromPercentEncoding(lines.at(i));
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        struct stat st;
        if (kept.contains(path) || ::lstat(encoded(path).constData(), &st) != 0 ||
            !S_ISREG(st.st_mode) || isProtected(path))
            continue;
        stale.append({path, besideName(path, keptMark)});
    }
    return stale;
}

QString SaveTransaction::commit(QStringList &written)
{
    std::vector<Pending> pending(m_files.size());
    for (size_t i = 0; i < m_files.size(); ++i) {
        const QString error = pend(m_files[i], int(i), pending[i]);
        if (!error.isEmpty()) return error;
    }
    // Every temporary file is written and closed before any target changes
    // (a missing folder, a name too long, a full disk are all met here).
    inParallel(pending.size(), [&pending](size_t i) { pending[i].prepare(); });
    auto forgetParts = [&] {
        for (size_t i = 0; i < pending.size(); ++i)
            m_files[i].part = pending[i].part; // what is left is removed with the transaction
    };
    QString error;
    for (const Pending &p : pending)
        if (error.isEmpty()) error = p.error;
    if (error.isEmpty() && stopped()) error = stopError();
    if (!error.isEmpty()) {
        forgetParts();
        return error;
    }
    QList<Stale> stale = staleFiles();
    QHash<QString, SaveJournal> journals = beginJournals(pending, stale, error);
    if (error.isEmpty()) error = makeDurable(pending, journals);
    if (!error.isEmpty()) {
        for (SaveJournal &journal : journals)
            journal.drop();
        forgetParts();
        return error;
    }
    // Then the new files take their places, the replaced ones kept aside;
    // a failure or a stop at any of them gives every earlier place back.
    auto undo = [&](size_t upTo, qsizetype staleUpTo) {
        for (qsizetype j = staleUpTo; j-- > 0;)
            stale[j].giveBack();
        for (size_t j = upTo; j-- > 0;)
            pending[j].giveBack();
        for (SaveJournal &journal : journals)
            journal.drop();
        forgetParts();
    };
    for (size_t i = 0; i < pending.size() && error.isEmpty(); ++i) {
        if (pending[i].direct) continue;
        if (stopped()) error = stopError();
        if (error.isEmpty()) error = pending[i].putInPlace();
        if (!error.isEmpty()) undo(i, 0);
    }
    for (qsizetype i = 0; i < stale.size() && error.isEmpty(); ++i)
        if (!stale[i].remove()) {
            error = failure(stale[i].path, systemError());
            undo(pending.size(), i);
        }
    // Devices and FIFOs cannot be given back: they are written last.
    for (size_t i = 0; i < pending.size() && error.isEmpty(); ++i) {
        if (!pending[i].direct) continue;
        error = pending[i].writeDirectly();
        if (!error.isEmpty()) undo(pending.size(), stale.size());
    }
    // The save is done once every folder's journal says so; that also makes
    // the folder's new names durable, one sync of each folder.
    for (auto it = journals.begin(); it != journals.end() && error.isEmpty(); ++it) {
        const QString reason = it.value().markDone();
        if (!reason.isEmpty()) {
            error = failure(it.key() + QLatin1Char('/') + QLatin1String(SaveJournal::recordName),
                            reason);
            undo(pending.size(), stale.size());
        }
    }
    if (!error.isEmpty()) return error;
    // What is left (the replaced files) goes without a sync: a record
    // marked done tells the next run to finish it.
    for (SaveJournal &journal : journals)
        journal.finish();
    forgetParts();
    for (const Entry &entry : m_files)
        if (!entry.record) written.append(entry.path);
    return QString();
}

// The checks on one file before anything is written, and its place in the
// save's list.
QString SaveTransaction::pend(Entry &entry, int index, Pending &p)
{
    finishSpill(entry);
    if (isProtected(entry.path))
        return failure(entry.path,
                       QStringLiteral("it is one of the files the table was read from"));
    if (!entry.error.isEmpty()) return entry.error;
    const QString link = linkProblem(entry.path);
    if (!link.isEmpty()) return link;
    p.target = landingPath(entry.path);
    p.shown = entry.path;
    p.bytes = &entry.bytes;
    p.part = entry.part;
    p.index = index;
    p.direct = p.part.isEmpty() && isSpecialFile(p.target);
    if (m_lockError.isEmpty()) m_lockError = lockFolderOf(p.target);
    if (!m_lockError.isEmpty()) return m_lockError;
    bool writeProtected = false;
    const QString problem =
        replaceProblem(p.target, entry.path, m_replaceProtected, writeProtected);
    if (writeProtected) m_writeProtected = entry.path;
    return problem;
}

// The temporary files and the journals' records are made durable before
// any target changes: a save of many files with one sync of each file
// system they are on, not one per file (it would spend most of its time
// waiting for each); a save of a few files, or where that cannot be had,
// with each file's own sync after all were written, and each folder's.
QString SaveTransaction::makeDurable(std::vector<Pending> &pending,
                                     QHash<QString, SaveJournal> &journals)
{
    // A file system's sync waits for every program's unwritten data on it:
    // a save of a few files syncs its own, whatever else the disk is doing.
    constexpr size_t fewFiles = 16;
    const size_t written = size_t(
        std::count_if(pending.begin(), pending.end(), [](const Pending &p) { return !p.direct; }));
    const QStringList unsynced =
        written <= fewFiles ? journals.keys() : syncFileSystems(journals.keys());
    if (unsynced.isEmpty()) return QString();
    std::vector<Pending *> own;
    for (Pending &p : pending)
        if (!p.direct && unsynced.contains(QFileInfo(p.target).absolutePath())) own.push_back(&p);
    inParallel(own.size(), [&own](size_t i) { own[i]->syncOwn(); });
    for (const Pending *p : own)
        if (!p->error.isEmpty()) return p->error;
    for (const QString &folder : unsynced) {
        const QString reason = journals[folder].syncRecord();
        if (!reason.isEmpty())
            return failure(folder + QLatin1Char('/') + QLatin1String(SaveJournal::recordName),
                           reason);
    }
    return QString();
}

// Syncs the file system of each folder once (Linux); the folders whose
// file system could not be synced so. The folders' locks were taken before
// any file was written, so a failed write-back since then is reported here.
QStringList SaveTransaction::syncFileSystems(const QStringList &folders)
{
#if defined(__linux__)
    std::map<dev_t, QStringList> byDevice;
    QStringList unsynced;
    for (const QString &folder : folders) {
        struct stat st;
        const int fd = m_locks.value(folder, -1);
        if (fd >= 0 && ::fstat(fd, &st) == 0)
            byDevice[st.st_dev] << folder;
        else
            unsynced << folder;
    }
    int index = 0;
    for (const auto &device : byDevice) {
        const QStringList &onIt = device.second;
        if (faultAt(Stage::SyncAll, index++) || ::syncfs(m_locks.value(onIt.first())) != 0)
            unsynced << onIt;
    }
    return unsynced;
#else
    return folders;
#endif
}

// The journal of each folder, on disk before any of its targets changes.
QHash<QString, SaveJournal> SaveTransaction::beginJournals(std::vector<Pending> &pending,
                                                           const QList<Stale> &stale,
                                                           QString &error)
{
    QHash<QString, SaveJournal> journals;
    auto journalOf = [&](const QString &path) -> SaveJournal & {
        const QString folder = QFileInfo(path).absolutePath();
        auto it = journals.find(folder);
        if (it == journals.end()) it = journals.insert(folder, SaveJournal(folder));
        return it.value();
    };
    for (Pending &p : pending) {
        if (p.direct) continue;
        p.chooseKept();
        const QString name = QFileInfo(p.target).fileName();
        if (p.kept.isEmpty())
            journalOf(p.target).add({JournalEntry::Added, name, QString()});
        else
            journalOf(p.target).add({JournalEntry::Replaced, name, QFileInfo(p.kept).fileName()});
    }
    for (const Stale &s : stale)
        journalOf(s.path).add(
            {JournalEntry::Removed, QFileInfo(s.path).fileName(), QFileInfo(s.kept).fileName()});
    for (auto it = journals.begin(); it != journals.end() && error.isEmpty(); ++it) {
        const QString reason = it.value().begin();
        if (!reason.isEmpty())
            error = failure(it.key() + QLatin1Char('/') + QLatin1String(SaveJournal::recordName),
                            reason);
    }
    if (!error.isEmpty())
        for (SaveJournal &journal : journals)
            journal.drop();
    return journals;
}

} // namespace corvane
