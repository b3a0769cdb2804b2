// The program's own files: the settings file, the logs and their folders.

#include "platform/posix/PosixFileSystem.h"

#include "platform/posix/PathBytes.h"

#include <cerrno>

#include <sys/stat.h>

namespace Vacuola {

int PosixFileSystem::makeFolders(const QString &path)
{
    QByteArray bytes;
    if (!Posix::pathBytes(path, bytes) || !bytes.startsWith('/'))
        return ENOENT;
    // Each component from the top: mkdir refuses what exists, which is then checked.
    for (qsizetype end = 1; end <= bytes.size(); ++end) {
        if (end < bytes.size() && bytes.at(end) != '/')
            continue;
        const QByteArray prefix = bytes.left(end);
        if (prefix.endsWith('/'))
            continue; // "/" itself, or a doubled slash
        if (::mkdir(prefix.constData(), 0700) == 0)
            continue;
        const int error = errno;
        struct stat st;
        if (error == EEXIST) {
            if (::stat(prefix.constData(), &st) == 0 && S_ISDIR(st.st_mode))
                continue;
            return ENOTDIR;
        }
        // A folder that exists where the user may not create one (a read-only parent).
        if (::stat(prefix.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        return error;
    }
    return 0;
}

} // namespace Vacuola
