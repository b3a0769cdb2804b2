#include "engine/SweepEngine.h"

#include "core/IoError.h"
#include "core/RegisterLists.h"
#include "core/Version.h"
#include "core/WindowServices.h"
#include "platform/Clock.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "platform/TextEditor.h"

#include <memory>
#include <utility>

namespace Vacuola {

QString SweepEngine::logFilePath(const QDateTime &moment) const
{
    return m_context.logFolder + QStringLiteral("/Vacuola-") +
           moment.date().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log");
}

void SweepEngine::WriteLog(const QDateTime &startTime)
{
    // The lines start in the order of a walk of the tree with each folder's
    // subfolders sorted, which is nearly always the sorted order already.
    const Locale::IgnoreCaseOrder order;
    LogList.sort(
        m_nodes.walkOrder([&order](QStringView a, QStringView b) { return order.compare(a, b) < 0; }));

    LogList.insertFirst(QStringLiteral("*** Top of List ***"));

    const ManagementFileList &list = m_context.managementFiles;
    QString legend;
    for (int i = 0; i < list.count(); ++i) {
        if (list.isChecked(i))
            legend += QString::number(i) + QLatin1Char(':') + printable(list.name(i)) + QLatin1Char('\t');
    }
    LogList.insertFirst(legend);
    LogList.insertFirst(QStringLiteral("削除対象管理ファイル"));

    QString counts = QStringLiteral("削除件数 = ") + QString::number(DelCount);
    if (ErrCount != 0)
        counts += QStringLiteral("\tエラー件数 = ") + QString::number(ErrCount);
    LogList.insertFirst(counts);

    const QDateTime now = m_context.clock.now();
    LogList.insertFirst(QStringLiteral("開始日時 = ") + Locale::startMoment(startTime) +
                        QStringLiteral("\t処理時間 = ") + Locale::elapsed(startTime.msecsTo(now)));

    // The end states begin with an ideographic space, not a blank.
    LogList.insertFirst(
        ProgramVersion + QStringLiteral(" フォルダ削除ロギング  検索フォルダ = ") + printable(m_sweptPath) +
        (Running ? QStringLiteral("　終了状態 = 完了") : QStringLiteral("　終了状態 = 中止")));

    LogList.append({u"*** Bottom of List ***"});
    LogList.append({});

    // The clock is read again: a sweep that ends after midnight writes into the new day's file.
    const QString path = logFilePath(m_context.clock.now());

    // The log folder of an installed program is made on first need.
    if (const int error = m_context.fileSystem.makeFolders(m_context.logFolder); error != 0)
        throw IoError::fromErrno(error);
    // One append for the whole block, made a piece at a time from the folder
    // tree: the block lands whole or not at all, and is never held at once.
    std::unique_ptr<FileAppend> append;
    int error = m_context.fileSystem.openAppend(path, append);
    if (error == 0)
        error = LogList.write(*append);
    if (error == 0)
        error = append->finish();
    if (error != 0)
        throw IoError::fromErrno(error);
}

void SweepEngine::PurgeOldLogs(const QDateTime &cutOff)
{
    FileSystem &fileSystem = m_context.fileSystem;
    const QLatin1String prefix("Vacuola-");
    const QLatin1String extension(".log");
    // The journals of the sweeps go with their logs.
    const QString journal = UndoJournal::suffix();

    QStringList doomed;
    fileSystem.listFiles(m_context.logFolder, [&](const FileInfo &info) {
        if (info.kind != EntryKind::File)
            return;
        if (info.name.size() < prefix.size() + extension.size() || !info.name.startsWith(prefix) ||
            !(info.name.endsWith(extension) || info.name.endsWith(journal)))
            return;
        if (info.readOnly || !info.lastWrite.isValid() || info.lastWrite >= cutOff)
            return;
        doomed.append(info.name);
    });

    // Deleted after the listing, so that the listing never sees its own folder change.
    for (const QString &name : std::as_const(doomed))
        fileSystem.deleteFile(m_context.logFolder + QLatin1Char('/') + name);
}

void SweepEngine::LogViewClick()
{
    const QString path = logFilePath(m_context.clock.now());
    if (!m_context.fileSystem.entryExists(path)) {
        m_context.window.setStatusText(QStringLiteral("LOGファイルがまだ作られていません"));
        return;
    }
    const QString editor = m_context.textEditor.find();
    if (editor.isEmpty()) {
        m_context.window.setStatusText(QStringLiteral("メモ帳が見つかりません"));
        return;
    }
    m_context.textEditor.open(editor, path);
}

} // namespace Vacuola
