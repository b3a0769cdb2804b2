#include "ui/TForm1.h"

#include "ui/Dialogs.h"
#include "ui/StatusDisplay.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QListWidget>
#include <QMenu>

// The window services that every command uses, on the window's controls.

namespace Vacuola {

void TForm1::setStatusText(const QString &text)
{
    m_display->setStatusText(text);
}

QString TForm1::statusText() const
{
    return m_display->statusText();
}

void TForm1::setRemovalCounter(const QString &text)
{
    m_display->setCounter(text);
}

void TForm1::setStartCaption(const QString &caption)
{
    m_actions.Vacuola->setText(caption);
}

void TForm1::setStartEnabled(bool enabled)
{
    m_actions.Vacuola->setEnabled(enabled);
}

void TForm1::setDelFolderEnabled(bool enabled)
{
    m_actions.DelFolder->setEnabled(enabled);
}

void TForm1::setRunLock(bool on)
{
    m_actions.SaveExit->setEnabled(!on);
    if (on) {
        // A pop-up already open on a control that gets locked goes away with the lock.
        m_searchDir->hidePopup();
        m_actions.ScanPathMenu->hide();
        m_actions.IListMenu->hide();
    }
    m_searchDir->setEnabled(!on);
    m_ignoreList->setEnabled(!on);
}

void TForm1::processMessages()
{
    // A sweep pumps before every folder and inside every removal; running the
    // event loop each time would cost more than the folder. A click still waits
    // at most a millisecond.
    if (m_pumped.isValid() && m_pumped.nsecsElapsed() < 1000000)
        return;
    QCoreApplication::processEvents();
    m_pumped.start();
}

bool TForm1::isMarked(OptionMark mark) const
{
    const QAction *action = m_actions.mark(mark);
    return action != nullptr && action->isChecked();
}

void TForm1::setMarked(OptionMark mark, bool marked)
{
    if (QAction *action = m_actions.mark(mark))
        action->setChecked(marked);
}

void TForm1::showInformation(const QString &text)
{
    m_services.dialogs->information(this, text);
}

Answer TForm1::askWarning(const QString &text)
{
    return m_services.dialogs->question(this, text);
}

bool TForm1::inputBox(const QString &title, const QString &prompt, QString &text)
{
    return m_services.dialogs->input(this, title, prompt, text);
}

void TForm1::bringToForeground()
{
    raise();
    activateWindow();
}

void TForm1::showErrorReport(const QString &text)
{
    m_services.dialogs->errorReport(this, text);
}

} // namespace Vacuola
