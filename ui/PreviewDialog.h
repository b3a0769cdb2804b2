#pragma once

#include "ui/Dialogs.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;
class QTreeView;

namespace Vacuola {

class PreviewTree;

/**
 * 削除予定の確認: the folders a sweep would remove as a tree under the swept
 * folder (PreviewTree), each ticked, with the count still ticked and the legend
 * of the management file indexes that the lines cite. Space ticks and unticks,
 * the arrows move and open folders. "除外に追加" adds the selected folders to
 * the exclusion list and unticks them; "削除開始" accepts the box, "閉じる"
 * (the default) rejects it.
 */
class PreviewDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewDialog)

public:
    PreviewDialog(QWidget *parent, const PreviewContent &content);
    ~PreviewDialog() override;

    PreviewTree &tree() const;
    QTreeView *view() const;
    /** What the sweep has to keep so that every unticked folder stays. */
    QStringList keptFolders() const;

    void addToExclusionsClicked();

private:
    void openFirstLevels();
    void showCount();

    PreviewContent m_content;
    PreviewTree *m_tree = nullptr;
    QTreeView *m_view = nullptr;
    QLabel *m_count = nullptr;
    QPushButton *m_exclude = nullptr;
};

} // namespace Vacuola
