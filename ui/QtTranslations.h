#pragma once

namespace Vacuola {

/**
 * Loads Qt's own translations (standard buttons, the folder browser, the edit
 * fields' context menu) for the user's locale into the running application.
 * False when none are installed for it; Qt's texts then stay in English.
 */
bool loadQtTranslations();

} // namespace Vacuola
