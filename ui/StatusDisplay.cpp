#include "ui/StatusDisplay.h"

#include "ui/CounterAccess.h"
#include "ui/Dialogs.h"

#include <QLabel>
#include <QTextDocument>

namespace Vacuola {

namespace {

const int IntervalMs = 33;

} // namespace

StatusDisplay::StatusDisplay(QLabel &statusLabel, QLabel &counter, std::function<bool()> throttled)
    : m_statusLabel(statusLabel), m_counter(counter), m_throttled(std::move(throttled))
{
    installCounterAccess(m_counter);
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &m_statusLabel, [this] { showNow(); });
}

StatusDisplay::~StatusDisplay() = default;

void StatusDisplay::setStatusText(const QString &text)
{
    m_statusText = text;
    showLatest();
}

QString StatusDisplay::statusText() const
{
    return m_statusText;
}

void StatusDisplay::setCounter(const QString &text)
{
    m_counterText = text;
    showLatest();
}

void StatusDisplay::showLatest()
{
    if (!m_throttled() || !m_shown.isValid() || m_shown.elapsed() >= IntervalMs) {
        showNow();
    } else if (!m_timer.isActive()) {
        m_timer.start(static_cast<int>(qMax<qint64>(1, IntervalMs - m_shown.elapsed())));
    }
}

void StatusDisplay::showNow()
{
    m_timer.stop();
    const QString status = Dialogs::displayText(m_statusText);
    m_statusLabel.setText(status);
    // The bar has the window's width; a longer text is there whole in its hint.
    m_statusLabel.setToolTip(status.isEmpty() ? QString() : Qt::convertFromPlainText(status));
    if (m_counter.text() != m_counterText) {
        m_counter.setText(m_counterText);
        counterChanged(m_counter);
    }
    m_shown.start();
}

void StatusDisplay::stop()
{
    m_timer.stop();
}

} // namespace Vacuola
