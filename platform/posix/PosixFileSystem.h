#pragma once

#include "platform/FileSystem.h"

namespace Vacuola {

/**
 * The file system of a Linux machine. Paths are absolute POSIX paths in the
 * file-name encoding (UTF-8); entries whose names do not survive a decode and
 * encode round trip are reported as content and never addressed.
 */
class PosixFileSystem final : public FileSystem
{
    Q_DISABLE_COPY_MOVE(PosixFileSystem)

public:
    // How the folders below a swept folder are resolved. Kernels without openat2
    // get the component walk; tests pick it to cover that road on new kernels.
    enum class Resolver
    {
        Automatic, // openat2, the component walk when the kernel lacks it
        Walk       // always the component walk
    };

    explicit PosixFileSystem(Resolver resolver = Resolver::Automatic);
    ~PosixFileSystem() override;

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

private:
    Resolver m_resolver;
};

} // namespace Vacuola
