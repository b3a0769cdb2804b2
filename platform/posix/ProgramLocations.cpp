#include "platform/ProgramLocations.h"

#include "platform/posix/UserFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

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

// A real folder (no link) of the user's own that nobody else may enter.
bool privateFolder(const QString &path)
{
    struct stat st;
    return path.startsWith(u'/') && ::lstat(QFile::encodeName(path).constData(), &st) == 0 &&
           S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

} // namespace

QString ProgramLocations::runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (privateFolder(runtime))
        return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/vacuola-") + QString::number(::geteuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return privateFolder(own) ? own : QString();
}

ProgramLocations ProgramLocations::forExecutable(const QString &executableFilePath)
{
    const QFileInfo info(executableFilePath);
    const QString folder = info.path() == u'/' ? QString() : info.path();

    ProgramLocations locations;
    locations.installed = isRegularFile(folder + QLatin1String(InstalledMarker));
    if (locations.installed) {
        locations.settingsFile =
            userXdgFolder("XDG_CONFIG_HOME", "/.config") + QStringLiteral("/vacuola/vacuola.ini");
        locations.logFolder = userXdgFolder("XDG_STATE_HOME", "/.local/state") + QStringLiteral("/vacuola");
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
