#pragma once

#include <QString>
#include <QStringList>

namespace Vacuola {

/**
 * What the command line asks for. Without any of the program's options it is
 * the window, with the first argument as the folder to register; the options
 * run a sweep or a dry run without a window, or print the usage or the version.
 */
struct CommandLine
{
    enum class Mode
    {
        Window,
        Help,
        Version,
        Sweep,
        UsageError
    };

    Mode mode = Mode::Window;
    bool dryRun = false;
    /** A read-only folder loses its attribute and goes, as if the question were answered Yes. */
    bool yes = false;
    QString folder;
    /** Why the command line was refused (Mode::UsageError). */
    QString error;

    /** The arguments without the program's own name. */
    static CommandLine parse(const QStringList &arguments);
    /** The text of --help. */
    static QString usage();
};

} // namespace Vacuola
