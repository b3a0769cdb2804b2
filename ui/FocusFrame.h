#pragma once

#include <QList>
#include <QWidget>

namespace Vacuola {

/**
 * A clearly visible frame around whichever of the watched controls has the
 * keyboard focus, drawn just outside it on the controls' common parent.
 */
class FocusFrame final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FocusFrame)

public:
    explicit FocusFrame(QWidget *parent);
    ~FocusFrame() override;

    /** Follows a control of the same parent. */
    void watch(QWidget *control);
    /** The control framed now, or null. */
    QWidget *framed() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void follow();

    QList<QWidget *> m_controls;
    QWidget *m_framed = nullptr;
};

} // namespace Vacuola
