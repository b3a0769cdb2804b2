#pragma once

#include <QLatin1StringView>

namespace Vacuola {

/** The program's name and version as the title bar, the log and the settings file carry it. */
inline constexpr QLatin1StringView ProgramVersion("Vacuola V1.13A");

} // namespace Vacuola
