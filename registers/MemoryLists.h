#pragma once

#include "core/RegisterLists.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Vacuola {

/**
 * The search folder list held in memory instead of a drop-down: the command
 * line's register, the window's preview and the tests. The entries are plain
 * data, read and set directly by whoever owns the list.
 */
class MemorySearchFolderList final : public SearchFolderList
{
public:
    int count() const override;
    QString text(int index) const override;
    int selectedIndex() const override;
    void select(int index) override;
    void insert(int index, const QString &text) override;
    void move(int from, int to) override;
    void remove(int index) override;
    void clear() override;
    void setHint(const QString &text) override;
    QString hint() const override;

    QStringList items;
    int selected = -1;
    QString hintText;
};

/** The management file list held in memory, kept sorted like the window's check list. */
class MemoryManagementFileList final : public ManagementFileList
{
public:
    int count() const override;
    QString name(int index) const override;
    bool isChecked(int index) const override;
    void setChecked(int index, bool checked) override;
    void addChecked(const QString &name) override;
    bool isSelected(int index) const override;
    void removeAt(int index) override;
    void clearSelection() override;
    void clear() override;

    /** Adds a name at its sorted place with the given mark. */
    void add(const QString &name, bool checked);
    void setSelected(int index, bool selected);

    struct Entry
    {
        QString name;
        bool checked = false;
        bool selected = false;
    };
    QList<Entry> entries;
};

} // namespace Vacuola
