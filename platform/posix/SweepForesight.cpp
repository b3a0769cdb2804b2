// What a change to the swept tree would meet, found without making it: the
// same checks the kernel makes before it unlinks an entry or changes a mode,
// in its order, so that the dry run fails where the sweep would. Nothing here
// changes anything, and no folder is listed.

#include "platform/posix/PosixSweepTree.h"

#include "platform/posix/PathBytes.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace Vacuola::Posix {

namespace {

constexpr unsigned Wanted = STATX_TYPE | STATX_MODE | STATX_UID | STATX_MNT_ID;

// Whether the user may search (X_OK) or write (W_OK) the folder `fd` names, by
// the effective user as the system decides (ACLs and capabilities included).
int access(int fd, int mode)
{
    if (::faccessat(fd, "", mode, AT_EACCESS | AT_EMPTY_PATH) == 0)
        return 0;
    if (errno != EINVAL)
        return lastError();
    // Without faccessat2: through ".", which needs the search right first, as an unlink does.
    return ::faccessat(fd, ".", mode, AT_EACCESS) == 0 ? 0 : lastError();
}

struct Attributes
{
    bool immutable = false;
    bool appendOnly = false;
};

// The immutable and append-only attributes of `name` in `dirFd`, told by
// statx where the file system reports them, else by FS_IOC_GETFLAGS on a
// descriptor opened to read them (opening marks nothing as read).
Attributes attributes(int dirFd, const char *name, const struct statx &stx)
{
    Attributes result;
    constexpr quint64 Both = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;
    if ((stx.stx_attributes_mask & Both) == Both) {
        result.immutable = (stx.stx_attributes & STATX_ATTR_IMMUTABLE) != 0;
        result.appendOnly = (stx.stx_attributes & STATX_ATTR_APPEND) != 0;
        return result;
    }
    const Fd fd(::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    int flags = 0;
    if (fd.valid() && ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) == 0) {
        result.immutable = (flags & FS_IMMUTABLE_FL) != 0;
        result.appendOnly = (flags & FS_APPEND_FL) != 0;
    }
    return result;
}

bool isMountRoot(const struct statx &entry, const struct statx &parent)
{
    if ((entry.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (entry.stx_attributes & STATX_ATTR_MOUNT_ROOT))
        return true;
    if ((entry.stx_mask & parent.stx_mask & STATX_MNT_ID) && entry.stx_mnt_id != parent.stx_mnt_id)
        return true;
    return entry.stx_dev_major != parent.stx_dev_major || entry.stx_dev_minor != parent.stx_dev_minor;
}

} // namespace

bool PosixSweepTree::readOnlyMount()
{
    // Nothing below the root lies on another mount, so one answer holds for the tree.
    if (m_readOnlyMount < 0) {
        struct statvfs st;
        m_readOnlyMount = ::fstatvfs(m_rootFd.get(), &st) == 0 && (st.f_flag & ST_RDONLY) != 0 ? 1 : 0;
    }
    return m_readOnlyMount == 1;
}

int PosixSweepTree::foreseeUnlink(int parent, const char *name, bool writable, bool folder)
{
    const uid_t user = ::geteuid();
    // The name is looked up in the parent; then rmdir asks for a writable
    // mount before anything else, while a file is first looked at by the sweep.
    if (const int error = access(parent, X_OK))
        return error;
    if (folder && readOnlyMount())
        return EROFS;
    struct statx entry;
    if (::statx(parent, name, AT_SYMLINK_NOFOLLOW, Wanted, &entry) != 0)
        return lastError();
    if (!folder) {
        if (S_ISDIR(entry.stx_mode))
            return EISDIR;
        if (!S_ISREG(entry.stx_mode))
            return EPERM;
        if (readOnlyMount())
            return EROFS;
    }
    struct statx holder;
    if (::statx(parent, "", AT_EMPTY_PATH, Wanted, &holder) != 0)
        return lastError();
    const Attributes holderAttributes = attributes(parent, ".", holder);
    if (holderAttributes.immutable)
        return EPERM;
    // A write bit the dry run added counts for the owner, who alone could add it.
    if (!writable || (user != 0 && user != holder.stx_uid)) {
        if (const int error = access(parent, W_OK))
            return error;
    }
    if (holderAttributes.appendOnly)
        return EPERM;
    // In a sticky folder only the entry's owner, the folder's owner or root may unlink.
    if ((holder.stx_mode & S_ISVTX) && user != 0 && user != entry.stx_uid && user != holder.stx_uid)
        return EPERM;
    const Attributes entryAttributes = attributes(parent, name, entry);
    if (entryAttributes.immutable || entryAttributes.appendOnly)
        return EPERM;
    if (folder) {
        if (!S_ISDIR(entry.stx_mode))
            return ENOTDIR;
        if (isMountRoot(entry, holder))
            return EBUSY;
    }
    return 0;
}

int PosixSweepTree::foreseeRemoveFolder(const QString &path, bool writable)
{
    int depth = 0;
    if (const int error = resolve(path, depth))
        return error;
    if (depth > 0) {
        int parent = -1;
        if (const int error = m_chain->descriptor(depth - 1, parent))
            return error;
        return foreseeUnlink(parent, m_chain->name(depth).constData(), writable, true);
    }
    // The swept folder, found from its parent as removeRoot finds it.
    Fd parent;
    QByteArray name;
    if (const int error = rootInParent(parent, name))
        return error;
    return foreseeUnlink(parent.get(), name.constData(), false, true);
}

int PosixSweepTree::foreseeDeleteFile(const QString &folder, const QString &name, bool writable)
{
    int depth = 0;
    if (const int error = resolve(folder, depth))
        return error;
    QByteArray rawName;
    if (name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String("..") ||
        !pathBytes(name, rawName))
        return EINVAL;
    if (rawName.size() > NAME_MAX)
        return ENAMETOOLONG;
    int fd = -1;
    if (const int error = m_chain->descriptor(depth, fd))
        return error;
    return foreseeUnlink(fd, rawName.constData(), writable, false);
}

int PosixSweepTree::foreseeClearReadOnly(const QString &path)
{
    int depth = 0;
    if (const int error = resolve(path, depth))
        return error;
    Fd fd;
    if (const int error = openLevel(depth, O_PATH, fd))
        return error;
    struct statx stx;
    if (::statx(fd.get(), "", AT_EMPTY_PATH, Wanted, &stx) != 0)
        return lastError();
    if (readOnlyMount())
        return EROFS;
    const Attributes attributesNow = attributes(fd.get(), ".", stx);
    if (attributesNow.immutable || attributesNow.appendOnly)
        return EPERM;
    const uid_t user = ::geteuid();
    if (user != 0 && user != stx.stx_uid)
        return EPERM;
    return 0;
}

} // namespace Vacuola::Posix
