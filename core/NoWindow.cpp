#include "core/NoWindow.h"

namespace Vacuola {

void NoWindow::setStatusText(const QString &text)
{
    m_status = text;
}

void NoWindow::setRemovalCounter(const QString &) {}

void NoWindow::setStartCaption(const QString &) {}

void NoWindow::setStartEnabled(bool) {}

void NoWindow::setDelFolderEnabled(bool) {}

void NoWindow::setRunLock(bool) {}

void NoWindow::processMessages() {}

void NoWindow::setMarked(OptionMark, bool) {}

void NoWindow::showInformation(const QString &) {}

Answer NoWindow::askWarning(const QString &)
{
    return Answer::No;
}

bool NoWindow::inputBox(const QString &, const QString &, QString &)
{
    return false;
}

void NoWindow::bringToForeground() {}

QString NoWindow::status() const
{
    return m_status;
}

} // namespace Vacuola
