#include "ui/PreviewTree.h"

#include "engine/SweepEngine.h"

#include <algorithm>

namespace Vacuola {

namespace {

// The order of names among siblings: letter case aside first, so that "a" and "B" keep their places.
bool namesBefore(const QString &a, const QString &b)
{
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

} // namespace

PreviewTree::PreviewTree(std::shared_ptr<const PreviewFolders> folders, QObject *parent)
    : QAbstractItemModel(parent), m_folders(std::move(folders))
{
    if (!m_folders)
        return;
    const std::vector<PreviewFolders::Folder> &found = m_folders->folders();
    const size_t count = found.size();
    // First the subfolders of each folder, one run per folder, siblings by name...
    std::vector<int> runStart(count + 1, 0);
    for (size_t f = 1; f < count; ++f)
        ++runStart[size_t(found[f].parent) + 1];
    for (size_t f = 0; f < count; ++f)
        runStart[f + 1] += runStart[f];
    std::vector<int> below(count > 0 ? count - 1 : 0);
    {
        std::vector<int> next(runStart.begin(), runStart.end() - 1);
        for (size_t f = 1; f < count; ++f)
            below[size_t(next[size_t(found[f].parent)]++)] = int(f);
    }
    for (size_t f = 0; f < count; ++f) {
        std::sort(below.begin() + runStart[f], below.begin() + runStart[f + 1], [&found](int a, int b) {
            return namesBefore(found[size_t(a)].name, found[size_t(b)].name);
        });
    }

    // ...then laid out depth first.
    std::vector<int> order;
    order.reserve(count);
    std::vector<int> stack{0};
    while (!stack.empty()) {
        const int folder = stack.back();
        stack.pop_back();
        order.push_back(folder);
        for (int k = runStart[size_t(folder) + 1] - 1; k >= runStart[size_t(folder)]; --k)
            stack.push_back(below[size_t(k)]);
    }
    std::vector<int> placed(count);
    for (size_t i = 0; i < count; ++i)
        placed[size_t(order[i])] = int(i);

    m_nodes.resize(count);
    m_children.reserve(below.size());
    for (size_t i = 0; i < count; ++i) {
        const int folder = order[i];
        const PreviewFolders::Folder &from = found[size_t(folder)];
        Node &node = m_nodes[i];
        node.folder = folder;
        node.parent = from.parent < 0 ? -1 : placed[size_t(from.parent)];
        node.depth = node.parent < 0 ? 0 : m_nodes[size_t(node.parent)].depth + 1;
        node.listed = from.listed;
        node.firstChild = int(m_children.size());
        node.childCount = runStart[size_t(folder) + 1] - runStart[size_t(folder)];
        for (int c = 0; c < node.childCount; ++c) {
            const int child = placed[size_t(below[size_t(runStart[size_t(folder)] + c)])];
            m_children.push_back(child);
            m_nodes[size_t(child)].row = c;
        }
    }
    for (int i = int(m_nodes.size()) - 1; i >= 0; --i) {
        Node &node = m_nodes[size_t(i)];
        node.end = node.childCount == 0
                       ? i + 1
                       : m_nodes[size_t(m_children[size_t(node.firstChild + node.childCount - 1)])].end;
        node.folders = node.listed ? 1 : 0;
        for (int c = 0; c < node.childCount; ++c)
            node.folders += m_nodes[size_t(m_children[size_t(node.firstChild + c)])].folders;
        node.ticked = node.folders;
    }
}

PreviewTree::~PreviewTree() = default;

int PreviewTree::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? int(index.internalId()) : -1;
}

const PreviewFolders::Folder &PreviewTree::folderOf(int node) const
{
    return m_folders->folders()[size_t(m_nodes[size_t(node)].folder)];
}

QModelIndex PreviewTree::indexOf(int node) const
{
    return node < 0 ? QModelIndex() : createIndex(m_nodes[size_t(node)].row, 0, quintptr(node));
}

QModelIndex PreviewTree::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 && !m_nodes.empty() ? createIndex(0, 0, quintptr(0)) : QModelIndex();
    const Node &node = m_nodes[size_t(nodeOf(parent))];
    if (row >= shownChildren(nodeOf(parent)))
        return {};
    return createIndex(row, 0, quintptr(m_children[size_t(node.firstChild + row)]));
}

QModelIndex PreviewTree::parent(const QModelIndex &child) const
{
    return child.isValid() ? indexOf(m_nodes[size_t(nodeOf(child))].parent) : QModelIndex();
}

int PreviewTree::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return parent.isValid() ? shownChildren(nodeOf(parent)) : (m_nodes.empty() ? 0 : 1);
}

int PreviewTree::shownChildren(int node) const
{
    const Node &n = m_nodes[size_t(node)];
    return n.depth < ShownLevels ? n.childCount : 0;
}

int PreviewTree::columnCount(const QModelIndex &) const
{
    return 1;
}

bool PreviewTree::isTicked(int node) const
{
    const Node &n = m_nodes[size_t(node)];
    return n.listed && n.ticked == n.folders;
}

QVariant PreviewTree::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int node = nodeOf(index);
    const Node &n = m_nodes[size_t(node)];
    if (role == Qt::DisplayRole) {
        const PreviewFolders::Folder &folder = folderOf(node);
        return QString(SweepEngine::printable(folder.name) + folder.rest);
    }
    if (role == Qt::CheckStateRole && n.listed) {
        if (isTicked(node))
            return Qt::Checked;
        return n.ticked > 0 ? Qt::PartiallyChecked : Qt::Unchecked;
    }
    return {};
}

Qt::ItemFlags PreviewTree::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_nodes[size_t(nodeOf(index))].listed)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool PreviewTree::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || !m_nodes[size_t(nodeOf(index))].listed)
        return false;
    setTicks(nodeOf(index), value.toInt() == Qt::Checked);
    return true;
}

void PreviewTree::untick(const QModelIndex &index)
{
    if (index.isValid())
        setTicks(nodeOf(index), false);
}

void PreviewTree::setTicks(int node, bool on)
{
    Node &top = m_nodes[size_t(node)];
    if (top.ticked == (on ? top.folders : 0))
        return;
    for (int i = node; i < top.end; ++i)
        m_nodes[size_t(i)].ticked = on ? m_nodes[size_t(i)].folders : 0;
    // Above it, a folder of the sweep is ticked exactly when everything below it is.
    for (int up = top.parent; up >= 0; up = m_nodes[size_t(up)].parent) {
        Node &n = m_nodes[size_t(up)];
        int below = 0;
        for (int c = 0; c < n.childCount; ++c)
            below += m_nodes[size_t(m_children[size_t(n.firstChild + c)])].ticked;
        n.ticked = below + (n.listed && below == n.folders - 1 ? 1 : 0);
    }
    emitSubtreeChanged(node);
    for (int up = top.parent; up >= 0; up = m_nodes[size_t(up)].parent)
        emit dataChanged(indexOf(up), indexOf(up), {Qt::CheckStateRole});
    emit ticksChanged();
}

void PreviewTree::emitSubtreeChanged(int node)
{
    const Node &top = m_nodes[size_t(node)];
    emit dataChanged(indexOf(node), indexOf(node), {Qt::CheckStateRole});
    for (int i = node; i < top.end; ++i) {
        const Node &n = m_nodes[size_t(i)];
        if (shownChildren(i) > 0) {
            emit dataChanged(indexOf(m_children[size_t(n.firstChild)]),
                             indexOf(m_children[size_t(n.firstChild + n.childCount - 1)]),
                             {Qt::CheckStateRole});
        }
    }
}

QString PreviewTree::path(const QModelIndex &index) const
{
    const int node = nodeOf(index);
    return node < 0 ? QString() : m_folders->path(m_nodes[size_t(node)].folder);
}

QModelIndex PreviewTree::find(const QString &path) const
{
    if (m_nodes.empty() || !m_folders->holds(path))
        return {};
    // Down from the swept folder, a name at a time.
    int node = 0;
    const qsizetype size = path == folderOf(0).name ? 0 : path.size();
    for (qsizetype at = m_folders->rootEnd(); at < size && node >= 0;) {
        const QStringView name = PreviewFolders::nameAfter(path, at);
        const Node &n = m_nodes[size_t(node)];
        node = -1;
        for (int c = 0; c < n.childCount && node < 0; ++c) {
            const int child = m_children[size_t(n.firstChild + c)];
            if (folderOf(child).name == name)
                node = child;
        }
        at += 1 + name.size();
    }
    return indexOf(node);
}

int PreviewTree::folderCount() const
{
    return m_nodes.empty() ? 0 : m_nodes[0].folders;
}

int PreviewTree::tickedCount() const
{
    return m_nodes.empty() ? 0 : m_nodes[0].ticked;
}

QStringList PreviewTree::keptFolders() const
{
    QStringList kept;
    if (m_nodes.empty())
        return kept;
    if (m_nodes[0].listed && !isTicked(0))
        kept.append(path(indexOf(0)));
    for (int i = 1; i < int(m_nodes.size());) {
        const Node &n = m_nodes[size_t(i)];
        if (n.listed && n.ticked == 0) {
            kept.append(path(indexOf(i)));
            i = n.end;
        } else {
            ++i;
        }
    }
    return kept;
}

} // namespace Vacuola
