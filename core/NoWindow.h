#pragma once

#include "core/WindowServices.h"

namespace Vacuola {

/**
 * Window services of a sweep run without a window: the status text is kept,
 * the controls it would change do not exist, no box is shown (a question is
 * answered No) and the pump has nothing to run. A run overrides what it does
 * differently: its options, its pump, where failures go.
 */
class NoWindow : public WindowServices
{
public:
    void setStatusText(const QString &text) override;
    void setRemovalCounter(const QString &text) override;
    void setStartCaption(const QString &caption) override;
    void setStartEnabled(bool enabled) override;
    void setDelFolderEnabled(bool enabled) override;
    void setRunLock(bool on) override;
    void processMessages() override;
    void setMarked(OptionMark mark, bool marked) override;
    void showInformation(const QString &text) override;
    Answer askWarning(const QString &text) override;
    bool inputBox(const QString &title, const QString &prompt, QString &text) override;
    void bringToForeground() override;

    /** The last status text the sweep set. */
    QString status() const;

private:
    QString m_status;
};

} // namespace Vacuola
