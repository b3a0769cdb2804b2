#include "tests/support/FaultyFileSystem.h"

#include <memory>
#include <utility>

namespace Vacuola::Test {

namespace {

QString opName(FsOp op)
{
    switch (op) {
    case FsOp::ListFolder:
        return QStringLiteral("ListFolder");
    case FsOp::FolderReadOnly:
        return QStringLiteral("FolderReadOnly");
    case FsOp::ClearReadOnly:
        return QStringLiteral("ClearReadOnly");
    case FsOp::DeleteInFolder:
        return QStringLiteral("DeleteInFolder");
    case FsOp::TrashInFolder:
        return QStringLiteral("TrashInFolder");
    case FsOp::RemoveFolder:
        return QStringLiteral("RemoveFolder");
    case FsOp::MakeFolder:
        return QStringLiteral("MakeFolder");
    case FsOp::SetFolderMeta:
        return QStringLiteral("SetFolderMeta");
    case FsOp::RestoreFile:
        return QStringLiteral("RestoreFile");
    case FsOp::ListFiles:
        return QStringLiteral("ListFiles");
    case FsOp::DeleteFile:
        return QStringLiteral("DeleteFile");
    case FsOp::AppendToFile:
        return QStringLiteral("AppendToFile");
    case FsOp::ReadFile:
        return QStringLiteral("ReadFile");
    case FsOp::ReplaceFile:
        return QStringLiteral("ReplaceFile");
    case FsOp::MakeFolders:
        return QStringLiteral("MakeFolders");
    }
    return QStringLiteral("Unknown");
}

// A sweep tree whose every call first asks the owner for an injected failure.
class FaultyTree final : public SweepTree
{
    Q_DISABLE_COPY_MOVE(FaultyTree)

public:
    FaultyTree(FaultyFileSystem &owner, std::unique_ptr<SweepTree> real);

    int listFolder(const QString &path, const FolderVisitor &visit, FolderStatus *status) override;
    void setJobs(int jobs) override { m_real->setJobs(jobs); }
    int folderReadOnly(const QString &path, bool &readOnly) override;
    int clearReadOnly(const QString &path) override;
    int restoreReadOnly(const QString &path) override;
    QString movedFolder() override { return m_real->movedFolder(); }
    int deleteFile(const QString &folder, const QString &name) override;
    int trashFile(const QString &folder, const QString &name, const QDateTime &when,
                  QString &trashedAs) override;
    int removeFolder(const QString &path) override;
    int foreseeRemoveFolder(const QString &path, bool writable) override;
    int foreseeDeleteFile(const QString &folder, const QString &name, bool writable) override;
    int foreseeClearReadOnly(const QString &path) override;
    int makeFolder(const QString &path) override;
    int setFolderMeta(const QString &path, const FolderMeta &meta) override;
    int restoreFile(const QString &folder, const QString &name, const QString &trashedAs,
                    const QString &trashInfo) override;

private:
    FaultyFileSystem &m_owner;
    std::unique_ptr<SweepTree> m_real;
};

// An append to a disk that fills up: the first bytes reach the real file, then
// the write fails, and the real append is left unfinished (to be cut back).
class FillingAppend final : public FileAppend
{
public:
    FillingAppend(std::unique_ptr<FileAppend> real, qsizetype room, int error)
        : m_real(std::move(real)), m_room(room), m_error(error)
    {}
    int write(const QList<QByteArrayView> &pieces) override
    {
        QList<QByteArrayView> fitting;
        for (const QByteArrayView piece : pieces) {
            fitting.append(piece.first(qBound<qsizetype>(0, m_room, piece.size())));
            m_room -= piece.size();
        }
        const int error = m_real->write(fitting);
        return error != 0 ? error : (m_room < 0 ? m_error : 0);
    }
    int finish() override { return m_room < 0 ? m_error : m_real->finish(); }

private:
    std::unique_ptr<FileAppend> m_real;
    qsizetype m_room;
    int m_error;
};

FaultyTree::FaultyTree(FaultyFileSystem &owner, std::unique_ptr<SweepTree> real)
    : m_owner(owner), m_real(std::move(real))
{}

int FaultyTree::listFolder(const QString &path, const FolderVisitor &visit, FolderStatus *status)
{
    if (const int error = m_owner.fault(FsOp::ListFolder, path))
        return error;
    const int result = m_real->listFolder(path, visit, status);
    // The mode read along with a listing fails like a separate read would.
    if (result == 0 && status) {
        if (const int error = m_owner.fault(FsOp::FolderReadOnly, path)) {
            status->error = error;
            status->readOnly = true;
        }
    }
    return result;
}

int FaultyTree::folderReadOnly(const QString &path, bool &readOnly)
{
    if (const int error = m_owner.fault(FsOp::FolderReadOnly, path)) {
        // Like the real tree: a mode that cannot be read counts as read-only.
        readOnly = true;
        return error;
    }
    return m_real->folderReadOnly(path, readOnly);
}

int FaultyTree::clearReadOnly(const QString &path)
{
    if (const int error = m_owner.fault(FsOp::ClearReadOnly, path))
        return error;
    return m_real->clearReadOnly(path);
}

int FaultyTree::restoreReadOnly(const QString &path)
{
    return m_real->restoreReadOnly(path);
}

int FaultyTree::deleteFile(const QString &folder, const QString &name)
{
    if (const int error = m_owner.fault(FsOp::DeleteInFolder, folder + QLatin1Char('/') + name))
        return error;
    return m_real->deleteFile(folder, name);
}

int FaultyTree::trashFile(const QString &folder, const QString &name, const QDateTime &when,
                          QString &trashedAs)
{
    if (const int error = m_owner.fault(FsOp::TrashInFolder, folder + QLatin1Char('/') + name)) {
        trashedAs.clear();
        return error;
    }
    return m_real->trashFile(folder, name, when, trashedAs);
}

int FaultyTree::removeFolder(const QString &path)
{
    if (const int error = m_owner.fault(FsOp::RemoveFolder, path))
        return error;
    return m_real->removeFolder(path);
}

// What a change would meet fails as the change itself is made to fail.
int FaultyTree::foreseeRemoveFolder(const QString &path, bool writable)
{
    const int error = m_owner.fault(FsOp::RemoveFolder, path);
    return error ? error : m_real->foreseeRemoveFolder(path, writable);
}

int FaultyTree::foreseeDeleteFile(const QString &folder, const QString &name, bool writable)
{
    const int error = m_owner.fault(FsOp::DeleteInFolder, folder + QLatin1Char('/') + name);
    return error ? error : m_real->foreseeDeleteFile(folder, name, writable);
}

int FaultyTree::foreseeClearReadOnly(const QString &path)
{
    const int error = m_owner.fault(FsOp::ClearReadOnly, path);
    return error ? error : m_real->foreseeClearReadOnly(path);
}

int FaultyTree::makeFolder(const QString &path)
{
    if (const int error = m_owner.fault(FsOp::MakeFolder, path))
        return error;
    return m_real->makeFolder(path);
}

int FaultyTree::setFolderMeta(const QString &path, const FolderMeta &meta)
{
    if (const int error = m_owner.fault(FsOp::SetFolderMeta, path))
        return error;
    return m_real->setFolderMeta(path, meta);
}

int FaultyTree::restoreFile(const QString &folder, const QString &name, const QString &trashedAs,
                            const QString &trashInfo)
{
    if (const int error = m_owner.fault(FsOp::RestoreFile, folder + QLatin1Char('/') + name))
        return error;
    return m_real->restoreFile(folder, name, trashedAs, trashInfo);
}

} // namespace

FaultyFileSystem::FaultyFileSystem(FileSystem &real) : m_real(real) {}

void FaultyFileSystem::fail(FsOp op, const QString &path, int error, int times)
{
    m_rules.append(Rule{op, path, error, times});
}

void FaultyFileSystem::failAll(FsOp op, int error, int times)
{
    m_rules.append(Rule{op, QString(), error, times});
}

void FaultyFileSystem::failAppendAfter(int bytes, int error, bool journal)
{
    m_appendLimit = bytes < 0 ? 0 : bytes;
    m_appendError = error;
    m_appendJournal = journal;
}

void FaultyFileSystem::clearFaults()
{
    m_rules.clear();
    m_appendLimit = -1;
    m_appendError = 0;
    m_appendJournal = false;
}

int FaultyFileSystem::fault(FsOp op, const QString &path)
{
    calls << opName(op) + QLatin1Char(' ') + path;
    // The earliest rule that matches decides; a used-up rule no longer exists.
    for (qsizetype i = 0; i < m_rules.size(); ++i) {
        Rule &rule = m_rules[i];
        if (rule.op != op || (!rule.path.isEmpty() && rule.path != path))
            continue;
        const int error = rule.error;
        if (rule.times > 0 && --rule.times == 0)
            m_rules.removeAt(i);
        return error;
    }
    return 0;
}

bool FaultyFileSystem::folderExists(const QString &path)
{
    return m_real.folderExists(path);
}

bool FaultyFileSystem::entryExists(const QString &path)
{
    return m_real.entryExists(path);
}

bool FaultyFileSystem::isMountRoot(const QString &path)
{
    return mountRoots.contains(path) || m_real.isMountRoot(path);
}

bool FaultyFileSystem::isOpticalDisc(const QString &path)
{
    return opticalDiscs.contains(path) || m_real.isOpticalDisc(path);
}

FolderIdentity FaultyFileSystem::folderIdentity(const QString &path)
{
    FolderIdentity identity = m_real.folderIdentity(path);
    identity.ignoresCase = identity.ignoresCase || caseBlind.contains(path);
    return identity;
}

std::unique_ptr<SweepTree> FaultyFileSystem::openTree(const QString &root)
{
    return std::make_unique<FaultyTree>(*this, m_real.openTree(root));
}

int FaultyFileSystem::listFiles(const QString &folder, const FileVisitor &visit)
{
    if (const int error = fault(FsOp::ListFiles, folder))
        return error;
    return m_real.listFiles(folder, visit);
}

int FaultyFileSystem::deleteFile(const QString &path)
{
    if (const int error = fault(FsOp::DeleteFile, path))
        return error;
    return m_real.deleteFile(path);
}

int FaultyFileSystem::openAppend(const QString &path, std::unique_ptr<FileAppend> &append)
{
    append.reset();
    if (const int error = fault(FsOp::AppendToFile, path))
        return error;
    std::unique_ptr<FileAppend> real;
    if (const int error = m_real.openAppend(path, real))
        return error;
    // A disk that fills up is met by a log's append, or a journal's: a sweep's journal is appended to first.
    if (m_appendLimit < 0 || path.endsWith(QLatin1String(".undo")) != m_appendJournal) {
        append = std::move(real);
        return 0;
    }
    append = std::make_unique<FillingAppend>(std::move(real), m_appendLimit, m_appendError);
    m_appendLimit = -1;
    m_appendError = 0;
    return 0;
}

int FaultyFileSystem::readFile(const QString &path, QByteArray &bytes)
{
    if (const int error = fault(FsOp::ReadFile, path)) {
        bytes.clear();
        return error;
    }
    return m_real.readFile(path, bytes);
}

int FaultyFileSystem::readFilePieces(const QString &path, const PieceVisitor &visit)
{
    if (const int error = fault(FsOp::ReadFile, path))
        return error;
    return m_real.readFilePieces(path, visit);
}

int FaultyFileSystem::readFileEnd(const QString &path, qsizetype limit, QByteArray &bytes, bool &cut)
{
    cut = false;
    if (const int error = fault(FsOp::ReadFile, path)) {
        bytes.clear();
        return error;
    }
    return m_real.readFileEnd(path, limit, bytes, cut);
}

int FaultyFileSystem::replaceFile(const QString &path, const QByteArray &bytes)
{
    if (const int error = fault(FsOp::ReplaceFile, path))
        return error;
    return m_real.replaceFile(path, bytes);
}

int FaultyFileSystem::makeFolders(const QString &path)
{
    if (const int error = fault(FsOp::MakeFolders, path))
        return error;
    return m_real.makeFolders(path);
}

} // namespace Vacuola::Test
