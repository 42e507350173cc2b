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

bool writeText(QIODevice &device, const QByteArray &bytes)
{
#ifdef Q_OS_WIN
    QByteArray data = bytes;
    data.replace("\n", "\r\n"); // text mode
#else
    const QByteArray &data = bytes;
#endif
    return device.write(data) == data.size();
}

// Writes a spilled piece and lets the system start putting it on disk, so
// that the sync at the end of the save has less left to wait for.
bool writePiece(QFile &file, const QByteArray &bytes)
{
    const qint64 at = file.pos();
    if (!writeText(file, bytes) || !file.flush()) return false;
#if defined(__linux__)
    ::sync_file_range(file.handle(), at, file.pos() - at, SYNC_FILE_RANGE_WRITE); // a hint only
#else
    Q_UNUSED(at);
#endif
    return true;
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
        if (!writeText(*temporary, *bytes) || !temporary->flush() ||
            ::fdatasync(temporary->handle()) != 0) {
            error = failure(target, temporary->errorString());
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
            QFile file(target);
            if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size())
                return failure(target, file.errorString());
            return QString();
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
            return writePiece(*file, *data);
        });
}

void SaveTransaction::finishSpill(Entry &entry)
{
    if (!entry.writing.valid()) return;
    if (!entry.writing.get()) entry.error = failure(entry.path, entry.early->errorString());
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
