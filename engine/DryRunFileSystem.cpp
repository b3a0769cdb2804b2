#include "engine/DryRunFileSystem.h"

#include <cerrno>

namespace Vacuola {

namespace {

QString childPath(const QString &folder, const QString &name)
{
    return folder + QLatin1Char('/') + name;
}

} // namespace

/** The swept folder seen through the pretended changes. */
class DryRunTree final : public SweepTree
{
    Q_DISABLE_COPY_MOVE(DryRunTree)

public:
    DryRunTree(DryRunFileSystem &fileSystem, std::unique_ptr<SweepTree> real)
        : m_fileSystem(fileSystem), m_real(std::move(real))
    {}

    int listFolder(const QString &path, const FolderVisitor &visit, FolderStatus *status) override
    {
        if (m_fileSystem.isGone(path))
            return ENOENT;
        const QSet<QString> &folders = m_fileSystem.m_removedFolders;
        const QSet<QString> &files = m_fileSystem.m_deletedFiles;
        const int error = m_real->listFolder(
            path,
            [&](const FolderEntry &entry) {
                if (entry.kind == EntryKind::Folder && !folders.isEmpty() &&
                    folders.contains(childPath(path, entry.name)))
                    return true;
                if (entry.kind == EntryKind::File && !files.isEmpty() &&
                    files.contains(childPath(path, entry.name)))
                    return true;
                return visit(entry);
            },
            status);
        if (error == 0 && status && m_fileSystem.m_writableFolders.contains(path))
            status->readOnly = false;
        return error;
    }

    int folderReadOnly(const QString &path, bool &readOnly) override
    {
        if (m_fileSystem.isGone(path))
            return ENOENT;
        const int error = m_real->folderReadOnly(path, readOnly);
        if (error == 0 && m_fileSystem.m_writableFolders.contains(path))
            readOnly = false;
        return error;
    }

    int clearReadOnly(const QString &path) override
    {
        bool readOnly = false;
        if (const int error = folderReadOnly(path, readOnly))
            return error;
        m_fileSystem.m_writableFolders.insert(path);
        return 0;
    }

    int restoreReadOnly(const QString &path) override
    {
        m_fileSystem.m_writableFolders.remove(path);
        return 0;
    }

    int deleteFile(const QString &folder, const QString &name) override
    {
        const QString path = childPath(folder, name);
        if (m_fileSystem.isGone(path))
            return ENOENT;
        m_fileSystem.m_deletedFiles.insert(path);
        return 0;
    }

    int removeFolder(const QString &path) override
    {
        if (m_fileSystem.isGone(path))
            return ENOENT;
        // rmdir refuses a folder that still holds an entry, and a mount point.
        bool holdsEntry = false;
        const int error = listFolder(
            path,
            [&holdsEntry](const FolderEntry &) {
                holdsEntry = true;
                return false;
            },
            nullptr);
        if (holdsEntry)
            return ENOTEMPTY;
        // A folder that cannot be listed may still be removable: shown as going,
        // so that the preview never hides a folder the sweep could remove.
        if (error != 0 && m_fileSystem.isMountRoot(path))
            return EBUSY;
        m_fileSystem.m_removedFolders.insert(path);
        return 0;
    }

private:
    DryRunFileSystem &m_fileSystem;
    std::unique_ptr<SweepTree> m_real;
};

DryRunFileSystem::DryRunFileSystem(FileSystem &real) : m_real(real) {}

DryRunFileSystem::~DryRunFileSystem() = default;

bool DryRunFileSystem::isGone(const QString &path) const
{
    if (m_removedFolders.isEmpty() && m_deletedFiles.isEmpty())
        return false;
    if (m_deletedFiles.contains(path))
        return true;
    // A removed folder held nothing, but a path below it may still be asked about.
    for (qsizetype end = path.size(); end > 0; end = path.lastIndexOf(QLatin1Char('/'), end - 1)) {
        if (m_removedFolders.contains(path.left(end)))
            return true;
    }
    return false;
}

bool DryRunFileSystem::folderExists(const QString &path)
{
    return !isGone(path) && m_real.folderExists(path);
}

bool DryRunFileSystem::entryExists(const QString &path)
{
    return !isGone(path) && m_real.entryExists(path);
}

bool DryRunFileSystem::isMountRoot(const QString &path)
{
    return m_real.isMountRoot(path);
}

bool DryRunFileSystem::isOpticalDisc(const QString &path)
{
    return m_real.isOpticalDisc(path);
}

FolderIdentity DryRunFileSystem::folderIdentity(const QString &path)
{
    return isGone(path) ? FolderIdentity() : m_real.folderIdentity(path);
}

std::unique_ptr<SweepTree> DryRunFileSystem::openTree(const QString &root)
{
    return std::make_unique<DryRunTree>(*this, m_real.openTree(root));
}

int DryRunFileSystem::listFiles(const QString &folder, const FileVisitor &visit)
{
    if (isGone(folder))
        return ENOENT;
    return m_real.listFiles(folder, [&](const FileInfo &info) {
        if (!m_deletedFiles.contains(childPath(folder, info.name)))
            visit(info);
    });
}

int DryRunFileSystem::deleteFile(const QString &path)
{
    if (!entryExists(path))
        return ENOENT;
    m_deletedFiles.insert(path);
    return 0;
}

namespace {

// An append that pretends to write.
class NoAppend final : public FileAppend
{
public:
    int write(const QList<QByteArrayView> &) override { return 0; }
    int finish() override { return 0; }
};

} // namespace

int DryRunFileSystem::openAppend(const QString &, std::unique_ptr<FileAppend> &append)
{
    append = std::make_unique<NoAppend>();
    return 0;
}

int DryRunFileSystem::readFile(const QString &path, QByteArray &bytes)
{
    if (isGone(path))
        return ENOENT;
    return m_real.readFile(path, bytes);
}

int DryRunFileSystem::replaceFile(const QString &, const QByteArray &)
{
    return 0;
}

int DryRunFileSystem::makeFolders(const QString &)
{
    return 0;
}

} // namespace Vacuola
