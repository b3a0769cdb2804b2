#include "registers/SearchFolderRegister.h"

#include "engine/RegisterLists.h"
#include "engine/WindowServices.h"
#include "platform/FileSystem.h"

namespace Vacuola {

SearchFolderRegister::SearchFolderRegister(SearchFolderList &list, WindowServices &window, FileSystem &fileSystem)
    : m_list(list)
    , m_window(window)
    , m_fileSystem(fileSystem)
{
}

QString SearchFolderRegister::placeholder()
{
    return QStringLiteral("検索フォルダを選択して下さい");
}

void SearchFolderRegister::DelFolderExecute()
{
    const int selected = m_list.selectedIndex();
    if (selected <= 0)
        return;
    m_list.remove(selected);
    m_list.select(0);
    m_list.setHint(m_list.text(0));
    m_window.setStartEnabled(false);
    updateDelFolder();
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
            m_list.remove(i);
            m_list.select(0);
            m_list.setHint(m_list.text(0));
            updateDelFolder();
            return;
        }
    }
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
