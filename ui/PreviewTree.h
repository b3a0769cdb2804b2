#pragma once

#include "ui/PreviewFolders.h"

#include <QAbstractItemModel>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>
#include <vector>

namespace Vacuola {

/**
 * The folders a sweep would remove, as a tree under the swept folder, each with
 * a tick. Folders on the way that would stay are shown without one.
 *
 * Ticks follow the folders' nesting: ticking a folder ticks everything below
 * it, unticking one unticks everything below it and every folder above it
 * (which keeps the unticked folder), and a folder whose subfolders are all
 * ticked is ticked. A folder with some ticked folders below it is shown
 * partly ticked and stays.
 *
 * The whole tree is built in one pass and held as plain nodes in depth-first
 * order, so that a subtree is a run of nodes: a hundred thousand folders cost a
 * few megabytes, and a view asks only for the rows it shows. No node holds its
 * path: a path is made when it is asked for, so a deep chain costs no more
 * than a broad tree of as many folders.
 */
class PreviewTree final : public QAbstractItemModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewTree)

public:
    /**
     * Views are offered folders down to this many levels below the swept
     * folder: Qt's tree view lays out open folders by recursion, a frame of
     * the stack for each level, and a deeper chain opened whole would overflow
     * it. The folders further down still count, and go or stay with the
     * deepest one shown above them.
     */
    static constexpr int ShownLevels = 1000;

    /** The folders the sweep would handle, as the dry run reported them. */
    explicit PreviewTree(std::shared_ptr<const PreviewFolders> folders, QObject *parent = nullptr);
    ~PreviewTree() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    /** The folder's absolute path. */
    QString path(const QModelIndex &index) const;
    /** The index of a folder shown, by its path; invalid when it is not in the tree. */
    QModelIndex find(const QString &path) const;
    /** Unticks the folder and everything below it (and so every folder above it). */
    void untick(const QModelIndex &index);

    /** The folders that would go (or fail). */
    int folderCount() const;
    /** Those of them still ticked. */
    int tickedCount() const;
    /**
     * What the sweep has to keep so that every unticked folder stays: the
     * topmost folders with nothing ticked below them (never entered), and the
     * swept folder itself when it is unticked.
     */
    QStringList keptFolders() const;

signals:
    /** A tick changed somewhere. */
    void ticksChanged();

private:
    struct Node
    {
        int folder = 0; // into m_folders
        int parent = -1;
        int depth = 0; // levels below the swept folder
        int row = 0;
        int firstChild = 0; // into m_children
        int childCount = 0;
        int end = 0;     // one past the last node of the subtree
        int folders = 0; // folders of the sweep in the subtree, itself included
        int ticked = 0;  // of them ticked
        bool listed = false;
    };

    int nodeOf(const QModelIndex &index) const;
    /** The subfolders a view is offered. */
    int shownChildren(int node) const;
    const PreviewFolders::Folder &folderOf(int node) const;
    QModelIndex indexOf(int node) const;
    bool isTicked(int node) const;
    void setTicks(int node, bool on);
    void emitSubtreeChanged(int node);

    std::shared_ptr<const PreviewFolders> m_folders;
    std::vector<Node> m_nodes;
    std::vector<int> m_children;
};

} // namespace Vacuola
