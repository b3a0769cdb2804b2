#include "engine/Restore.h"

#include "core/Version.h"
#include "engine/SweepEngine.h"
#include "platform/Clock.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"

#include <QSet>

#include <algorithm>
#include <cerrno>

namespace Vacuola {

namespace {

const QString Taken = QStringLiteral(" ◆ 同じ名前のものが既にあります");
const QString Above = QStringLiteral(" ◆ 上のフォルダを復元できません");
const QString DeletedForGood = QStringLiteral(" ◆ 完全に削除されたため復元できません");

QString failure(const QString &marker, int error)
{
    return marker + QString::number(error) + QLatin1Char(')') + errorMessage(error);
}

} // namespace

Restore::Restore(FileSystem &fileSystem, Clock &clock, const UndoRecord &record)
    : m_fileSystem(fileSystem), m_clock(clock), m_record(record),
      m_paths(std::make_unique<PathCursor>(*record.tree, PathCursor::Form::Exact))
{}

Restore::~Restore() = default;

QString Restore::summary() const
{
    return QStringLiteral("元に戻しました 復元") + QString::number(m_restored) +
           QStringLiteral("件、復元できず") + QString::number(m_notRestored) + QStringLiteral("件");
}

int Restore::restoredCount() const
{
    return m_restored;
}

int Restore::notRestoredCount() const
{
    return m_notRestored;
}

QStringList Restore::lines() const
{
    return m_lines;
}

const QString &Restore::pathOf(FolderNodes::Id folder)
{
    return m_paths->text(folder);
}

void Restore::notRestored(const QString &path, const QString &why)
{
    m_lines.append(SweepEngine::printable(path) + SweepEngine::printable(why));
    ++m_notRestored;
}

QStringList Restore::plan()
{
    QStringList plan;
    const auto &folders = m_record.folders;
    for (auto folder = folders.crbegin(); folder != folders.crend(); ++folder) {
        const QString path = pathOf(folder->node);
        plan.append(SweepEngine::printable(path) + (m_fileSystem.entryExists(path) ? Taken : QString()));
    }
    for (const JournalFile &file : m_record.files) {
        const QString path = pathOf(file.folder) + QLatin1Char('/') + file.name;
        plan.append(SweepEngine::printable(path) + (file.trashedAs.isEmpty() ? DeletedForGood : QString()));
    }
    return plan;
}

void Restore::run()
{
    m_start = m_clock.now();
    m_lines.clear();
    m_restored = 0;
    m_notRestored = 0;
    const std::unique_ptr<SweepTree> sweepTree = m_fileSystem.openTree(m_record.root);

    // Parents first: the journal has each folder after everything below it.
    const auto &folders = m_record.folders;
    const FolderNodes &tree = *m_record.tree;
    QSet<FolderNodes::Id> blocked;            // folders not made again: nothing goes below them
    std::vector<QString> why(folders.size()); // empty: made again
    std::vector<size_t> made;
    for (size_t i = folders.size(); i-- > 0;) {
        const JournalFolder &folder = folders[i];
        if (folder.node != tree.root() && blocked.contains(tree.parent(folder.node))) {
            blocked.insert(folder.node);
            why[i] = Above;
            continue;
        }
        const int error = sweepTree->makeFolder(pathOf(folder.node));
        if (error != 0) {
            blocked.insert(folder.node);
            why[i] = error == EEXIST ? Taken : failure(QStringLiteral(" ◆ フォルダ作成エラー：("), error);
            continue;
        }
        made.push_back(i);
    }

    // The management files back into their folders, before the folders' times are set.
    std::vector<QString> fileWhy(size_t(m_record.files.size()));
    for (size_t i = 0; i < fileWhy.size(); ++i) {
        const JournalFile &file = m_record.files[qsizetype(i)];
        if (file.trashedAs.isEmpty()) {
            fileWhy[i] = DeletedForGood;
        } else if (blocked.contains(file.folder)) {
            fileWhy[i] = Above;
        } else if (const int error = sweepTree->restoreFile(pathOf(file.folder), file.name, file.trashedAs,
                                                            file.trashInfo)) {
            fileWhy[i] = error == EEXIST ? Taken : failure(QStringLiteral(" ◆ ファイル復元エラー：("), error);
        }
    }

    // Modes and times last, the folders below before their parent: making a
    // subfolder moves its parent's times, and a parent without its write bit
    // would refuse it.
    for (auto index = made.crbegin(); index != made.crend(); ++index) {
        const JournalFolder &folder = folders[*index];
        if (folder.described) {
            if (const int error = sweepTree->setFolderMeta(pathOf(folder.node), folder.meta))
                why[*index] = failure(QStringLiteral(" ◆ 属性復元エラー：("), error);
        }
    }

    for (size_t i = folders.size(); i-- > 0;) {
        const QString path = pathOf(folders[i].node);
        if (!why[i].isEmpty()) {
            notRestored(path, why[i]);
            continue;
        }
        m_lines.append(SweepEngine::printable(path));
        ++m_restored;
    }
    for (size_t i = 0; i < fileWhy.size(); ++i) {
        const JournalFile &file = m_record.files[qsizetype(i)];
        const QString path = pathOf(file.folder) + QLatin1Char('/') + file.name;
        if (fileWhy[i].isEmpty()) {
            m_lines.append(SweepEngine::printable(path));
            ++m_restored;
        } else {
            notRestored(path, fileWhy[i]);
        }
    }

    UndoJournal::markUndone(m_fileSystem, m_record.path, m_clock.now());
}

int Restore::writeLog(const QString &logFolder)
{
    const Locale::IgnoreCaseOrder order;
    QStringList sorted = m_lines;
    std::sort(sorted.begin(), sorted.end(),
              [&order](const QString &a, const QString &b) { return order.compare(a, b) < 0; });

    QStringList names;
    for (const JournalFile &file : m_record.files) {
        const QString lower = file.name.toLower();
        if (!names.contains(lower))
            names.append(lower);
    }
    QString legend;
    for (qsizetype i = 0; i < names.size(); ++i)
        legend +=
            QString::number(i) + QLatin1Char(':') + SweepEngine::printable(names[i]) + QLatin1Char('\t');

    QString counts = QStringLiteral("復元件数 = ") + QString::number(m_restored);
    if (m_notRestored != 0)
        counts += QStringLiteral("\t復元できなかった件数 = ") + QString::number(m_notRestored);
    const QDateTime now = m_clock.now();
    QStringList block{ProgramVersion + QStringLiteral(" フォルダ復元ロギング  検索フォルダ = ") +
                          SweepEngine::printable(m_record.root) + QStringLiteral("　終了状態 = 完了"),
                      QStringLiteral("開始日時 = ") + Locale::startMoment(m_start) +
                          QStringLiteral("\t処理時間 = ") + Locale::elapsed(m_start.msecsTo(now)),
                      counts,
                      QStringLiteral("復元対象管理ファイル"),
                      legend,
                      QStringLiteral("*** Top of List ***")};
    block += sorted;
    block << QStringLiteral("*** Bottom of List ***") << QString();

    QByteArray bytes;
    for (const QString &line : std::as_const(block))
        bytes += Cp932::encode(line) + "\r\n";
    if (const int error = m_fileSystem.makeFolders(logFolder))
        return error;
    const QString path = logFolder + QStringLiteral("/Vacuola-") +
                         m_clock.now().date().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log");
    return m_fileSystem.appendToFile(path, bytes);
}

} // namespace Vacuola
