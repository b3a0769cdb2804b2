#include "ui/CounterAccess.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QLabel>

#include <limits>

namespace Vacuola {

namespace {

class CounterAccess final : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit CounterAccess(QLabel *counter) : QAccessibleWidget(counter, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? counter()->text() : QAccessibleWidget::text(t);
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface *>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return counter()->text().toInt(); }
    // The count is the sweep's; assistive technologies only read it.
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return std::numeric_limits<qint32>::max(); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    QLabel *counter() const { return static_cast<QLabel *>(widget()); }
};

QAccessibleInterface *counterAccess(const QString &, QObject *object)
{
    auto *label = qobject_cast<QLabel *>(object);
    return label != nullptr && label->objectName() == QLatin1String("DelCounter") ? new CounterAccess(label)
                                                                                  : nullptr;
}

} // namespace

void installCounterAccess(QLabel &counter)
{
    static const bool installed = [] {
        QAccessible::installFactory(counterAccess);
        return true;
    }();
    Q_UNUSED(installed);
    // The label is read as it is made, before it has its name, when assistive technologies listen.
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(&counter);
        made != nullptr && made->valueInterface() == nullptr)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void counterChanged(QLabel &counter)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(&counter, counter.text().toInt());
    QAccessible::updateAccessibility(&event);
}

} // namespace Vacuola
