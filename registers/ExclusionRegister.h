#pragma once

#include "platform/SystemFolders.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace Vacuola {

/**
 * The folders a sweep treats as content, never entering nor removing them: the
 * user's exclusion patterns and the folders other programs rely on.
 *
 * A pattern without "/" is matched against a folder's name, "*" standing for
 * any run of characters and "?" for one, letter case as the folder's file
 * system compares it. A pattern beginning with "/" names one folder by its
 * absolute path. A pattern with "/" elsewhere matches nothing.
 */
class ExclusionRegister final
{
    Q_DISABLE_COPY_MOVE(ExclusionRegister)

public:
    explicit ExclusionRegister(const SystemFolderSources &sources);

    /** .git, .hg, .svn, .bzr, _darcs, CVS, lost+found, .Trash, .Trash-* */
    static QStringList defaultPatterns();
    /**
     * Why a typed pattern cannot join the list, as a status text; empty when it
     * can. Refused: an empty pattern, a duplicate, one the settings file
     * cannot carry unchanged (as a management file name would be refused), and
     * one that is neither a name nor an absolute path.
     */
    static QString refusal(const QStringList &patterns, const QString &pattern);
    /**
     * Whether a pattern can match a folder: an absolute path, or a name with
     * wildcards or without. "a/b" matches nothing, since names are compared one
     * folder at a time.
     */
    static bool isMatchable(const QString &pattern);
    /** A folder path pattern without a trailing "/" nor "." or ".." components; a name without trailing "/".
     */
    static QString normalized(const QString &pattern);

    QStringList patterns() const;
    void setPatterns(const QStringList &patterns);
    /** Adds a pattern after the others, unless it is already there. */
    void append(const QString &pattern);
    bool isDefault() const;

    /** Where the folders other programs rely on are read from. */
    const SystemFolderSources &systemSources() const;

private:
    QStringList m_patterns;
    SystemFolderSources m_sources;
};

} // namespace Vacuola
