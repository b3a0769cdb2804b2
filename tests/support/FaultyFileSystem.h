#pragma once

#include "platform/FileSystem.h"

#include <QList>
#include <QStringList>

namespace Vacuola::Test {

// The operations of FileSystem and SweepTree that can be made to fail.
enum class FsOp
{
    ListFolder,     // SweepTree::listFolder(path)
    FolderReadOnly, // SweepTree::folderReadOnly(path), and the status read along with listFolder(path)
    ClearReadOnly,  // SweepTree::clearReadOnly(path)
    DeleteInFolder, // SweepTree::deleteFile(folder, name): the path is folder + "/" + name
    TrashInFolder,  // SweepTree::trashFile(folder, name, ...): the path is folder + "/" + name
    RemoveFolder,   // SweepTree::removeFolder(path)
    MakeFolder,     // SweepTree::makeFolder(path)
    SetFolderMeta,  // SweepTree::setFolderMeta(path)
    RestoreFile,    // SweepTree::restoreFile(folder, name, ...): the path is folder + "/" + name
    ListFiles,      // FileSystem::listFiles(folder)
    DeleteFile,     // FileSystem::deleteFile(path)
    AppendToFile,   // FileSystem::appendToFile(path)
    ReadFile,       // FileSystem::readFile(path), readFilePieces(path) and readFileEnd(path)
    ReplaceFile,    // FileSystem::replaceFile(path)
    MakeFolders     // FileSystem::makeFolders(path)
};

/**
 * Wraps a real file system and makes chosen calls fail with a chosen error
 * number, since tests run as root where permission bits make nothing fail.
 * A failed call does nothing on disk.
 */
class FaultyFileSystem final : public FileSystem
{
public:
    explicit FaultyFileSystem(FileSystem &real = systemFileSystem());

    /** Makes `op` on exactly `path` fail with `error`, `times` times (negative: always). */
    void fail(FsOp op, const QString &path, int error, int times = -1);
    /** Makes `op` on any path fail with `error`. */
    void failAll(FsOp op, int error, int times = -1);
    /**
     * The next append to a file other than a sweep's journal (with `journal`, to a
     * journal only) writes its first `bytes` bytes, then fails with `error` (a
     * disk that fills up); the real file system then cuts the file back.
     */
    void failAppendAfter(int bytes, int error, bool journal = false);
    void clearFaults();

    /** Every call made, as "<op> <path>", in order (folderExists and friends are not recorded). */
    QStringList calls;

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
    int readFilePieces(const QString &path, const PieceVisitor &visit) override;
    int readFileEnd(const QString &path, qsizetype limit, QByteArray &bytes, bool &cut) override;
    int replaceFile(const QString &path, const QByteArray &bytes) override;
    int makeFolders(const QString &path) override;

    /** Used by the wrapped trees: 0, or the injected error for this call (recording the call). */
    int fault(FsOp op, const QString &path);

    // Test-only overrides of the platform's answers (mount roots, optical discs,
    // folders on a file system that ignores letter case).
    QStringList mountRoots;
    QStringList opticalDiscs;
    QStringList caseBlind;

private:
    struct Rule
    {
        FsOp op;
        QString path; // empty: any path
        int error;
        int times;
    };
    FileSystem &m_real;
    QList<Rule> m_rules;
    int m_appendLimit = -1;
    int m_appendError = 0;
    bool m_appendJournal = false;
};

} // namespace Vacuola::Test
