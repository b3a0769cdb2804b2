#include "ui/TForm1Services.h"

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/ProgramLocations.h"
#include "ui/Dialogs.h"

#include <QCoreApplication>
#include <QDesktopServices>

namespace Vacuola {

namespace {

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

TForm1Services TForm1Services::forExecutable(const QStringList &arguments)
{
    TForm1Services services;
    const ProgramLocations locations = ProgramLocations::ofThisProgram();
    services.settingsFile = locations.settingsFile;
    services.helpFile = locations.helpFile;
    services.logFolder = locations.logFolder;
    services.arguments = arguments;
    return services.completed();
}

TForm1Services TForm1Services::completed() const
{
    // The real boxes keep no state: one set serves every window.
    static QtDialogs machineDialogs;
    TForm1Services services = *this;
    if (services.fileSystem == nullptr)
        services.fileSystem = &systemFileSystem();
    if (services.clock == nullptr)
        services.clock = &systemClock();
    if (services.dialogs == nullptr)
        services.dialogs = &machineDialogs;
    if (!services.openUrl)
        services.openUrl = [](const QUrl &url) {
            QDesktopServices::openUrl(url);
        };
    if (services.programFolder.isEmpty())
        services.programFolder = QCoreApplication::applicationDirPath();
    services.programFolder = withoutTrailingSlash(services.programFolder);
    if (services.settingsFile.isEmpty())
        services.settingsFile = services.programFolder + QStringLiteral("/vacuola.ini");
    if (services.helpFile.isEmpty())
        services.helpFile = services.programFolder + QStringLiteral("/vacuola.hlp");
    if (services.logFolder.isEmpty())
        services.logFolder = services.programFolder;
    const SystemFolderSources &folders = services.systemFolders;
    if (folders.home.isEmpty() && folders.dataHome.isEmpty() && folders.configHome.isEmpty() &&
        folders.fstab.isEmpty())
        services.systemFolders = SystemFolderSources::ofThisUser();
    return services;
}

} // namespace Vacuola
