#include "platform/FileSystem.h"

#include <cerrno>

namespace Vacuola {

int SweepTree::trashFile(const QString &, const QString &, const QDateTime &, QString &trashedAs)
{
    trashedAs.clear();
    return EXDEV;
}

int SweepTree::removeIfEmpty(const QString &, FolderMeta &)
{
    return ENOTSUP;
}

int FileSystem::appendToFile(const QString &path, const QList<QByteArrayView> &pieces)
{
    std::unique_ptr<FileAppend> append;
    if (const int error = openAppend(path, append))
        return error;
    if (const int error = append->write(pieces))
        return error;
    return append->finish();
}

int FileSystem::appendToFile(const QString &path, const QByteArray &bytes)
{
    return appendToFile(path, QList<QByteArrayView>{QByteArrayView(bytes)});
}

int FileSystem::readFilePieces(const QString &path, const PieceVisitor &visit)
{
    QByteArray bytes;
    if (const int error = readFile(path, bytes))
        return error;
    if (!bytes.isEmpty())
        visit(bytes);
    return 0;
}

int FileSystem::readFileEnd(const QString &path, qsizetype limit, QByteArray &bytes, bool &cut)
{
    const int error = readFile(path, bytes);
    cut = bytes.size() > limit;
    if (cut)
        bytes.remove(0, bytes.size() - limit);
    return error;
}

} // namespace Vacuola
