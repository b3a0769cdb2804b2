#pragma once

#include "core/RegisterLists.h"

#include <QtGlobal>

class QComboBox;
class QListWidget;

namespace Vacuola {

/** The search folder list kept in the drop-down itself: the combo box holds the data. */
class ComboSearchFolderList final : public SearchFolderList
{
    Q_DISABLE_COPY_MOVE(ComboSearchFolderList)

public:
    explicit ComboSearchFolderList(QComboBox &combo);

    int count() const override;
    QString text(int index) const override;
    int selectedIndex() const override;
    /** Selects without reporting a user choice. */
    void select(int index) override;
    void insert(int index, const QString &text) override;
    void move(int from, int to) override;
    void remove(int index) override;
    void clear() override;
    void setHint(const QString &text) override;
    QString hint() const override;

private:
    QComboBox &m_combo;
};

/**
 * The management file list kept in the check list itself. The list widget's own
 * sorting is off: names are inserted at their place by Locale::compareNames, so
 * marks and selection stay with their items.
 */
class CheckListManagementFileList final : public ManagementFileList
{
    Q_DISABLE_COPY_MOVE(CheckListManagementFileList)

public:
    /** `rowHeight` is the height of one row in pixels. */
    CheckListManagementFileList(QListWidget &list, int rowHeight);

    int count() const override;
    QString name(int index) const override;
    bool isChecked(int index) const override;
    void setChecked(int index, bool checked) override;
    void addChecked(const QString &name) override;
    bool isSelected(int index) const override;
    void removeAt(int index) override;
    void clearSelection() override;
    void clear() override;

private:
    bool valid(int index) const;

    QListWidget &m_list;
    int m_rowHeight;
};

} // namespace Vacuola
