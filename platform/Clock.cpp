#include "platform/Clock.h"

namespace Vacuola {

namespace {

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace

Clock &systemClock()
{
    static SystemClock clock;
    return clock;
}

} // namespace Vacuola
