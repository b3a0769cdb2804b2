#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <bitset>
#include <utility>

namespace Vacuola {

class ExclusionRegister;
class FileSystem;

/**
 * What one sweep keeps as content: the folders the exclusion register protects,
 * read once when the sweep starts. Looking up a folder costs a set lookup, which
 * most names skip as their length and outer letters fall in no key's bucket,
 * and the wildcard patterns; its identity on disk is read only for a folder
 * named like one of the protected paths.
 */
class ProtectedFolders final
{
    Q_DISABLE_COPY_MOVE(ProtectedFolders)

public:
    ProtectedFolders();
    ~ProtectedFolders();

    /**
     * Takes the patterns and the system's folders for a sweep of `root`, and
     * `keptFolders`, absolute paths kept for this sweep alone as excluded ones are.
     */
    void prepare(const ExclusionRegister &exclusions, FileSystem &fileSystem, const QString &root,
                 const QStringList &keptFolders = {});
    /** True when the folder `name` in the folder `parent` is protected. */
    bool contains(const QString &parent, const QString &name) const;
    /** True when the swept folder itself is protected. */
    bool containsRoot() const;

    /** `*` any run of characters, `?` one; letters compared without case when `ignoreCase`. */
    static bool wildcardMatch(QStringView pattern, QStringView name, bool ignoreCase);

private:
    QString key(const QString &name) const;
    static size_t bucket(QStringView key);
    void insertKey(QSet<QString> &set, const QString &key);
    bool mayHold(const QSet<QString> &set, const QString &key) const;
    // A name and its key(), made once for both.
    bool matchesName(const QString &name, const QString &nameKey) const;
    bool isProtectedName(const QString &nameKey) const;
    bool isProtectedPath(const QString &path) const;

    FileSystem *m_fileSystem = nullptr;
    bool m_ignoreCase = false;
    bool m_root = false;
    QSet<QString> m_names;                          // patterns without wildcards, as keys
    QStringList m_wildcards;                        // patterns with them
    QSet<QString> m_paths;                          // protected folders by path
    QSet<QString> m_lastNames;                      // their last components, as keys
    QSet<std::pair<quint64, quint64>> m_identities; // and by device and inode
    // The buckets of every key in m_names and m_lastNames: most names met fall in
    // none, and are told apart from every key without hashing them.
    std::bitset<256> m_buckets;
};

} // namespace Vacuola
