#include "platform/posix/FolderChain.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace Vacuola::Posix {

namespace {

constexpr int MaxBudget = 256;
constexpr int MinBudget = 4;

bool sameMount(const MountKey &a, const MountKey &b)
{
    if (a.hasId && b.hasId)
        return a.id == b.id;
    return a.device == b.device;
}

// A quarter of the descriptors the process may open, so that a sweep leaves
// room for everything else the program opens.
int descriptorBudget()
{
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return MaxBudget;
    return int(std::clamp<rlim_t>(limit.rlim_cur / 4, MinBudget, MaxBudget));
}

} // namespace

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

int statKnown(int dirFd, const char *name, int flags, struct stat &st)
{
    struct statx stx;
    if (::statx(dirFd, name, flags | AT_STATX_DONT_SYNC, STATX_BASIC_STATS, &stx) != 0) {
        if (errno != ENOSYS)
            return lastError();
        return ::fstatat(dirFd, name, &st, flags) == 0 ? 0 : lastError();
    }
    std::memset(&st, 0, sizeof st);
    st.st_dev = makedev(stx.stx_dev_major, stx.stx_dev_minor);
    st.st_ino = stx.stx_ino;
    st.st_mode = stx.stx_mode;
    st.st_nlink = stx.stx_nlink;
    st.st_uid = stx.stx_uid;
    st.st_gid = stx.stx_gid;
    st.st_atim.tv_sec = stx.stx_atime.tv_sec;
    st.st_atim.tv_nsec = stx.stx_atime.tv_nsec;
    st.st_mtim.tv_sec = stx.stx_mtime.tv_sec;
    st.st_mtim.tv_nsec = stx.stx_mtime.tv_nsec;
    st.st_ctim.tv_sec = stx.stx_ctime.tv_sec;
    st.st_ctim.tv_nsec = stx.stx_ctime.tv_nsec;
    return 0;
}

int openFolderBelow(int parentFd, const char *name, int flags, const MountKey &rootMount, bool &walk, Fd &fd)
{
    flags |= O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    if (!walk) {
        struct open_how how;
        std::memset(&how, 0, sizeof how);
        how.flags = static_cast<quint64>(flags);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
        const long result = ::syscall(SYS_openat2, parentFd, name, &how, sizeof how);
        if (result >= 0) {
            fd.reset(static_cast<int>(result));
            return 0;
        }
        if (errno == ENOSYS) {
            walk = true;
        } else if (errno != EPERM) {
            return lastError();
        }
        // EPERM: a system call filter may refuse openat2 itself; opening a
        // folder never gives EPERM otherwise, so openat has the last word.
    }
    Fd next(::openat(parentFd, name, flags));
    if (!next.valid())
        return lastError();
    MountKey mount;
    if (mountKey(next.get(), mount) != 0)
        return lastError();
    if (mount.mountRoot || !sameMount(mount, rootMount))
        return EXDEV;
    fd = std::move(next);
    return 0;
}

FolderChain::FolderChain(int rootFd, const MountKey &rootMount, bool walk)
    : m_rootFd(rootFd), m_rootMount(rootMount), m_walk(walk), m_budget(descriptorBudget())
{}

FolderChain::~FolderChain() = default;

int FolderChain::openChild(int parentFd, const char *name, int flags, Fd &fd)
{
    ++m_opened;
    return openFolderBelow(parentFd, name, flags, m_rootMount, m_walk, fd);
}

void FolderChain::LevelSet::insert(int level)
{
    const auto at = std::lower_bound(m_levels.begin(), m_levels.end(), level);
    if (at == m_levels.end() || *at != level)
        m_levels.insert(at, level);
}

void FolderChain::LevelSet::erase(int level)
{
    const auto at = std::lower_bound(m_levels.begin(), m_levels.end(), level);
    if (at != m_levels.end() && *at == level)
        m_levels.erase(at);
}

int FolderChain::LevelSet::after(int level) const
{
    const auto at = std::upper_bound(m_levels.begin(), m_levels.end(), level);
    return at != m_levels.end() ? *at : INT_MAX;
}

void FolderChain::LevelSet::moveOff(int spacing, LevelSet &other)
{
    const auto kept = std::stable_partition(m_levels.begin(), m_levels.end(),
                                            [spacing](int level) { return level % spacing == 0; });
    for (auto it = kept; it != m_levels.end(); ++it)
        other.insert(*it);
    m_levels.erase(kept, m_levels.end());
}

int FolderChain::depth() const
{
    return int(m_levels.size());
}

void FolderChain::truncate(int depth)
{
    while (int(m_levels.size()) > depth) {
        release(int(m_levels.size()));
        m_levels.pop_back();
    }
}

void FolderChain::push(QByteArray name, qsizetype end)
{
    m_levels.push_back(Level{std::move(name), end, Fd()});
}

const QByteArray &FolderChain::name(int level) const
{
    return m_levels[size_t(level - 1)].name;
}

qsizetype FolderChain::end(int level) const
{
    return m_levels[size_t(level - 1)].end;
}

int FolderChain::descriptor(int level, int &fd)
{
    if (level == 0) {
        fd = m_rootFd;
        return 0;
    }
    int held = level;
    while (held > 0 && !m_levels[size_t(held - 1)].fd.valid())
        --held;
    if (held != level) {
        // A held level below that is nearer: climbing from it costs fewer steps.
        const int below = std::min(m_window.after(level), m_anchors.after(level));
        if (below != INT_MAX && below - level < level - held && climb(below, level) == 0) {
            fd = m_levels[size_t(level - 1)].fd.get();
            return 0;
        }
    }
    for (int next = held + 1; next <= level; ++next) {
        int parent = 0;
        descriptor(next - 1, parent);
        const char *name = m_levels[size_t(next - 1)].name.constData();
        // A level on the way is mostly listed soon after (a sweep's second
        // phase climbs back through it), so it is opened to be read where it may
        // be; one the user may not read is still passed through.
        Fd opened;
        int error = openChild(parent, name, m_readFlags, opened);
        const bool unread = error == 0;
        if (error == EACCES || error == EPERM)
            error = openChild(parent, name, O_PATH, opened);
        if (error != 0) {
            // What was this level is no longer reachable as it was: nothing below it is kept.
            truncate(next - 1);
            return error;
        }
        hold(next, std::move(opened), unread);
    }
    fd = m_levels[size_t(level - 1)].fd.get();
    return 0;
}

int FolderChain::climb(int from, int to)
{
    for (int level = from - 1; level >= to; --level) {
        const Level &entry = m_levels[size_t(level - 1)];
        // A level never let go was never held: nothing to tell its folder by.
        if (!entry.known)
            return ESTALE;
        ++m_opened;
        const int below = m_levels[size_t(level)].fd.get();
        Fd up(::openat(below, "..", m_readFlags | O_DIRECTORY | O_CLOEXEC));
        if (!up.valid() && (errno == EACCES || errno == EPERM))
            up.reset(::openat(below, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!up.valid())
            return lastError();
        struct stat st;
        if (const int error = statKnown(up.get(), "", AT_EMPTY_PATH, st))
            return error;
        // Moved, or replaced: the level is opened again by name from above.
        if (st.st_dev != entry.device || st.st_ino != entry.inode)
            return ESTALE;
        hold(level, std::move(up));
    }
    return 0;
}

int FolderChain::detachedLevel(dev_t rootDevice, ino_t rootInode) const
{
    dev_t aboveDevice = rootDevice;
    ino_t aboveInode = rootInode;
    int above = 0;
    for (int level = 1; level <= depth(); ++level) {
        const Level &entry = m_levels[size_t(level - 1)];
        if (!entry.fd.valid())
            continue;
        // Up through ".." to the held level above, each folder on the way the
        // one its level had; a folder that is gone (removed) tells nothing.
        // Only device and inode are compared, which never change for an open
        // folder: the attributes the system holds give them, without a round
        // trip on a share.
        Fd up;
        int from = entry.fd.get();
        for (int step = level - 1; step >= above; --step) {
            const bool last = step == above;
            const Level *known = last ? nullptr : &m_levels[size_t(step - 1)];
            if (known && !known->known)
                break;
            struct stat st;
            if (!last) {
                up.reset(::openat(from, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
                if (!up.valid() || statKnown(up.get(), "", AT_EMPTY_PATH, st) != 0)
                    break;
                from = up.get();
            } else if (statKnown(from, "..", 0, st) != 0) {
                break;
            }
            const dev_t device = last ? aboveDevice : known->device;
            const ino_t inode = last ? aboveInode : known->inode;
            if (st.st_dev != device || st.st_ino != inode)
                return step + 1;
        }
        struct stat st;
        if (statKnown(entry.fd.get(), "", AT_EMPTY_PATH, st) != 0)
            continue;
        aboveDevice = st.st_dev;
        aboveInode = st.st_ino;
        above = level;
    }
    return 0;
}

quint64 FolderChain::opened() const
{
    return m_opened;
}

void FolderChain::setReadFlags(int flags)
{
    m_readFlags = flags;
}

int FolderChain::readFlags() const
{
    return m_readFlags;
}

bool FolderChain::takeUnread(int level, Fd &fd)
{
    if (level < 1 || level > depth() || !m_levels[size_t(level - 1)].unread)
        return false;
    Level &entry = m_levels[size_t(level - 1)];
    entry.unread = false;
    fd = std::move(entry.fd);
    m_anchors.erase(level);
    m_window.erase(level);
    return true;
}

void FolderChain::hold(int level, Fd &&fd, bool unread)
{
    release(level);
    m_levels[size_t(level - 1)].fd = std::move(fd);
    m_levels[size_t(level - 1)].unread = unread;
    if (level % m_spacing == 0)
        m_anchors.insert(level);
    else
        m_window.insert(level);
    trim(level - 1);
}

int FolderChain::budget() const
{
    return m_budget;
}

int FolderChain::reserve(int wanted)
{
    const int granted = std::clamp(std::min(wanted, m_budget - MinBudget * 4), 0, m_budget);
    m_budget -= granted;
    return granted;
}

const MountKey &FolderChain::rootMount() const
{
    return m_rootMount;
}

bool FolderChain::walks() const
{
    return m_walk;
}

int FolderChain::held() const
{
    return int(m_anchors.size() + m_window.size());
}

void FolderChain::release(int level, bool remember)
{
    Level &entry = m_levels[size_t(level - 1)];
    entry.unread = false;
    if (!entry.fd.valid())
        return;
    struct stat st;
    if (remember && !entry.known && statKnown(entry.fd.get(), "", AT_EMPTY_PATH, st) == 0) {
        entry.known = true;
        entry.device = st.st_dev;
        entry.inode = st.st_ino;
    }
    entry.fd.reset();
    m_anchors.erase(level);
    m_window.erase(level);
}

// Lets go of the shallowest descriptors of the window first; when only anchors
// are left, every other anchor joins the window. Levels from `keepFrom` down
// are in use and stay.
void FolderChain::trim(int keepFrom)
{
    while (held() > m_budget) {
        if (!m_window.empty() && m_window.first() < keepFrom) {
            release(m_window.first(), true);
            continue;
        }
        if (m_anchors.size() < 2)
            return;
        m_spacing *= 2;
        m_anchors.moveOff(m_spacing, m_window);
        if (m_window.empty() || m_window.first() >= keepFrom)
            return;
    }
}

} // namespace Vacuola::Posix
