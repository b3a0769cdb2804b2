#include "engine/Restore.h"

#include "core/Version.h"
#include "engine/SweepEngine.h"
#include "platform/Clock.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"

#include <cerrno>
#include <memory>

namespace Vacuola {

namespace {

const QString Taken = QStringLiteral(" ◆ 同じ名前のものが既にあります");
const QString Above = QStringLiteral(" ◆ 上のフォルダを復元できません");
const QString DeletedForGood = QStringLiteral(" ◆ 完全に削除されたため復元できません");

// What befell a folder or a file: the kind in the top byte, an error number below.
enum Outcome : quint32
{
    Restored = 0,
    WasTaken = 1u << 24,
    BelowUnrestored = 2u << 24,
    MakeFailed = 3u << 24,
    MetaFailed = 4u << 24,
    GoneForGood = 5u << 24,
    FileFailed = 6u << 24
};

quint32 failed(quint32 kind, int error)
{
    return error == EEXIST ? WasTaken : kind | (quint32(error) & 0xFFFFFF);
}

// Why it was not restored, as its line ends.
QString why(quint32 outcome)
{
    const int error = int(outcome & 0xFFFFFF);
    const auto failure = [error](const QString &marker) {
        return marker + QString::number(error) + QLatin1Char(')') + errorMessage(error);
    };
    switch (outcome & 0xFF000000u) {
    case WasTaken:
        return Taken;
    case BelowUnrestored:
        return Above;
    case MakeFailed:
        return failure(QStringLiteral(" ◆ フォルダ作成エラー：("));
    case MetaFailed:
        return failure(QStringLiteral(" ◆ 属性復元エラー：("));
    case GoneForGood:
        return DeletedForGood;
    case FileFailed:
        return failure(QStringLiteral(" ◆ ファイル復元エラー：("));
    default:
        return QString();
    }
}

std::shared_ptr<const FolderNodes> treeOf(const UndoRecord &record)
{
    return record.tree ? record.tree : std::make_shared<const FolderNodes>();
}

} // namespace

Restore::Restore(FileSystem &fileSystem, Clock &clock, const UndoRecord &record)
    : m_fileSystem(fileSystem), m_clock(clock), m_record(record), m_tree(treeOf(record)),
      m_paths(*m_tree, PathCursor::Form::Exact), m_printed(*m_tree, PathCursor::Form::Text), m_lines(*m_tree)
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

void Restore::lines(const LineVisitor &visit) const
{
    m_lines.visit(visit);
}

QStringList Restore::lines() const
{
    return m_lines.toStringList();
}

void Restore::plan(const LineVisitor &visit)
{
    const auto &folders = m_record.folders;
    for (auto folder = folders.crbegin(); folder != folders.crend(); ++folder) {
        const bool taken = m_fileSystem.entryExists(m_paths.text(folder->node));
        visit(m_printed.text(folder->node) + (taken ? Taken : QString()));
    }
    for (const JournalFile &file : m_record.files)
        visit(m_printed.text(file.folder) + QLatin1Char('/') + SweepEngine::printable(file.name) +
              (file.trashedAs.isEmpty() ? DeletedForGood : QString()));
}

void Restore::run(const std::function<void()> &pump)
{
    const auto step = [&pump] {
        if (pump)
            pump();
    };
    m_start = m_clock.now();
    m_lines.clear();
    m_restored = 0;
    m_notRestored = 0;
    const FolderNodes &nodes = *m_tree;
    const std::unique_ptr<SweepTree> sweepTree = m_fileSystem.openTree(m_record.root);

    // Parents first: the journal has each folder after everything below it.
    // A folder not made again blocks everything below it.
    const auto &folders = m_record.folders;
    std::vector<bool> blocked(nodes.count(), false);
    std::vector<quint32> outcomes(folders.size(), Restored);
    for (size_t i = folders.size(); i-- > 0;) {
        step();
        const FolderNodes::Id node = folders[i].node;
        if (node != nodes.root() && blocked[nodes.parent(node)])
            outcomes[i] = BelowUnrestored;
        else if (const int error = sweepTree->makeFolder(m_paths.text(node)))
            outcomes[i] = failed(MakeFailed, error);
        blocked[node] = outcomes[i] != Restored;
    }

    // The management files back into their folders, before the folders' times are set.
    std::vector<quint32> fileOutcomes(size_t(m_record.files.size()), Restored);
    for (size_t i = 0; i < fileOutcomes.size(); ++i) {
        step();
        const JournalFile &file = m_record.files[qsizetype(i)];
        if (file.trashedAs.isEmpty())
            fileOutcomes[i] = GoneForGood;
        else if (blocked[file.folder])
            fileOutcomes[i] = BelowUnrestored;
        else if (const int error = sweepTree->restoreFile(m_paths.text(file.folder), file.name,
                                                          file.trashedAs, file.trashInfo))
            fileOutcomes[i] = failed(FileFailed, error);
    }

    // Modes and times last, the folders below before their parent: making a
    // subfolder moves its parent's times, and a parent without its write bit
    // would refuse it.
    for (size_t i = 0; i < folders.size(); ++i) {
        step();
        if (outcomes[i] != Restored || !folders[i].described)
            continue;
        if (const int error = sweepTree->setFolderMeta(m_paths.text(folders[i].node), folders[i].meta()))
            outcomes[i] = MetaFailed | (quint32(error) & 0xFFFFFF);
    }

    // A line for each, kept as its folder and what befell it.
    for (size_t i = folders.size(); i-- > 0;) {
        m_lines.appendFolder(folders[i].node, SweepEngine::printable(why(outcomes[i])));
        ++(outcomes[i] == Restored ? m_restored : m_notRestored);
    }
    for (size_t i = 0; i < fileOutcomes.size(); ++i) {
        const JournalFile &file = m_record.files[qsizetype(i)];
        m_lines.append({m_printed.text(file.folder), u"/", SweepEngine::printable(file.name),
                        SweepEngine::printable(why(fileOutcomes[i]))});
        ++(fileOutcomes[i] == Restored ? m_restored : m_notRestored);
    }

    UndoJournal::markUndone(m_fileSystem, m_record.path, m_clock.now());
}

int Restore::writeLog(const QString &logFolder)
{
    const Locale::IgnoreCaseOrder order;
    m_lines.sort(
        m_tree->walkOrder([&order](QStringView a, QStringView b) { return order.compare(a, b) < 0; }));

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
    const QStringList head{ProgramVersion + QStringLiteral(" フォルダ復元ロギング  検索フォルダ = ") +
                               SweepEngine::printable(m_record.root) + QStringLiteral("　終了状態 = 完了"),
                           QStringLiteral("開始日時 = ") + Locale::startMoment(m_start) +
                               QStringLiteral("\t処理時間 = ") + Locale::elapsed(m_start.msecsTo(now)),
                           counts,
                           QStringLiteral("復元対象管理ファイル"),
                           legend,
                           QStringLiteral("*** Top of List ***")};
    QByteArray headBytes;
    for (const QString &line : head)
        headBytes += Cp932::encode(line) + "\r\n";
    const QByteArray tailBytes = "*** Bottom of List ***\r\n\r\n";

    if (const int error = m_fileSystem.makeFolders(logFolder))
        return error;
    const QString path = logFolder + QStringLiteral("/Vacuola-") +
                         m_clock.now().date().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log");
    // One append, made a piece at a time from the folder tree: the block
    // lands whole or not at all, and is never held at once.
    std::unique_ptr<FileAppend> append;
    int error = m_fileSystem.openAppend(path, append);
    if (error == 0)
        error = append->write({headBytes});
    if (error == 0)
        error = m_lines.write(*append);
    if (error == 0)
        error = append->write({tailBytes});
    if (error == 0)
        error = append->finish();
    return error;
}

} // namespace Vacuola
