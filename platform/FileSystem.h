#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace Vacuola {

// Every result of type int below is 0 on success or the operating system's error
// number of the call that failed (errno on POSIX), taken right after the failure.

enum class EntryKind
{
    Folder, // a real directory (never a symbolic link to one)
    File,   // a regular file
    Other   // symbolic link, fifo, socket, device, or a name that cannot be decoded: always content
};

struct FolderEntry
{
    QString name;
    EntryKind kind = EntryKind::Other;
};

// One entry of a plain listing outside a sweep (log files of the program folder).
struct FileInfo
{
    QString name;
    EntryKind kind = EntryKind::Other;
    bool readOnly = false; // owner-write bit clear
    QDateTime lastWrite;   // local time
};

// What a folder is besides its name and its entries: enough to make it again.
struct FolderMeta
{
    quint32 mode = 0; // permission bits, 07777
    quint32 owner = 0;
    quint32 group = 0;
    qint64 accessSeconds = 0;
    qint32 accessNanoseconds = 0;
    qint64 modifySeconds = 0;
    qint32 modifyNanoseconds = 0;
};

// What a listing learnt of the listed folder itself, from the descriptor it read.
struct FolderStatus
{
    int error = 0;         // 0, or why the folder's mode could not be read
    bool readOnly = false; // owner-write bit clear
    FolderMeta meta;       // valid when error is 0
    // Cleared by a visitor that has seen enough to keep the folder: its mode
    // is then not read (one system call less for most folders of a tree).
    bool wanted = true;
};

// What tells two folders apart on disk.
struct FolderIdentity
{
    bool exists = false; // the path names a folder (links followed)
    quint64 device = 0;
    quint64 inode = 0;
    bool ignoresCase = false; // the folder's file system ignores letter case (vfat, exfat, ntfs, ...)
};

using FolderVisitor = std::function<bool(const FolderEntry &)>; // return false to stop the listing
using FileVisitor = std::function<void(const FileInfo &)>;
using PieceVisitor = std::function<bool(QByteArrayView piece)>; // return false to stop the reading

/**
 * Operations confined to one swept folder (the root). Every path handed in is
 * absolute and is either the root itself or root + "/" + relative components.
 * Implementations never follow a symbolic link below the root, never cross into
 * another mounted file system, never leave the root, and remove folders only
 * with rmdir semantics. A path that does not lie at or below the root fails
 * with EXDEV without touching anything.
 */
class SweepTree
{
public:
    virtual ~SweepTree() = default;

    /**
     * Lists a folder, "." and ".." left out, in the order the system returns them.
     * With a status, also reads the listed folder's read-only mapping from the
     * same descriptor (spares the sweep a second path walk for a folder it is
     * about to remove). The status is left untouched when the listing fails.
     */
    virtual int listFolder(const QString &path, const FolderVisitor &visit, FolderStatus *status) = 0;
    /**
     * How many threads list folders ahead of the sweep's own, which alone
     * decides and changes: 1 lists every folder on the sweep's thread; 0 (the
     * default) takes the VACUOLA_JOBS environment variable, else 1 on a local
     * file system and several on a network or FUSE one. Only before the first
     * listing.
     */
    virtual void setJobs(int jobs) { Q_UNUSED(jobs) }
    /** Reads the read-only mapping of a folder (owner-write bit clear). */
    virtual int folderReadOnly(const QString &path, bool &readOnly) = 0;
    /** Adds the owner-write bit, every other mode bit as read. */
    virtual int clearReadOnly(const QString &path) = 0;
    /** Takes the owner-write bit away again, every other mode bit as read. */
    virtual int restoreReadOnly(const QString &path) = 0;
    /** Deletes the regular file `name` (one component) in `folder`. Never a folder or a link target. */
    virtual int deleteFile(const QString &folder, const QString &name) = 0;
    /**
     * Moves the regular file `name` (one component) in `folder` to the desktop's
     * trash, recording `when` (local time) as its deletion date; `trashedAs` gets
     * the path it has there. EXDEV, with nothing done, where no trash can take
     * it without a copy across file systems.
     */
    virtual int trashFile(const QString &folder, const QString &name, const QDateTime &when,
                          QString &trashedAs);
    /** rmdir: never removes a folder that holds an entry. The root itself may be removed. */
    virtual int removeFolder(const QString &path) = 0;
    /**
     * Checks that the folders the tree holds open still hang from the root
     * (each one's ".." is the folder above it). When one was moved out, lets go
     * of it and of everything held below it, and gives its old path; else "".
     */
    virtual QString movedFolder() { return QString(); }

    // What a change would meet, found without making it (the dry run): the
    // error the change would fail with, taken from the same checks the system
    // makes, in its order. `writable`: the owner-write bit of the folder that
    // is written (the parent of a removed folder) counts as set.

    /** Removing the folder, whether or not it is empty. */
    virtual int foreseeRemoveFolder(const QString &path, bool writable) = 0;
    /** Deleting the regular file `name` in `folder`. */
    virtual int foreseeDeleteFile(const QString &folder, const QString &name, bool writable) = 0;
    /** Adding the owner-write bit: only the folder's owner may change its mode. */
    virtual int foreseeClearReadOnly(const QString &path) = 0;

    /**
     * rmdir of a folder below the root before it was ever listed, for the many
     * folders that hold nothing: tried only on a folder of the root's file
     * system whose owner-write bit is set (its mode read without following a
     * link). Fails without touching anything otherwise, and where a tree does
     * not offer it; the caller then lists the folder as usual. `removed` gets
     * what the folder was, read just before its removal.
     */
    virtual int removeIfEmpty(const QString &path, FolderMeta &removed);
    /** Whether removeIfEmpty is offered at all. */
    virtual bool removesIfEmpty() const { return false; }

    // Undoing a sweep. Nothing that exists is replaced or changed.

    /**
     * Makes the folder afresh (mkdir relative to its parent's descriptor, the
     * root's parent by its path), for the user alone until its mode is set;
     * EEXIST when any entry, a link included, bears the name.
     */
    virtual int makeFolder(const QString &path) = 0;
    /**
     * Gives a folder its owner (only when run as root), mode and times, through
     * a descriptor of the folder itself opened without following a link.
     */
    virtual int setFolderMeta(const QString &path, const FolderMeta &meta) = 0;
    /**
     * Moves a file back from the trash (`trashedAs`, its path in the trash's
     * files folder) to `name` in `folder`, without replacing anything there
     * (EEXIST), then deletes its .trashinfo (`trashInfo`). Only a regular file
     * is moved, and neither of its folders' last components is followed as a link.
     */
    virtual int restoreFile(const QString &folder, const QString &name, const QString &trashedAs,
                            const QString &trashInfo) = 0;
};

/**
 * An append to one of the program's files under way. The file's advisory lock
 * (flock) is held from the opening to the end, so that the blocks of two
 * programs appending to one file never interleave; whatever fails leaves the
 * file as it was when the append began (cut back to that length).
 */
class FileAppend
{
public:
    /** An append that was not finished is cut back. */
    virtual ~FileAppend() = default;
    /** Appends the pieces, in order. After a failure the file is cut back and every later call fails. */
    virtual int write(const QList<QByteArrayView> &pieces) = 0;
    /** Makes what was written stand and lets go of the file. */
    virtual int finish() = 0;
};

/**
 * The file system as the program sees it. One implementation per operating
 * system; tests wrap the real one to inject failures.
 */
class FileSystem
{
public:
    virtual ~FileSystem() = default;

    /** True exactly when the path can be stat()ed and is a directory (links followed). */
    virtual bool folderExists(const QString &path) = 0;
    /** True when any entry of that name exists (lstat: links are not followed). */
    virtual bool entryExists(const QString &path) = 0;
    /** True when the folder is the root of a mounted file system ("/" or a mount point). */
    virtual bool isMountRoot(const QString &path) = 0;
    /** True when the folder lies on an optical-disc file system (iso9660, UDF). */
    virtual bool isOpticalDisc(const QString &path) = 0;
    /** The device and inode of the folder the path names (links followed), and its file system's case rule.
     */
    virtual FolderIdentity folderIdentity(const QString &path) = 0;

    /** Opens the swept folder. Never null: when the root cannot be opened every call on the tree fails. */
    virtual std::unique_ptr<SweepTree> openTree(const QString &root) = 0;

    /** Lists the entries of a folder with their kind, write bit and last-write time; links are not followed.
     */
    virtual int listFiles(const QString &folder, const FileVisitor &visit) = 0;
    /** Deletes a file (unlink); never a folder. */
    virtual int deleteFile(const QString &path) = 0;

    // The program's own files (settings, logs). No call blocks on a fifo or a
    // device; a folder fails with EISDIR, anything else that is not a regular file with EACCES.

    /**
     * Opens a file to append to it at its end, creating it when missing, and
     * waits for its lock. Only a regular file reached without following a link
     * as the last component. The file only ever grows by whole appends.
     */
    virtual int openAppend(const QString &path, std::unique_ptr<FileAppend> &append) = 0;
    /** Appends the pieces as one block: all of them, or none when anything fails. */
    int appendToFile(const QString &path, const QList<QByteArrayView> &pieces);
    /** Appends bytes as one block. */
    int appendToFile(const QString &path, const QByteArray &bytes);
    /** Reads a whole regular file (links followed) of at most 16 MiB; a larger one fails with EFBIG. */
    virtual int readFile(const QString &path, QByteArray &bytes) = 0;
    /**
     * Reads a regular file like readFile, but of any length and a piece at a
     * time: `visit` gets the pieces in order, each valid only during its call.
     */
    virtual int readFilePieces(const QString &path, const PieceVisitor &visit);
    /**
     * Reads a regular file like readFile, but only its last `limit` bytes (at
     * most 16 MiB); `cut` tells whether anything before them was left out.
     */
    virtual int readFileEnd(const QString &path, qsizetype limit, QByteArray &bytes, bool &cut);
    /**
     * Replaces the file atomically: temporary file in the same folder, flush, rename. A symbolic link
     * is kept and the regular file it names is replaced beside itself. Afterwards removes the
     * temporaries that interrupted saves left there.
     */
    virtual int replaceFile(const QString &path, const QByteArray &bytes) = 0;
    /**
     * Makes an absolute folder and every missing parent, each for the user alone
     * (mode 0700). A folder that exists already, also one reached through a
     * symbolic link, is left as it is; ENOTDIR when something else stands there.
     */
    virtual int makeFolders(const QString &path) = 0;
};

/** The file system of the machine the program runs on. */
FileSystem &systemFileSystem();

/** The system's message text for an error number, trimmed of trailing blanks and dots, at most 255 bytes. */
QString errorMessage(int error);

} // namespace Vacuola
