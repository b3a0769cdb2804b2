#include "ui/MenuItemAccess.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QStyle>

namespace Vacuola {

namespace {

/** The caption as read out: without the shortcut after the tab, `&` marks resolved. */
QString spoken(const QString &text)
{
    const QString caption = text.section(QLatin1Char('\t'), 0, 0);
    QString result;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        result += caption.at(i);
    }
    return result;
}

class MenuItemAccess final : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    MenuItemAccess(QAction *item, QMenu *menu) : m_item(item), m_menu(menu) {}

    bool isValid() const override { return m_item != nullptr && m_menu != nullptr; }
    QObject *object() const override { return m_item; }
    QWindow *window() const override { return m_menu != nullptr ? m_menu->windowHandle() : nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_menu); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return spoken(m_item->text());
        if (t == QAccessible::Accelerator)
            return m_item->text().section(QLatin1Char('\t'), 1);
        return QString();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        return m_menu->actionGeometry(m_item).translated(m_menu->mapToGlobal(QPoint(0, 0)));
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !m_menu->isVisible() || !m_item->isVisible();
        s.focused = m_menu->activeAction() == m_item;
        s.hotTracked = m_menu->style()->styleHint(QStyle::SH_Menu_MouseTracking) != 0;
        s.disabled = !m_item->isEnabled();
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && m_item->isEnabled())
            m_item->trigger();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<QAction> m_item;
    QPointer<QMenu> m_menu;
};

QAccessibleInterface *menuItemAccess(const QString &, QObject *object)
{
    auto *item = qobject_cast<QAction *>(object);
    if (item == nullptr || !item->text().contains(QLatin1Char('\t')))
        return nullptr;
    auto *menu = qobject_cast<QMenu *>(item->parent());
    return menu != nullptr ? new MenuItemAccess(item, menu) : nullptr;
}

} // namespace

void installMenuItemAccess()
{
    static const bool installed = [] {
        QAccessible::installFactory(menuItemAccess);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace Vacuola
