#include "ui/PreviewTree.h"

#include "engine/SweepEngine.h"

#include <QHash>

#include <algorithm>

namespace Vacuola {

namespace {

QString parentPath(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// The order of names among siblings: letter case aside first, so that "a" and "B" keep their places.
bool namesBefore(const QString &a, const QString &b)
{
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

} // namespace

PreviewTree::PreviewTree(const QString &root, const QStringList &paths, const QStringList &lines,
                         QObject *parent)
    : QAbstractItemModel(parent)
{
    // First the folders as they come, each linked to its parent...
    struct Found
    {
        QString name;
        int parent = -1;
        int line = -1;
        std::vector<int> children;
    };
    std::vector<Found> found(1);
    found[0].name = root;
    QHash<QString, int> byPath;
    byPath.insert(root, 0);
    const QString prefix = root.endsWith(u'/') ? root : root + u'/';
    QStringList missing;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString &path = paths.at(i);
        if (path != root && !path.startsWith(prefix))
            continue;
        QString at = path;
        missing.clear();
        while (!byPath.contains(at)) {
            missing.append(at);
            at = parentPath(at);
        }
        int node = byPath.value(at);
        for (qsizetype m = missing.size() - 1; m >= 0; --m) {
            const QString &folder = missing.at(m);
            Found child;
            child.name = folder.mid(folder.lastIndexOf(u'/') + 1);
            child.parent = node;
            found.push_back(std::move(child));
            const int created = int(found.size()) - 1;
            found[size_t(node)].children.push_back(created);
            byPath.insert(folder, created);
            node = created;
        }
        found[size_t(node)].line = int(i);
    }
    byPath.clear();

    // ...then laid out depth first, siblings by name.
    std::vector<int> order;
    order.reserve(found.size());
    std::vector<int> stack{0};
    while (!stack.empty()) {
        const int node = stack.back();
        stack.pop_back();
        order.push_back(node);
        std::vector<int> &children = found[size_t(node)].children;
        std::sort(children.begin(), children.end(), [&found](int a, int b) {
            return namesBefore(found[size_t(a)].name, found[size_t(b)].name);
        });
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    std::vector<int> placed(found.size());
    for (size_t i = 0; i < order.size(); ++i)
        placed[size_t(order[i])] = int(i);

    m_nodes.resize(order.size());
    m_children.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        Found &from = found[size_t(order[i])];
        Node &node = m_nodes[i];
        node.name = from.name;
        node.parent = from.parent < 0 ? -1 : placed[size_t(from.parent)];
        node.listed = from.line >= 0;
        if (node.listed) {
            const QString &line = lines.value(from.line);
            node.rest = line.mid(paths.at(from.line).size());
        }
        node.firstChild = int(m_children.size());
        node.childCount = int(from.children.size());
        for (int c = 0; c < node.childCount; ++c) {
            const int child = placed[size_t(from.children[size_t(c)])];
            m_children.push_back(child);
            m_nodes[size_t(child)].row = c;
        }
        from = Found();
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
    if (row >= node.childCount)
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
    return parent.isValid() ? m_nodes[size_t(nodeOf(parent))].childCount : (m_nodes.empty() ? 0 : 1);
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
    if (role == Qt::DisplayRole)
        return QString(SweepEngine::printable(n.name) + n.rest);
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
        if (n.childCount > 0) {
            emit dataChanged(indexOf(m_children[size_t(n.firstChild)]),
                             indexOf(m_children[size_t(n.firstChild + n.childCount - 1)]),
                             {Qt::CheckStateRole});
        }
    }
}

QString PreviewTree::path(const QModelIndex &index) const
{
    int node = nodeOf(index);
    if (node < 0)
        return {};
    QStringList names;
    for (; node > 0; node = m_nodes[size_t(node)].parent)
        names.prepend(m_nodes[size_t(node)].name);
    const QString &root = m_nodes[0].name;
    if (names.isEmpty())
        return root;
    return (root.endsWith(u'/') ? root : root + u'/') + names.join(u'/');
}

QModelIndex PreviewTree::find(const QString &path) const
{
    for (int i = 0; i < int(m_nodes.size()); ++i) {
        if (this->path(indexOf(i)) == path)
            return indexOf(i);
    }
    return {};
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
