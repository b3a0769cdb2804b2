#pragma once

#include "platform/FileSystem.h"
#include "platform/posix/Fd.h"
#include "platform/posix/FolderChain.h"
#include "platform/posix/ListingPrefetch.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

namespace Vacuola::Posix {

class TrashCan;

/** What a folder's status says of it (mode, owner, times). */
FolderMeta describe(const struct stat &st);

/**
 * The swept folder and everything below it. Every folder below the root is
 * opened one component at a time relative to its parent's descriptor, without
 * following a symbolic link and without entering another mount; nothing
 * outside the root is reachable, and no operation needs a whole path, so trees
 * of any depth are swept.
 */
class PosixSweepTree final : public SweepTree
{
    Q_DISABLE_COPY_MOVE(PosixSweepTree)

public:
    /** `walk`: resolve by openat and a mount check even where openat2 exists. */
    PosixSweepTree(const QString &root, bool walk);
    ~PosixSweepTree() override;

    int listFolder(const QString &path, const FolderVisitor &visit, FolderStatus *status) override;
    void setJobs(int jobs) override;
    int folderReadOnly(const QString &path, bool &readOnly) override;
    int clearReadOnly(const QString &path) override;
    int restoreReadOnly(const QString &path) override;
    int deleteFile(const QString &folder, const QString &name) override;
    int trashFile(const QString &folder, const QString &name, const QDateTime &when,
                  QString &trashedAs) override;
    int removeFolder(const QString &path) override;
    int foreseeRemoveFolder(const QString &path, bool writable) override;
    int foreseeDeleteFile(const QString &folder, const QString &name, bool writable) override;
    int foreseeClearReadOnly(const QString &path) override;
    QString movedFolder() override;
    int removeIfEmpty(const QString &path, FolderMeta &removed) override;
    bool removesIfEmpty() const override { return true; }
    int makeFolder(const QString &path) override;
    int setFolderMeta(const QString &path, const FolderMeta &meta) override;
    int restoreFile(const QString &folder, const QString &name, const QString &trashedAs,
                    const QString &trashInfo) override;

    /** How many descriptors the tree holds open at most, and holds now. */
    int descriptorBudget() const;
    int descriptorsHeld() const;
    /** How many folders below the root the tree has opened, workers' included. */
    quint64 foldersOpened() const;
    /** How many listings workers made ahead, and how many of those the walk refused. */
    quint64 listingsAhead() const;
    quint64 listingsRefused() const;

private:
    /** Brings the chain to the folder at `path`; `depth` is its level (0: the root). */
    int resolve(const QString &path, int &depth);
    /** Opens the folder of a level afresh from its parent, so that a swap for a link is seen. */
    int openLevel(int depth, int flags, Fd &fd);
    /** Opens a folder to list it, or takes the listing a worker made of it while it is still there. */
    int openToList(const QString &path, int depth, Fd &fd, PrefetchedListing &ahead, bool &listedAhead);
    /** Whether the folder of a level is still the one a worker listed (device and inode). */
    bool stillListed(int depth, const struct stat &listed);
    /**
     * Before anything in a folder is changed through `fd` (-1: it could not be
     * opened): whether that is the folder whose listing was taken unchecked
     * (ESTALE if not, for that change and every later one).
     */
    int checkUnchecked(const QString &path, int fd);
    /** The workers, started with the first listing that has subfolders (null: none). */
    ListingPrefetch *prefetch();
    /** What the swept file system is: how many workers it wants. */
    void readFileSystemType();
    /** The workers a listing gets without a number given. */
    int automaticJobs() const;
    /** The swept folder's parent, opened by path, and the root's name in it, while it is still the root. */
    int rootInParent(Fd &parent, QByteArray &name);
    int removeRoot();
    /** What unlinking `name` in the folder `parent` would meet; a folder with rmdir's rules. */
    int foreseeUnlink(int parent, const char *name, bool writable, bool folder);
    /** Whether the tree lies on a file system mounted read-only (asked once). */
    bool readOnlyMount();
    /** Reaches the regular file `name` of a folder: the folder's descriptor and the name's bytes. */
    int regularFile(const QString &folder, const QString &name, int &fd, QByteArray &rawName);
    /** Takes the descriptor of the root as the tree's own. */
    int attachRoot(Fd &&fd);
    int makeRoot();
    /** Changes the owner-write bit of a folder, every other mode bit as read. */
    int setOwnerWrite(const QString &path, bool writable);

    QString m_root;
    QByteArray m_rootBytes;
    Fd m_rootFd;
    int m_rootError = 0;
    bool m_walk = false;
    dev_t m_rootDev = 0;
    ino_t m_rootIno = 0;
    // Where the first component starts in a path below the root.
    qsizetype m_rootEnd = 0;
    std::unique_ptr<FolderChain> m_chain;
    // The path the chain was last brought to; its levels name prefixes of it.
    QString m_chainPath;
    quint64 m_generation = 0;
    std::vector<char> m_buffer;
    int m_readOnlyMount = -1; // unknown until asked
    std::unique_ptr<TrashCan> m_trash;
    int m_jobs = 0;
    bool m_remote = false;
    bool m_prefetchTried = false;
    std::unique_ptr<ListingPrefetch> m_prefetch;
    quint64 m_refused = 0;
    // The folder listed last, and its status as its listing read it (empty: unknown).
    QString m_listedPath;
    struct stat m_listedStat = {};
    // A folder listed ahead and taken without checking that its name still
    // leads to it, the folder listed then, and whether a check found it gone.
    QString m_uncheckedPath;
    struct stat m_uncheckedStat = {};
    bool m_uncheckedRefused = false;
    // The folder whose removal was tried last without success, and its status then.
    QString m_probedPath;
    struct stat m_probedStat = {};
};

} // namespace Vacuola::Posix
