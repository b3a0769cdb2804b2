#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>

class QLabel;

namespace Vacuola {

/**
 * The status text and the removal counter on their controls. A sweep changes
 * both for every folder, and painting each change would cost more than the
 * folder itself: while `throttled` holds, the latest texts reach the screen at
 * most every 33 ms, the last one always.
 */
class StatusDisplay final
{
    Q_DISABLE_COPY_MOVE(StatusDisplay)

public:
    StatusDisplay(QLabel &statusLabel, QLabel &counter, std::function<bool()> throttled);
    ~StatusDisplay();

    void setStatusText(const QString &text);
    /** The latest status text, which the bar may show up to 33 ms later. */
    QString statusText() const;
    void setCounter(const QString &text);
    /** Shows the latest status text and removal counter now. */
    void showNow();
    /** Nothing more reaches the screen by the timer. */
    void stop();

private:
    void showLatest();

    QLabel &m_statusLabel;
    QLabel &m_counter;
    std::function<bool()> m_throttled;
    QString m_statusText;
    QString m_counterText = QStringLiteral("0");
    QTimer m_timer;
    QElapsedTimer m_shown;
};

} // namespace Vacuola
