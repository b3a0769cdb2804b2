// Read-only folders during a sweep. On this system a folder without its
// owner-write bit keeps what it holds, while the folder itself can go when its
// parent may be written: the question about a folder is asked before the first
// removal that needs its bit (a subfolder or management file inside it, or the
// folder itself), once. Yes adds the bit, and a folder that then stays gets its
// mode back when the sweep is done with it; No keeps the folder and all it holds.

#include "engine/SweepEngine.h"

#include "core/WindowServices.h"
#include "platform/FileSystem.h"

#include <cerrno>

namespace Vacuola {

namespace {

constexpr quint32 InsideKept = ~0u;

} // namespace

SweepEngine::FolderState SweepEngine::folderState(FolderId folder) const
{
    return folder < m_folderStates.size() ? FolderState(m_folderStates[folder] & StateMask) : Unknown;
}

quint8 &SweepEngine::folderByte(FolderId folder)
{
    if (folder >= m_folderStates.size()) {
        // Half as much again, and no more: a vector left to grow by itself doubles.
        const size_t wanted = size_t(folder) + 1 + m_folderStates.size() / 2;
        m_folderStates.reserve(wanted);
        m_folderStates.resize(wanted, Unmet);
    }
    return m_folderStates[folder];
}

void SweepEngine::setFolderState(FolderId folder, FolderState state)
{
    quint8 &byte = folderByte(folder);
    byte = quint8((byte & ~StateMask) | state);
}

quint8 SweepEngine::subfoldersLeft(FolderId folder) const
{
    return folder < m_folderStates.size() ? quint8(m_folderStates[folder] >> LeftShift) : ListAgain;
}

void SweepEngine::setSubfoldersLeft(FolderId folder, quint8 left)
{
    quint8 &byte = folderByte(folder);
    byte = quint8((byte & StateMask) | (left << LeftShift));
}

SweepEngine::Access SweepEngine::grantWrite(FolderId folder, const QString &path, const FolderStatus *listed,
                                            bool &asked)
{
    switch (folderState(folder)) {
    case Writable:
    case Cleared:
        return Access::Granted;
    case Kept:
        return Access::Kept;
    case Unknown:
    case Done:
        break;
    }
    bool readOnly = false;
    int readError = 0;
    if (listed) {
        readError = listed->error;
        readOnly = listed->readOnly;
    } else {
        readError = m_tree->folderReadOnly(path, readOnly);
    }
    // A folder that vanished, or was swapped for something that is not a
    // folder, since its parent was listed has no mode to ask about: the removal
    // is attempted, and fails with what stands there now.
    if (readError == ENOENT || readError == ELOOP || readError == ENOTDIR) {
        readError = 0;
        readOnly = false;
    }
    if (readError == 0 && !readOnly) {
        setFolderState(folder, Writable);
        return Access::Granted;
    }

    // A mode that cannot be read counts as read-only, as every bit is set then.
    WindowServices &window = m_context.window;
    if (!window.isMarked(OptionMark::DisableReadOnly)) {
        asked = true;
        const Answer answer =
            window.askWarning(QStringLiteral("読取専用属性の付いたフォルダを検出しました\r\r") + path +
                              QStringLiteral("\r属性を解除して削除しますか？"));
        if (answer == Answer::Cancel) {
            stopRequest();
            return Access::Stopped;
        }
        if (answer == Answer::No) {
            setFolderState(folder, Kept);
            ++m_keptCount;
            return Access::Kept;
        }
    }
    // Adding the bit to a mode that could not be read is bound to fail; the
    // folder is left exactly as it was and the read's error is reported.
    const int error = readError != 0 ? readError : m_tree->clearReadOnly(path);
    if (error == 0) {
        setFolderState(folder, Cleared);
        m_cleared.push_back(folder);
        return Access::Granted;
    }
    reportFailure(QStringLiteral("フォルダの属性を変更しようとしましたが、エラーが発生しました\r\r\n") +
                  QStringLiteral("エラー内容\t(") + QString::number(error) + QLatin1Char(')') +
                  errorMessage(error) + QStringLiteral("\r\nフォルダ名\t") + path);
    // Nothing in it can be removed now: it stays with all it holds, and only it is reported.
    setFolderState(folder, Kept);
    ++m_keptCount;
    addFolderLine(folder, path, error, QStringLiteral(" ◆ 属性変更エラー：("), QString());
    return Access::Kept;
}

bool SweepEngine::insideKept(FolderId folder)
{
    if (m_keptCount == 0)
        return false;
    // A folder's parent was added before it: the folders on the way up all fit.
    if (folder >= m_keptMemo.size())
        m_keptMemo.resize(size_t(folder) + 1 + m_keptMemo.size() / 2, 0);
    // Up to the first folder whose answer is known; what lies on the way shares it.
    std::vector<FolderId> &way = m_keptWay;
    way.clear();
    FolderId id = folder;
    quint32 found = m_keptCount;
    for (;;) {
        if (m_keptMemo[id] == InsideKept || m_keptMemo[id] == m_keptCount) {
            found = m_keptMemo[id];
            break;
        }
        way.push_back(id);
        if (folderState(id) == Kept) {
            found = InsideKept;
            break;
        }
        if (id == m_nodes.root())
            break;
        id = m_nodes.parent(id);
    }
    for (const FolderId on : way)
        m_keptMemo[on] = found;
    return found == InsideKept;
}

void SweepEngine::restoreReadOnly(FolderId folder, const QString &path)
{
    // A mode that cannot be given back is left as it is: the folder is the
    // user's own, and the sweep's lines tell of removals only.
    m_tree->restoreReadOnly(path);
    setFolderState(folder, Done);
}

void SweepEngine::restoreAllReadOnly()
{
    for (auto it = m_cleared.crbegin(); it != m_cleared.crend(); ++it) {
        if (folderState(*it) == Cleared)
            restoreReadOnly(*it, m_nodes.path(*it));
    }
    m_cleared.clear();
}

} // namespace Vacuola
