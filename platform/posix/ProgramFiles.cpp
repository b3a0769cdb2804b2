// The program's own files: the settings file, the logs and their folders. None
// of them can make the program hang, run out of memory or write through a link:
// every open is non-blocking and only a regular file is read or written.

#include "platform/posix/Fd.h"
#include "platform/posix/PathBytes.h"
#include "platform/posix/PosixFileSystem.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <memory>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace Vacuola {

using Posix::Fd;
using Posix::lastError;
using Posix::pathBytes;

namespace {

// Larger than any settings file this program writes by far; a larger "file"
// (a link to a device, a disk image) would only exhaust the memory.
constexpr qsizetype MaxReadSize = 16 * 1024 * 1024;
// What a file read a piece at a time is read in.
constexpr qsizetype ReadPieceSize = 256 * 1024;
// A temporary of the settings file that is older than this was left by a save
// that never ended; a younger one may belong to a save still under way.
constexpr time_t StaleAfterSeconds = 60;

// What a file that is not a regular one reports: a folder EISDIR, anything
// else (fifo, device, socket, link) the refusal of a file the user may not open.
int notARegularFile(mode_t mode)
{
    return S_ISDIR(mode) ? EISDIR : EACCES;
}

int writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        data += written;
        size -= written;
    }
    return 0;
}

// Many pieces go out in few system calls, each as much as the system takes at once.
int writePieces(int fd, const QList<QByteArrayView> &pieces)
{
    std::vector<struct iovec> vector;
    qsizetype next = 0;
    while (next < pieces.size()) {
        vector.clear();
        for (; next < pieces.size() && vector.size() < IOV_MAX; ++next) {
            if (!pieces.at(next).isEmpty())
                vector.push_back(
                    iovec{const_cast<char *>(pieces.at(next).data()), size_t(pieces.at(next).size())});
        }
        size_t first = 0;
        while (first < vector.size()) {
            ssize_t written = ::writev(fd, vector.data() + first, int(vector.size() - first));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return lastError();
            }
            while (written > 0) {
                struct iovec &piece = vector[first];
                if (size_t(written) >= piece.iov_len) {
                    written -= ssize_t(piece.iov_len);
                    ++first;
                } else {
                    piece.iov_base = static_cast<char *>(piece.iov_base) + written;
                    piece.iov_len -= size_t(written);
                    written = 0;
                }
            }
        }
    }
    return 0;
}

void splitPath(const QByteArray &path, QByteArray &folder, QByteArray &base)
{
    const qsizetype slash = path.lastIndexOf('/');
    folder = slash < 0 ? QByteArray(".") : (slash == 0 ? QByteArray("/") : path.left(slash));
    base = path.mid(slash + 1);
}

QByteArray temporaryPrefix(const QByteArray &base)
{
    return '.' + base.left(NAME_MAX - 24) + ".tmp-";
}

// Removes what interrupted saves left beside the file: only names of its own
// pattern, only regular files (never a link or what one names), only old ones.
void removeStaleTemporaries(const QByteArray &folder, const QByteArray &base)
{
    Fd dirFd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dirFd.valid())
        return;
    DIR *dir = ::fdopendir(::dup(dirFd.get()));
    if (dir == nullptr)
        return;
    const QByteArray prefix = temporaryPrefix(base);
    const time_t now = ::time(nullptr);
    for (const struct dirent *d = ::readdir(dir); d != nullptr; d = ::readdir(dir)) {
        if (std::strncmp(d->d_name, prefix.constData(), size_t(prefix.size())) != 0)
            continue;
        struct stat st;
        if (::fstatat(dirFd.get(), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (now - st.st_mtim.tv_sec < StaleAfterSeconds)
            continue;
        ::unlinkat(dirFd.get(), d->d_name, 0);
    }
    ::closedir(dir);
}

// A link that another user could have planted is never followed: it must belong
// to the user (or root) and lie in a folder that only its owner (the user or
// root) may change, sticky or not.
bool trustedLink(const QByteArray &name, const struct stat &link)
{
    const uid_t user = ::geteuid();
    if (link.st_uid != user && link.st_uid != 0)
        return false;
    QByteArray folder;
    QByteArray base;
    splitPath(name, folder, base);
    struct stat holder;
    if (::stat(folder.constData(), &holder) != 0)
        return false;
    return (holder.st_uid == user || holder.st_uid == 0) && (holder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Opens a regular file to read it. Links are followed (a settings file kept
// elsewhere), but only the user's own and only to a regular file; nothing else
// is opened, and the open never waits on a fifo or a device.
int openRegularFile(const QString &path, Fd &fd, struct stat &st)
{
    QByteArray name;
    if (!pathBytes(path, name))
        return ENOENT;
    const bool throughLink = ::lstat(name.constData(), &st) == 0 && S_ISLNK(st.st_mode);
    if (throughLink && !trustedLink(name, st))
        return EACCES;
    if (::stat(name.constData(), &st) != 0) {
        const int error = lastError();
        struct stat link;
        return error == ENOENT && ::lstat(name.constData(), &link) == 0 ? EACCES : error; // dangling link
    }
    if (!S_ISREG(st.st_mode))
        return notARegularFile(st.st_mode);
    // What was no link when looked at is not followed if it became one since.
    fd.reset(::open(name.constData(),
                    O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (throughLink ? 0 : O_NOFOLLOW)));
    if (!fd.valid())
        return errno == ELOOP ? EACCES : lastError();
    if (::fstat(fd.get(), &st) != 0)
        return lastError();
    if (!S_ISREG(st.st_mode))
        return notARegularFile(st.st_mode);
    return 0;
}

// Reads a regular file; one larger than `limit` fails with EFBIG, or gives its
// last `limit` bytes when `fromEnd` (and sets `cut`).
int readRegularFile(const QString &path, qsizetype limit, bool fromEnd, QByteArray &bytes, bool &cut)
{
    limit = qBound<qsizetype>(0, limit, MaxReadSize);
    bytes.clear();
    cut = false;
    Fd fd;
    struct stat st;
    if (const int error = openRegularFile(path, fd, st))
        return error;
    if (st.st_size > limit && !fromEnd)
        return EFBIG;
    if (fromEnd && st.st_size > limit) {
        if (::lseek(fd.get(), st.st_size - limit, SEEK_SET) < 0)
            return lastError();
        cut = true;
    }

    // One byte more than allowed tells a file that grew past the limit.
    QByteArray content(qMin<qsizetype>(qsizetype(st.st_size), limit) + 1, Qt::Uninitialized);
    qsizetype size = 0;
    for (;;) {
        if (size == content.size()) {
            if (size > limit)
                break;
            content.resize(qMin(size * 2, limit + 1));
        }
        const ssize_t got = ::read(fd.get(), content.data() + size, size_t(content.size() - size));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        if (got == 0)
            break;
        size += got;
    }
    if (size > limit && !fromEnd)
        return EFBIG;
    // What was appended while reading is left for the next look.
    content.truncate(qMin(size, limit));
    bytes = content;
    return 0;
}

} // namespace

namespace {

// An append holding the file's lock; a failure cuts the file back to where it began.
class PosixFileAppend final : public FileAppend
{
    Q_DISABLE_COPY_MOVE(PosixFileAppend)

public:
    PosixFileAppend(Fd &&fd, off_t start) : m_fd(std::move(fd)), m_start(start) {}
    ~PosixFileAppend() override { cutBack(); }

    int write(const QList<QByteArrayView> &pieces) override
    {
        if (m_error == 0 && !m_fd.valid())
            m_error = EBADF;
        if (m_error == 0)
            m_error = writePieces(m_fd.get(), pieces);
        if (m_error != 0)
            cutBack();
        return m_error;
    }

    int finish() override
    {
        if (m_error == 0 && !m_fd.valid())
            m_error = EBADF;
        if (m_error != 0)
            return m_error;
        // A late write error (a full disk behind a cache, a quota on a network
        // file system) shows here, while the block can still be taken back.
        if (::fdatasync(m_fd.get()) != 0 && errno != EINVAL && errno != EROFS) {
            m_error = lastError();
            cutBack();
            return m_error;
        }
        return m_fd.close(); // lets go of the lock
    }

private:
    void cutBack()
    {
        if (m_fd.valid()) {
            while (::ftruncate(m_fd.get(), m_start) != 0 && errno == EINTR) {
            }
            m_fd.reset();
        }
    }

    Fd m_fd;
    off_t m_start;
    int m_error = 0;
};

} // namespace

int PosixFileSystem::openAppend(const QString &path, std::unique_ptr<FileAppend> &append)
{
    append.reset();
    QByteArray name;
    if (!pathBytes(path, name))
        return ENOENT;
    // A link is never followed, a fifo never waited for and a device never opened.
    struct stat st;
    if (::lstat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return notARegularFile(st.st_mode);
    Fd fd(::open(name.constData(),
                 O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0644));
    if (!fd.valid())
        return errno == ELOOP || errno == ENXIO ? EACCES : lastError();
    // Swapped since the look above.
    if (::fstat(fd.get(), &st) != 0)
        return lastError();
    if (!S_ISREG(st.st_mode))
        return notARegularFile(st.st_mode);
    // Another program appending to the same file finishes its block first.
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR)
            return lastError();
    }
    // The length once the lock is held: where this append begins.
    if (::fstat(fd.get(), &st) != 0)
        return lastError();
    append = std::make_unique<PosixFileAppend>(std::move(fd), st.st_size);
    return 0;
}

int PosixFileSystem::readFile(const QString &path, QByteArray &bytes)
{
    bool cut = false;
    return readRegularFile(path, MaxReadSize, false, bytes, cut);
}

int PosixFileSystem::readFilePieces(const QString &path, const PieceVisitor &visit)
{
    Fd fd;
    struct stat st;
    if (const int error = openRegularFile(path, fd, st))
        return error;
    QByteArray piece(ReadPieceSize, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(fd.get(), piece.data(), size_t(piece.size()));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        if (got == 0 || !visit(QByteArrayView(piece.constData(), got)))
            return 0;
    }
}

int PosixFileSystem::readFileEnd(const QString &path, qsizetype limit, QByteArray &bytes, bool &cut)
{
    return readRegularFile(path, limit, true, bytes, cut);
}

int PosixFileSystem::replaceFile(const QString &path, const QByteArray &bytes)
{
    QByteArray target;
    if (!pathBytes(path, target))
        return ENOENT;
    // A link to the file is kept: what it names is replaced, beside itself.
    struct stat st;
    if (::lstat(target.constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            if (!trustedLink(target, st))
                return EACCES;
            char *resolved = ::realpath(target.constData(), nullptr);
            if (resolved == nullptr)
                return errno == ENOENT ? EACCES : lastError(); // dangling link
            target = QByteArray(resolved);
            ::free(resolved);
            if (::lstat(target.constData(), &st) != 0)
                return lastError();
        }
        if (!S_ISREG(st.st_mode))
            return notARegularFile(st.st_mode);
    }
    QByteArray folder;
    QByteArray base;
    splitPath(target, folder, base);
    if (base.isEmpty())
        return EISDIR;

    // The temporary lives beside the file so that the rename stays on one file system.
    QByteArray temporary;
    Fd fd;
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        temporary = folder + '/' + temporaryPrefix(base) +
                    QByteArray::number(QRandomGenerator::global()->generate(), 16);
        fd.reset(::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (!fd.valid() && errno != EEXIST)
            return lastError();
    }
    if (!fd.valid())
        return EEXIST;

    int error = 0;
    struct stat old;
    if (::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd.get(), old.st_mode & 07777); // keep the mode the user gave the file
    error = writeAll(fd.get(), bytes.constData(), bytes.size());
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = lastError();
    const int closeError = fd.close();
    if (error == 0)
        error = closeError;
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = lastError();
    if (error != 0) {
        ::unlink(temporary.constData());
        return error;
    }
    Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get()); // the rename itself reaches the disk
    removeStaleTemporaries(folder, base);
    return 0;
}

int PosixFileSystem::makeFolders(const QString &path)
{
    QByteArray bytes;
    if (!pathBytes(path, bytes) || !bytes.startsWith('/'))
        return ENOENT;
    // Each component from the top: mkdir refuses what exists, which is then checked.
    for (qsizetype end = 1; end <= bytes.size(); ++end) {
        if (end < bytes.size() && bytes.at(end) != '/')
            continue;
        const QByteArray prefix = bytes.left(end);
        if (prefix.endsWith('/'))
            continue; // "/" itself, or a doubled slash
        if (::mkdir(prefix.constData(), 0700) == 0)
            continue;
        const int error = errno;
        struct stat st;
        if (error == EEXIST) {
            if (::stat(prefix.constData(), &st) == 0 && S_ISDIR(st.st_mode))
                continue;
            return ENOTDIR;
        }
        // A folder that exists where the user may not create one (a read-only parent).
        if (::stat(prefix.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        return error;
    }
    return 0;
}

} // namespace Vacuola
