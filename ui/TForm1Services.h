#pragma once

#include "platform/SystemFolders.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace Vacuola {

class Clock;
class Dialogs;
class FileSystem;
class TextEditor;

/** What the window works with. */
struct TForm1Services
{
    FileSystem *fileSystem = nullptr;
    Clock *clock = nullptr;
    /** Empty: the window's own log viewer. */
    TextEditor *textEditor = nullptr;
    Dialogs *dialogs = nullptr;
    /** Hands a folder or a web address to the desktop. */
    std::function<void(const QUrl &)> openUrl;
    /** A portable program's folder: the default of the three below; no trailing slash. */
    QString programFolder;
    /** Empty: programFolder + "/vacuola.ini", "/vacuola.hlp", and programFolder itself. */
    QString settingsFile;
    QString helpFile;
    QString logFolder;
    /** Where the folders other programs rely on are read from; all empty: this user's. */
    SystemFolderSources systemFolders;
    /** The command line without the program's own name. */
    QStringList arguments;

    /** The services of the running program: the machine's own, its files where ProgramLocations puts them. */
    static TForm1Services forExecutable(const QStringList &arguments);
    /** These services with every empty member but the editor taken from the machine and the program folder.
     */
    TForm1Services completed() const;
};

} // namespace Vacuola
