#pragma once

namespace Vacuola {

/**
 * Menu items that show their action's shortcut after a tab are named for
 * assistive technologies by their caption alone, the shortcut given as their
 * key binding. Installed once per program; later calls do nothing.
 */
void installMenuItemAccess();

} // namespace Vacuola
