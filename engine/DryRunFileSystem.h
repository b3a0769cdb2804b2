#pragma once

#include "platform/FileSystem.h"

#include <QSet>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <unordered_map>
#include <vector>

namespace Vacuola {

/**
 * A file system that only pretends to change anything: it reads through the
 * real one and remembers what it was asked to remove, delete, write or
 * unprotect instead of doing it. Later listings and tests no longer see a
 * folder it pretended to remove or a file it pretended to delete, so a sweep
 * run over it judges every folder exactly as a real sweep would on the same
 * tree. Nothing on disk is ever changed through it.
 */
class DryRunFileSystem final : public FileSystem
{
    Q_DISABLE_COPY_MOVE(DryRunFileSystem)

public:
    explicit DryRunFileSystem(FileSystem &real);
    ~DryRunFileSystem() override;

    bool folderExists(const QString &path) override;
    bool entryExists(const QString &path) override;
    bool isMountRoot(const QString &path) override;
    bool isOpticalDisc(const QString &path) override;
    FolderIdentity folderIdentity(const QString &path) override;
    std::unique_ptr<SweepTree> openTree(const QString &root) override;
    int listFiles(const QString &folder, const FileVisitor &visit) override;
    int deleteFile(const QString &path) override;
    int openAppend(const QString &path, std::unique_ptr<FileAppend> &append) override;
    int readFile(const QString &path, QByteArray &bytes) override;
    int replaceFile(const QString &path, const QByteArray &bytes) override;
    int makeFolders(const QString &path) override;

private:
    friend class DryRunTree;

    // What was pretended inside one folder of the swept tree. Only folders in
    // which something was pretended have one; a removed folder's goes with it,
    // as nothing below it can be reached any more.
    struct Node
    {
        std::unordered_map<QString, std::unique_ptr<Node>> folders; // subfolders that have one
        QSet<QString> removed;                                      // subfolders pretended removed
        QSet<QString> deleted;                                      // files pretended deleted
        bool writable = false;                                      // owner-write bit pretended added
    };
    // One level of the path looked up last: where its component ends, its
    // node (null when nothing was pretended in it), and whether it is gone.
    struct Level
    {
        qsizetype end;
        Node *node;
        bool gone;
    };

    /** Starts afresh for a sweep of `root`. */
    void reset(const QString &root);
    /**
     * Brings the levels to `path`, sharing those of the path looked up last,
     * so that a walk through the tree costs one step per call; false when the
     * path does not lie at or below the swept folder.
     */
    bool lookUp(const QString &path);
    /** The node of the level, made when missing (the levels stand for the path looked up last). */
    Node &nodeAt(size_t level);
    /** True when the entry, or a folder above it, is one that was pretended away. */
    bool isGone(const QString &path);

    FileSystem &m_real;
    QString m_root;
    qsizetype m_rootEnd = 0;
    std::unique_ptr<Node> m_top;
    bool m_rootRemoved = false;
    QString m_lastPath;
    std::vector<Level> m_levels;
    QSet<QString> m_deletedOutside; // files outside the swept folder pretended deleted
};

} // namespace Vacuola
