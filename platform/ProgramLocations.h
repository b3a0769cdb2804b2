#pragma once

#include <QString>

namespace Vacuola {

/**
 * Where the program keeps its own files.
 *
 * Portable (the build tree, or a copy in a folder of its own): the settings file,
 * the logs and the help file sit beside the executable, the settings file and the
 * help file named after it ("vacuola.ini", "vacuola.hlp").
 *
 * Installed (its installation laid down the marker ../share/vacuola/installed
 * beside the executable's folder; a prefix moved elsewhere stays installed): the
 * settings file is $XDG_CONFIG_HOME/vacuola/vacuola.ini (default ~/.config), the
 * logs are in $XDG_STATE_HOME/vacuola (default ~/.local/state), the help file is
 * the installation's share/vacuola/vacuola.hlp. These folders are made on first
 * need, for the user alone (FileSystem::makeFolders).
 */
struct ProgramLocations
{
    bool installed = false;
    QString settingsFile;
    QString logFolder; // no trailing slash
    QString helpFile;

    /** The locations of the program at that path, read from this process's environment. */
    static ProgramLocations forExecutable(const QString &executableFilePath);
    /** The locations of the running program. */
    static ProgramLocations ofThisProgram();
    /**
     * A folder of the user's alone where the program's windows find each other:
     * $XDG_RUNTIME_DIR when it is the user's own and private, otherwise
     * /tmp/vacuola-UID, made for the user alone when missing. Empty when no such
     * folder can be had (a stranger's folder of that name, say).
     */
    static QString runtimeFolder();
};

} // namespace Vacuola
