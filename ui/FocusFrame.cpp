#include "ui/FocusFrame.h"

#include <QEvent>
#include <QPainter>

namespace Vacuola {

namespace {

const int Width = 2;

} // namespace

FocusFrame::FocusFrame(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FocusFrame"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

FocusFrame::~FocusFrame() = default;

void FocusFrame::watch(QWidget *control)
{
    m_controls << control;
    control->installEventFilter(this);
}

QWidget *FocusFrame::framed() const
{
    return m_framed;
}

bool FocusFrame::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::EnabledChange:
        follow();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void FocusFrame::follow()
{
    m_framed = nullptr;
    for (QWidget *control : std::as_const(m_controls)) {
        if (control->hasFocus() && control->isVisible() && control->isEnabled())
            m_framed = control;
    }
    if (m_framed == nullptr) {
        hide();
        return;
    }
    setGeometry(m_framed->geometry().adjusted(-Width, -Width, Width, Width));
    raise();
    show();
    update();
}

void FocusFrame::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    QPen pen(Qt::black, Width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(QRectF(rect()).adjusted(Width / 2.0, Width / 2.0, -Width / 2.0, -Width / 2.0));
}

} // namespace Vacuola
