#include "ui/PreviewFolders.h"

#include "engine/SweepEngine.h"
#include "platform/SharedPrefix.h"

namespace Vacuola {

PreviewFolders::PreviewFolders(const QString &root)
    : m_rootEnd(root.endsWith(u'/') ? root.size() - 1 : root.size()),
      m_last(root), m_chain{0}, m_ends{m_rootEnd}
{
    m_folders.push_back(Folder{root, QString(), -1, false});
}

PreviewFolders::~PreviewFolders() = default;

void PreviewFolders::add(const QString &path, QStringView rest)
{
    if (!holds(path))
        return;
    // The swept folder's own path ends where the names below it begin.
    const qsizetype size = path.size() == m_folders[0].name.size() ? m_rootEnd : path.size();
    // Back to the deepest folder of the last path that this one lies in...
    const qsizetype shared = sharedPrefix(m_last, path);
    while (m_chain.size() > 1) {
        const qsizetype end = m_ends.back();
        if (end <= shared && (end == size || path.at(end) == u'/'))
            break;
        m_chain.pop_back();
        m_ends.pop_back();
    }
    // ...then down through the folders it has below that one.
    for (qsizetype at = m_ends.back(); at < size;) {
        const QStringView name = nameAfter(path, at);
        // A folder met before, when the last path had gone elsewhere since.
        const std::pair<int, QString> key(m_chain.back(), name.toString());
        int folder = m_byName.value(key, -1);
        if (folder < 0) {
            folder = int(m_folders.size());
            m_folders.push_back(Folder{key.second, QString(), key.first, false});
            m_byName.insert(key, folder);
        }
        m_chain.push_back(folder);
        at += 1 + name.size();
        m_ends.push_back(at);
    }
    m_last = path;
    Folder &folder = m_folders[size_t(m_chain.back())];
    folder.rest = rest.toString();
    folder.listed = true;
    m_reported.push_back(m_chain.back());
}

const std::vector<PreviewFolders::Folder> &PreviewFolders::folders() const
{
    return m_folders;
}

QString PreviewFolders::path(int folder) const
{
    std::vector<int> down;
    for (; folder > 0; folder = m_folders[size_t(folder)].parent)
        down.push_back(folder);
    QString path = m_folders[0].name;
    if (down.empty())
        return path;
    path.truncate(m_rootEnd);
    for (auto it = down.rbegin(); it != down.rend(); ++it) {
        path += u'/';
        path += m_folders[size_t(*it)].name;
    }
    return path;
}

bool PreviewFolders::holds(const QString &path) const
{
    const QString &root = m_folders[0].name;
    if (path == root)
        return true;
    return path.size() > m_rootEnd + 1 && path.startsWith(root) && path.at(m_rootEnd) == u'/';
}

qsizetype PreviewFolders::rootEnd() const
{
    return m_rootEnd;
}

QStringView PreviewFolders::nameAfter(const QString &path, qsizetype slash)
{
    const qsizetype start = slash + 1;
    const qsizetype end = path.indexOf(u'/', start);
    return QStringView(path).sliced(start, (end < 0 ? path.size() : end) - start);
}

qsizetype PreviewFolders::lineCount() const
{
    return qsizetype(m_reported.size());
}

QString PreviewFolders::line(qsizetype n) const
{
    const int folder = m_reported[size_t(n)];
    QString line = SweepEngine::printable(path(folder));
    return line += m_folders[size_t(folder)].rest;
}

} // namespace Vacuola
