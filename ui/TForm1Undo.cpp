// 元に戻す: the last sweep not undone yet, taken back from its journal after
// one question that names its folder, its time and its count.

#include "core/IoError.h"
#include "engine/Restore.h"
#include "engine/UndoJournal.h"
#include "platform/Locale.h"
#include "ui/Dialogs.h"
#include "ui/StatusDisplay.h"
#include "ui/TForm1.h"

#include <QAction>

namespace Vacuola {

namespace {

// A sweep that never ended left only what it removed until then.
const QString CutShort = QStringLiteral("\r\r記録は途中で途切れています。記録にある分だけを元に戻します");

} // namespace

void TForm1::updateUndo()
{
    // Read only while nothing runs: a sweep writes its journal as it goes.
    m_actions.Undo->setEnabled(!sweeping() &&
                               UndoJournal::anyLeft(*m_services.fileSystem, m_services.logFolder));
}

void TForm1::UndoClick()
{
    if (sweeping())
        return;
    UndoRecord record;
    if (!UndoJournal::findLast(*m_services.fileSystem, m_services.logFolder, QString(), record)) {
        setStatusText(QStringLiteral("元に戻せる削除がありません"));
        updateUndo();
        return;
    }
    const QString question = QStringLiteral("次の削除を元に戻しますか？\r\r検索フォルダ\t") + record.root +
                             QStringLiteral("\r\n開始日時\t") + Locale::startMoment(record.start) +
                             QStringLiteral("\r\n削除件数\t") + QString::number(record.folders.size()) +
                             QStringLiteral("件") + (record.whole ? QString() : CutShort);
    if (m_services.dialogs->question(this, question) != Answer::Yes)
        return;

    Restore restore(*m_services.fileSystem, *m_services.clock, record);
    // The window stays drawn and answers while the folders are made again; as
    // during a sweep, its lists are locked and a close (or a logout) waits for the end.
    const bool startEnabled = m_actions.Vacuola->isEnabled();
    m_undoing = true;
    setStartEnabled(false);
    updatePreview();
    setRunLock(true);
    setStatusText(QStringLiteral("元に戻しています"));
    m_display->showNow();
    m_pumped.invalidate();
    restore.run([this] { processMessages(); });
    setRunLock(false);
    setStartEnabled(startEnabled);
    m_undoing = false;
    if (!isMarked(OptionMark::Log0)) {
        if (const int error = restore.writeLog(m_services.logFolder))
            showErrorReport(IoError::fromErrno(error).text());
    }
    setStatusText(restore.summary());
    finishRun();
}

} // namespace Vacuola
