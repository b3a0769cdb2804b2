#pragma once

#include <QByteArray>
#include <QString>

// The terminal of a program run from the command line: its two output streams
// in the locale's character set, and the signals that ask it to stop.
namespace Vacuola::Console {

/** The text in the character set of the user's locale; a character it cannot carry becomes "?". */
QByteArray encode(const QString &text);

/** Writes the text and a line end to standard output, in the locale's character set, flushed. */
void writeOut(const QString &line);
/** The same on standard error. */
void writeError(const QString &line);

/** From now on SIGINT and SIGTERM only note that they came (the second one of a kind ends the program). */
void catchStopSignals();
/** The stop signal noted since the last call, or 0; each signal is reported once. */
int takeStopSignal();

} // namespace Vacuola::Console
