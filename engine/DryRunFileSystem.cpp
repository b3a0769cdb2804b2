#include "engine/DryRunFileSystem.h"
#include "platform/SharedPrefix.h"

#include <cerrno>
#include <cstring>

namespace Vacuola {

namespace {

QString childPath(const QString &folder, const QString &name)
{
    return folder + QLatin1Char('/') + name;
}

} // namespace

/**
 * The swept folder seen through the pretended changes. A change that the real
 * one would refuse is refused with the error it would give, so that the dry
 * run fails where the sweep would, and nothing is pretended then.
 */
class DryRunTree final : public SweepTree
{
    Q_DISABLE_COPY_MOVE(DryRunTree)

public:
    DryRunTree(DryRunFileSystem &fileSystem, std::unique_ptr<SweepTree> real)
        : m_fs(fileSystem), m_real(std::move(real))
    {}

    void setJobs(int jobs) override { m_real->setJobs(jobs); }

    int listFolder(const QString &path, const FolderVisitor &visit, FolderStatus *status) override
    {
        if (m_fs.isGone(path))
            return ENOENT;
        const DryRunFileSystem::Node *node = m_fs.m_levels.back().node;
        if (!node)
            return m_real->listFolder(path, visit, status);
        const int error = m_real->listFolder(
            path,
            [&](const FolderEntry &entry) {
                if (entry.kind == EntryKind::Folder && node->removed.contains(entry.name))
                    return true;
                if (entry.kind == EntryKind::File && node->deleted.contains(entry.name))
                    return true;
                return visit(entry);
            },
            status);
        if (error == 0 && status && node->writable)
            status->readOnly = false;
        return error;
    }

    int folderReadOnly(const QString &path, bool &readOnly) override
    {
        if (m_fs.isGone(path))
            return ENOENT;
        const bool writable = m_fs.m_levels.back().node && m_fs.m_levels.back().node->writable;
        const int error = m_real->folderReadOnly(path, readOnly);
        if (error == 0 && writable)
            readOnly = false;
        return error;
    }

    int clearReadOnly(const QString &path) override
    {
        if (m_fs.isGone(path))
            return ENOENT;
        if (const int error = m_real->foreseeClearReadOnly(path))
            return error;
        m_fs.nodeAt(m_fs.m_levels.size() - 1).writable = true;
        return 0;
    }

    int restoreReadOnly(const QString &path) override
    {
        if (!m_fs.isGone(path) && m_fs.m_levels.back().node)
            m_fs.m_levels.back().node->writable = false;
        return 0;
    }

    int deleteFile(const QString &folder, const QString &name) override
    {
        if (m_fs.isGone(folder))
            return ENOENT;
        const DryRunFileSystem::Node *node = m_fs.m_levels.back().node;
        if (node && node->deleted.contains(name))
            return ENOENT;
        if (const int error = m_real->foreseeDeleteFile(folder, name, node && node->writable))
            return error;
        m_fs.nodeAt(m_fs.m_levels.size() - 1).deleted.insert(name);
        return 0;
    }

    int removeFolder(const QString &path) override
    {
        if (m_fs.isGone(path))
            return ENOENT;
        const size_t levels = m_fs.m_levels.size();
        const bool writable =
            levels > 1 && m_fs.m_levels[levels - 2].node && m_fs.m_levels[levels - 2].node->writable;
        if (const int error = m_real->foreseeRemoveFolder(path, writable))
            return error;
        // rmdir refuses a folder that still holds an entry. A folder that
        // cannot be listed may still be removable: shown as going, so that the
        // preview never hides a folder the sweep could remove.
        bool holdsEntry = false;
        listFolder(
            path,
            [&holdsEntry](const FolderEntry &) {
                holdsEntry = true;
                return false;
            },
            nullptr);
        if (holdsEntry)
            return ENOTEMPTY;
        m_fs.isGone(path);
        if (m_fs.m_levels.size() == 1) {
            m_fs.m_rootRemoved = true;
            return 0;
        }
        // Nothing below it can be reached any more: what was pretended there goes too.
        DryRunFileSystem::Node &parent = m_fs.nodeAt(m_fs.m_levels.size() - 2);
        const QString name = path.mid(m_fs.m_levels[m_fs.m_levels.size() - 2].end + 1);
        parent.folders.erase(name);
        parent.removed.insert(name);
        m_fs.m_levels.pop_back();
        return 0;
    }

    int foreseeRemoveFolder(const QString &path, bool writable) override
    {
        return m_real->foreseeRemoveFolder(path, writable);
    }

    int foreseeDeleteFile(const QString &folder, const QString &name, bool writable) override
    {
        return m_real->foreseeDeleteFile(folder, name, writable);
    }

    int foreseeClearReadOnly(const QString &path) override { return m_real->foreseeClearReadOnly(path); }

    // A dry run never undoes anything; nothing is made or changed.
    int makeFolder(const QString &) override { return EROFS; }
    int setFolderMeta(const QString &, const FolderMeta &) override { return EROFS; }
    int restoreFile(const QString &, const QString &, const QString &, const QString &) override
    {
        return EROFS;
    }

private:
    DryRunFileSystem &m_fs;
    std::unique_ptr<SweepTree> m_real;
};

DryRunFileSystem::DryRunFileSystem(FileSystem &real) : m_real(real) {}

DryRunFileSystem::~DryRunFileSystem() = default;

void DryRunFileSystem::reset(const QString &root)
{
    m_root = root;
    m_rootEnd = root == QLatin1String("/") ? 0 : root.size();
    m_top = std::make_unique<Node>();
    m_rootRemoved = false;
    m_lastPath = root;
    m_levels.assign(1, Level{m_rootEnd, m_top.get(), false});
    m_deletedOutside.clear();
}

bool DryRunFileSystem::lookUp(const QString &path)
{
    if (!m_top)
        return false;
    const bool isRoot = path.size() == m_root.size() && path == m_root;
    if (!isRoot && (path.size() <= m_rootEnd + 1 || path.at(m_rootEnd) != QLatin1Char('/') ||
                    QStringView(path).first(m_rootEnd) != QStringView(m_root).first(m_rootEnd)))
        return false;
    // The levels the path shares with the last one stand; the rest are walked.
    const qsizetype shared = sharedPrefix(path, m_lastPath);
    while (m_levels.size() > 1 &&
           (m_levels.back().end > shared ||
            (m_levels.back().end < path.size() && path.at(m_levels.back().end) != QLatin1Char('/'))))
        m_levels.pop_back();
    if (isRoot) {
        m_levels.resize(1);
    } else {
        qsizetype start = m_levels.back().end + 1;
        while (start <= path.size() && m_levels.back().end < path.size()) {
            qsizetype stop = path.indexOf(QLatin1Char('/'), start);
            if (stop < 0)
                stop = path.size();
            const Level &above = m_levels.back();
            Node *node = nullptr;
            bool gone = above.gone;
            if (above.node && !gone) {
                const QString name = path.mid(start, stop - start);
                gone = above.node->removed.contains(name) || above.node->deleted.contains(name);
                const auto it = above.node->folders.find(name);
                node = it == above.node->folders.end() ? nullptr : it->second.get();
            }
            m_levels.push_back(Level{stop, node, gone});
            start = stop + 1;
        }
    }
    m_lastPath = path;
    return true;
}

DryRunFileSystem::Node &DryRunFileSystem::nodeAt(size_t level)
{
    if (!m_levels[level].node) {
        Node &above = nodeAt(level - 1);
        const qsizetype start = m_levels[level - 1].end + 1;
        std::unique_ptr<Node> &made = above.folders[m_lastPath.mid(start, m_levels[level].end - start)];
        made = std::make_unique<Node>();
        m_levels[level].node = made.get();
    }
    return *m_levels[level].node;
}

bool DryRunFileSystem::isGone(const QString &path)
{
    if (!lookUp(path))
        return m_deletedOutside.contains(path);
    return m_rootRemoved || m_levels.back().gone;
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
    reset(root);
    return std::make_unique<DryRunTree>(*this, m_real.openTree(root));
}

int DryRunFileSystem::listFiles(const QString &folder, const FileVisitor &visit)
{
    if (isGone(folder))
        return ENOENT;
    return m_real.listFiles(folder, [&](const FileInfo &info) {
        if (!isGone(childPath(folder, info.name)))
            visit(info);
    });
}

int DryRunFileSystem::deleteFile(const QString &path)
{
    if (!entryExists(path))
        return ENOENT;
    if (lookUp(path) && m_levels.size() > 1)
        nodeAt(m_levels.size() - 2).deleted.insert(path.mid(m_levels[m_levels.size() - 2].end + 1));
    else
        m_deletedOutside.insert(path);
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
