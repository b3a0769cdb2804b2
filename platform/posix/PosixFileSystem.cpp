#include "platform/posix/PosixFileSystem.h"

#include "platform/Cp932.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <vector>

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <linux/openat2.h>
#include <locale.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace Vacuola {

namespace {

constexpr long Iso9660Magic = 0x9660;
constexpr long UdfMagic = 0x15013346;

// A file descriptor closed when it goes out of scope.
class Fd final
{
    Q_DISABLE_COPY(Fd)

public:
    Fd() = default;
    explicit Fd(int fd);
    Fd &operator=(Fd &&other) noexcept;
    ~Fd();

    int get() const;
    bool valid() const;
    void reset(int fd = -1);
    /** Closes the descriptor now and reports the failure of close, which can be a late write error. */
    int close();

private:
    int m_fd = -1;
};

Fd::Fd(int fd) : m_fd(fd) {}

Fd &Fd::operator=(Fd &&other) noexcept
{
    if (this != &other) {
        reset(other.m_fd);
        other.m_fd = -1;
    }
    return *this;
}

Fd::~Fd()
{
    reset();
}

int Fd::get() const
{
    return m_fd;
}

bool Fd::valid() const
{
    return m_fd >= 0;
}

void Fd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int Fd::close()
{
    const int fd = m_fd;
    m_fd = -1;
    if (fd >= 0 && ::close(fd) != 0)
        return errno != 0 ? errno : EIO;
    return 0;
}

int lastError()
{
    return errno != 0 ? errno : EIO;
}

bool isAscii(const char *name, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(name[i]) >= 0x80)
            return false;
    }
    return true;
}

// Decodes a name from the directory. Returns false when the name would not
// survive the way back to bytes: such an entry can never be addressed safely.
bool decodeName(const char *raw, size_t length, QString &name)
{
    if (isAscii(raw, length)) {
        // Refills the caller's string in place: a listing reuses one buffer for
        // all its names unless a visitor kept one.
        name.resize(static_cast<qsizetype>(length));
        QChar *out = name.data();
        for (size_t i = 0; i < length; ++i)
            out[i] = QLatin1Char(raw[i]);
        return true;
    }
    const QByteArray bytes = QByteArray::fromRawData(raw, static_cast<qsizetype>(length));
    name = QFile::decodeName(bytes);
    return QFile::encodeName(name) == bytes;
}

// The bytes of a path handed in by the program. Text that cannot become the
// same bytes again (lone surrogates) has no faithful form on disk.
bool encodePath(QStringView path, QByteArray &bytes)
{
    // Most paths are plain ASCII, whose bytes need no check; this runs several
    // times for every folder of a sweep, so the bytes go into the caller's buffer.
    const bool ascii = std::all_of(path.begin(), path.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        bytes.resize(path.size());
        char *out = bytes.data();
        for (const QChar c : path)
            *out++ = char(c.unicode());
        return true;
    }
    bytes = path.toUtf8();
    return QString::fromUtf8(bytes) == path;
}

EntryKind kindOfMode(mode_t mode)
{
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    if (S_ISREG(mode))
        return EntryKind::File;
    return EntryKind::Other;
}

// Where a descriptor lies: its mount, and whether it is itself the root of a
// mount. A bind mount of a folder of the same file system keeps the device
// number, so the device alone cannot tell that a walk left the swept mount.
struct MountKey
{
    quint64 id = 0;
    bool hasId = false;
    dev_t device = 0;
    bool mountRoot = false;
};

int mountKey(int fd, MountKey &key)
{
    struct statx stx;
    std::memset(&stx, 0, sizeof stx);
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_MNT_ID, &stx) == 0) {
        key.device = makedev(stx.stx_dev_major, stx.stx_dev_minor);
        key.hasId = (stx.stx_mask & STATX_MNT_ID) != 0;
        key.id = stx.stx_mnt_id;
        key.mountRoot =
            (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    } else {
        struct stat st;
        if (::fstat(fd, &st) != 0)
            return lastError();
        key.device = st.st_dev;
    }
    if (!key.hasId) {
        // Kernels before statx knew mount ids still give them with a file handle.
        alignas(struct file_handle) char buffer[sizeof(struct file_handle) + MAX_HANDLE_SZ];
        auto *handle = reinterpret_cast<struct file_handle *>(buffer);
        handle->handle_bytes = MAX_HANDLE_SZ;
        int mountId = 0;
        if (::name_to_handle_at(fd, "", handle, &mountId, AT_EMPTY_PATH) == 0) {
            key.id = quint64(mountId);
            key.hasId = true;
        }
    }
    return 0;
}

bool sameMount(const MountKey &a, const MountKey &b)
{
    if (a.hasId && b.hasId)
        return a.id == b.id;
    return a.device == b.device;
}

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// ---------------------------------------------------------------------------

class PosixSweepTree final : public SweepTree
{
    Q_DISABLE_COPY_MOVE(PosixSweepTree)

public:
    PosixSweepTree(const QString &root, bool walk);
    ~PosixSweepTree() override;

    int listFolder(const QString &path, const FolderVisitor &visit, FolderStatus *status) override;
    int folderReadOnly(const QString &path, bool &readOnly) override;
    int clearReadOnly(const QString &path) override;
    int deleteFile(const QString &folder, const QString &name) override;
    int removeFolder(const QString &path) override;

private:
    int relativePath(const QString &path, QByteArray &relative) const;
    int openFolder(const char *relative, Fd &fd, int extraFlags = 0);
    int openByWalk(const char *relative, Fd &fd, int extraFlags);
    /** Opens the parent of a relative path; `relative` is cut at its last slash and `name` points into it. */
    int openParent(QByteArray &relative, Fd &parent, const char *&name);
    int removeRoot();

    QString m_root;
    QByteArray m_rootBytes;
    Fd m_rootFd;
    int m_rootError = 0;
    dev_t m_rootDev = 0;
    ino_t m_rootIno = 0;
    MountKey m_rootMount;
    bool m_walk;
    std::vector<char> m_buffer;
    // Scratch for the path below the root, reused to spare an allocation per
    // call; every call is done with it before it hands control to a visitor.
    QByteArray m_relative;
    bool m_noAtime = true;
};

PosixSweepTree::PosixSweepTree(const QString &root, bool walk) : m_root(root), m_walk(walk)
{
    // The root itself is the user's choice, so its own path may pass through
    // links; everything below it is resolved relative to this descriptor.
    if (!root.startsWith(QLatin1Char('/')) || !encodePath(root, m_rootBytes)) {
        m_rootError = ENOENT;
        return;
    }
    if (m_rootBytes.size() >= PATH_MAX) {
        m_rootError = ENAMETOOLONG;
        return;
    }
    // A descriptor that only locates the folder: one the user may not read can
    // still have its mode read and changed and be removed; only its listing fails.
    m_rootFd.reset(::open(m_rootBytes.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!m_rootFd.valid()) {
        m_rootError = lastError();
        return;
    }
    struct stat st;
    if (::fstat(m_rootFd.get(), &st) != 0 || mountKey(m_rootFd.get(), m_rootMount) != 0) {
        m_rootError = lastError();
        m_rootFd.reset();
        return;
    }
    m_rootDev = st.st_dev;
    m_rootIno = st.st_ino;
}

PosixSweepTree::~PosixSweepTree() = default;

/**
 * The part of `path` below the root, empty for the root itself. Fails with
 * EXDEV for a path that is not the root or below it, and for "." or ".."
 * components or empty ones, which could lead elsewhere.
 */
int PosixSweepTree::relativePath(const QString &path, QByteArray &relative) const
{
    if (m_rootError != 0)
        return m_rootError;
    if (path == m_root) {
        relative.clear();
        return 0;
    }
    const bool rootIsSlash = m_root == QLatin1String("/");
    const qsizetype prefix = rootIsSlash ? 1 : m_root.size() + 1;
    if (path.size() <= prefix || !path.startsWith(m_root) ||
        (!rootIsSlash && path.at(m_root.size()) != QLatin1Char('/')))
        return EXDEV;
    if (!encodePath(QStringView(path).mid(prefix), relative))
        return ENOENT;
    if (m_rootBytes.size() + 1 + relative.size() >= PATH_MAX)
        return ENAMETOOLONG;
    const char *component = relative.constData();
    const char *const end = component + relative.size();
    // The system reads the path up to its first NUL, which would name another folder.
    if (std::memchr(component, '\0', size_t(relative.size())))
        return EINVAL;
    for (;;) {
        const auto *slash = static_cast<const char *>(std::memchr(component, '/', size_t(end - component)));
        const char *const stop = slash ? slash : end;
        const qsizetype length = stop - component;
        if (length == 0 || (length == 1 && component[0] == '.') ||
            (length == 2 && component[0] == '.' && component[1] == '.'))
            return EXDEV;
        if (!slash)
            return 0;
        component = slash + 1;
    }
}

/**
 * Opens a folder at or below the root without following any symbolic link and
 * without leaving the root's file system. A folder swapped for a link fails
 * (ELOOP or ENOTDIR), never redirects.
 */
int PosixSweepTree::openFolder(const char *relative, Fd &fd, int extraFlags)
{
    const int flags = O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | extraFlags;
    if (relative[0] == '\0') {
        fd.reset(::openat(m_rootFd.get(), ".", flags));
        return fd.valid() ? 0 : lastError();
    }
    if (!m_walk) {
        struct open_how how;
        std::memset(&how, 0, sizeof how);
        how.flags = static_cast<quint64>(flags);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
        const long result = ::syscall(SYS_openat2, m_rootFd.get(), relative, &how, sizeof how);
        if (result >= 0) {
            fd.reset(static_cast<int>(result));
            return 0;
        }
        if (errno == ENOSYS) {
            m_walk = true;
        } else if (errno != EPERM) {
            return lastError();
        }
        // EPERM: a system call filter may refuse openat2 itself; opening a
        // folder never gives EPERM otherwise, so the walk has the last word.
    }
    return openByWalk(relative, fd, extraFlags);
}

int PosixSweepTree::openByWalk(const char *relative, Fd &fd, int extraFlags)
{
    char component[NAME_MAX + 1];
    Fd current(::openat(m_rootFd.get(), ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!current.valid())
        return lastError();
    const qsizetype size = qsizetype(std::strlen(relative));
    qsizetype start = 0;
    while (start < size) {
        const char *slash = std::strchr(relative + start, '/');
        const qsizetype end = slash ? slash - relative : size;
        const qsizetype length = end - start;
        if (length > NAME_MAX)
            return ENAMETOOLONG;
        std::memcpy(component, relative + start, static_cast<size_t>(length));
        component[length] = '\0';
        const bool last = end == size;
        const int flags = O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | (last ? extraFlags : O_PATH);
        Fd next(::openat(current.get(), component, flags));
        if (!next.valid())
            return lastError();
        MountKey mount;
        if (mountKey(next.get(), mount) != 0)
            return lastError();
        if (mount.mountRoot || !sameMount(mount, m_rootMount))
            return EXDEV;
        current = std::move(next);
        start = end + 1;
    }
    fd = std::move(current);
    return 0;
}

int PosixSweepTree::openParent(QByteArray &relative, Fd &parent, const char *&name)
{
    char *const data = relative.data();
    char *const slash = std::strrchr(data, '/');
    if (!slash) {
        name = data;
        return openFolder("", parent, O_PATH);
    }
    *slash = '\0';
    name = slash + 1;
    return openFolder(data, parent, O_PATH);
}

int PosixSweepTree::listFolder(const QString &path, const FolderVisitor &visit, FolderStatus *status)
{
    QByteArray &relative = m_relative;
    if (const int error = relativePath(path, relative))
        return error;
    Fd fd;
    // Listing a folder need not mark it read: without O_NOATIME every listing
    // writes its folder's access time. Only the owner (or root) may ask for it.
    int error = m_noAtime ? openFolder(relative.constData(), fd, O_RDONLY | O_NOATIME) : EPERM;
    if (error == EPERM) {
        if (m_noAtime)
            m_noAtime = false;
        error = openFolder(relative.constData(), fd, O_RDONLY);
    }
    if (error)
        return error;
    if (status) {
        struct stat st;
        if (::fstat(fd.get(), &st) == 0) {
            status->error = 0;
            status->readOnly = (st.st_mode & S_IWUSR) == 0;
        } else {
            status->error = lastError();
            status->readOnly = true;
        }
    }
    // A visitor may list again (nested handlers): the buffer is taken for this
    // call so that a nested one gets its own.
    std::vector<char> buffer;
    buffer.swap(m_buffer);
    if (buffer.empty())
        buffer.resize(64 * 1024);
    int result = 0;
    FolderEntry entry;
    bool stop = false;
    while (!stop) {
        const ssize_t read = ::getdents64(fd.get(), buffer.data(), buffer.size());
        if (read < 0) {
            if (errno == EINTR)
                continue;
            result = lastError();
            break;
        }
        if (read == 0)
            break;
        ssize_t offset = 0;
        while (offset < read) {
            const auto *d = reinterpret_cast<const struct dirent64 *>(buffer.data() + offset);
            offset += d->d_reclen;
            const char *rawName = d->d_name;
            if (isDotOrDotDot(rawName))
                continue;
            const size_t length = std::strlen(rawName);
            unsigned char type = d->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st;
                if (::fstatat(fd.get(), rawName, &st, AT_SYMLINK_NOFOLLOW) == 0)
                    type = S_ISDIR(st.st_mode) ? DT_DIR : (S_ISREG(st.st_mode) ? DT_REG : DT_LNK);
            }
            if (decodeName(rawName, length, entry.name))
                entry.kind = type == DT_DIR ? EntryKind::Folder
                                            : (type == DT_REG ? EntryKind::File : EntryKind::Other);
            else
                entry.kind = EntryKind::Other;
            if (!visit(entry)) {
                stop = true;
                break;
            }
        }
    }
    m_buffer.swap(buffer);
    return result;
}

int PosixSweepTree::folderReadOnly(const QString &path, bool &readOnly)
{
    // A folder whose mode cannot be read counts as read-only, as the caller
    // then asks before it tries to clear the bit.
    readOnly = true;
    QByteArray &relative = m_relative;
    if (const int error = relativePath(path, relative))
        return error;
    struct stat st;
    if (relative.isEmpty()) {
        if (::fstat(m_rootFd.get(), &st) != 0)
            return lastError();
    } else {
        Fd parent;
        const char *name = nullptr;
        if (const int error = openParent(relative, parent, name))
            return error;
        if (::fstatat(parent.get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return lastError();
    }
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    readOnly = (st.st_mode & S_IWUSR) == 0;
    return 0;
}

int PosixSweepTree::clearReadOnly(const QString &path)
{
    QByteArray &relative = m_relative;
    if (const int error = relativePath(path, relative))
        return error;
    Fd fd;
    int error = openFolder(relative.constData(), fd, O_RDONLY);
    bool viaPath = false;
    if (error == EACCES) {
        // A folder without read permission can still have its mode changed by its owner.
        error = openFolder(relative.constData(), fd, O_PATH);
        viaPath = true;
    }
    if (error != 0)
        return error;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return lastError();
    const mode_t mode = (st.st_mode & 07777) | S_IWUSR;
    if (!viaPath) {
        if (::fchmod(fd.get(), mode) != 0)
            return lastError();
        return 0;
    }
    // fchmod refuses an O_PATH descriptor; its /proc entry names the same inode.
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd.get());
    if (::chmod(proc.constData(), mode) != 0)
        return lastError();
    return 0;
}

int PosixSweepTree::deleteFile(const QString &folder, const QString &name)
{
    QByteArray &relative = m_relative;
    if (const int error = relativePath(folder, relative))
        return error;
    QByteArray rawName;
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
        name == QLatin1String("..") || !encodePath(name, rawName))
        return EINVAL;
    if (rawName.size() > NAME_MAX)
        return ENAMETOOLONG;
    Fd fd;
    if (const int error = openFolder(relative.constData(), fd, O_PATH))
        return error;
    struct stat st;
    if (::fstatat(fd.get(), rawName.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return lastError();
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return EPERM;
    if (::unlinkat(fd.get(), rawName.constData(), 0) != 0)
        return lastError();
    return 0;
}

int PosixSweepTree::removeFolder(const QString &path)
{
    QByteArray &relative = m_relative;
    if (const int error = relativePath(path, relative))
        return error;
    if (relative.isEmpty())
        return removeRoot();
    Fd parent;
    const char *name = nullptr;
    if (const int error = openParent(relative, parent, name))
        return error;
    if (::unlinkat(parent.get(), name, AT_REMOVEDIR) != 0)
        return lastError();
    return 0;
}

// The swept folder itself: its parent is outside the tree, so it is opened by
// path and the folder of that name is removed only while it is still the one
// the tree was opened on.
int PosixSweepTree::removeRoot()
{
    const qsizetype slash = m_rootBytes.lastIndexOf('/');
    if (slash < 0 || slash + 1 >= m_rootBytes.size())
        return EBUSY;
    const QByteArray parentPath = slash == 0 ? QByteArray("/") : m_rootBytes.left(slash);
    const QByteArray name = m_rootBytes.mid(slash + 1);
    if (name == "." || name == "..")
        return EBUSY;
    Fd parent(::open(parentPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent.valid())
        return lastError();
    struct stat st;
    if (::fstatat(parent.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return lastError();
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    if (st.st_dev != m_rootDev || st.st_ino != m_rootIno)
        return ESTALE;
    if (::unlinkat(parent.get(), name.constData(), AT_REMOVEDIR) != 0)
        return lastError();
    return 0;
}

// ---------------------------------------------------------------------------

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

} // namespace

PosixFileSystem::PosixFileSystem(Resolver resolver) : m_resolver(resolver) {}

PosixFileSystem::~PosixFileSystem() = default;

bool PosixFileSystem::folderExists(const QString &path)
{
    QByteArray bytes;
    if (path.isEmpty() || !encodePath(path, bytes))
        return false;
    struct stat st;
    return ::stat(bytes.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileSystem::entryExists(const QString &path)
{
    QByteArray bytes;
    if (path.isEmpty() || !encodePath(path, bytes))
        return false;
    struct stat st;
    return ::lstat(bytes.constData(), &st) == 0;
}

bool PosixFileSystem::isMountRoot(const QString &path)
{
    QByteArray bytes;
    if (path.isEmpty() || !encodePath(path, bytes))
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
    if (path.isEmpty() || !encodePath(path, bytes))
        return false;
    struct statfs fs;
    if (::statfs(bytes.constData(), &fs) != 0)
        return false;
    const long type = static_cast<long>(fs.f_type);
    return type == Iso9660Magic || type == UdfMagic;
}

std::unique_ptr<SweepTree> PosixFileSystem::openTree(const QString &root)
{
    return std::make_unique<PosixSweepTree>(root, m_resolver == Resolver::Walk);
}

int PosixFileSystem::listFiles(const QString &folder, const FileVisitor &visit)
{
    QByteArray bytes;
    if (!encodePath(folder, bytes))
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
        if (isDotOrDotDot(d->d_name))
            continue;
        struct stat st;
        if (::fstatat(dirFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone since the listing began
        const bool faithful = decodeName(d->d_name, std::strlen(d->d_name), info.name);
        info.kind = faithful ? kindOfMode(st.st_mode) : EntryKind::Other;
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
    if (path.isEmpty() || !encodePath(path, bytes))
        return ENOENT;
    if (::unlink(bytes.constData()) != 0)
        return lastError();
    return 0;
}

int PosixFileSystem::appendToFile(const QString &path, const QByteArray &bytes)
{
    QByteArray name;
    if (path.isEmpty() || !encodePath(path, name))
        return ENOENT;
    Fd fd(::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid())
        return lastError();
    if (const int error = writeAll(fd.get(), bytes.constData(), bytes.size()))
        return error;
    return fd.close();
}

int PosixFileSystem::readFile(const QString &path, QByteArray &bytes)
{
    bytes.clear();
    QByteArray name;
    if (path.isEmpty() || !encodePath(path, name))
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
    if (path.isEmpty() || !encodePath(path, target))
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

namespace {

locale_t userLocale()
{
    static const locale_t locale = [] {
        locale_t made = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
        if (made == static_cast<locale_t>(nullptr))
            made = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        return made;
    }();
    return locale;
}

// The message bytes are in the codeset of the user's locale.
QString decodeMessage(const char *message, locale_t locale)
{
    const char *codeset =
        locale != static_cast<locale_t>(nullptr) ? ::nl_langinfo_l(CODESET, locale) : nullptr;
    const QByteArray raw(message);
    if (codeset == nullptr || qstricmp(codeset, "UTF-8") == 0 || qstricmp(codeset, "ANSI_X3.4-1968") == 0)
        return QString::fromLocal8Bit(raw);
    iconv_t cd = ::iconv_open("UTF-8", codeset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return QString::fromLocal8Bit(raw);
    QByteArray out(raw.size() * 4 + 16, '\0');
    char *in = const_cast<char *>(raw.constData());
    size_t inLeft = size_t(raw.size());
    char *outPtr = out.data();
    size_t outLeft = size_t(out.size());
    const size_t done = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    ::iconv_close(cd);
    if (done == size_t(-1))
        return QString::fromLocal8Bit(raw);
    out.truncate(out.size() - qsizetype(outLeft));
    return QString::fromUtf8(out);
}

} // namespace

QString errorMessage(int error)
{
    const locale_t locale = userLocale();
    const char *message =
        locale != static_cast<locale_t>(nullptr) ? ::strerror_l(error, locale) : ::strerror(error);
    QString text = decodeMessage(message != nullptr ? message : "", locale);
    while (!text.isEmpty() && (text.back().unicode() <= 0x20 || text.back() == QLatin1Char('.')))
        text.chop(1);
    // The message goes into log lines stored in code page 932: 255 bytes there at most,
    // cut between characters.
    qsizetype bytes = 0;
    qsizetype keep = 0;
    while (keep < text.size()) {
        const qsizetype step = text.at(keep).isHighSurrogate() && keep + 1 < text.size() ? 2 : 1;
        const qsizetype width = Cp932::encode(QStringView(text).mid(keep, step)).size();
        if (bytes + width > 255)
            break;
        bytes += width;
        keep += step;
    }
    text.truncate(keep);
    return text;
}

} // namespace Vacuola
