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
    if (patterns.contains(normalized(pattern)))
        return QStringLiteral("入力された除外フォルダは既に登録済みです");
    return QString();
}

QString ExclusionRegister::normalized(const QString &pattern)
{
    return pattern.startsWith(u'/') ? QDir::cleanPath(pattern) : pattern;
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
