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

} // namespace

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
