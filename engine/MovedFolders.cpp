// Folders moved out of the swept folder while the sweep holds them open. No
// kernel call keeps a folder where it is, but the walk checks, at every pump,
// that what it holds still hangs from the swept folder, and leaves a folder
// that was moved out as soon as it sees it.

#include "engine/SweepEngine.h"

#include "core/WindowServices.h"
#include "platform/FileSystem.h"

#include <cerrno>

namespace Vacuola {

void SweepEngine::setMoveCheckInterval(qint64 nanoseconds)
{
    m_moveCheckInterval = nanoseconds;
    m_moveCheckWait = nanoseconds;
}

void SweepEngine::pump()
{
    m_context.window.processMessages();
    if (m_moveChecked.isValid() && m_moveChecked.nsecsElapsed() < m_moveCheckWait)
        return;
    m_moveChecked.start();
    leaveMovedFolder();
    // A deep chain held with few descriptors costs a step per level to check:
    // the checks are spaced so that they never take more than a fiftieth of the sweep.
    m_moveCheckWait = qMax(m_moveCheckInterval, 50 * m_moveChecked.nsecsElapsed());
    m_moveChecked.start();
}

void SweepEngine::leaveMovedFolder()
{
    if (!m_tree)
        return;
    const QString moved = m_tree->movedFolder();
    if (moved.isEmpty())
        return;
    // The tree was last brought to the folder listed last, or to a folder
    // above it: the moved folder is that one or one of its ancestors.
    const qsizetype depth = moved.count(QLatin1Char('/')) - m_sweptPath.count(QLatin1Char('/'));
    FolderId folder = m_lastListing.folder;
    qsizetype levels = 0;
    for (FolderId id = folder; id != m_nodes.root(); id = m_nodes.parent(id))
        ++levels;
    for (; levels > depth && folder != m_nodes.root(); --levels)
        folder = m_nodes.parent(folder);
    if (m_nodes.pathOf(folder) != moved)
        return;
    setFolderState(folder, Kept);
    ++m_keptCount;
    reportFailure(
        QStringLiteral("フォルダを削除しようとしましたが、エラーが発生しました\r\r\nエラー内容\t(") +
        QString::number(ENOENT) + QLatin1Char(')') + errorMessage(ENOENT) +
        QStringLiteral("\r\nフォルダ名\t") + moved);
    addFolderLine(folder, moved, ENOENT, QStringLiteral(" ◆ フォルダ削除エラー：("), QString());
}

} // namespace Vacuola
