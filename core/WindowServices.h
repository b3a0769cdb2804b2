#pragma once

#include "core/OptionMarks.h"

#include <QString>

namespace Vacuola {

enum class Answer
{
    Yes,
    No,
    Cancel
};

/**
 * What the main window offers every command. The window implements it on its
 * real controls; the core reaches the window only through this interface.
 */
class WindowServices : public OptionMarks
{
public:
    virtual void setStatusText(const QString &text) = 0;
    /** The caption of the removal counter. */
    virtual void setRemovalCounter(const QString &text) = 0;
    /** Caption of the start action ("開始(&S)" / "中止(&P)"). */
    virtual void setStartCaption(const QString &caption) = 0;
    virtual void setStartEnabled(bool enabled) = 0;
    virtual void setDelFolderEnabled(bool enabled) = 0;
    /** Run lock: disables (on) or enables (off) SaveExit, SearchDir and IgnoreList, in that order. */
    virtual void setRunLock(bool on) = 0;
    /** Handles every pending message, running the commands they trigger, then returns. */
    virtual void processMessages() = 0;

    /** Modal information box: title "Vacuola", no icon, one button "OK". */
    virtual void showInformation(const QString &text) = 0;
    /** Modal warning question titled "警告" with Yes, No and Cancel; closing the box is Cancel. */
    virtual Answer askWarning(const QString &text) = 0;
    /** Modal one-line input box (at most 255 characters, pre-filled text selected). False on cancel. */
    virtual bool inputBox(const QString &title, const QString &prompt, QString &text) = 0;
    virtual void bringToForeground() = 0;
    /** The application's default error report: critical icon, title "Vacuola", the text followed by ".". */
    virtual void showErrorReport(const QString &text) = 0;
};

} // namespace Vacuola
