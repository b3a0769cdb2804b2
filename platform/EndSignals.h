#pragma once

// The signals that end a windowed program from outside (a logout, a closed
// terminal, a kill): caught into a pipe that the event loop watches.
namespace Vacuola::EndSignals {

/**
 * From now on SIGTERM, SIGHUP and SIGINT only write their number to a pipe (the
 * second one of a kind ends the program at once). Returns the pipe's reading
 * end, non-blocking, or -1 when none could be made (the signals keep their
 * default action).
 */
int catchIntoPipe();
/** The next signal number waiting in the pipe, or 0. */
int takeFromPipe(int pipe);

} // namespace Vacuola::EndSignals
