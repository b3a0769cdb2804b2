#include "engine/SweepEngine.h"

#include "core/RegisterLists.h"
#include "core/WindowServices.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"

#include <QList>

#include <cerrno>

#include <algorithm>

namespace Vacuola {

namespace {

QString errorDetail(int error)
{
    return QStringLiteral("エラー内容\t(") + QString::number(error) + QLatin1Char(')') + errorMessage(error) +
           QStringLiteral("\r\n");
}

} // namespace

void SweepEngine::reportFailure(const QString &text)
{
    WindowServices &window = m_context.window;
    window.bringToForeground();
    if (!window.isMarked(OptionMark::NonStop))
        window.showInformation(text);
}

void SweepEngine::noteWaiting(FolderId folder, size_t subfolders, bool sawFiles)
{
    setSubfoldersLeft(folder, sawFiles || subfolders >= HoldsKept ? ListAgain : quint8(subfolders));
}

void SweepEngine::noteKept(FolderId folder)
{
    if (folder == m_nodes.root())
        return;
    const FolderId parent = m_nodes.parent(folder);
    if (subfoldersLeft(parent) != ListAgain)
        setSubfoldersLeft(parent, HoldsKept);
}

void SweepEngine::noteRemoved(FolderId folder)
{
    if (folder == m_nodes.root())
        return;
    const FolderId parent = m_nodes.parent(folder);
    const quint8 left = subfoldersLeft(parent);
    if (left != ListAgain && left != HoldsKept && left > 0)
        setSubfoldersLeft(parent, quint8(left - 1));
}

bool SweepEngine::removeLeafAtOnce(FolderId folder)
{
    // Only where nothing is to be asked: the parent known writable, the folder
    // itself writable (the tree checks), nothing above it kept. Any other
    // folder, and one that holds anything, is listed as usual.
    if (!m_leavesAtOnce || folder == m_nodes.root() || folderState(folder) != Unknown || insideKept(folder))
        return false;
    const FolderId parent = m_nodes.parent(folder);
    const QString path = m_nodes.path(folder);
    if (folderState(parent) == Unknown) {
        // What the parent's question would read first: a writable parent needs none.
        bool readOnly = true;
        if (m_tree->folderReadOnly(path.left(path.lastIndexOf(QLatin1Char('/'))), readOnly) != 0 || readOnly)
            return false;
        setFolderState(parent, Writable);
    }
    if (folderState(parent) != Writable && folderState(parent) != Cleared)
        return false;
    m_context.window.setStatusText(path);
    FolderStatus removed;
    if (m_tree->removeIfEmpty(path, removed.meta) != 0)
        return false;
    m_journal.removed(folder, &removed);
    setFolderState(folder, Done);
    addFolderLine(folder, path, 0, QString(), QString());
    noteRemoved(folder);
    return true;
}

bool SweepEngine::removeWaitingAtOnce(FolderId folder)
{
    if (subfoldersLeft(folder) != 0)
        return false;
    m_context.window.setStatusText(m_nodes.path(folder));
    return removeFolder(folder, true);
}

void SweepEngine::RemoveFolder(FolderId folder)
{
    removeFolder(folder, false);
}

bool SweepEngine::removeFolder(FolderId folder, bool atOnce)
{
    const QString path = m_nodes.path(folder);

    // The listing that judged this folder empty was made just now; its mode and
    // files stand until a box runs the event loop.
    const bool listed = !atOnce && m_lastListing.valid && m_lastListing.folder == folder;
    if (!atOnce)
        m_lastListing.valid = false;
    const FolderStatus listedStatus = m_lastListing.status;
    // Nothing inside a folder that stays with all it holds is touched or reported.
    if (insideKept(folder))
        return true;
    // The folder goes from its parent, so the parent's question comes first:
    // keeping the parent keeps this folder too. Then this folder's own, before
    // its management files and the folder itself go.
    bool asked = false;
    if (folder != m_nodes.root()) {
        const QString parentPath = path.left(path.lastIndexOf(QLatin1Char('/')));
        if (grantWrite(m_nodes.parent(folder), parentPath, nullptr, asked) != Access::Granted)
            return true;
    }
    if (grantWrite(folder, path, listed ? &m_lastListing.status : nullptr, asked) != Access::Granted)
        return true;
    // A question ran the event loop: anything may have changed in the folder.
    if (atOnce && asked)
        return false;

    int error = 0;
    QString marker;
    QString flags;
    if (folderState(folder) == Cleared)
        flags = QStringLiteral("R");
    // A question ran the event loop: anything may have changed in the folder.
    const bool filesKnown = listed && !asked;
    // A folder removed at once held no file when it was listed.
    static const QStringList noFiles;
    error = deleteManagementFiles(folder, path, flags, marker,
                                  atOnce ? &noFiles : (filesKnown ? &m_lastListing.files : nullptr));

    pump();
    if (insideKept(folder))
        return true; // moved out meanwhile

    if (error == 0) {
        error = m_tree->removeFolder(path);
        // Something came into it meanwhile: it is listed, and judged, again.
        if (atOnce && (error == ENOTEMPTY || error == EEXIST))
            return false;
        if (error != 0) {
            reportFailure(QStringLiteral("フォルダを削除しようとしましたが、エラーが発生しました\r\r\n") +
                          errorDetail(error) + QStringLiteral("フォルダ名\t") + path);
            marker = QStringLiteral(" ◆ フォルダ削除エラー：(");
        }
    }
    // Whatever was below it has been dealt with: a folder that stays gets its mode back now.
    if (error == 0) {
        m_journal.removed(folder, listed ? &listedStatus : nullptr);
        setFolderState(folder, Done);
        noteRemoved(folder);
    } else if (folderState(folder) == Cleared) {
        restoreReadOnly(folder, path);
    }
    addFolderLine(folder, path, error, marker, flags);
    return true;
}

void SweepEngine::addFolderLine(FolderId folder, const QString &path, int error, const QString &marker,
                                const QString &flags)
{
    WindowServices &window = m_context.window;
    QString suffix;
    if (!flags.isEmpty())
        suffix = QStringLiteral(" - ") + (flags.startsWith(QLatin1Char(',')) ? flags.mid(1) : flags);

    const QString tail = error == 0 ? suffix
                                    : printable(marker) + QString::number(error) + QLatin1Char(')') +
                                          printable(errorMessage(error)) + suffix;
    if (!window.isMarked(OptionMark::Log0))
        LogList.appendFolder(folder, tail);
    if (error == 0)
        ++DelCount;
    else
        ++ErrCount;
    if (m_folderObserver)
        m_folderObserver(path, tail);
    window.setRemovalCounter(QString::number(DelCount));
}

int SweepEngine::deleteManagementFiles(FolderId folder, const QString &path, QString &flags, QString &marker,
                                       const QStringList *seenFiles)
{
    const ManagementFileList &list = m_context.managementFiles;
    const int count = list.count();

    bool anyChecked = false;
    for (int i = 0; i < count && !anyChecked; ++i)
        anyChecked = list.isChecked(i);
    if (!anyChecked)
        return 0;

    // Names on disk are case-sensitive: one listing finds every spelling of a
    // checked name (Thumbs.db and thumbs.db may both be there).
    struct Found
    {
        QString name;
        QString lower;
    };
    QList<Found> files;
    if (seenFiles) {
        for (const QString &name : *seenFiles)
            files.append(Found{name, name.toLower()});
    } else {
        m_tree->listFolder(
            path,
            [&](const FolderEntry &entry) {
                if (entry.kind == EntryKind::File)
                    files.append(Found{entry.name, entry.name.toLower()});
                return true;
            },
            nullptr);
    }
    if (files.isEmpty())
        return 0;

    for (int i = 0; i < count && i < list.count(); ++i) {
        if (!list.isChecked(i))
            continue;
        const QString name = list.name(i);
        bool deleted = false;
        for (const Found &file : std::as_const(files)) {
            if (file.lower != name)
                continue;
            const int error = removeManagementFile(folder, path, file.name);
            // A file that is gone by now is one that does not exist: passed over.
            if (error == ENOENT)
                continue;
            if (error != 0) {
                // Whatever of this name went before the failure stands in the suffix.
                if (deleted)
                    flags += QLatin1Char(',') + QString::number(i);
                reportFailure(
                    QStringLiteral("ファイルの削除をしようとしましたが、エラーが発生しました\r\r\n") +
                    errorDetail(error) + QStringLiteral("ファイル名\t") + path + QLatin1Char('/') + name);
                marker = QStringLiteral(" [ ") + name + QStringLiteral(" ] ◆ ファイル削除エラー：(");
                return error;
            }
            deleted = true;
        }
        if (deleted)
            flags += QLatin1Char(',') + QString::number(i);
    }
    return 0;
}

int SweepEngine::removeManagementFile(FolderId id, const QString &folder, const QString &name)
{
    QString trashedAs;
    int error = EXDEV;
    if (m_context.window.isMarked(OptionMark::MoveToTrash))
        error = m_tree->trashFile(folder, name, m_context.clock.now(), trashedAs);
    // Where no trash can take it, the file is deleted as without the option.
    if (error == EXDEV) {
        trashedAs.clear();
        error = m_tree->deleteFile(folder, name);
    }
    if (error == 0)
        m_journal.fileTaken(id, name, trashedAs);
    if (error == 0 && m_fileObserver)
        m_fileObserver(folder, name, trashedAs);
    return error;
}

QString SweepEngine::printable(const QString &text)
{
    // The control characters (C0, DEL and C1), by range: this runs for every log line.
    const auto isControl = [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7F && u <= 0x9F);
    };
    if (std::none_of(text.cbegin(), text.cend(), isControl))
        return text;
    QString result = text;
    std::replace_if(result.begin(), result.end(), isControl, QLatin1Char('?'));
    return result;
}

} // namespace Vacuola
