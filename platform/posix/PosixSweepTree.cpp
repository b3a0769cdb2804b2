// The confined sweep tree: every operation the sweep makes on the folders it
// walks. Nothing here may follow a symbolic link below the swept folder, cross
// into another mount or reach anything outside the swept folder.

#include "platform/posix/PosixSweepTree.h"

#include "platform/posix/PathBytes.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace Vacuola::Posix {

namespace {

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

} // namespace

PosixSweepTree::PosixSweepTree(const QString &root, bool walk) : m_root(root), m_walk(walk)
{
    // The root itself is the user's choice, so its own path may pass through
    // links; everything below it is resolved relative to this descriptor.
    if (!root.startsWith(QLatin1Char('/')) || !pathBytes(root, m_rootBytes)) {
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
    if (!pathBytes(QStringView(path).mid(prefix), relative))
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
        name == QLatin1String("..") || !pathBytes(name, rawName))
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

} // namespace Vacuola::Posix
