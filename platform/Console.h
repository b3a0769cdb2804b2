#pragma once

#include <QByteArray>
#include <QString>

// The terminal of a program run from the command line: its two output streams
// in the locale's character set, and the signals that ask it to stop.
namespace Vacuola::Console {

/** The text in the character set of the user's locale; a character it cannot carry becomes "?". */
QByteArray encode(const QString &text);

/**
 * Readies the two output streams for a run that must outlive them: a closed or
 * broken pipe fails the write (SIGPIPE no longer ends the program), and a
 * stream that was closed before the start is opened on the null device, so
 * that no file the program opens can take its place, and counts as failed.
 */
void guardOutput();

/**
 * Writes the text and a line end to standard output, in the locale's character
 * set, flushed. After a failed write the stream is written no more.
 */
void writeOut(const QString &line);
/** The same on standard error. */
void writeError(const QString &line);

/** Flushes standard output a last time and closes it; a failure counts as a failed write. */
void finishOutput();
/** The error number of the first failed write on standard output, or 0. */
int outputError();
/** Whether a write on either stream failed. */
bool outputFailed();

/**
 * From now on SIGHUP, SIGINT and SIGTERM only note that they came (the second
 * one of a kind ends the program): a closed terminal stops a run as Ctrl-C does.
 */
void catchStopSignals();
/** The stop signal noted since the last call, or 0; each signal is reported once. */
int takeStopSignal();

} // namespace Vacuola::Console
