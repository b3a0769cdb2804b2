#pragma once

#include <QDateTime>

namespace Vacuola {

/** The local wall clock. Tests substitute their own to cross midnight. */
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

/** The machine's clock, in local time. */
Clock &systemClock();

} // namespace Vacuola
