#pragma once

#include <QString>

namespace Vacuola {

/** The user's home from $HOME, else the account's; empty when it is "/" or unknown. */
QString userHomeFolder();

/** The absolute folder an XDG variable names, else the home followed by `fallbackBelowHome`. */
QString userXdgFolder(const char *variable, const char *fallbackBelowHome);

} // namespace Vacuola
