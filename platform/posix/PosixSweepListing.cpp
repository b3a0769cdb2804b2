// The sweep tree's listings. A folder is read to its end on the sweep's thread,
// or taken from a worker that listed it ahead (ListingPrefetch) while its name
// still leads to the folder the worker listed. Either way its subfolders are
// handed to the workers next, as the walk visits them soon after.

#include "platform/posix/PosixSweepTree.h"

#include "platform/posix/PathBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <thread>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace Vacuola::Posix {

namespace {

constexpr int MaxJobs = 64;

// File systems where every call is a round trip to another machine or process:
// listings in parallel hide its wait.
bool remote(long type)
{
    switch (static_cast<unsigned long>(type)) {
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x65735546UL: // FUSE
    case 0x00C36400UL: // Ceph
    case V9FS_MAGIC:
    case AFS_SUPER_MAGIC:
    case CODA_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

EntryKind kindOf(unsigned char type)
{
    return type == DT_DIR ? EntryKind::Folder : (type == DT_REG ? EntryKind::File : EntryKind::Other);
}

// The same file: device and inode.
bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

void PosixSweepTree::setJobs(int jobs)
{
    m_jobs = std::clamp(jobs, 0, MaxJobs);
}

void PosixSweepTree::readFileSystemType()
{
    struct statfs fs;
    if (::fstatfs(m_rootFd.get(), &fs) != 0)
        return;
    m_remote = remote(long(fs.f_type));
}

int PosixSweepTree::automaticJobs() const
{
    bool given = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("VACUOLA_JOBS", &given);
    if (given && fromEnvironment > 0)
        return std::min(fromEnvironment, MaxJobs);
    if (m_remote)
        return std::clamp(4 * int(std::thread::hardware_concurrency()), 8, 16);
    // On a local file system a listing takes microseconds, about what handing
    // it from one thread to another costs: the sweep's thread lists alone.
    return 1;
}

ListingPrefetch *PosixSweepTree::prefetch()
{
    if (!m_prefetchTried) {
        m_prefetchTried = true;
        const int jobs = m_jobs > 0 ? m_jobs : automaticJobs();
        // Half the chain's descriptors, at most, go to the workers: a listing
        // ahead holds one, and so does each folder whose subfolders wait for one.
        const int descriptors = jobs > 1 ? m_chain->reserve(m_chain->budget() / 2) : 0;
        if (descriptors >= 4)
            m_prefetch = std::make_unique<ListingPrefetch>(jobs, descriptors, m_chain->rootMount(), m_walk);
    }
    return m_prefetch.get();
}

quint64 PosixSweepTree::listingsAhead() const
{
    return m_prefetch ? m_prefetch->made() : 0;
}

quint64 PosixSweepTree::listingsRefused() const
{
    return m_refused;
}

int PosixSweepTree::checkUnchecked(const QString &path, int fd)
{
    if (path != m_uncheckedPath)
        return 0;
    // The descriptor itself, not the name once more: what a change goes
    // through is then the folder that was listed.
    struct stat st;
    if (!m_uncheckedRefused && fd >= 0 && statKnown(fd, "", AT_EMPTY_PATH, st) == 0 &&
        sameFile(st, m_uncheckedStat)) {
        m_uncheckedPath.clear();
        return 0;
    }
    if (!m_uncheckedRefused) {
        m_uncheckedRefused = true;
        ++m_refused;
    }
    return ESTALE;
}

bool PosixSweepTree::stillListed(int depth, const struct stat &listed)
{
    int parent = -1;
    struct stat st;
    return m_chain->descriptor(depth - 1, parent) == 0 &&
           statKnown(parent, m_chain->name(depth).constData(), AT_SYMLINK_NOFOLLOW, st) == 0 &&
           S_ISDIR(st.st_mode) && sameFile(st, listed);
}

int PosixSweepTree::openToList(const QString &path, int depth, Fd &fd, PrefetchedListing &ahead,
                               bool &listedAhead)
{
    listedAhead = false;
    if (m_chain->takeUnread(depth, fd)) {
        if (m_prefetch)
            m_prefetch->drop(path);
        return 0;
    }
    if (depth > 0 && m_prefetch && m_prefetch->find(path)) {
        ahead = m_prefetch->take(path);
        // A folder that holds no folder is never entered: its listing is
        // checked against what its name leads to only before anything in it
        // is changed, which a folder that stays for its files never needs.
        if (ahead.error == 0 && !ahead.holdsFolder) {
            m_uncheckedPath = path;
            m_uncheckedStat = ahead.st;
            m_uncheckedRefused = false;
            listedAhead = true;
            return 0;
        }
        if (ahead.error == 0 && stillListed(depth, ahead.st)) {
            fd = std::move(ahead.fd);
            listedAhead = true;
            return 0;
        }
        // Swapped meanwhile (for a link, or another folder): opened afresh,
        // with what that meets.
        if (ahead.error == 0)
            ++m_refused;
    }
    // Listing a folder need not mark it read: without O_NOATIME every listing
    // writes its folder's access time. Only the owner (or root) may ask for
    // it; once refused, it is no longer asked for.
    const int flags = m_chain->readFlags();
    int error = openLevel(depth, flags, fd);
    if (error == EPERM && (flags & O_NOATIME) != 0) {
        m_chain->setReadFlags(flags & ~O_NOATIME);
        error = openLevel(depth, flags & ~O_NOATIME, fd);
    }
    return error;
}

int PosixSweepTree::listFolder(const QString &path, const FolderVisitor &visit, FolderStatus *status)
{
    int depth = 0;
    if (const int error = resolve(path, depth))
        return error;
    // Listed again: what this listing finds is what counts. Another folder's
    // listing leaves a pending check as it is.
    if (path == m_uncheckedPath)
        m_uncheckedPath.clear();
    Fd fd;
    PrefetchedListing ahead;
    bool listedAhead = false;
    if (const int error = openToList(path, depth, fd, ahead, listedAhead))
        return error;
    const quint64 generation = m_generation;
    // The subfolders go to the workers when the listing ran to its end.
    const bool queueing = prefetch() != nullptr;
    std::vector<QByteArray> subfolders;
    int result = 0;
    FolderEntry entry;
    bool stop = false;
    const auto offer = [&](const char *rawName, size_t length, unsigned char type) {
        if (decodeName(rawName, length, entry.name))
            entry.kind = kindOf(type);
        else
            entry.kind = EntryKind::Other;
        if (queueing && entry.kind == EntryKind::Folder) {
            // Only the last ones are queued: a huge folder holds no more than that.
            if (subfolders.size() == 2 * ListingPrefetch::MaxQueued)
                subfolders.erase(subfolders.begin(), subfolders.begin() + ListingPrefetch::MaxQueued);
            subfolders.emplace_back(rawName, qsizetype(length));
        }
        stop = !visit(entry);
    };
    if (listedAhead) {
        const std::vector<char> &entries = ahead.entries;
        for (size_t at = 0; at < entries.size() && !stop;) {
            const char kind = entries[at];
            const char *rawName = entries.data() + at + 1;
            const size_t length = std::strlen(rawName);
            at += length + 2;
            offer(rawName, length, kind == 'd' ? DT_DIR : (kind == 'f' ? DT_REG : DT_LNK));
        }
    } else {
        // A visitor may list again (nested handlers): the buffer is taken for
        // this call so that a nested one gets its own.
        std::vector<char> buffer;
        buffer.swap(m_buffer);
        if (buffer.empty())
            buffer.resize(64 * 1024);
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
            for (ssize_t offset = 0; offset < read && !stop;) {
                const auto *d = reinterpret_cast<const struct dirent64 *>(buffer.data() + offset);
                offset += d->d_reclen;
                const char *rawName = d->d_name;
                if (isDotOrDotDot(rawName))
                    continue;
                unsigned char type = d->d_type;
                if (type == DT_UNKNOWN) {
                    struct stat st;
                    if (::fstatat(fd.get(), rawName, &st, AT_SYMLINK_NOFOLLOW) == 0)
                        type = S_ISDIR(st.st_mode) ? DT_DIR : (S_ISREG(st.st_mode) ? DT_REG : DT_LNK);
                }
                offer(rawName, std::strlen(rawName), type);
            }
        }
        m_buffer.swap(buffer);
    }
    m_listedPath.clear();
    if (listedAhead) {
        m_listedPath = path;
        m_listedStat = ahead.st;
    }
    if (status && status->wanted) {
        // The mode as the open brought it: no further round trip on a share.
        // Or as the removal tried just before read it, which spares a call.
        struct stat st;
        const bool probed = !listedAhead && path == m_probedPath;
        if (probed)
            st = m_probedStat;
        const int error = listedAhead || probed ? 0 : statKnown(fd.get(), "", AT_EMPTY_PATH, st);
        if (error == 0 && !listedAhead) {
            m_listedPath = path;
            m_listedStat = st;
        }
        if (error == 0) {
            const struct stat &known = listedAhead ? ahead.st : st;
            status->error = 0;
            status->readOnly = (known.st_mode & S_IWUSR) == 0;
            status->meta = describe(known);
        } else {
            status->error = error;
            status->readOnly = true;
        }
    }
    if (!stop && result == 0 && queueing)
        m_prefetch->queue(path, fd.get(), subfolders, m_chain->readFlags());
    // The subfolders are opened from this descriptor next, unless a visitor
    // has moved the chain meanwhile. An empty folder a worker listed comes
    // without one.
    m_probedPath.clear();
    if (depth > 0 && generation == m_generation && fd.valid())
        m_chain->hold(depth, std::move(fd));
    return result;
}

} // namespace Vacuola::Posix
