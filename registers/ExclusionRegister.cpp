#include "registers/ExclusionRegister.h"

#include "registers/ManagementFileRegister.h"

#include <QDir>

namespace Vacuola {

ExclusionRegister::ExclusionRegister(const SystemFolderSources &sources)
    : m_patterns(defaultPatterns()), m_sources(sources)
{}

QStringList ExclusionRegister::defaultPatterns()
{
    return {QStringLiteral(".git"),       QStringLiteral(".hg"),    QStringLiteral(".svn"),
            QStringLiteral(".bzr"),       QStringLiteral("_darcs"), QStringLiteral("CVS"),
            QStringLiteral("lost+found"), QStringLiteral(".Trash"), QStringLiteral(".Trash-*")};
}

QString ExclusionRegister::refusal(const QStringList &patterns, const QString &pattern)
{
    if (pattern.isEmpty())
        return QStringLiteral("除外フォルダを入力して下さい");
    if (!ManagementFileRegister::isStorableName(pattern))
        return QStringLiteral("処理できない除外フォルダです ") + pattern;
    if (!isMatchable(pattern))
        return QStringLiteral("除外フォルダには名前か / で始まるパスを入力して下さい");
    if (patterns.contains(normalized(pattern)))
        return QStringLiteral("入力された除外フォルダは既に登録済みです");
    return QString();
}

bool ExclusionRegister::isMatchable(const QString &pattern)
{
    const QString usable = normalized(pattern);
    return usable.startsWith(u'/') || (!usable.isEmpty() && !usable.contains(u'/'));
}

QString ExclusionRegister::normalized(const QString &pattern)
{
    if (pattern.startsWith(u'/'))
        return QDir::cleanPath(pattern);
    // "build/" is how many tools write a folder's name.
    qsizetype end = pattern.size();
    while (end > 0 && pattern[end - 1] == u'/')
        --end;
    return pattern.left(end);
}

QStringList ExclusionRegister::patterns() const
{
    return m_patterns;
}

void ExclusionRegister::setPatterns(const QStringList &patterns)
{
    m_patterns = patterns;
}

void ExclusionRegister::append(const QString &pattern)
{
    const QString added = normalized(pattern);
    if (!added.isEmpty() && !m_patterns.contains(added))
        m_patterns.append(added);
}

bool ExclusionRegister::isDefault() const
{
    return m_patterns == defaultPatterns();
}

const SystemFolderSources &ExclusionRegister::systemSources() const
{
    return m_sources;
}

} // namespace Vacuola
