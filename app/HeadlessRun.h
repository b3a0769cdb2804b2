#pragma once

namespace Vacuola {

struct CommandLine;

/**
 * Runs what a command line with options asks for, without a window and without
 * a display: the usage, the version, a sweep or a dry run, an undo. Needs a
 * QCoreApplication. Returns the exit status: 0 when nothing failed, 1 when a
 * folder (or the log) failed or something could not be restored, 2 for a
 * usage error, a FOLDER that is not a folder or nothing to undo, 128 + the
 * signal's number for a sweep stopped by SIGHUP, SIGINT or SIGTERM. Stop signals are caught by the caller,
 * before the run.
 */
int runHeadless(const CommandLine &command);

} // namespace Vacuola
