#include "engine/FolderNodes.h"

#include <QStringList>

#include <algorithm>
#include <utility>

namespace Vacuola {

FolderNodes::FolderNodes() = default;

FolderNodes::~FolderNodes() = default;

void FolderNodes::clear(const QString &rootPath)
{
    // The memory of a large sweep goes back to the system with it.
    std::vector<quint32>().swap(m_nameStarts);
    std::vector<Siblings>().swap(m_siblings);
    m_lastRun = 0;
    std::vector<bool>().swap(m_onChain);
    m_names = QByteArray();
    m_nameStarts.push_back(0);
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
    const Id id = Id(m_nameStarts.size());
    if (m_siblings.empty() || m_siblings.back().parent != parent)
        m_siblings.push_back(Siblings{id, parent});
    const bool narrow = std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x100; });
    qsizetype start = m_names.size();
    if (narrow) {
        m_names.resize(start + name.size());
        char *out = m_names.data() + start;
        for (const QChar c : name)
            *out++ = char(c.unicode());
        m_nameStarts.push_back(quint32(start));
    } else {
        // A name never holds a NUL, so a byte that aligns UTF-16 is told from the name before it.
        if (start % 2 != 0)
            m_names.append('\0');
        start = m_names.size();
        m_names.append(reinterpret_cast<const char *>(name.utf16()), name.size() * 2);
        m_nameStarts.push_back(quint32(start) | Wide);
    }
    m_onChain.push_back(false);
    return id;
}

FolderNodes::Id FolderNodes::parent(Id id) const
{
    // The walk asks about a few folders near each other in turn: the run found
    // last usually holds the folder, or the next one does.
    for (size_t run = m_lastRun; run < m_siblings.size() && run <= m_lastRun + 1; ++run) {
        if (m_siblings[run].first <= id && id < runEnd(run)) {
            m_lastRun = run;
            return m_siblings[run].parent;
        }
    }
    // Otherwise the last run that starts at or before the folder.
    const auto run =
        std::upper_bound(m_siblings.cbegin(), m_siblings.cend(), id,
                         [](Id folder, const Siblings &siblings) { return folder < siblings.first; });
    m_lastRun = size_t(std::distance(m_siblings.cbegin(), run)) - 1;
    return std::prev(run)->parent;
}

void FolderNodes::appendName(QString &out, Id id) const
{
    const quint32 name = m_nameStarts[id];
    const qsizetype start = qsizetype(name & ~Wide);
    qsizetype end = size_t(id) + 1 < m_nameStarts.size() ? qsizetype(m_nameStarts[size_t(id) + 1] & ~Wide)
                                                         : m_names.size();
    const char *bytes = m_names.constData();
    if (name & Wide) {
        out += QStringView(reinterpret_cast<const char16_t *>(bytes + start), (end - start) / 2);
        return;
    }
    if (end > start && bytes[end - 1] == '\0')
        --end;
    out += QLatin1String(bytes + start, end - start);
}

const QString &FolderNodes::path(Id id)
{
    // The folders between this one and the deepest ancestor that the last path shared.
    m_scratch.clear();
    Id ancestor = id;
    while (!m_onChain[ancestor]) {
        m_scratch.push_back(ancestor);
        ancestor = parent(ancestor);
    }
    while (m_chain.back() != ancestor) {
        m_onChain[m_chain.back()] = false;
        m_chain.pop_back();
        m_ends.pop_back();
    }
    m_path.truncate(m_ends.back());
    for (auto it = m_scratch.rbegin(); it != m_scratch.rend(); ++it) {
        m_path += QLatin1Char('/');
        appendName(m_path, *it);
        m_chain.push_back(*it);
        m_ends.push_back(m_path.size());
        m_onChain[*it] = true;
    }
    return m_path;
}

QString FolderNodes::pathOf(Id id) const
{
    QStringList names;
    for (; id != root(); id = parent(id)) {
        QString name;
        appendName(name, id);
        names.prepend(name);
    }
    names.prepend(rootPath().toString());
    return names.join(QLatin1Char('/'));
}

size_t FolderNodes::count() const
{
    return m_nameStarts.size();
}

QStringView FolderNodes::rootPath() const
{
    return QStringView(m_path).left(m_ends.front());
}

FolderNodes::Id FolderNodes::runEnd(size_t run) const
{
    return run + 1 < m_siblings.size() ? m_siblings[run + 1].first : Id(m_nameStarts.size());
}

std::vector<quint32> FolderNodes::walkOrder(const std::function<bool(QStringView, QStringView)> &less) const
{
    // One number per folder: first the run of its subfolders (they were listed
    // together, so they are one run), flagged, then its place once it is walked.
    constexpr quint32 Run = 0x80000000u;
    constexpr quint32 None = ~0u;
    const size_t count = m_nameStarts.size();
    std::vector<quint32> order(count, None);
    for (size_t run = 0; run < m_siblings.size(); ++run) {
        if (order[m_siblings[run].parent] == None)
            order[m_siblings[run].parent] = quint32(run) | Run;
    }
    // The folders still to be walked, the next one last: only the subfolders
    // of the folders on the way down are ever sorted and held at once.
    std::vector<Id> stack;
    std::vector<std::pair<QString, Id>> names;
    quint32 next = 0;
    if (count > 0)
        stack.push_back(root());
    while (!stack.empty()) {
        const Id id = stack.back();
        stack.pop_back();
        const quint32 run = order[id];
        order[id] = next++;
        if (run == None)
            continue;
        const size_t index = run & ~Run;
        names.clear();
        for (Id child = m_siblings[index].first; child < runEnd(index); ++child) {
            QString name;
            appendName(name, child);
            names.emplace_back(std::move(name), child);
        }
        std::sort(names.begin(), names.end(),
                  [&less](const auto &a, const auto &b) { return less(a.first, b.first); });
        for (auto it = names.crbegin(); it != names.crend(); ++it)
            stack.push_back(it->second);
    }
    // A folder the walk did not reach has no place: its line is sorted in after the others.
    for (quint32 &place : order) {
        if (place & Run)
            place = None;
    }
    return order;
}

} // namespace Vacuola
