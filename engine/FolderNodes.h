#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

namespace Vacuola {

/**
 * The folders met by one sweep, each stored once as its parent and its name,
 * so that the lists of a sweep hold small numbers instead of whole paths. The
 * path of a folder is built on demand from the one built last: walking a tree
 * in order, each step changes only the last few components.
 */
class FolderNodes final
{
    Q_DISABLE_COPY_MOVE(FolderNodes)

public:
    using Id = quint32;

    FolderNodes();
    ~FolderNodes();

    /** Forgets every folder; the next one added is the root. */
    void clear(const QString &rootPath);
    Id root() const;
    /** Adds the subfolder `name` of `parent`. */
    Id add(Id parent, QStringView name);
    /** The folder that holds a folder other than the root. */
    Id parent(Id id) const;
    /** The folder's path: its parent's path, "/" and its name. Valid until the next call. */
    const QString &path(Id id);
    /** The same path, built afresh without touching the last one. */
    QString pathOf(Id id) const;
    /**
     * Every folder's place in a walk of the tree that takes each folder before
     * the folders below it, and the subfolders of each in the order `less`
     * gives their names: indexed by folder.
     */
    std::vector<quint32> walkOrder(const std::function<bool(QStringView, QStringView)> &less) const;

    /** How many folders there are; their ids are 0 to count - 1. */
    size_t count() const;
    /** The path of the root, as given to clear(). */
    QStringView rootPath() const;
    /** Appends the folder's name. */
    void appendName(QString &out, Id id) const;

private:
    static constexpr quint32 Wide = 0x80000000u;
    Id runEnd(size_t run) const;

    // Where each folder's name starts in m_names, Wide set for UTF-16; it ends where the next one's begins.
    std::vector<quint32> m_nameStarts;
    // Folders are added a listing at a time, so siblings have consecutive numbers:
    // one parent is stored for each run of them, not for each folder.
    struct Siblings
    {
        Id first;
        Id parent;
    };
    std::vector<Siblings> m_siblings;
    mutable size_t m_lastRun = 0; // where parent() found the last folder
    // Names of Latin-1 characters as one byte each, others as UTF-16 at an even offset.
    QByteArray m_names;
    // The folders whose path m_path is, from the root down, and where each one's ends in it.
    std::vector<Id> m_chain;
    std::vector<qsizetype> m_ends;
    std::vector<bool> m_onChain;
    std::vector<Id> m_scratch;
    QString m_path;
};

} // namespace Vacuola
