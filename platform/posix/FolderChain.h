#pragma once

#include "platform/posix/Fd.h"

#include <QByteArray>
#include <QtGlobal>

#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace Vacuola::Posix {

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

/** Reads where a descriptor lies. */
int mountKey(int fd, MountKey &key);

/**
 * What fstatat gives for `name` in `dirFd` (`flags` as fstatat's), as far as the
 * system knows it already: on a network or FUSE file system the attributes the
 * lookup of the name (or the open of a descriptor) just brought, without one
 * more round trip.
 */
int statKnown(int dirFd, const char *name, int flags, struct stat &st);

/**
 * Opens the folder `name` (one component) in the folder `parentFd` without
 * following a symbolic link and without entering another mount than
 * `rootMount` (EXDEV). `walk`: openat and a mount check instead of openat2; set
 * when the kernel turns out to lack openat2. Safe on any thread.
 */
int openFolderBelow(int parentFd, const char *name, int flags, const MountKey &rootMount, bool &walk, Fd &fd);

/**
 * The folders from the swept folder (level 0) down to the one last addressed,
 * one component per level. Each level is opened relative to its parent's
 * descriptor, never by a path. At most a bounded number of descriptors is held
 * (well below the process limit): the deepest levels, and anchors spaced evenly
 * above them; a level whose descriptor was let go is opened again from the
 * deepest held ancestor above it, keeping what is opened on the way, or, when
 * a held level below it is nearer, by climbing from that level through ".."
 * while each folder met is the one the level held before (device and inode).
 * A sweep's second phase climbs back through the whole chain so: each level
 * costs a step or two, whatever the number of descriptors.
 */
class FolderChain final
{
    Q_DISABLE_COPY_MOVE(FolderChain)

public:
    /** `walk`: openat and a mount check instead of openat2 (also taken when the kernel lacks openat2). */
    FolderChain(int rootFd, const MountKey &rootMount, bool walk);
    ~FolderChain();

    /**
     * Opens the folder `name` (one component) in the folder `parentFd` without
     * following a symbolic link and without entering another mount (EXDEV).
     */
    int openChild(int parentFd, const char *name, int flags, Fd &fd);

    /** Levels below the root. */
    int depth() const;
    /** Forgets every level below `depth`. */
    void truncate(int depth);
    /** Adds a level below the deepest; `end` is where its component ends in the addressed path. */
    void push(QByteArray name, qsizetype end);
    const QByteArray &name(int level) const;
    qsizetype end(int level) const;

    /**
     * How folders are opened to be listed. Levels opened on the way to another
     * are opened so too where they may be, so that their listing can use them.
     */
    void setReadFlags(int flags);
    int readFlags() const;
    /** The descriptor of a level (0: the root), opened when none is held. The chain keeps it. */
    int descriptor(int level, int &fd);
    /** Keeps a descriptor just opened for a level; `unread`: readable and not listed yet. */
    void hold(int level, Fd &&fd, bool unread = false);
    /**
     * Hands over the descriptor of a level that was opened on the way to
     * another, readable, and not listed since.
     */
    bool takeUnread(int level, Fd &fd);

    /** How many descriptors the chain holds at most. */
    int budget() const;
    /**
     * Sets aside up to `wanted` descriptors of the budget for others (never
     * leaving the chain fewer than it needs to work); gives how many it set aside.
     */
    int reserve(int wanted);
    const MountKey &rootMount() const;
    bool walks() const;
    int held() const;
    /**
     * The highest level that no longer hangs from the one above it (its ".."
     * is another folder), the root being `rootDevice` and `rootInode`; 0 when
     * every level held, and every level between held ones, still does.
     */
    int detachedLevel(dev_t rootDevice, ino_t rootInode) const;
    /** How many folders the chain has opened. */
    quint64 opened() const;

private:
    // Levels in ascending order in one flat array: a chain holds a few hundred
    // descriptors at most, so a search and a short move beat a node per level.
    class LevelSet final
    {
    public:
        void insert(int level);
        void erase(int level);
        bool empty() const { return m_levels.empty(); }
        size_t size() const { return m_levels.size(); }
        int first() const { return m_levels.front(); }
        /** The lowest level below `level` (greater than it), or INT_MAX. */
        int after(int level) const;
        /** Moves the levels that are no multiple of `spacing` to `other`. */
        void moveOff(int spacing, LevelSet &other);

    private:
        std::vector<int> m_levels;
    };

    struct Level
    {
        QByteArray name;
        qsizetype end = 0;
        Fd fd;
        bool unread = false;
        // The folder the level held, taken when its descriptor was let go.
        bool known = false;
        dev_t device = 0;
        ino_t inode = 0;
    };
    void release(int level, bool remember = false);
    void trim(int keepFrom);
    /** Opens the levels from `from` - 1 up to `to` through "..", from the held level `from`. */
    int climb(int from, int to);

    int m_rootFd;
    MountKey m_rootMount;
    bool m_walk;
    int m_readFlags = O_RDONLY;
    int m_budget;
    int m_spacing = 1; // anchors are the held levels at multiples of this
    quint64 m_opened = 0;
    std::vector<Level> m_levels; // level n at index n - 1
    LevelSet m_anchors;
    LevelSet m_window;
};

} // namespace Vacuola::Posix
