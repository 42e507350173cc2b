// SPDX-License-Identifier: Apache-2.0
#include "savetransaction.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>
#include <QThreadPool>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
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
int createPart(const QString &target, QString &part, QString &error)
{
    if (QFileInfo(target).isDir()) {
        error = failure(target, QStringLiteral("it is a folder"));
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
    error = failure(target, systemError());
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

void syncFolder(const QString &folder)
{
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// What a killed save left in a folder: its temporary files go; a file it
// had put aside and not yet given back returns to its place, unless a new
// one stands there (then the kept one goes).
void clearLeftovers(const QString &folder)
{
    DIR *dir = ::opendir(encoded(folder).constData());
    if (!dir) return;
    QStringList parts, kept;
    while (dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!name.startsWith(QLatin1Char('.'))) continue;
        if (name.contains(QLatin1String(SaveTransaction::partMark))) parts << name;
        if (name.contains(QLatin1String(SaveTransaction::keptMark))) kept << name;
    }
    ::closedir(dir);
    for (const QString &name : parts)
        ::unlink(encoded(folder + QLatin1Char('/') + name).constData());
    for (const QString &name : kept) {
        const QString from = folder + QLatin1Char('/') + name;
        const qsizetype mark = name.lastIndexOf(QLatin1String(SaveTransaction::keptMark));
        const QString target = folder + QLatin1Char('/') + name.mid(1, mark - 1);
        if (QFileInfo::exists(target))
            ::unlink(encoded(from).constData());
        else
            ::rename(encoded(from).constData(), encoded(target).constData());
    }
}

// One file of the save on its way to disk.
struct Pending
{
    QString target;
    const QByteArray *bytes = nullptr;
    bool direct = false;
    int index = 0;
    QString part;            // holds what was spilled, if anything
    QString kept;            // the file it replaced, put aside until the save is done
    bool keptByLink = false; // kept as a second name: the target still has it too
    bool placed = false;
    QString error;

    // Writes the rest of the bytes to the temporary file, syncs it and
    // closes it, with the replaced file's permissions.
    void prepare()
    {
        if (direct) return;
        int fd = -1;
        if (part.isEmpty()) {
            fd = createPart(target, part, error);
        } else {
            fd = ::open(encoded(part).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
            if (fd < 0) error = failure(target, systemError());
        }
        if (fd < 0) return;
        struct stat st;
        const mode_t mode = ::stat(encoded(target).constData(), &st) == 0 && S_ISREG(st.st_mode)
                                ? st.st_mode & 07777
                                : 0644;
        if (!writeAll(fd, *bytes) || faultAt(SaveTransaction::Stage::Write, index) ||
            ::fdatasync(fd) != 0 || ::fchmod(fd, mode) != 0)
            error = failure(target, systemError());
        if (::close(fd) != 0 && error.isEmpty()) error = failure(target, systemError());
    }

    // The new file takes the target's place; a file there is kept beside it
    // (a second name for it, or moved aside) until the save is done.
    QString putInPlace()
    {
        if (QFileInfo::exists(target)) {
            kept = besideName(target, SaveTransaction::keptMark);
            keptByLink = ::link(encoded(target).constData(), encoded(kept).constData()) == 0;
            if (!keptByLink &&
                ::rename(encoded(target).constData(), encoded(kept).constData()) != 0) {
                kept.clear();
                return failure(target, systemError());
            }
        }
        if (faultAt(SaveTransaction::Stage::PutInPlace, index) ||
            ::rename(encoded(part).constData(), encoded(target).constData()) != 0) {
            const QString error = failure(target, systemError());
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
        if (!kept.isEmpty()) {
            // A second name of a file still in place is only dropped (a
            // rename onto the same file would leave both names).
            if (keptByLink && !placed)
                ::unlink(encoded(kept).constData());
            else
                ::rename(encoded(kept).constData(), encoded(target).constData());
            kept.clear();
        } else if (placed) {
            ::unlink(encoded(target).constData());
        }
        placed = false;
    }

    // A device or FIFO: every write and the close are checked.
    QString writeDirectly()
    {
        const int fd = ::open(encoded(target).constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return failure(target, systemError());
        const bool written =
            writeAll(fd, *bytes) && !faultAt(SaveTransaction::Stage::Direct, index);
        const QString writeError = written ? QString() : systemError();
        if (::close(fd) != 0 && written) return failure(target, systemError());
        return written ? QString() : failure(target, writeError);
    }
};

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
        if ((errno != EWOULDBLOCK && errno != EINTR) || clock.elapsed() > 30000) {
            ::close(fd);
            return failure(target, QStringLiteral("another save into its folder is under way; "
                                                  "try again when it is done"));
        }
        QThread::msleep(20);
    }
    m_locks.insert(folder, fd);
    clearLeftovers(folder);
    return QString();
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
        const int fd = createPart(target, entry.part, entry.error);
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

QString SaveTransaction::commit(QStringList &written)
{
    std::vector<Pending> pending(m_files.size());
    for (size_t i = 0; i < m_files.size(); ++i) {
        finishSpill(m_files[i]);
        if (isProtected(m_files[i].path))
            return failure(m_files[i].path,
                           QStringLiteral("it is one of the files the table was read from"));
        if (!m_files[i].error.isEmpty()) return m_files[i].error;
        const QString link = linkProblem(m_files[i].path);
        if (!link.isEmpty()) return link;
        pending[i].target = landingPath(m_files[i].path);
        pending[i].bytes = &m_files[i].bytes;
        pending[i].part = m_files[i].part;
        pending[i].index = int(i);
        pending[i].direct = pending[i].part.isEmpty() && isSpecialFile(pending[i].target);
        if (m_lockError.isEmpty()) m_lockError = lockFolderOf(pending[i].target);
        if (!m_lockError.isEmpty()) return m_lockError;
    }
    // Every temporary file is written, synced and closed before any target
    // changes (a missing folder, a name too long, a full disk are all met
    // here); syncing is slow, so saves of many files share the wait.
    if (pending.size() < 4) {
        for (Pending &p : pending)
            p.prepare();
    } else {
        QThreadPool pool;
        pool.setMaxThreadCount(8);
        for (Pending &p : pending)
            pool.start([&p] { p.prepare(); });
        pool.waitForDone();
    }
    auto forgetParts = [&] {
        for (size_t i = 0; i < pending.size(); ++i)
            m_files[i].part = pending[i].part; // what is left is removed with the transaction
    };
    for (const Pending &p : pending)
        if (!p.error.isEmpty()) {
            forgetParts();
            return p.error;
        }
    // Then the new files take their places, the replaced ones kept aside;
    // a failure at any of them gives every earlier place back.
    auto undo = [&](size_t upTo) {
        for (size_t j = upTo; j-- > 0;)
            pending[j].giveBack();
        forgetParts();
    };
    for (size_t i = 0; i < pending.size(); ++i) {
        if (pending[i].direct) continue;
        const QString error = pending[i].putInPlace();
        if (!error.isEmpty()) {
            undo(i);
            return error;
        }
    }
    // Devices and FIFOs cannot be given back: they are written last.
    for (size_t i = 0; i < pending.size(); ++i) {
        if (!pending[i].direct) continue;
        const QString error = pending[i].writeDirectly();
        if (!error.isEmpty()) {
            undo(pending.size());
            return error;
        }
    }
    QSet<QString> folders;
    for (Pending &p : pending) {
        if (!p.kept.isEmpty()) ::unlink(encoded(p.kept).constData());
        folders.insert(QFileInfo(p.target).absolutePath());
    }
    for (const QString &folder : std::as_const(folders))
        syncFolder(folder);
    forgetParts();
    for (size_t i = 0; i < m_files.size(); ++i)
        written.append(m_files[i].path);
    return QString();
}

} // namespace corvane
