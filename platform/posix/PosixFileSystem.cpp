// The plain file operations: the checks made before a sweep and the listing of
// the log folder. The sweep's own operations are in PosixSweepTree.cpp, the
// program's own files in ProgramFiles.cpp.

#include "platform/posix/PosixFileSystem.h"

#include "platform/posix/Fd.h"
#include "platform/posix/PathBytes.h"
#include "platform/posix/PosixSweepTree.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace Vacuola {

using Posix::Fd;
using Posix::lastError;
using Posix::pathBytes;

namespace {

constexpr long Iso9660Magic = 0x9660;
constexpr long UdfMagic = 0x15013346;

// File systems that look names up without regard to letter case.
bool ignoresCase(long type)
{
    switch (type) {
    case 0x4d44:     // vfat, msdos
    case 0x2011BAB0: // exfat
    case 0x5346544e: // ntfs
    case 0x7366746e: // ntfs3
    case 0x482b:     // hfsplus
    case 0xFF534D42: // cifs
    case 0xFE534D42: // smb2
        return true;
    default:
        return false;
    }
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

FolderIdentity PosixFileSystem::folderIdentity(const QString &path)
{
    FolderIdentity identity;
    QByteArray bytes;
    if (!pathBytes(path, bytes))
        return identity;
    struct stat st;
    if (::stat(bytes.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return identity;
    identity.exists = true;
    identity.device = static_cast<quint64>(st.st_dev);
    identity.inode = static_cast<quint64>(st.st_ino);
    struct statfs fs;
    if (::statfs(bytes.constData(), &fs) == 0)
        identity.ignoresCase = ignoresCase(static_cast<long>(fs.f_type));
    return identity;
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

FileSystem &systemFileSystem()
{
    static PosixFileSystem fileSystem;
    return fileSystem;
}

} // namespace Vacuola
