#include "ui/PreviewDialog.h"

#include "ui/PreviewTree.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTreeView>
#include <QVBoxLayout>

namespace Vacuola {

namespace {

// Up to this many folders the tree opens fully; a larger one opens whole levels
// from the swept folder while no more rows than this are shown, a few at most.
const int OpenedFolders = 500;
const int OpenedLevels = 4;

/**
 * The tree view, each of whose rows can be selected wherever it is indented.
 * Qt's view picks the folder under the middle of a row's text, and clears the
 * selection and the current folder when that point lies past the column: a
 * folder indented past the box's width would be lost to the arrow keys.
 */
class PreviewView final : public QTreeView
{
    Q_DISABLE_COPY_MOVE(PreviewView)

public:
    explicit PreviewView(QWidget *parent) : QTreeView(parent) {}
    ~PreviewView() override = default;

protected:
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override
    {
        const int last = header()->length() - header()->offset() - 1;
        QRect inside = rect;
        inside.setLeft(qMin(rect.left(), last));
        inside.setRight(qMin(rect.right(), last));
        QTreeView::setSelection(inside, command);
    }
};

} // namespace

PreviewDialog::PreviewDialog(QWidget *parent, const PreviewContent &content)
    : QDialog(parent), m_content(content)
{
    setObjectName(QStringLiteral("PreviewDialog"));
    setWindowTitle(QStringLiteral("削除予定の確認"));
    setSizeGripEnabled(true);
    auto *layout = new QVBoxLayout(this);
    auto *summary = new QLabel(content.summary, this);
    summary->setTextFormat(Qt::PlainText);
    layout->addWidget(summary);
    if (!content.legend.isEmpty()) {
        // The log's legend line, its tabs shown as gaps.
        QString legend = content.legend;
        legend.replace(u'\t', QStringLiteral("  "));
        auto *legendLabel = new QLabel(QStringLiteral("削除対象管理ファイル  ") + legend.trimmed(), this);
        legendLabel->setObjectName(QStringLiteral("PreviewLegend"));
        legendLabel->setTextFormat(Qt::PlainText);
        layout->addWidget(legendLabel);
    }

    m_tree = new PreviewTree(content.folders, this);
    m_view = new PreviewView(this);
    m_view->setObjectName(QStringLiteral("PreviewTree"));
    m_view->setHeaderHidden(true);
    m_view->setUniformRowHeights(true);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setModel(m_tree);
    const QModelIndex top = m_tree->index(0, 0);
    if (m_tree->folderCount() <= OpenedFolders)
        m_view->expandAll();
    else
        openFirstLevels();
    // The swept folder is current but not selected, so that 除外に追加 waits for a choice.
    m_view->selectionModel()->setCurrentIndex(top, QItemSelectionModel::NoUpdate);
    layout->addWidget(m_view, 1);

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("PreviewCount"));
    layout->addWidget(m_count);
    connect(m_tree, &PreviewTree::ticksChanged, this, &PreviewDialog::showCount);
    showCount();

    // Explicit buttons rather than a button box, so that their order is the same under every style.
    auto *buttons = new QHBoxLayout;
    m_exclude = new QPushButton(QStringLiteral("除外に追加"), this);
    m_exclude->setObjectName(QStringLiteral("PreviewExclude"));
    auto *start = new QPushButton(QStringLiteral("削除開始"), this);
    auto *close = new QPushButton(QStringLiteral("閉じる"), this);
    m_exclude->setAutoDefault(false);
    m_exclude->setEnabled(false);
    start->setAutoDefault(false);
    close->setDefault(true);
    connect(m_exclude, &QPushButton::clicked, this, &PreviewDialog::addToExclusionsClicked);
    connect(start, &QPushButton::clicked, this, &QDialog::accept);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_exclude->setEnabled(m_view->selectionModel()->hasSelection()); });
    buttons->addWidget(m_exclude);
    buttons->addStretch(1);
    buttons->addWidget(start);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    QWidget::setTabOrder(m_view, m_exclude);
    QWidget::setTabOrder(m_exclude, start);
    QWidget::setTabOrder(start, close);
    resize(480, 360);
    close->setFocus();
}

PreviewDialog::~PreviewDialog() = default;

PreviewTree &PreviewDialog::tree() const
{
    return *m_tree;
}

QTreeView *PreviewDialog::view() const
{
    return m_view;
}

QStringList PreviewDialog::keptFolders() const
{
    return m_tree->keptFolders();
}

void PreviewDialog::addToExclusionsClicked()
{
    if (!m_content.exclude)
        return;
    // A folder excluded is never entered, so a selected folder inside another selected one needs no entry.
    const QModelIndexList selected = m_view->selectionModel()->selectedIndexes();
    QSet<quintptr> chosen;
    for (const QModelIndex &index : selected)
        chosen.insert(index.internalId());
    QList<QModelIndex> topmost;
    QStringList folders;
    for (const QModelIndex &index : selected) {
        bool inside = false;
        for (QModelIndex up = index.parent(); up.isValid() && !inside; up = up.parent())
            inside = chosen.contains(up.internalId());
        if (!inside) {
            topmost.append(index);
            folders.append(m_tree->path(index));
        }
    }
    const QStringList held = m_content.exclude(folders);
    const QSet<QString> excluded(held.cbegin(), held.cend());
    // An excluded folder stays with everything below it.
    for (qsizetype i = 0; i < topmost.size(); ++i) {
        if (excluded.contains(folders.at(i)))
            m_tree->untick(topmost.at(i));
    }
}

void PreviewDialog::openFirstLevels()
{
    QModelIndexList level{m_tree->index(0, 0)};
    qsizetype shown = 1;
    for (int depth = 0; depth < OpenedLevels && !level.isEmpty(); ++depth) {
        qsizetype below = 0;
        for (const QModelIndex &folder : level)
            below += m_tree->rowCount(folder);
        // The swept folder opens whatever it holds.
        if (depth > 0 && shown + below > OpenedFolders)
            return;
        QModelIndexList next;
        for (const QModelIndex &folder : level) {
            m_view->expand(folder);
            for (int row = 0; row < m_tree->rowCount(folder); ++row)
                next.append(m_tree->index(row, 0, folder));
        }
        shown += below;
        level = next;
    }
}

void PreviewDialog::showCount()
{
    m_count->setText(QStringLiteral("削除するフォルダ ") + QString::number(m_tree->tickedCount()) +
                     QStringLiteral("件 / ") + QString::number(m_tree->folderCount()) + QStringLiteral("件"));
}

} // namespace Vacuola
