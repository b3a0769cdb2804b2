#include "platform/ProgramLocations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace Vacuola {

namespace {

// Relative to the executable's folder; the install rules lay it down, nothing else does.
constexpr char InstalledMarker[] = "/../share/vacuola/installed";
constexpr char InstalledShare[] = "/../share/vacuola";

bool isRegularFile(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// An environment variable that names an absolute folder; a relative one is ignored.
QString absoluteFolder(const char *variable)
{
    const QString value = qEnvironmentVariable(variable);
    return value.startsWith(u'/') ? QDir::cleanPath(value) : QString();
}

QString homeFolder()
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

QString xdgFolder(const char *variable, const char *fallbackBelowHome)
{
    const QString set = absoluteFolder(variable);
    if (!set.isEmpty())
        return set == u'/' ? QString() : set;
    return homeFolder() + QLatin1String(fallbackBelowHome);
}

} // namespace

ProgramLocations ProgramLocations::forExecutable(const QString &executableFilePath)
{
    const QFileInfo info(executableFilePath);
    const QString folder = info.path() == u'/' ? QString() : info.path();

    ProgramLocations locations;
    locations.installed = isRegularFile(folder + QLatin1String(InstalledMarker));
    if (locations.installed) {
        locations.settingsFile =
            xdgFolder("XDG_CONFIG_HOME", "/.config") + QStringLiteral("/vacuola/vacuola.ini");
        locations.logFolder = xdgFolder("XDG_STATE_HOME", "/.local/state") + QStringLiteral("/vacuola");
        locations.helpFile =
            QDir::cleanPath(folder + QLatin1String(InstalledShare)) + QStringLiteral("/vacuola.hlp");
    } else {
        // Named after the executable: a copy renamed "tool" keeps "tool.ini" and "tool.hlp".
        const QString base = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
        locations.settingsFile = folder + u'/' + base + QStringLiteral(".ini");
        locations.logFolder = folder.isEmpty() ? QStringLiteral("/") : folder;
        locations.helpFile = folder + u'/' + base + QStringLiteral(".hlp");
    }
    return locations;
}

ProgramLocations ProgramLocations::ofThisProgram()
{
    return forExecutable(QCoreApplication::applicationFilePath());
}

} // namespace Vacuola
