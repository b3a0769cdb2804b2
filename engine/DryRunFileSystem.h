#pragma once

#include "platform/FileSystem.h"

#include <QSet>
#include <QString>
#include <QtGlobal>

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

    /** True when the entry, or a folder above it, is one that was pretended away. */
    bool isGone(const QString &path) const;

    FileSystem &m_real;
    QSet<QString> m_removedFolders;
    QSet<QString> m_deletedFiles;
    QSet<QString> m_writableFolders; // read-only folders whose attribute was pretended cleared
};

} // namespace Vacuola
