#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace Vacuola {

/**
 * What the command line asks for, read with the GNU conventions: options may
 * be bundled (-ny) and stand anywhere, "--" ends them, an unknown option is a
 * usage error. Without any of the program's options it is the window, with the
 * first argument as the folder to register; the options run a sweep or a dry
 * run without a window, or print the usage or the version.
 */
struct CommandLine
{
    enum class Mode
    {
        Window,
        Help,
        Version,
        Sweep,
        /** Undo the last sweep (of `folder` when given); with dryRun, list what it would restore. */
        Undo,
        UsageError,
        /** The window was asked for where no display can show it. */
        NoDisplay
    };

    Mode mode = Mode::Window;
    bool dryRun = false;
    /** A read-only folder loses its attribute and goes, as if the question were answered Yes. */
    bool yes = false;
    /** --trash, --no-trash (the last one given): management files to the trash or not, for this run. */
    std::optional<bool> trash;
    /** --exclude: patterns kept for this run besides the settings' exclusion list. */
    QStringList excludes;
    /** --jobs: threads that list folders ahead of the sweep (0: not given, the tree decides). */
    int jobs = 0;
    /** The folder to sweep or whose sweep to undo, or the window's folder to register (empty: none). */
    QString folder;
    /** Why the command line was refused (Mode::UsageError, Mode::NoDisplay). */
    QString error;

    /** The arguments without the program's own name. */
    static CommandLine parse(const QStringList &arguments);
    /**
     * The refusal of a window without a display: `display` names the one that
     * could not be opened, or is empty when none is set.
     */
    static CommandLine withoutDisplay(const QString &display);
    /** The text of --help. */
    static QString usage();
};

} // namespace Vacuola
