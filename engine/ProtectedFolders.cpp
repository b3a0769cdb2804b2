#include "engine/ProtectedFolders.h"

#include "platform/FileSystem.h"
#include "platform/SystemFolders.h"
#include "registers/ExclusionRegister.h"

namespace Vacuola {

namespace {

bool sameChar(QChar a, QChar b, bool ignoreCase)
{
    return a == b || (ignoreCase && a.toCaseFolded() == b.toCaseFolded());
}

QString lastComponent(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace

ProtectedFolders::ProtectedFolders() = default;

ProtectedFolders::~ProtectedFolders() = default;

bool ProtectedFolders::wildcardMatch(QStringView pattern, QStringView name, bool ignoreCase)
{
    // Greedy with one step back to the last "*": linear for the short patterns met here.
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype star = -1;
    qsizetype resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || sameChar(pattern[p], name[n], ignoreCase))) {
            ++p;
            ++n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

void ProtectedFolders::prepare(const ExclusionRegister &exclusions, FileSystem &fileSystem,
                               const QString &root, const QStringList &keptFolders)
{
    m_fileSystem = &fileSystem;
    // Folders on other file systems are never entered, so the root's case rule holds for every name met.
    m_ignoreCase = fileSystem.folderIdentity(root).ignoresCase;
    m_names.clear();
    m_wildcards.clear();
    m_paths.clear();
    m_lastNames.clear();
    m_identities.clear();
    m_buckets.reset();

    QStringList paths = systemProtectedFolders(exclusions.systemSources(), fileSystem);
    for (const QString &stored : exclusions.patterns()) {
        const QString pattern = ExclusionRegister::normalized(stored);
        if (pattern.startsWith(u'/'))
            paths.append(pattern);
        else if (!ExclusionRegister::isMatchable(pattern))
            continue;
        else if (pattern.contains(u'*') || pattern.contains(u'?'))
            m_wildcards.append(pattern);
        else
            insertKey(m_names, key(pattern));
    }
    for (const QString &folder : keptFolders)
        paths.append(ExclusionRegister::normalized(folder));
    for (const QString &path : std::as_const(paths)) {
        m_paths.insert(path);
        insertKey(m_lastNames, key(lastComponent(path)));
        // The same folder reached by another path (a home below a linked folder) is still found.
        const FolderIdentity identity = fileSystem.folderIdentity(path);
        if (identity.exists)
            m_identities.insert({identity.device, identity.inode});
    }
    const QString rootName = lastComponent(root);
    const QString rootKey = key(rootName);
    m_root = matchesName(rootName, rootKey) || (isProtectedName(rootKey) && isProtectedPath(root));
}

bool ProtectedFolders::contains(const QString &parent, const QString &name) const
{
    // The path is built only for a folder named like a protected one.
    const QString folded = key(name);
    return matchesName(name, folded) || (isProtectedName(folded) && isProtectedPath(parent + u'/' + name));
}

bool ProtectedFolders::containsRoot() const
{
    return m_root;
}

QString ProtectedFolders::key(const QString &name) const
{
    return m_ignoreCase ? name.toCaseFolded() : name;
}

size_t ProtectedFolders::bucket(QStringView key)
{
    // The length and the outer characters, mixed; the top byte of the product is the bucket.
    const quint32 first = key.isEmpty() ? 0 : key.front().unicode();
    const quint32 last = key.isEmpty() ? 0 : key.back().unicode();
    const quint32 mixed = (quint32(key.size()) * 0x9E3779B1u) ^ (first * 0x85EBCA77u) ^ (last * 0xC2B2AE3Du);
    return size_t((mixed * 0x27D4EB2Du) >> 24);
}

void ProtectedFolders::insertKey(QSet<QString> &set, const QString &key)
{
    set.insert(key);
    m_buckets.set(bucket(key));
}

bool ProtectedFolders::mayHold(const QSet<QString> &set, const QString &key) const
{
    return !set.isEmpty() && m_buckets.test(bucket(key)) && set.contains(key);
}

bool ProtectedFolders::matchesName(const QString &name, const QString &nameKey) const
{
    if (mayHold(m_names, nameKey))
        return true;
    for (const QString &pattern : m_wildcards) {
        if (wildcardMatch(pattern, name, m_ignoreCase))
            return true;
    }
    return false;
}

bool ProtectedFolders::isProtectedName(const QString &nameKey) const
{
    return mayHold(m_lastNames, nameKey);
}

bool ProtectedFolders::isProtectedPath(const QString &path) const
{
    if (m_paths.contains(path))
        return true;
    if (m_identities.isEmpty())
        return false;
    const FolderIdentity identity = m_fileSystem->folderIdentity(path);
    return identity.exists && m_identities.contains({identity.device, identity.inode});
}

} // namespace Vacuola
