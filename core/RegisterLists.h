#pragma once

#include <QString>

namespace Vacuola {

/**
 * The search folder list: the entries of the drop-down SearchDir. Entry 0 is the
 * placeholder; entries 1 onwards are folders. The control holds the data.
 */
class SearchFolderList
{
public:
    virtual ~SearchFolderList() = default;

    virtual int count() const = 0;
    virtual QString text(int index) const = 0;
    /** The selected index, or -1 when nothing is selected. */
    virtual int selectedIndex() const = 0;
    virtual void select(int index) = 0;
    virtual void insert(int index, const QString &text) = 0;
    virtual void move(int from, int to) = 0;
    virtual void remove(int index) = 0;
    virtual void clear() = 0;
    /** The drop-down's hint (tooltip). */
    virtual void setHint(const QString &text) = 0;
    virtual QString hint() const = 0;
};

/**
 * The management file list: the entries of the check list IgnoreList, lower-case
 * names kept in sorted order, each with a check mark. The control holds the data.
 */
class ManagementFileList
{
public:
    virtual ~ManagementFileList() = default;

    virtual int count() const = 0;
    virtual QString name(int index) const = 0;
    virtual bool isChecked(int index) const = 0;
    virtual void setChecked(int index, bool checked) = 0;
    /** Adds the name at its sorted place with its mark on; every other entry keeps its mark. */
    virtual void addChecked(const QString &name) = 0;
    virtual bool isSelected(int index) const = 0;
    virtual void removeAt(int index) = 0;
    virtual void clearSelection() = 0;
    virtual void clear() = 0;
};

} // namespace Vacuola
