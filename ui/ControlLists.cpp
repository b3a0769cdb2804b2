#include "ui/ControlLists.h"

#include "platform/Locale.h"

#include <QComboBox>
#include <QListWidget>

namespace Vacuola {

ComboSearchFolderList::ComboSearchFolderList(QComboBox &combo) : m_combo(combo) {}

int ComboSearchFolderList::count() const
{
    return m_combo.count();
}

QString ComboSearchFolderList::text(int index) const
{
    return m_combo.itemText(index);
}

int ComboSearchFolderList::selectedIndex() const
{
    return m_combo.currentIndex();
}

void ComboSearchFolderList::select(int index)
{
    // Only the user's own choice runs SearchDirSelect (the activated signal), so no blocker is needed here.
    m_combo.setCurrentIndex(index);
}

void ComboSearchFolderList::insert(int index, const QString &text)
{
    m_combo.insertItem(index, text);
}

void ComboSearchFolderList::move(int from, int to)
{
    if (from == to || from < 0 || from >= m_combo.count() || to < 0 || to >= m_combo.count())
        return;
    const bool wasSelected = m_combo.currentIndex() == from;
    const QString moved = m_combo.itemText(from);
    m_combo.removeItem(from);
    m_combo.insertItem(to, moved);
    if (wasSelected)
        m_combo.setCurrentIndex(to);
}

void ComboSearchFolderList::remove(int index)
{
    m_combo.removeItem(index);
}

void ComboSearchFolderList::clear()
{
    m_combo.clear();
}

void ComboSearchFolderList::setHint(const QString &text)
{
    m_combo.setToolTip(text);
}

QString ComboSearchFolderList::hint() const
{
    return m_combo.toolTip();
}

CheckListManagementFileList::CheckListManagementFileList(QListWidget &list, int rowHeight)
    : m_list(list), m_rowHeight(rowHeight)
{}

bool CheckListManagementFileList::valid(int index) const
{
    return index >= 0 && index < m_list.count();
}

int CheckListManagementFileList::count() const
{
    return m_list.count();
}

QString CheckListManagementFileList::name(int index) const
{
    return valid(index) ? m_list.item(index)->text() : QString();
}

bool CheckListManagementFileList::isChecked(int index) const
{
    return valid(index) && m_list.item(index)->checkState() == Qt::Checked;
}

void CheckListManagementFileList::setChecked(int index, bool checked)
{
    if (valid(index))
        m_list.item(index)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void CheckListManagementFileList::addChecked(const QString &name)
{
    // Binary search for the first entry that sorts after the name: equal names
    // (loading applies no duplicate test) keep their order of arrival.
    int low = 0;
    int high = m_list.count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (Locale::compareNames(m_list.item(middle)->text(), name) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    auto *item = new QListWidgetItem(name);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    item->setSizeHint(QSize(-1, m_rowHeight));
    m_list.insertItem(low, item);
}

bool CheckListManagementFileList::isSelected(int index) const
{
    return valid(index) && m_list.item(index)->isSelected();
}

void CheckListManagementFileList::removeAt(int index)
{
    if (valid(index))
        delete m_list.takeItem(index);
}

void CheckListManagementFileList::clearSelection()
{
    m_list.clearSelection();
}

void CheckListManagementFileList::clear()
{
    m_list.clear();
}

} // namespace Vacuola
