#pragma once

namespace Vacuola {

// The option marks of the settings menu.
enum class OptionMark
{
    Log0,
    Log1,
    Log2,
    Log3,
    DisableReadOnly,
    NonStop,
    MoveToTrash // management files go to the desktop's trash instead of being deleted
};

/** The marks of the settings menu, read and set by the commands and the settings file. */
class OptionMarks
{
public:
    virtual ~OptionMarks() = default;

    virtual bool isMarked(OptionMark mark) const = 0;
    /** Marks an option; marking one log item clears the other three. */
    virtual void setMarked(OptionMark mark, bool marked) = 0;
};

} // namespace Vacuola
