#include "engine/FolderNodes.h"

#include <QStringList>

namespace Vacuola {

FolderNodes::FolderNodes() = default;

FolderNodes::~FolderNodes() = default;

void FolderNodes::clear(const QString &rootPath)
{
    // The memory of a large sweep goes back to the system with it.
    std::vector<Node>().swap(m_nodes);
    std::vector<bool>().swap(m_onChain);
    m_names = QString();
    m_nodes.push_back(Node{0, 0});
    m_onChain.push_back(true);
    m_chain.assign(1, 0);
    m_path = rootPath;
    m_ends.assign(1, m_path.size());
}

FolderNodes::Id FolderNodes::root() const
{
    return 0;
}

FolderNodes::Id FolderNodes::add(Id parent, QStringView name)
{
    const Id id = Id(m_nodes.size());
    m_nodes.push_back(Node{parent, quint32(m_names.size())});
    m_onChain.push_back(false);
    m_names.append(name);
    return id;
}

qsizetype FolderNodes::nameEnd(Id id) const
{
    return size_t(id) + 1 < m_nodes.size() ? qsizetype(m_nodes[size_t(id) + 1].nameStart) : m_names.size();
}

const QString &FolderNodes::path(Id id)
{
    // The folders between this one and the deepest ancestor that the last path shared.
    m_scratch.clear();
    Id ancestor = id;
    while (!m_onChain[ancestor]) {
        m_scratch.push_back(ancestor);
        ancestor = m_nodes[ancestor].parent;
    }
    while (m_chain.back() != ancestor) {
        m_onChain[m_chain.back()] = false;
        m_chain.pop_back();
        m_ends.pop_back();
    }
    m_path.truncate(m_ends.back());
    for (auto it = m_scratch.rbegin(); it != m_scratch.rend(); ++it) {
        const Node &node = m_nodes[*it];
        m_path += QLatin1Char('/');
        m_path += QStringView(m_names).mid(node.nameStart, nameEnd(*it) - node.nameStart);
        m_chain.push_back(*it);
        m_ends.push_back(m_path.size());
        m_onChain[*it] = true;
    }
    return m_path;
}

QString FolderNodes::pathOf(Id id) const
{
    QStringList names;
    for (; id != root(); id = m_nodes[id].parent) {
        const qsizetype start = m_nodes[id].nameStart;
        names.prepend(m_names.mid(start, nameEnd(id) - start));
    }
    names.prepend(m_path.left(m_ends.front()));
    return names.join(QLatin1Char('/'));
}

} // namespace Vacuola
