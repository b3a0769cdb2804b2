#pragma once

#include "platform/posix/Fd.h"
#include "platform/posix/FolderChain.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace Vacuola::Posix {

/** A folder listed ahead of the walk: its descriptor, read to its end, and what it held. */
struct PrefetchedListing
{
    Fd fd;
    struct stat st = {}; // read right after the open
    // Per entry: its kind ('d' folder, 'f' regular file, 'o' anything else), its name, a NUL.
    std::vector<char> entries;
    bool holdsFolder = false; // one of the entries is a folder
    int error = 0;            // the folder could not be listed so: the walk lists it itself
};

/**
 * Worker threads that list folders before the walk gets to them. The walk
 * queues the subfolders of each folder it has listed and visits them last to
 * first; the workers list the most recently queued batch first, in that
 * order, and queue the subfolders of what they listed themselves, so that
 * they stay ahead of the walk however deep it goes. Each is opened relative
 * to a duplicate of its parent's descriptor with the walk's own rules (one
 * component, no link followed, no mount crossed). Workers only open, read and
 * classify: the walk alone decides what a listing means, and checks that the
 * folder is still the one listed.
 *
 * Descriptors: at most `descriptors` at any time, parents' duplicates and
 * listings together (three quarters of them listings, an empty folder's
 * listing holding none); memory: each listing at most 256 KiB of names (a
 * larger folder is left to the walk), so 24 MiB at most with the 96 listings
 * of the usual 128 descriptors, and at most MaxQueued folders waiting, and as
 * many empty ones listed.
 */
class ListingPrefetch final
{
    Q_DISABLE_COPY_MOVE(ListingPrefetch)

public:
    /** At most this many folders wait for a worker; of a larger batch, those the walk visits first. */
    static constexpr size_t MaxQueued = 4096;

    ListingPrefetch(int workers, int descriptors, const MountKey &rootMount, bool walk);
    /** Stops the workers and closes everything still held. */
    ~ListingPrefetch();

    /**
     * Queues the subfolders `names` (raw bytes) of the folder `parentPath`
     * held as `parentFd`, opened with `flags`; paths are parentPath + "/" + name.
     */
    void queue(const QString &parentPath, int parentFd, const std::vector<QByteArray> &names, int flags);
    /**
     * The listing of the folder at `path` when a worker made it or is making
     * it (then waits for it); it stays here, valid until the walk's next call,
     * as only the walk's own calls ever remove an entry (a worker lets go only
     * of one it was listing that is no longer wanted). Null when there is
     * none; one only queued is dropped, and so is every listing queued after
     * it, which the walk has passed over.
     */
    const PrefetchedListing *find(const QString &path);
    /** Hands over the listing find() gave. */
    PrefetchedListing take(const QString &path);
    /** Forgets the listing of `path`, if any. */
    void drop(const QString &path);
    /** How many listings the workers made in all. */
    quint64 made() const;

private:
    enum class State
    {
        Queued,
        Running,
        Ready,
        Cancelled // running, and unwanted when done
    };
    struct Entry
    {
        QString path;
        std::shared_ptr<Fd> parent;
        QByteArray name;
        int flags = 0;
        State state = State::Queued;
        PrefetchedListing listing;
        // Queued by the worker that listed its parent, whose entry this is,
        // until the walk takes that listing (0: the walk's own order).
        quint64 owner = 0;
    };
    using Entries = std::map<quint64, Entry>;

    void work();
    // Under the lock. What goes is moved to `closing`, whose descriptors are
    // closed once the lock is let go.
    /** Removes an entry, or marks it cancelled while a worker lists it. */
    void erase(Entries::iterator it, std::vector<Entry> &closing);
    /**
     * Drops what the walk has passed over on its way to the folder queued as
     * `seq`: what was queued after it in the walk's own order, and what
     * belongs to a listing dropped unused.
     */
    void dropAfter(quint64 seq, std::vector<Entry> &closing);
    /** Whether an entry belonged to a listing that went unused. */
    bool orphaned(const Entry &entry) const;
    /** The subfolders a worker queued for the listing `seq` join the walk's order. */
    void adopt(quint64 seq);
    /** Makes room for `wanted` more listings, dropping those the walk needs last. */
    void makeRoom(int wanted, std::vector<Entry> &closing);
    /** Queues the subfolders of a folder, those queued already kept as they are. */
    void queueLocked(const QString &parentPath, int parentFd, const std::vector<QByteArray> &names, int flags,
                     quint64 owner, std::vector<Entry> &closing);

    const MountKey m_rootMount;
    const bool m_walk;
    int m_parentLimit = 1; // parents' duplicates
    int m_slotLimit = 1;   // listings running or ready
    mutable std::mutex m_mutex;
    std::condition_variable m_work; // something queued, a slot freed, or stop
    std::condition_variable m_done; // a listing is ready
    Entries m_entries;              // by the order queued
    QHash<QString, quint64> m_byPath;
    // The subfolders of each listed folder, the last listed on top, and on
    // top again once the walk takes that folder's listing: workers that ran
    // on into folders the walk reaches much later come back to where it is.
    // Workers take a batch in the order the walk visits it, from its end, so
    // that on a share the walk waits at most for a listing under way instead
    // of making it itself.
    struct Batch
    {
        quint64 first;
        quint64 end; // past the last not yet taken by a worker
    };
    std::vector<Batch> m_batches;
    std::atomic<int> m_parents = 0; // parents' duplicates held
    int m_slots = 0;                // listings running or ready, each one descriptor
    // Listings ready without a descriptor: a folder found empty, or that could
    // not be listed, lets it go at once, as the walk removes it from its
    // parent or opens it afresh.
    size_t m_bare = 0;
    size_t m_queued = 0; // entries waiting for a worker
    quint64 m_next = 1;
    quint64 m_made = 0;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

} // namespace Vacuola::Posix
