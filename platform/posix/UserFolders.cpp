#include "platform/posix/UserFolders.h"

#include <QDir>
#include <QFile>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace Vacuola {

namespace {

// An environment variable that names an absolute folder; a relative one is ignored.
QString absoluteFolder(const char *variable)
{
    const QString value = qEnvironmentVariable(variable);
    return value.startsWith(u'/') ? QDir::cleanPath(value) : QString();
}

} // namespace

QString userHomeFolder()
{
    QString home = absoluteFolder("HOME");
    if (!home.isEmpty())
        return home;
    // A job started without HOME (some schedulers): the account's own home.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    struct passwd entry;
    struct passwd *found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        home = QDir::cleanPath(QFile::decodeName(found->pw_dir));
    return home == u'/' ? QString() : home;
}

QString userXdgFolder(const char *variable, const char *fallbackBelowHome)
{
    const QString set = absoluteFolder(variable);
    if (!set.isEmpty())
        return set == u'/' ? QString() : set;
    return userHomeFolder() + QLatin1String(fallbackBelowHome);
}

} // namespace Vacuola
