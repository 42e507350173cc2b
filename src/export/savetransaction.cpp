#include "savetransaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThreadPool>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

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
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
    return !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

QString failure(const QString &path, const QString &reason)
{
    return QStringLiteral("Could not write \"%1\": %2").arg(QDir::toNativeSeparators(path), reason);
}

// A temporary file beside the target, or the error why there is none.
std::shared_ptr<QTemporaryFile> temporaryBeside(const QString &target, QString &error)
{
    QFileInfo info(target);
    if (info.isDir()) {
        error = failure(target, QStringLiteral("it is a folder"));
        return nullptr;
    }
    auto temporary = std::make_shared<QTemporaryFile>(info.absolutePath() + QStringLiteral("/.") +
                                                      info.fileName() + QStringLiteral(".XXXXXX"));
    if (!temporary->open()) {
        error = failure(target, temporary->errorString());
        return nullptr;
    }
    return temporary;
}

// The system's words for the last failed call ("No space left on device").
QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
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

// Writes a spilled piece and lets the system start putting it on disk, so
// that the sync at the end of the save has less left to wait for.
bool writePiece(QFile &file, const QByteArray &bytes)
{
    const off_t at = ::lseek(file.handle(), 0, SEEK_CUR);
    if (!writeAll(file.handle(), bytes)) return false;
#if defined(__linux__)
    ::sync_file_range(file.handle(), at, bytes.size(), SYNC_FILE_RANGE_WRITE); // a hint only
#else
    Q_UNUSED(at);
#endif
    return true;
}

// A target that is a symbolic link must lead to a file, or be a link to a
// file yet to be made: a loop, or a chain of links that ends nowhere, is an
// error rather than a link replaced by a regular file.
QString linkProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return QString();
    if (::stat(name.constData(), &st) == 0) return QString();
    if (errno == ELOOP) return failure(path, systemError());
    if (QFileInfo(QFileInfo(path).symLinkTarget()).isSymLink())
        return failure(path, QStringLiteral("it is a chain of symbolic links that leads to no "
                                            "file"));
    return QString();
}

// One file of the save on its way to disk.
struct Pending
{
    QString target;
    const QByteArray *bytes = nullptr;
    bool direct = false;
    std::shared_ptr<QTemporaryFile> temporary; // holds what was spilled, if anything
    QString error;

    void prepare()
    {
        if (direct) return;
        if (!temporary) temporary = temporaryBeside(target, error);
        if (!temporary) return;
        if (!writeAll(temporary->handle(), *bytes) || ::fdatasync(temporary->handle()) != 0) {
            error = failure(target, systemError());
            return;
        }
        // A replaced file keeps its permissions; a new one gets the usual ones.
        QFileInfo info(target);
        QFile::Permissions permissions = info.exists() ? info.permissions()
                                                       : QFile::ReadOwner | QFile::WriteOwner |
                                                             QFile::ReadGroup | QFile::ReadOther;
        temporary->setPermissions(permissions);
        temporary->close();
    }

    QString putInPlace()
    {
        if (direct) {
            // A device or FIFO: every write and the close are checked.
            const int fd = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CLOEXEC);
            if (fd < 0) return failure(target, systemError());
            const bool written = writeAll(fd, *bytes);
            const QString writeError = written ? QString() : systemError();
            if (::close(fd) != 0 && written) return failure(target, systemError());
            return written ? QString() : failure(target, writeError);
        }
        if (std::rename(QFile::encodeName(temporary->fileName()).constData(),
                        QFile::encodeName(target).constData()) != 0)
            return failure(target, QString::fromLocal8Bit(std::strerror(errno)));
        temporary->setAutoRemove(false);
        return QString();
    }
};

} // namespace

SaveTransaction::SaveTransaction(const QStringList &protectedPaths)
{
    for (const QString &path : protectedPaths) {
        QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty()) m_protected.append(canonical);
    }
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
    if (!entry.early) {
        const QString target = landingPath(path);
        entry.keep = isProtected(path) || isSpecialFile(target);
        if (entry.keep) return;
        entry.early = temporaryBeside(target, entry.error);
        if (!entry.early) return;
    }
    finishSpill(entry);
    if (!entry.error.isEmpty()) return;
    // Written on another thread while the caller makes the next bytes; the
    // buffers change places and keep their room.
    std::swap(entry.bytes, entry.inFlight);
    entry.bytes.resize(0);
    entry.writing =
        std::async(std::launch::async, [file = entry.early.get(), data = &entry.inFlight] {
            return writePiece(*file, *data) ? 0 : errno; // errno is this thread's
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
        pending[i].temporary = m_files[i].early;
        pending[i].direct = !pending[i].temporary && isSpecialFile(pending[i].target);
    }
    // Each temporary file is synced to disk, which is slow; saves of many
    // files share the wait on a few threads.
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
    for (const Pending &p : pending)
        if (!p.error.isEmpty()) return p.error; // the temporary files go with pending
    for (size_t i = 0; i < pending.size(); ++i) {
        QString error = pending[i].putInPlace();
        if (!error.isEmpty()) return error;
        written.append(m_files[i].path);
    }
    return QString();
}

} // namespace corvane
