#include "ui/FormPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace Vacuola {

FormPlacement::FormPlacement(QWidget &window) : m_window(window) {}

FormPlacement::~FormPlacement() = default;

Placement FormPlacement::placement() const
{
    const QRect r = m_window.geometry();
    return Placement{r.top(), r.left(), r.height(), r.width()};
}

double FormPlacement::logicalDpi() const
{
    const QScreen *screen = m_window.screen();
    return screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
}

QSize FormPlacement::screenSize() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().size() : QSize(1024, 768);
}

void FormPlacement::setMinimumSize(int width, int height)
{
    m_window.setMinimumSize(width, height);
}

void FormPlacement::setPlacement(const Placement &placement)
{
    const QSize minimum = m_window.minimumSize();
    m_window.setGeometry(placement.left, placement.top, qMax(placement.width, minimum.width()),
                         qMax(placement.height, minimum.height()));
}

QRect FormPlacement::normalPlacement() const
{
    const bool restored = !m_window.isMaximized() && !m_window.isMinimized();
    if (!restored && m_window.normalGeometry().isValid())
        return m_window.normalGeometry();
    return m_window.geometry();
}

} // namespace Vacuola
