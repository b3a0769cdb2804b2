#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <utility>
#include <vector>

namespace Vacuola {

/**
 * The folders of a preview, gathered as a dry run reports them one at a time.
 * Each folder is held as its parent, its name and what its line says after
 * the path, never as a whole path, so that a deep tree costs what its number
 * of folders does. One report after another shares most of its folders with
 * the last one: the folders of the last path are kept as a stack, and a new
 * path pops back to the deepest folder it shares and pushes the rest, each
 * found by its parent and name when it was met before.
 */
class PreviewFolders final
{
    Q_DISABLE_COPY_MOVE(PreviewFolders)

public:
    struct Folder
    {
        QString name; // as on disk; the swept folder: its whole path
        QString rest; // what its line says after the path
        int parent = -1;
        bool listed = false; // reported, not only on the way to a folder that was
    };

    explicit PreviewFolders(const QString &root);
    ~PreviewFolders();

    /** A folder the sweep would remove or fail on; one not at or below the swept folder is left out. */
    void add(const QString &path, QStringView rest);

    /** The swept folder first, then every folder after its parent. */
    const std::vector<Folder> &folders() const;
    /** The folder's absolute path. */
    QString path(int folder) const;
    /** True when the path is the swept folder's or lies below it. */
    bool holds(const QString &path) const;
    /**
     * Where the swept folder's path ends for the names below it (before its
     * trailing "/", if any): a folder below it continues with "/" there.
     */
    qsizetype rootEnd() const;
    /** The name that follows the "/" at `slash` in the path. */
    static QStringView nameAfter(const QString &path, qsizetype slash);

    /** How many folders were reported. */
    qsizetype lineCount() const;
    /** The line of the n-th folder reported, made whole: its printable path and the rest. */
    QString line(qsizetype n) const;

private:
    std::vector<Folder> m_folders;
    QHash<std::pair<int, QString>, int> m_byName; // by parent and name
    std::vector<int> m_reported;
    qsizetype m_rootEnd = 0;
    // The path reported last, its folders from the swept folder down, and where each one's name ends.
    QString m_last;
    std::vector<int> m_chain;
    std::vector<qsizetype> m_ends;
};

} // namespace Vacuola
