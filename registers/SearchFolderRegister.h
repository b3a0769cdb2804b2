#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace Vacuola {

class FileSystem;
struct FolderIdentity;
class SearchFolderList;
class WindowServices;

/**
 * The rules of the search folder list: validation, duplicates, the order (most
 * recent first) and the start and delete actions kept in step with the list.
 */
class SearchFolderRegister final
{
    Q_DISABLE_COPY_MOVE(SearchFolderRegister)

public:
    SearchFolderRegister(SearchFolderList &list, WindowServices &window, FileSystem &fileSystem);

    static QString placeholder(); // "検索フォルダを選択して下さい"

    /** Validates a path and registers it at entry 1, or selects it when registered already. */
    void AddSearchFolder(const QString &path);
    /** Removes the selected folder; nothing with the placeholder selected. */
    void DelFolderExecute();
    /** The user chose an entry. */
    void SearchDirSelect(int index);
    /** Registers the folder named by the first argument (arguments exclude the program name). */
    void CommandLineFolder(const QStringList &arguments);
    /** Full path, "." and ".." resolved, no trailing slash, each existing component as stored on disk. */
    QString ExpandLongPath(const QString &path) const;

    /** True when the path may be registered (the refusal rules, and storable in the settings file). */
    bool isRegistrable(const QString &path) const;

    // For the sweep
    QString selectedFolder() const; // empty with the placeholder selected
    void bringSelectedToTop();      // move the selected entry to 1 and select it
    /** After a sweep: drops the swept folder's entry when the folder is gone, selects the placeholder. */
    void dropVanishedFolder(const QString &sweptPath);
    /** Enables DelFolder exactly when a folder is registered. */
    void updateDelFolder();

    // For the settings file
    void resetToPlaceholder();              // clear, add the placeholder
    void appendStored(const QString &path); // no test, no status text
    QStringList folders() const;            // entries 1 onwards

private:
    /** Deletes a folder entry, selects the placeholder with its text as the hint, and updates DelFolder. */
    void removeAndSelectPlaceholder(int index);
    /** The same folder on disk (device and inode); by text, upper-cased where case is ignored, when one is
     * gone. */
    bool isSameFolder(const QString &path, const FolderIdentity &added, const QString &registered) const;

    SearchFolderList &m_list;
    WindowServices &m_window;
    FileSystem &m_fileSystem;
};

} // namespace Vacuola
