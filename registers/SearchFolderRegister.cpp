#include "registers/SearchFolderRegister.h"

#include "core/RegisterLists.h"
#include "core/WindowServices.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"

#include <QDir>

namespace Vacuola {

SearchFolderRegister::SearchFolderRegister(SearchFolderList &list, WindowServices &window,
                                           FileSystem &fileSystem)
    : m_list(list), m_window(window), m_fileSystem(fileSystem)
{}

QString SearchFolderRegister::placeholder()
{
    return QStringLiteral("検索フォルダを選択して下さい");
}

bool SearchFolderRegister::isRegistrable(const QString &path) const
{
    // A path that begins with two slashes stands for a network path and is refused.
    if (!path.startsWith(u'/') || path.startsWith(QStringLiteral("//")))
        return false;
    // The settings file must be able to carry the path unchanged.
    if (!Cp932::canStore(path))
        return false;
    return m_fileSystem.folderExists(path) && !m_fileSystem.isMountRoot(path) &&
           !m_fileSystem.isOpticalDisc(path);
}

void SearchFolderRegister::AddSearchFolder(const QString &path)
{
    if (!isRegistrable(path)) {
        m_window.setStatusText(QStringLiteral("処理できないフォルダです ") + path);
        return;
    }
    const FolderIdentity added = m_fileSystem.folderIdentity(path);
    for (int i = 1; i < m_list.count(); ++i) {
        if (isSameFolder(path, added, m_list.text(i))) {
            m_list.select(i);
            m_list.setHint(m_list.text(i));
            m_window.setStartEnabled(true);
            m_window.setStatusText(QStringLiteral("入力されたフォルダは既に登録済みです"));
            return;
        }
    }
    m_list.insert(1, path);
    m_list.select(1);
    m_list.setHint(path);
    m_window.setStartEnabled(true);
    updateDelFolder();
    m_window.setStatusText(QStringLiteral("フォルダを追加しました"));
}

bool SearchFolderRegister::isSameFolder(const QString &path, const FolderIdentity &added,
                                        const QString &registered) const
{
    // Two spellings of one folder on disk (another case where the file system
    // ignores it, a link) are the same folder; a registered folder that is gone
    // is compared by its text.
    if (path == registered)
        return true;
    const FolderIdentity known = m_fileSystem.folderIdentity(registered);
    if (added.exists && known.exists)
        return added.device == known.device && added.inode == known.inode;
    if (added.ignoresCase || known.ignoresCase)
        return path.toUpper() == registered.toUpper();
    return path == registered;
}

void SearchFolderRegister::CommandLineFolder(const QStringList &arguments)
{
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return;
    const QString path = ExpandLongPath(arguments.first());
    if (m_fileSystem.folderExists(path))
        AddSearchFolder(path);
}

QString SearchFolderRegister::ExpandLongPath(const QString &path) const
{
    if (path.isEmpty())
        return path;
    // Two leading slashes (exactly two) keep their meaning; three or more are one.
    const bool network = path.startsWith(QStringLiteral("//")) && !path.startsWith(QStringLiteral("///"));
    const QString full = path.startsWith(u'/') ? path : QDir::currentPath() + u'/' + path;

    // "." and ".." are resolved on the text alone, as the path reads.
    QStringList components;
    for (const QString &component : full.split(u'/', Qt::SkipEmptyParts)) {
        if (component == u'.')
            continue;
        if (component == QStringLiteral("..")) {
            if (!components.isEmpty())
                components.removeLast();
            continue;
        }
        components << component;
    }
    if (network)
        return QStringLiteral("//") + components.join(u'/');

    // Names on this system are exact, so a component that exists is already in
    // its stored form; from the first missing one on, the path stays as given.
    QString result;
    for (qsizetype i = 0; i < components.size(); ++i) {
        const QString candidate = result + u'/' + components.at(i);
        if (!m_fileSystem.entryExists(candidate)) {
            result += u'/' + components.sliced(i).join(u'/');
            break;
        }
        result = candidate;
    }
    return result.isEmpty() ? QStringLiteral("/") : result;
}

void SearchFolderRegister::DelFolderExecute()
{
    const int selected = m_list.selectedIndex();
    if (selected <= 0)
        return;
    removeAndSelectPlaceholder(selected);
    m_window.setStartEnabled(false);
}

void SearchFolderRegister::SearchDirSelect(int index)
{
    m_window.setStartEnabled(index > 0);
    m_list.setHint(m_list.text(index));
}

QString SearchFolderRegister::selectedFolder() const
{
    const int selected = m_list.selectedIndex();
    return selected > 0 ? m_list.text(selected) : QString();
}

void SearchFolderRegister::bringSelectedToTop()
{
    const int selected = m_list.selectedIndex();
    if (selected <= 0)
        return;
    if (selected != 1)
        m_list.move(selected, 1);
    m_list.select(1);
}

void SearchFolderRegister::dropVanishedFolder(const QString &sweptPath)
{
    if (m_fileSystem.folderExists(sweptPath))
        return;
    // Entries may have been added or removed during the sweep: drop the swept
    // folder's own entry wherever it stands now, if it is still registered.
    for (int i = 1; i < m_list.count(); ++i) {
        if (m_list.text(i) == sweptPath) {
            removeAndSelectPlaceholder(i);
            return;
        }
    }
}

void SearchFolderRegister::removeAndSelectPlaceholder(int index)
{
    m_list.remove(index);
    m_list.select(0);
    m_list.setHint(m_list.text(0));
    updateDelFolder();
}

void SearchFolderRegister::updateDelFolder()
{
    m_window.setDelFolderEnabled(m_list.count() > 1);
}

void SearchFolderRegister::resetToPlaceholder()
{
    m_list.clear();
    m_list.insert(0, placeholder());
}

void SearchFolderRegister::appendStored(const QString &path)
{
    m_list.insert(m_list.count(), path);
}

QStringList SearchFolderRegister::folders() const
{
    QStringList result;
    for (int i = 1; i < m_list.count(); ++i)
        result << m_list.text(i);
    return result;
}

} // namespace Vacuola
