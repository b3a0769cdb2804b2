#pragma once

#include <QString>

// The display a window would open on, looked at before the window toolkit
// starts: the toolkit ends the program when it cannot open one.
namespace Vacuola::Display {

enum class Reach
{
    /** A display answers, or nothing here can tell (the toolkit is left to try). */
    Usable,
    /** Neither DISPLAY nor WAYLAND_DISPLAY is set. */
    Missing,
    /** A display is named, and none of the named ones answers. */
    Unreachable
};

/** Tries the session's display as the toolkit would; `name` gets the display named (the X one first). */
Reach probe(QString &name);

} // namespace Vacuola::Display
