#pragma once

#include "engine/FolderNodes.h"
#include "platform/FileSystem.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <deque>
#include <memory>
#include <vector>

namespace Vacuola {

/**
 * A folder that a sweep removed, as its journal tells of it; packed without
 * gaps, since a journal may tell of millions.
 */
struct JournalFolder
{
    qint64 accessSeconds = 0;
    qint64 modifySeconds = 0;
    quint32 owner = 0;
    quint32 group = 0;
    qint32 accessNanoseconds = 0;
    qint32 modifyNanoseconds = 0;
    FolderNodes::Id node = 0; // in UndoRecord::tree
    quint16 mode = 0;
    bool described = false; // the fields above the node are valid

    FolderMeta meta() const
    {
        return FolderMeta{
            mode, owner, group, accessSeconds, accessNanoseconds, modifySeconds, modifyNanoseconds};
    }
    void describe(const FolderMeta &meta)
    {
        accessSeconds = meta.accessSeconds;
        modifySeconds = meta.modifySeconds;
        owner = meta.owner;
        group = meta.group;
        accessNanoseconds = meta.accessNanoseconds;
        modifyNanoseconds = meta.modifyNanoseconds;
        mode = quint16(meta.mode & 07777);
        described = true;
    }
};

/** A management file that a sweep took away. */
struct JournalFile
{
    FolderNodes::Id folder = 0; // in UndoRecord::tree
    QString name;
    QString trashedAs; // where it lies in the trash, absolute; empty when it was deleted for good
    QString trashInfo; // its .trashinfo, absolute; empty when it was deleted for good
};

/** What a journal tells of one sweep. */
struct UndoRecord
{
    QString path; // the journal file
    QString root; // the swept folder
    QDateTime start;
    // Every folder the journal names, each as its parent and its name, the
    // swept folder its root: no whole path is held for any of them. Shared
    // with a restoration, which outlives the record.
    std::shared_ptr<FolderNodes> tree;
    // In the order of their removal, each after all below it; grown a block at
    // a time, never copied whole.
    std::deque<JournalFolder> folders;
    QList<JournalFile> files;
    bool undone = false;
    // The sweep ended and the journal tells of all it removed; false for one
    // cut short (the program ended abruptly), which tells of what it removed until then.
    bool whole = false;
};

/**
 * The record a sweep leaves of what it removed, so that the sweep can be
 * undone. One file per sweep beside the logs ("Vacuola-" + the start as
 * yyyyMMdd-HHmmsszzz + ".undo"), purged with them. Each record is appended the
 * moment its removal has happened, so a sweep that ends abruptly still leaves
 * a journal of everything removed so far; nothing of it is held in memory.
 * A folder that waits for its subfolders to go is described when it is first
 * listed, before anything below it changes its times.
 *
 * Folders are named by the numbers of the sweep's folder tree: each one once,
 * by its parent's number and its own name, before the first record that
 * needs it, so that a deep tree's journal never holds a whole path.
 */
class UndoJournal final
{
    Q_DISABLE_COPY_MOVE(UndoJournal)

public:
    UndoJournal();
    ~UndoJournal();

    /** A sweep of the root of `nodes` begins. Nothing is written before the first record. */
    void begin(FileSystem &fileSystem, const QString &folder, const FolderNodes &nodes,
               const QDateTime &start);
    /** A folder that waits for its subfolders, as it was when first listed. */
    void seen(quint32 id, const FolderStatus &status);
    /** A folder removed; `status` describes it when its description was not given by seen(). */
    void removed(quint32 id, const FolderStatus *status);
    /** A management file of a folder moved to the trash (`trashedAs`, its path there), or deleted for good
     * (empty). */
    void fileTaken(quint32 folder, const QString &name, const QString &trashedAs);
    /**
     * The sweep has ended: the journal stands, or is taken away when no folder
     * was removed or when any of it could not be written.
     */
    void end();
    /** 0, or why the journal of a sweep that removed something could not be written: it cannot be undone. */
    int error() const;
    /** The journal file, once it was named. */
    QString path() const;

    static QString suffix();
    /** Reads a journal, a piece at a time: only the tree of its folders is held. */
    static int read(FileSystem &fileSystem, const QString &path, UndoRecord &record);
    /**
     * The newest journal in `folder` that is not undone yet; only one of the
     * swept folder `root` when that is given. False when there is none. Only
     * the heads and the ends of the others are read.
     */
    static bool findLast(FileSystem &fileSystem, const QString &folder, const QString &root,
                         UndoRecord &record);
    /** Whether any journal in `folder` is not undone yet; reads only the ends of the journals. */
    static bool anyLeft(FileSystem &fileSystem, const QString &folder);
    /** Marks a journal as undone: it is no longer offered. */
    static int markUndone(FileSystem &fileSystem, const QString &path, const QDateTime &when);

private:
    bool open();
    void fail(int error);
    void name(quint32 id);
    bool startRecord(quint32 id);
    void batched();
    void flush();

    FileSystem *m_fileSystem = nullptr;
    const FolderNodes *m_nodes = nullptr;
    QString m_folder;
    QDateTime m_start;
    QString m_path;
    std::unique_ptr<FileAppend> m_append;
    QByteArray m_pending; // records not yet in the file
    QElapsedTimer m_pendingSince;
    int m_error = 0;
    bool m_removedAny = false;
    std::vector<bool> m_named; // by folder: its record written
    std::vector<quint32> m_unnamed;
    QString m_name;
};

} // namespace Vacuola
