#pragma once

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
    /** The folder of the settings file, the help file and the logs; no trailing slash. */
    QString programFolder;
    /** Empty: programFolder + "/vacuola.ini" and "/vacuola.hlp". */
    QString settingsFile;
    QString helpFile;
    /** The command line without the program's own name. */
    QStringList arguments;

    /** The services of the running program: the machine's own, the executable's folder and name. */
    static TForm1Services forExecutable(const QStringList &arguments);
    /** These services with every empty member but the editor taken from the machine and the program folder.
     */
    TForm1Services completed() const;
};

} // namespace Vacuola
