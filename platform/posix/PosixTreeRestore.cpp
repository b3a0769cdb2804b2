// Undoing a sweep on the confined tree: folders made again relative to their
// parent's descriptor, given their owner, mode and times through their own,
// and files moved back from the trash. Nothing that exists is replaced.

#include "platform/posix/PathBytes.h"
#include "platform/posix/PosixSweepTree.h"

#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Vacuola::Posix {

int PosixSweepTree::makeFolder(const QString &path)
{
    if (path == m_root && m_rootError != 0)
        return makeRoot();
    int depth = 0;
    if (const int error = resolve(path, depth))
        return error;
    if (depth == 0)
        return EEXIST;
    int parent = -1;
    if (const int error = m_chain->descriptor(depth - 1, parent))
        return error;
    if (::mkdirat(parent, m_chain->name(depth).constData(), 0700) != 0)
        return lastError();
    return 0;
}

// The swept folder itself, made again in its parent, which is outside the tree
// and opened by its path; the tree then works on the new folder.
int PosixSweepTree::makeRoot()
{
    if (m_rootBytes.isEmpty() || m_rootBytes.size() >= PATH_MAX)
        return m_rootError;
    const qsizetype slash = m_rootBytes.lastIndexOf('/');
    if (slash < 0 || slash + 1 >= m_rootBytes.size())
        return EEXIST;
    const QByteArray parentPath = slash == 0 ? QByteArray("/") : m_rootBytes.left(slash);
    const QByteArray name = m_rootBytes.mid(slash + 1);
    if (name == "." || name == "..")
        return EINVAL;
    Fd parent(::open(parentPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent.valid())
        return lastError();
    if (::mkdirat(parent.get(), name.constData(), 0700) != 0)
        return lastError();
    Fd fd(::openat(parent.get(), name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid())
        return lastError();
    m_rootError = attachRoot(std::move(fd));
    return m_rootError;
}

int PosixSweepTree::setFolderMeta(const QString &path, const FolderMeta &meta)
{
    int depth = 0;
    if (const int error = resolve(path, depth))
        return error;
    Fd fd;
    if (const int error = openLevel(depth, O_RDONLY, fd))
        return error;
    // Only root may give a folder away; the owner of a folder made by anyone else is that user.
    if (::geteuid() == 0 && ::fchown(fd.get(), uid_t(meta.owner), gid_t(meta.group)) != 0)
        return lastError();
    if (::fchmod(fd.get(), mode_t(meta.mode & 07777)) != 0)
        return lastError();
    const struct timespec times[2] = {{time_t(meta.accessSeconds), long(meta.accessNanoseconds)},
                                      {time_t(meta.modifySeconds), long(meta.modifyNanoseconds)}};
    if (::futimens(fd.get(), times) != 0)
        return lastError();
    return 0;
}

int PosixSweepTree::restoreFile(const QString &folder, const QString &name, const QString &trashedAs,
                                const QString &trashInfo)
{
    int depth = 0;
    if (const int error = resolve(folder, depth))
        return error;
    QByteArray rawName;
    QByteArray from;
    QByteArray info;
    if (name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String("..") ||
        !pathBytes(name, rawName) || !pathBytes(trashedAs, from) || !pathBytes(trashInfo, info) ||
        !from.startsWith('/') || !info.startsWith('/'))
        return EINVAL;
    int fd = -1;
    if (const int error = m_chain->descriptor(depth, fd))
        return error;
    // The trash's folders are opened by their paths, the last component never followed.
    const qsizetype slash = from.lastIndexOf('/');
    const QByteArray entry = from.mid(slash + 1);
    Fd files(::open(slash == 0 ? "/" : from.left(slash).constData(),
                    O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!files.valid())
        return lastError();
    struct stat st;
    if (::fstatat(files.get(), entry.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return lastError();
    if (!S_ISREG(st.st_mode))
        return EPERM;
    if (::renameat2(files.get(), entry.constData(), fd, rawName.constData(), RENAME_NOREPLACE) != 0)
        return lastError();
    // The file is back; a .trashinfo that cannot be deleted leaves a stale entry in the trash only.
    const qsizetype infoSlash = info.lastIndexOf('/');
    Fd infoFolder(::open(infoSlash == 0 ? "/" : info.left(infoSlash).constData(),
                         O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const QByteArray infoName = info.mid(infoSlash + 1);
    if (infoFolder.valid() &&
        ::fstatat(infoFolder.get(), infoName.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode))
        ::unlinkat(infoFolder.get(), infoName.constData(), 0);
    return 0;
}

} // namespace Vacuola::Posix
