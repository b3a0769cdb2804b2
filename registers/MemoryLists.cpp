#include "registers/MemoryLists.h"

#include "platform/Locale.h"

namespace Vacuola {

int MemorySearchFolderList::count() const
{
    return int(items.size());
}

QString MemorySearchFolderList::text(int index) const
{
    return items.value(index);
}

int MemorySearchFolderList::selectedIndex() const
{
    return selected;
}

void MemorySearchFolderList::select(int index)
{
    selected = (index >= 0 && index < count()) ? index : -1;
}

void MemorySearchFolderList::insert(int index, const QString &text)
{
    items.insert(qBound(0, index, count()), text);
    if (selected >= index)
        ++selected;
}

void MemorySearchFolderList::move(int from, int to)
{
    const QString selectedText = selected >= 0 ? items.at(selected) : QString();
    const bool movingSelected = from == selected;
    items.move(from, to);
    if (movingSelected)
        selected = to;
    else if (selected >= 0)
        selected = int(items.indexOf(selectedText));
}

void MemorySearchFolderList::remove(int index)
{
    items.removeAt(index);
    if (selected == index)
        selected = -1;
    else if (selected > index)
        --selected;
}

void MemorySearchFolderList::clear()
{
    items.clear();
    selected = -1;
}

void MemorySearchFolderList::setHint(const QString &text)
{
    hintText = text;
}

QString MemorySearchFolderList::hint() const
{
    return hintText;
}

int MemoryManagementFileList::count() const
{
    return int(entries.size());
}

QString MemoryManagementFileList::name(int index) const
{
    return entries.at(index).name;
}

bool MemoryManagementFileList::isChecked(int index) const
{
    return entries.at(index).checked;
}

void MemoryManagementFileList::setChecked(int index, bool checked)
{
    entries[index].checked = checked;
}

void MemoryManagementFileList::addChecked(const QString &name)
{
    add(name, true);
}

bool MemoryManagementFileList::isSelected(int index) const
{
    return entries.at(index).selected;
}

void MemoryManagementFileList::removeAt(int index)
{
    entries.removeAt(index);
}

void MemoryManagementFileList::clearSelection()
{
    for (Entry &entry : entries)
        entry.selected = false;
}

void MemoryManagementFileList::clear()
{
    entries.clear();
}

void MemoryManagementFileList::add(const QString &name, bool checked)
{
    qsizetype at = 0;
    while (at < entries.size() && Locale::compareNames(entries.at(at).name, name) <= 0)
        ++at;
    entries.insert(at, Entry{name, checked, false});
}

void MemoryManagementFileList::setSelected(int index, bool selected)
{
    entries[index].selected = selected;
}

} // namespace Vacuola
