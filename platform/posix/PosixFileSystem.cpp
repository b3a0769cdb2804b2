// The plain file operations: the program's own files and the checks made
// before a sweep. The sweep's own operations are in PosixSweepTree.cpp.

#include "platform/posix/PosixFileSystem.h"

#include "platform/posix/Fd.h"
#include "platform/posix/PathBytes.h"
#include "platform/posix/PosixSweepTree.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/uio.h>
#include <unistd.h>

namespace Vacuola {

using Posix::Fd;
using Posix::lastError;
using Posix::pathBytes;

namespace {

constexpr long Iso9660Magic = 0x9660;
constexpr long UdfMagic = 0x15013346;

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

} // namespace

PosixFileSystem::PosixFileSystem(Resolver resolver) : m_resolver(resolver) {}

PosixFileSystem::~PosixFileSystem() = default;

bool PosixFileSystem::folderExists(const QString &path)
{
    QByteArray bytes;
    if (!pathBytes(path, bytes))
        return false;
    struct stat st;
    return ::stat(bytes.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileSystem::entryExists(const QString &path)
{
    QByteArray bytes;
    if (!pathBytes(path, bytes))
        return false;
    struct stat st;
    return ::lstat(bytes.constData(), &st) == 0;
}

bool PosixFileSystem::isMountRoot(const QString &path)
{
    QByteArray bytes;
    if (!pathBytes(path, bytes))
        return false;
    if (bytes == "/")
        return true;
    struct statx stx;
    if (::statx(AT_FDCWD, bytes.constData(), 0, STATX_INO, &stx) == 0 &&
        (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0)
        return (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    struct stat self;
    struct stat parent;
    if (::stat(bytes.constData(), &self) != 0 || ::stat((bytes + "/..").constData(), &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

bool PosixFileSystem::isOpticalDisc(const QString &path)
{
    QByteArray bytes;
    if (!pathBytes(path, bytes))
        return false;
    struct statfs fs;
    if (::statfs(bytes.constData(), &fs) != 0)
        return false;
    const long type = static_cast<long>(fs.f_type);
    return type == Iso9660Magic || type == UdfMagic;
}

std::unique_ptr<SweepTree> PosixFileSystem::openTree(const QString &root)
{
    return std::make_unique<Posix::PosixSweepTree>(root, m_resolver == Resolver::Walk);
}

int PosixFileSystem::listFiles(const QString &folder, const FileVisitor &visit)
{
    QByteArray bytes;
    if (!pathBytes(folder, bytes))
        return ENOENT;
    const int dirFd = ::open(bytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return lastError();
    DIR *dir = ::fdopendir(dirFd);
    if (dir == nullptr) {
        const int error = lastError();
        ::close(dirFd);
        return error;
    }
    int result = 0;
    FileInfo info;
    for (;;) {
        errno = 0;
        const struct dirent *d = ::readdir(dir);
        if (d == nullptr) {
            result = errno;
            break;
        }
        if (Posix::isDotOrDotDot(d->d_name))
            continue;
        struct stat st;
        if (::fstatat(dirFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone since the listing began
        const bool faithful = Posix::decodeName(d->d_name, std::strlen(d->d_name), info.name);
        info.kind = faithful ? Posix::kindOfMode(st.st_mode) : EntryKind::Other;
        info.readOnly = (st.st_mode & S_IWUSR) == 0;
        info.lastWrite = QDateTime::fromMSecsSinceEpoch(
            qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000, Qt::LocalTime);
        visit(info);
    }
    ::closedir(dir);
    return result;
}

int PosixFileSystem::deleteFile(const QString &path)
{
    QByteArray bytes;
    if (!pathBytes(path, bytes))
        return ENOENT;
    if (::unlink(bytes.constData()) != 0)
        return lastError();
    return 0;
}

int PosixFileSystem::appendToFile(const QString &path, const QList<QByteArrayView> &pieces)
{
    QByteArray name;
    if (!pathBytes(path, name))
        return ENOENT;
    Fd fd(::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid())
        return lastError();
    if (const int error = writePieces(fd.get(), pieces))
        return error;
    return fd.close();
}

int PosixFileSystem::readFile(const QString &path, QByteArray &bytes)
{
    bytes.clear();
    QByteArray name;
    if (!pathBytes(path, name))
        return ENOENT;
    Fd fd(::open(name.constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return lastError();
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return lastError();
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    QByteArray content;
    qsizetype size = 0;
    content.resize(st.st_size > 0 ? qsizetype(st.st_size) + 1 : 4096);
    for (;;) {
        if (size == content.size())
            content.resize(content.size() * 2);
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
    content.truncate(size);
    bytes = content;
    return 0;
}

int PosixFileSystem::replaceFile(const QString &path, const QByteArray &bytes)
{
    QByteArray target;
    if (!pathBytes(path, target))
        return ENOENT;
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder =
        slash < 0 ? QByteArray(".") : (slash == 0 ? QByteArray("/") : target.left(slash));
    const QByteArray base = target.mid(slash + 1);
    if (base.isEmpty())
        return EISDIR;

    // The temporary lives beside the file so that the rename stays on one file system.
    QByteArray temporary;
    Fd fd;
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        temporary = folder + '/' + '.' + base.left(NAME_MAX - 24) + ".tmp-" +
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
    return 0;
}

FileSystem &systemFileSystem()
{
    static PosixFileSystem fileSystem;
    return fileSystem;
}

} // namespace Vacuola
