// The confined sweep tree: every operation the sweep makes on the folders it
// walks. Nothing here may follow a symbolic link below the swept folder, cross
// into another mount or reach anything outside the swept folder. Folders are
// reached through FolderChain, one component at a time from their parent.

#include "platform/posix/PosixSweepTree.h"

#include "platform/SharedPrefix.h"
#include "platform/posix/PathBytes.h"
#include "platform/posix/TrashCan.h"
#include "platform/posix/UserFolders.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Vacuola::Posix {

FolderMeta describe(const struct stat &st)
{
    FolderMeta meta;
    meta.mode = st.st_mode & 07777;
    meta.owner = st.st_uid;
    meta.group = st.st_gid;
    meta.accessSeconds = st.st_atim.tv_sec;
    meta.accessNanoseconds = qint32(st.st_atim.tv_nsec);
    meta.modifySeconds = st.st_mtim.tv_sec;
    meta.modifyNanoseconds = qint32(st.st_mtim.tv_nsec);
    return meta;
}

PosixSweepTree::PosixSweepTree(const QString &root, bool walk) : m_root(root), m_walk(walk)
{
    // The root itself is the user's choice, so its own path may pass through
    // links; everything below it is resolved relative to this descriptor.
    if (!root.startsWith(QLatin1Char('/')) || !pathBytes(root, m_rootBytes)) {
        m_rootBytes.clear();
        m_rootError = ENOENT;
        return;
    }
    if (m_rootBytes.size() >= PATH_MAX) {
        m_rootError = ENAMETOOLONG;
        return;
    }
    // A descriptor that only locates the folder: one the user may not read can
    // still have its mode read and changed and be removed; only its listing fails.
    Fd fd(::open(m_rootBytes.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    m_rootError = fd.valid() ? attachRoot(std::move(fd)) : lastError();
}

int PosixSweepTree::attachRoot(Fd &&fd)
{
    struct stat st;
    MountKey rootMount;
    if (::fstat(fd.get(), &st) != 0 || mountKey(fd.get(), rootMount) != 0)
        return lastError();
    m_rootFd = std::move(fd);
    m_rootDev = st.st_dev;
    m_rootIno = st.st_ino;
    m_rootEnd = m_root == QLatin1String("/") ? 0 : m_root.size();
    m_chain = std::make_unique<FolderChain>(m_rootFd.get(), rootMount, m_walk);
    m_chain->setReadFlags(O_RDONLY | O_NOATIME);
    m_chainPath = m_root;
    readFileSystemType();
    return 0;
}

PosixSweepTree::~PosixSweepTree() = default;

int PosixSweepTree::descriptorBudget() const
{
    return m_chain ? m_chain->budget() : 0;
}

int PosixSweepTree::descriptorsHeld() const
{
    return m_chain ? m_chain->held() : 0;
}

quint64 PosixSweepTree::foldersOpened() const
{
    return m_chain ? m_chain->opened() : 0;
}

/**
 * Fails with EXDEV for a path that is not the root or below it, and for "." or
 * ".." components or empty ones, which could lead elsewhere. The levels that
 * the path shares with the chain keep their descriptors: a sweep addresses a
 * folder, its subfolders and its siblings in turn, so most calls open at most
 * one new level.
 */
int PosixSweepTree::resolve(const QString &path, int &depth)
{
    if (m_rootError != 0)
        return m_rootError;
    ++m_generation;
    if (path.size() == m_root.size() && path == m_root) {
        depth = 0;
        return 0;
    }
    if (path.size() <= m_rootEnd + 1 || path.at(m_rootEnd) != QLatin1Char('/') || !path.startsWith(m_root))
        return EXDEV;

    FolderChain &chain = *m_chain;
    const qsizetype limit = chain.depth() > 0 ? chain.end(chain.depth()) : m_rootEnd;
    const qsizetype shared = path.constData() == m_chainPath.constData()
                                 ? qMin(path.size(), limit)
                                 : sharedPrefix(path, QStringView(m_chainPath).left(limit));
    int kept = chain.depth();
    while (kept > 0 && chain.end(kept) > shared)
        --kept;
    if (kept > 0 && chain.end(kept) < path.size() && path.at(chain.end(kept)) != QLatin1Char('/'))
        --kept;
    chain.truncate(kept);
    const qsizetype keptEnd = kept > 0 ? chain.end(kept) : m_rootEnd;
    if (keptEnd == path.size()) {
        m_chainPath = path;
        depth = kept;
        return 0;
    }

    qsizetype start = keptEnd + 1;
    for (;;) {
        const qsizetype slash = path.indexOf(QLatin1Char('/'), start);
        const qsizetype stop = slash < 0 ? path.size() : slash;
        const QStringView component = QStringView(path).mid(start, stop - start);
        int error = 0;
        QByteArray bytes;
        if (component.isEmpty() || component == u"." || component == u"..")
            error = EXDEV;
        else if (!pathBytes(component, bytes))
            error = ENOENT;
        // The system reads a name up to its first NUL, which would name another folder.
        else if (std::memchr(bytes.constData(), '\0', size_t(bytes.size())))
            error = EINVAL;
        else if (bytes.size() > NAME_MAX)
            error = ENAMETOOLONG;
        if (error != 0) {
            chain.truncate(kept);
            return error;
        }
        chain.push(std::move(bytes), stop);
        if (slash < 0)
            break;
        start = stop + 1;
    }
    m_chainPath = path;
    depth = chain.depth();
    return 0;
}

int PosixSweepTree::openLevel(int depth, int flags, Fd &fd)
{
    if (depth == 0) {
        fd.reset(::openat(m_rootFd.get(), ".", flags | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        return fd.valid() ? 0 : lastError();
    }
    FolderChain &chain = *m_chain;
    int parent = -1;
    if (const int error = chain.descriptor(depth - 1, parent))
        return error;
    if (const int error = chain.openChild(parent, chain.name(depth).constData(), flags, fd)) {
        chain.truncate(depth - 1);
        return error;
    }
    return 0;
}

int PosixSweepTree::folderReadOnly(const QString &path, bool &readOnly)
{
    // A folder whose mode cannot be read counts as read-only, as the caller
    // then asks before it tries to clear the bit.
    readOnly = true;
    int depth = 0;
    if (const int error = resolve(path, depth))
        return error;
    struct stat st;
    if (depth > 0 && path == m_listedPath) {
        // Listed just now: the mode its listing read.
        st = m_listedStat;
    } else if (depth == 0) {
        if (::fstat(m_rootFd.get(), &st) != 0)
            return lastError();
    } else {
        int parent = -1;
        if (const int error = m_chain->descriptor(depth - 1, parent))
            return error;
        if (const int error = statKnown(parent, m_chain->name(depth).constData(), AT_SYMLINK_NOFOLLOW, st))
            return error;
    }
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    readOnly = (st.st_mode & S_IWUSR) == 0;
    return 0;
}

int PosixSweepTree::clearReadOnly(const QString &path)
{
    return setOwnerWrite(path, true);
}

int PosixSweepTree::restoreReadOnly(const QString &path)
{
    return setOwnerWrite(path, false);
}

int PosixSweepTree::setOwnerWrite(const QString &path, bool writable)
{
    m_listedPath.clear();
    m_probedPath.clear();
    int depth = 0;
    if (const int error = resolve(path, depth))
        return error;
    Fd fd;
    int error = openLevel(depth, O_RDONLY, fd);
    bool viaPath = false;
    if (error == EACCES) {
        // A folder without read permission can still have its mode changed by its owner.
        error = openLevel(depth, O_PATH, fd);
        viaPath = true;
    }
    const bool unchecked = path == m_uncheckedPath;
    if (const int stale = checkUnchecked(path, error == 0 ? fd.get() : -1))
        return stale;
    if (error != 0)
        return error;
    const int folder = fd.get();
    if (unchecked) {
        // Just found to be the folder listed ahead: what is deleted in it next
        // goes through this descriptor, whatever comes of the change. An O_PATH
        // one is not kept, so the next change opens the folder and checks again.
        if (viaPath)
            m_uncheckedPath = path;
        else if (depth > 0)
            m_chain->hold(depth, std::move(fd));
    }
    struct stat st;
    if (::fstat(folder, &st) != 0)
        return lastError();
    const mode_t mode = writable ? (st.st_mode & 07777) | S_IWUSR : (st.st_mode & 07777) & ~mode_t(S_IWUSR);
    if (!viaPath)
        return ::fchmod(folder, mode) == 0 ? 0 : lastError();
    // fchmod refuses an O_PATH descriptor; its /proc entry names the same inode.
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(folder);
    if (::chmod(proc.constData(), mode) != 0)
        return lastError();
    return 0;
}

int PosixSweepTree::regularFile(const QString &folder, const QString &name, int &fd, QByteArray &rawName)
{
    int depth = 0;
    if (const int error = resolve(folder, depth))
        return error;
    if (name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String("..") ||
        !pathBytes(name, rawName))
        return EINVAL;
    if (rawName.size() > NAME_MAX)
        return ENAMETOOLONG;
    const int opened = m_chain->descriptor(depth, fd);
    if (const int stale = checkUnchecked(folder, opened == 0 ? fd : -1))
        return stale;
    if (opened != 0)
        return opened;
    struct stat st;
    if (::fstatat(fd, rawName.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return lastError();
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return EPERM;
    return 0;
}

int PosixSweepTree::deleteFile(const QString &folder, const QString &name)
{
    int fd = -1;
    QByteArray rawName;
    if (const int error = regularFile(folder, name, fd, rawName))
        return error;
    if (::unlinkat(fd, rawName.constData(), 0) != 0)
        return lastError();
    return 0;
}

int PosixSweepTree::trashFile(const QString &folder, const QString &name, const QDateTime &when,
                              QString &trashedAs)
{
    trashedAs.clear();
    int fd = -1;
    QByteArray rawName;
    if (const int error = regularFile(folder, name, fd, rawName))
        return error;
    // The trash is looked for on first need, where the user's data folder is then.
    if (!m_trash)
        m_trash = std::make_unique<TrashCan>(userXdgFolder("XDG_DATA_HOME", "/.local/share"));
    return m_trash->moveToTrash(fd, rawName, when, trashedAs);
}

int PosixSweepTree::removeFolder(const QString &path)
{
    m_listedPath.clear();
    int depth = 0;
    if (const int error = resolve(path, depth))
        return error;
    if (depth == 0)
        return removeRoot();
    // No check of a listing taken unchecked: rmdir by name removes only an
    // empty folder, whichever the name leads to now, and never follows a link.
    int parent = -1;
    if (const int error = m_chain->descriptor(depth - 1, parent))
        return error;
    if (::unlinkat(parent, m_chain->name(depth).constData(), AT_REMOVEDIR) != 0)
        return lastError();
    m_chain->truncate(depth - 1);
    return 0;
}

QString PosixSweepTree::movedFolder()
{
    if (!m_chain)
        return QString();
    const int level = m_chain->detachedLevel(m_rootDev, m_rootIno);
    if (level <= 0)
        return QString();
    const QString path = m_chainPath.left(m_chain->end(level));
    m_chain->truncate(level - 1);
    return path;
}

int PosixSweepTree::removeIfEmpty(const QString &path, FolderMeta &removed)
{
    int depth = 0;
    if (const int error = resolve(path, depth))
        return error;
    if (depth == 0)
        return ENOTSUP;
    struct stat st;
    bool known = false;
    if (m_prefetch) {
        // A worker that listed it saw something in it: it is listed next, from there.
        if (const PrefetchedListing *ahead = m_prefetch->find(path)) {
            if (ahead->error == 0 && !ahead->entries.empty())
                return ENOTEMPTY;
            // Found empty just now: its mode is the one the worker's open read,
            // which spares a share one round trip per folder. Whatever comes
            // of the removal, the folder is listed afresh if it stays.
            known = ahead->error == 0;
            if (known)
                st = ahead->st;
            m_prefetch->drop(path);
        }
    }
    int parent = -1;
    if (const int error = m_chain->descriptor(depth - 1, parent))
        return error;
    const char *name = m_chain->name(depth).constData();
    if (!known) {
        if (const int error = statKnown(parent, name, AT_SYMLINK_NOFOLLOW, st))
            return error;
        // Listed next when it stays: its listing takes the mode read here.
        m_probedPath = path;
        m_probedStat = st;
    }
    // A link is never followed, a mount point never entered, and a folder
    // without its owner-write bit is asked about first: all of them are listed.
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    if (st.st_dev != m_rootDev)
        return EXDEV;
    if ((st.st_mode & S_IWUSR) == 0)
        return EROFS;
    // Where a folder's link count counts its subfolders (2 + one each), one
    // above 2 holds a folder: rmdir would only fail.
    if (st.st_nlink > 2)
        return ENOTEMPTY;
    // rmdir by name does not follow a link swapped in meanwhile, and checks emptiness itself.
    if (::unlinkat(parent, name, AT_REMOVEDIR) != 0)
        return lastError();
    m_probedPath.clear();
    removed = describe(st);
    m_chain->truncate(depth - 1);
    return 0;
}

// The swept folder's parent is outside the tree, so it is opened by path, and
// the folder of the root's name is taken only while it is still the one the
// tree was opened on.
int PosixSweepTree::rootInParent(Fd &parent, QByteArray &name)
{
    const qsizetype slash = m_rootBytes.lastIndexOf('/');
    if (slash < 0 || slash + 1 >= m_rootBytes.size())
        return EBUSY;
    name = m_rootBytes.mid(slash + 1);
    if (name == "." || name == "..")
        return EBUSY;
    parent =
        Fd(::open(slash == 0 ? "/" : m_rootBytes.left(slash).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent.valid())
        return lastError();
    struct stat st;
    if (::fstatat(parent.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return lastError();
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    if (st.st_dev != m_rootDev || st.st_ino != m_rootIno)
        return ESTALE;
    return 0;
}

// The swept folder itself, removed from its parent.
int PosixSweepTree::removeRoot()
{
    Fd parent;
    QByteArray name;
    if (const int error = rootInParent(parent, name))
        return error;
    if (::unlinkat(parent.get(), name.constData(), AT_REMOVEDIR) != 0)
        return lastError();
    return 0;
}

} // namespace Vacuola::Posix
