// Folders listed by worker threads ahead of the walk. A worker opens, reads and
// classifies; nothing here changes anything on disk, and nothing is decided:
// the walk checks every listing it takes against the folder it reaches.

#include "platform/posix/ListingPrefetch.h"

#include "platform/posix/PathBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace Vacuola::Posix {

namespace {

constexpr size_t MaxListingBytes = 256 * 1024;

char kindOf(unsigned char type)
{
    return type == DT_DIR ? 'd' : (type == DT_REG ? 'f' : 'o');
}

// Opens the folder `name` below `parentFd`, reads its mode, then its entries
// to the end.
void listAhead(int parentFd, const QByteArray &name, int flags, const MountKey &rootMount, bool walk,
               std::vector<char> &buffer, PrefetchedListing &listing)
{
    int error = openFolderBelow(parentFd, name.constData(), flags, rootMount, walk, listing.fd);
    if (error == EPERM && (flags & O_NOATIME) != 0)
        error = openFolderBelow(parentFd, name.constData(), flags & ~O_NOATIME, rootMount, walk, listing.fd);
    if (error == 0)
        error = statKnown(listing.fd.get(), "", AT_EMPTY_PATH, listing.st);
    while (error == 0) {
        const ssize_t read = ::getdents64(listing.fd.get(), buffer.data(), buffer.size());
        if (read < 0) {
            if (errno != EINTR)
                error = lastError();
            continue;
        }
        if (read == 0)
            break;
        for (ssize_t offset = 0; offset < read;) {
            const auto *d = reinterpret_cast<const struct dirent64 *>(buffer.data() + offset);
            offset += d->d_reclen;
            if (isDotOrDotDot(d->d_name))
                continue;
            unsigned char type = d->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st;
                if (::fstatat(listing.fd.get(), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                    type = S_ISDIR(st.st_mode) ? DT_DIR : (S_ISREG(st.st_mode) ? DT_REG : DT_LNK);
            }
            const size_t length = std::strlen(d->d_name);
            listing.entries.push_back(kindOf(type));
            listing.holdsFolder = listing.holdsFolder || type == DT_DIR;
            listing.entries.insert(listing.entries.end(), d->d_name, d->d_name + length + 1);
        }
        // A folder this large is listed by the walk as it goes, holding nothing.
        if (listing.entries.size() > MaxListingBytes)
            error = E2BIG;
    }
    if (error != 0) {
        listing.fd.reset();
        std::vector<char>().swap(listing.entries);
        listing.error = error;
    }
}

// The raw names of the folders among a listing's entries.
void subfoldersOf(const std::vector<char> &entries, std::vector<QByteArray> &names)
{
    for (size_t at = 0; at < entries.size();) {
        const char *rawName = entries.data() + at + 1;
        const size_t length = std::strlen(rawName);
        if (entries[at] == 'd')
            names.emplace_back(rawName, qsizetype(length));
        at += length + 2;
    }
}

} // namespace

ListingPrefetch::ListingPrefetch(int workers, int descriptors, const MountKey &rootMount, bool walk)
    : m_rootMount(rootMount), m_walk(walk)
{
    m_parentLimit = std::max(1, descriptors / 4);
    m_slotLimit = std::max(1, descriptors - m_parentLimit);
    m_threads.reserve(size_t(workers));
    try {
        for (int i = 0; i < workers; ++i)
            m_threads.emplace_back([this] { work(); });
    } catch (const std::system_error &) {
        // Fewer workers, or none: what no worker takes, the walk lists itself.
    }
}

ListingPrefetch::~ListingPrefetch()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_work.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
    // The parents' duplicates count themselves off as they go.
    m_entries.clear();
}

quint64 ListingPrefetch::made() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_made;
}

void ListingPrefetch::erase(Entries::iterator it, std::vector<Entry> &closing)
{
    Entry &entry = it->second;
    const auto path = m_byPath.constFind(entry.path);
    if (path != m_byPath.cend() && *path == it->first)
        m_byPath.erase(path);
    if (entry.state == State::Running) {
        entry.state = State::Cancelled; // its worker lets it go
        return;
    }
    if (entry.state == State::Queued) {
        --m_queued;
    } else if (entry.listing.fd.valid()) {
        --m_slots; // ready with its descriptor: the slot goes to a waiting worker
        m_work.notify_one();
    } else {
        --m_bare;
    }
    closing.push_back(std::move(entry));
    m_entries.erase(it);
}

bool ListingPrefetch::orphaned(const Entry &entry) const
{
    return entry.owner != 0 && m_entries.find(entry.owner) == m_entries.end();
}

void ListingPrefetch::dropAfter(quint64 seq, std::vector<Entry> &closing)
{
    // What a worker queued for a listing still waiting is passed over with
    // that listing, not by its place in the queue.
    for (auto it = m_entries.upper_bound(seq); it != m_entries.end();) {
        const auto next = std::next(it);
        const Entry &entry = it->second;
        if (entry.state != State::Cancelled && (entry.owner == 0 || orphaned(entry)))
            erase(it, closing);
        it = next;
    }
}

void ListingPrefetch::adopt(quint64 seq)
{
    quint64 first = 0;
    quint64 end = 0;
    for (auto it = m_entries.upper_bound(seq); it != m_entries.end(); ++it) {
        if (it->second.owner == seq) {
            it->second.owner = 0;
            if (first == 0)
                first = it->first;
            end = it->first + 1;
        }
    }
    // The walk goes there next, so the workers do too, whatever they have
    // found further on since.
    if (first != 0) {
        m_batches.push_back(Batch{first, end});
        m_work.notify_all();
    }
}

void ListingPrefetch::makeRoom(int wanted, std::vector<Entry> &closing)
{
    // What was queued first is visited last.
    const int room = std::min(wanted, m_slotLimit / 2);
    for (auto it = m_entries.begin(); it != m_entries.end() && m_slotLimit - m_slots < room;) {
        const auto next = std::next(it);
        if (it->second.state == State::Ready && it->second.listing.fd.valid())
            erase(it, closing);
        it = next;
    }
    // Parents whose subfolders are visited last give way to the one queued now,
    // and so do folders queued first when too many wait.
    const size_t queued = std::min(size_t(wanted), MaxQueued);
    for (auto it = m_entries.begin();
         it != m_entries.end() && (m_parents >= m_parentLimit || m_queued + queued > MaxQueued);) {
        const auto next = std::next(it);
        if (it->second.state == State::Queued) {
            erase(it, closing);
            closing.back().parent.reset(); // the last of its siblings lets the duplicate go
        }
        it = next;
    }
}

void ListingPrefetch::queue(const QString &parentPath, int parentFd, const std::vector<QByteArray> &names,
                            int flags)
{
    if (names.empty())
        return;
    std::vector<Entry> closing;
    const std::lock_guard<std::mutex> lock(m_mutex);
    makeRoom(int(names.size()), closing);
    queueLocked(parentPath, parentFd, names, flags, 0, closing);
}

void ListingPrefetch::queueLocked(const QString &parentPath, int parentFd,
                                  const std::vector<QByteArray> &names, int flags, quint64 owner,
                                  std::vector<Entry> &closing)
{
    if (m_parents >= m_parentLimit)
        return;
    std::shared_ptr<Fd> parent;
    const quint64 first = m_next;
    const QString prefix = parentPath.endsWith(QLatin1Char('/')) ? parentPath : parentPath + QLatin1Char('/');
    QString name;
    // The walk visits the last first.
    const size_t skipped = names.size() > MaxQueued ? names.size() - MaxQueued : 0;
    for (auto raw = names.begin() + qsizetype(skipped); raw != names.end(); ++raw) {
        if (!decodeName(raw->constData(), size_t(raw->size()), name))
            continue;
        const QString path = prefix + name;
        // Queued already by the worker that listed its parent; one queued
        // for a listing of the parent that went unused is queued afresh, by
        // the walk only: it may hold that entry's listing from find() until
        // it takes it, and a worker must not free it under it.
        const auto old = m_byPath.constFind(path);
        if (old != m_byPath.cend()) {
            const auto it = m_entries.find(*old);
            if (owner != 0 || !orphaned(it->second))
                continue;
            erase(it, closing);
        }
        if (!parent) {
            Fd copy(::fcntl(parentFd, F_DUPFD_CLOEXEC, 0));
            if (!copy.valid())
                break;
            ++m_parents;
            parent = std::shared_ptr<Fd>(new Fd(std::move(copy)), [this](Fd *fd) {
                delete fd;
                --m_parents;
            });
        }
        const quint64 seq = m_next++;
        m_entries.emplace(seq, Entry{path, parent, *raw, flags, State::Queued, PrefetchedListing(), owner});
        ++m_queued;
        m_byPath.insert(path, seq);
    }
    if (m_next != first) {
        m_batches.push_back(Batch{first, m_next});
        m_work.notify_all();
    }
}

const PrefetchedListing *ListingPrefetch::find(const QString &path)
{
    std::vector<Entry> closing;
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto found = m_byPath.constFind(path);
    if (found == m_byPath.cend())
        return nullptr;
    const quint64 seq = *found;
    dropAfter(seq, closing);
    const auto it = m_entries.find(seq);
    if (it->second.state == State::Queued) {
        erase(it, closing);
        return nullptr;
    }
    m_done.wait(lock, [&] { return it->second.state == State::Ready; });
    return &it->second.listing;
}

PrefetchedListing ListingPrefetch::take(const QString &path)
{
    std::vector<Entry> closing;
    const std::lock_guard<std::mutex> lock(m_mutex);
    PrefetchedListing listing;
    const auto found = m_byPath.constFind(path);
    if (found == m_byPath.cend())
        return listing;
    const auto it = m_entries.find(*found);
    if (it->second.state == State::Ready) {
        adopt(it->first);
        erase(it, closing);
        listing = std::move(closing.back().listing);
    }
    return listing;
}

void ListingPrefetch::drop(const QString &path)
{
    std::vector<Entry> closing;
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_byPath.constFind(path);
    if (found == m_byPath.cend())
        return;
    erase(m_entries.find(*found), closing);
}

void ListingPrefetch::work()
{
    std::vector<char> buffer(64 * 1024);
    std::vector<QByteArray> subfolders;
    std::vector<Entry> closing;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        auto queued = m_entries.end();
        while (!m_batches.empty() && queued == m_entries.end()) {
            Batch &batch = m_batches.back();
            while (batch.first < batch.end && queued == m_entries.end()) {
                const auto it = m_entries.find(--batch.end);
                if (it != m_entries.end() && it->second.state == State::Queued && !orphaned(it->second))
                    queued = it;
            }
            if (queued == m_entries.end())
                m_batches.pop_back();
        }
        if (m_stop)
            return;
        if (queued == m_entries.end() || m_slots >= m_slotLimit) {
            if (queued != m_entries.end())
                ++m_batches.back().end; // taken when a slot is free
            m_work.wait(lock);
            continue;
        }
        const quint64 seq = queued->first;
        Entry &entry = queued->second;
        entry.state = State::Running;
        ++m_slots;
        --m_queued;
        std::shared_ptr<Fd> parent = std::move(entry.parent);
        const QByteArray name = entry.name;
        const int flags = entry.flags;
        lock.unlock();

        PrefetchedListing listing;
        listAhead(parent->get(), name, flags, m_rootMount, m_walk, buffer, listing);
        parent.reset();
        // Nothing is ever opened below an empty folder, nor is it listed
        // again from here: its slot goes to the next listing.
        if (listing.entries.empty())
            listing.fd.reset();

        lock.lock();
        ++m_made;
        const auto it = m_entries.find(seq);
        if (it->second.state == State::Cancelled) {
            --m_slots;
            m_entries.erase(it);
            lock.unlock();
            listing = PrefetchedListing(); // closed unlocked
            lock.lock();
            continue;
        }
        it->second.listing = std::move(listing);
        it->second.state = State::Ready;
        if (!it->second.listing.fd.valid()) {
            --m_slots;
            ++m_bare;
            m_work.notify_one();
        }
        m_done.notify_all();
        // Its subfolders are what the walk visits next: listed before it gets
        // there, not once it has taken this listing. Only while there is room:
        // a worker never drops what the walk has yet to take.
        const PrefetchedListing &made = it->second.listing;
        subfolders.clear();
        if (made.error == 0 && made.holdsFolder)
            subfoldersOf(made.entries, subfolders);
        if (!subfolders.empty() && m_queued + m_bare + subfolders.size() <= MaxQueued)
            queueLocked(it->second.path, made.fd.get(), subfolders, flags, seq, closing);
        if (!closing.empty()) {
            lock.unlock();
            closing.clear();
            lock.lock();
        }
    }
}

} // namespace Vacuola::Posix
