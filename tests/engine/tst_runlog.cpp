#include "tests/engine/EngineRig.h"

#include "engine/LogLines.h"
#include "platform/Cp932.h"
#include "platform/Locale.h"
#include "tests/support/TestHelpers.h"

#include <QtTest>

#include <cerrno>

namespace Vacuola::Test {

namespace {

const QDate day1(2026, 12, 8);
const QDate day2(2026, 12, 9);

QString title(const QString &folder, bool finished)
{
    return QStringLiteral("Vacuola V1.13A フォルダ削除ロギング  検索フォルダ = ") + folder +
           (finished ? QStringLiteral("　終了状態 = 完了") : QStringLiteral("　終了状態 = 中止"));
}

QString crlf(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

} // namespace

class RunLogTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    // The block
    void blockLayout();
    void linesSortAsWholeLinesCollate();
    void walkOrderIsMendedWhereItIsNotSorted();
    void legendLine_data();
    void legendLine();
    void startAtMidnightHasNoTime();
    void twoSweepsOneDayAppendTwoBlocks();
    void sweepEndingAfterMidnightWritesNewDay();
    void linesGatheredBeforeLog0AreWritten();
    void fileName();

    // Writing failures
    void writeFailure_data();
    void writeFailure();

    // Purge
    void purgeKeepsWhatItMust();
    void purgeIgnoresDeleteFailures();

    // The viewer
    void logView_data();
    void logView();
};

void RunLogTest::init()
{
    // The user's short date and long time forms: Japanese ones here.
    useJapaneseLocale();
}

void RunLogTest::blockLayout()
{
    EngineRig rig;
    rig.window.setMarked(OptionMark::NonStop, true);
    rig.checkNames({QStringLiteral("a.db"), QStringLiteral("b.db"), QStringLiteral("c.db")});
    rig.files.setChecked(1, false);
    rig.area.createFile(QStringLiteral("root/a/a.db"));
    rig.area.createDir(QStringLiteral("root/B"));
    rig.area.createDir(QStringLiteral("root/c"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.fs.fail(FsOp::RemoveFolder, rig.at(QStringLiteral("c")), EBUSY);
    rig.clock.stepPerRead = 65 * 1000; // start, times line, file name
    rig.sweep();

    const QString expected = crlf({
        title(rig.root(), true),
        QStringLiteral("開始日時 = 2026/12/08 10時00分00秒\t処理時間 = 0時01分05秒"),
        QStringLiteral("削除件数 = 2\tエラー件数 = 1"),
        QStringLiteral("削除対象管理ファイル"),
        QStringLiteral("0:a.db\t2:c.db\t"),
        QStringLiteral("*** Top of List ***"),
        rig.at(QStringLiteral("a")) + QStringLiteral(" - 0"),
        rig.at(QStringLiteral("B")),
        rig.at(QStringLiteral("c")) + QStringLiteral(" ◆ フォルダ削除エラー：(") + QString::number(EBUSY) +
            QLatin1Char(')') + errorMessage(EBUSY),
        QStringLiteral("*** Bottom of List ***"),
        QString(),
    });
    const QByteArray bytes = rig.logBytes(day1);
    QCOMPARE(Cp932::decode(bytes), expected);
    QVERIFY(bytes.startsWith("Vacuola V1.13A "));
    QVERIFY(bytes.contains("\x81\x40"));
    QCOMPARE(bytes.count("\r\n"), 11);
    QCOMPARE(bytes.count('\n'), 11);
    QVERIFY(bytes.endsWith("*** Bottom of List ***\r\n\r\n"));
}

// The sort compares only what follows the lines' shared folders, reusing the
// text of lines it has just read: the order must still be that of whole lines.
void RunLogTest::linesSortAsWholeLinesCollate()
{
    const QString deep = QStringLiteral("/tmp/sweep/") + QStringLiteral("level/").repeated(12);
    const QStringList lines{
        deep + QStringLiteral("a/b"),    deep + QStringLiteral("a-b"),     deep + QStringLiteral("A"),
        deep + QStringLiteral("表示/x"), deep + QStringLiteral("表示-x"),  deep + QStringLiteral("𠀋/z"),
        deep + QStringLiteral("𠀋/Y"),   deep + QStringLiteral("Ä/ab"),    deep + QStringLiteral("b"),
        QStringLiteral("/tmp/sweep"),    QStringLiteral("/tmp/sweep - 0"), deep + QStringLiteral("a b/c")};
    LogLines log;
    for (const QString &line : lines)
        log.append({line});
    log.sort();
    const QStringList sorted = log.toStringList();
    QCOMPARE(QSet<QString>(sorted.cbegin(), sorted.cend()), QSet<QString>(lines.cbegin(), lines.cend()));
    for (qsizetype i = 1; i < sorted.size(); ++i)
        QVERIFY2(Locale::compareIgnoreCase(sorted.at(i - 1), sorted.at(i)) < 0, qPrintable(sorted.at(i)));
}

// Subfolders taken in the order of their names still differ from whole lines
// where a name goes on with a blank or a hyphen: "a/x" comes after "a-b".
void RunLogTest::walkOrderIsMendedWhereItIsNotSorted()
{
    EngineRig rig;
    rig.area.createFile(QStringLiteral("root/keep"));
    for (const char *folder : {"a/x", "a-b", "a (2)/y", "b"})
        rig.area.createDir(QStringLiteral("root/") + QString::fromLatin1(folder));
    rig.sweep();
    QStringList expected;
    for (const char *folder : {"a", "a (2)", "a (2)/y", "a-b", "a/x", "b"})
        expected << rig.at(QString::fromLatin1(folder));
    QCOMPARE(rig.logBlock(day1).folders, expected);
}

void RunLogTest::legendLine_data()
{
    QTest::addColumn<QList<bool>>("checks");
    QTest::addColumn<QString>("legend");
    QTest::newRow("none checked") << QList<bool>{false, false, false} << QString();
    QTest::newRow("first and third of three")
        << QList<bool>{true, false, true} << QStringLiteral("0:x.db\t2:z.db\t");
    QTest::newRow("all") << QList<bool>{true, true, true} << QStringLiteral("0:x.db\t1:y.db\t2:z.db\t");
}

void RunLogTest::legendLine()
{
    QFETCH(QList<bool>, checks);
    QFETCH(QString, legend);
    EngineRig rig;
    rig.files.add(QStringLiteral("x.db"), checks.at(0));
    rig.files.add(QStringLiteral("y.db"), checks.at(1));
    rig.files.add(QStringLiteral("z.db"), checks.at(2));
    rig.sweep();
    const QStringList header = rig.logBlock(day1).header;
    QCOMPARE(header.size(), 5);
    QCOMPARE(header.at(2), QStringLiteral("削除件数 = 1"));
    QCOMPARE(header.at(3), QStringLiteral("削除対象管理ファイル"));
    QCOMPARE(header.at(4), legend);
}

void RunLogTest::startAtMidnightHasNoTime()
{
    EngineRig rig;
    rig.clock.set(QDateTime(day1, QTime(0, 0, 0, 500)));
    rig.sweep();
    QCOMPARE(rig.logBlock(day1).header.value(1),
             QStringLiteral("開始日時 = 2026/12/08\t処理時間 = 0時00分00秒"));
}

void RunLogTest::twoSweepsOneDayAppendTwoBlocks()
{
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.sweep();
    const QByteArray first = rig.logBytes(day1);
    QVERIFY(!first.isEmpty());

    rig.area.createDir(QStringLiteral("root/b"));
    rig.clock.advance(3600 * 1000);
    rig.sweep();
    const QString text = rig.logText(day1);
    QVERIFY(rig.logBytes(day1).startsWith(first));
    QCOMPARE(text.count(QStringLiteral("*** Top of List ***")), 2);
    QCOMPARE(text.count(QStringLiteral("*** Bottom of List ***\r\n\r\n")), 2);
    QVERIFY(text.contains(QStringLiteral("\r\n\r\n") + title(rig.root(), true)));
    QVERIFY(text.contains(QStringLiteral("開始日時 = 2026/12/08 11時00分00秒")));
}

void RunLogTest::sweepEndingAfterMidnightWritesNewDay()
{
    EngineRig rig;
    rig.clock.set(QDateTime(day1, QTime(23, 59, 50)));
    // Midnight passes while the sweep runs.
    rig.window.onPump = [&] {
        rig.clock.set(QDateTime(day2, QTime(0, 0, 20)));
    };
    rig.sweep();
    QVERIFY(rig.logBytes(day1).isEmpty());
    QCOMPARE(rig.logBlock(day2).header.value(1),
             QStringLiteral("開始日時 = 2026/12/08 23時59分50秒\t処理時間 = 0時00分30秒"));
}

void RunLogTest::linesGatheredBeforeLog0AreWritten()
{
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a"));
    rig.area.createDir(QStringLiteral("root/b"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.window.onPump = [&] {
        if (rig.engine.delCount() == 1)
            rig.window.setMarked(OptionMark::Log0, true);
    };
    rig.sweep();
    QCOMPARE(rig.engine.delCount(), 2);
    const QString text = rig.logText(day1);
    QVERIFY(text.contains(QStringLiteral("削除件数 = 2\r\n")));
    QCOMPARE(text.count(rig.root() + QLatin1Char('/')), 1);
}

void RunLogTest::fileName()
{
    EngineRig rig;
    QCOMPARE(rig.engine.logFilePath(QDateTime(QDate(2027, 1, 2), QTime(23, 59, 59))),
             rig.program.absolute() + QStringLiteral("/Vacuola-20270102.log"));
}

void RunLogTest::writeFailure_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("partial");
    QTest::addColumn<QString>("report");
    QTest::addColumn<bool>("journal");

    QTest::newRow("disk fills up halfway") << int(ENOSPC) << 20 << QStringLiteral("Disk full") << false;
    QTest::newRow("access denied") << int(EACCES) << -1 << QStringLiteral("File access denied") << false;
    QTest::newRow("read-only file system")
        << int(EROFS) << -1 << QStringLiteral("File access denied") << false;
    QTest::newRow("unmapped number keeps its own")
        << int(EIO) << -1 << QStringLiteral("I/O error %1").arg(EIO) << false;
    QTest::newRow("the journal: the disk fills up, the sweep cannot be undone")
        << int(ENOSPC) << 20
        << QStringLiteral("元に戻すための記録を書けませんでした。この削除は元に戻せません: "
                          "%1/Vacuola-20261208-100000000.undo: Disk full")
        << true;
}

void RunLogTest::writeFailure()
{
    QFETCH(int, error);
    QFETCH(int, partial);
    QFETCH(QString, report);
    QFETCH(bool, journal);

    EngineRig rig;
    const QByteArray before("earlier block\r\n\r\n");
    const QString log = rig.program.createFile(QStringLiteral("Vacuola-20261208.log"), before);
    if (partial >= 0)
        rig.fs.failAppendAfter(partial, error, journal);
    else
        rig.fs.fail(FsOp::AppendToFile, log, error);
    rig.sweep();

    QCOMPARE(rig.window.errorReports, QStringList{journal ? report.arg(rig.program.absolute()) : report});
    // Nothing of the block stays: the file is as it was. Nothing of a journal stays to be offered.
    QCOMPARE(rig.logBytes(day1) == before, !journal);
    QCOMPARE(QDir(rig.program.absolute()).entryList({QStringLiteral("*.undo")}).isEmpty(), journal);
    // The sweep still ends in the idle state.
    QCOMPARE(rig.window.status, QStringLiteral("検索終了 1件削除しました"));
    QCOMPARE(rig.window.startCaption, QStringLiteral("開始(&S)"));
    QVERIFY(!rig.window.runLock);
    QVERIFY(!rig.engine.running());
    QVERIFY(!rig.engine.busy());
    QVERIFY(!rig.searchList.items.contains(rig.root()));
    const qsizetype reported = rig.window.events.indexOf(QStringLiteral("error"));
    QVERIFY(reported >= 0);
    QVERIFY(reported < rig.window.events.indexOf(QStringLiteral("status:検索終了 1件削除しました")));
}

void RunLogTest::purgeKeepsWhatItMust()
{
    EngineRig rig;
    const QDateTime cutOff(QDate(2026, 12, 1), QTime(10, 0, 0));
    const QDateTime old(QDate(2026, 11, 1), QTime(9, 0, 0));
    const TestDir &p = rig.program;
    p.createFile(QStringLiteral("Vacuola-20261101.log"), "x", old);
    p.createFile(QStringLiteral("Vacuola-20261130.log"), "x", cutOff.addSecs(-1));
    p.createFile(QStringLiteral("Vacuola-.log"), "x", old);
    p.createFile(QStringLiteral("Vacuola-20261201.log"), "x", cutOff);
    p.createFile(QStringLiteral("Vacuola-20261205.log"), "x", cutOff.addDays(4));
    p.createFile(QStringLiteral("Vacuola-readonly.log"), "x", old);
    p.setReadOnly(QStringLiteral("Vacuola-readonly.log"), true);
    p.createFile(QStringLiteral("vacuola-20261101.log"), "x", old);
    p.createFile(QStringLiteral("Vacuola-20261101.txt"), "x", old);
    p.createFile(QStringLiteral("Vacuola-20261101.log.bak"), "x", old);
    p.createFile(QStringLiteral("other.log"), "x", old);
    p.createFile(QStringLiteral("target.txt"), "x", old);
    p.createSymlink(QStringLiteral("Vacuola-link.log"), p.absolute(QStringLiteral("target.txt")));
    p.createDir(QStringLiteral("Vacuola-folder.log"));

    rig.engine.PurgeOldLogs(cutOff);

    QCOMPARE(p.tree(), (QStringList{
                           QStringLiteral("Vacuola-20261101.log.bak"),
                           QStringLiteral("Vacuola-20261101.txt"),
                           QStringLiteral("Vacuola-20261201.log"),
                           QStringLiteral("Vacuola-20261205.log"),
                           QStringLiteral("Vacuola-folder.log/"),
                           QStringLiteral("Vacuola-link.log"),
                           QStringLiteral("Vacuola-readonly.log"),
                           QStringLiteral("other.log"),
                           QStringLiteral("target.txt"),
                           QStringLiteral("vacuola-20261101.log"),
                       }));
    QVERIFY(rig.window.events.isEmpty());
}

void RunLogTest::purgeIgnoresDeleteFailures()
{
    EngineRig rig;
    const QDateTime old(QDate(2026, 11, 1), QTime(9, 0, 0));
    rig.program.createFile(QStringLiteral("Vacuola-20261101.log"), "x", old);
    rig.program.createFile(QStringLiteral("Vacuola-20261102.log"), "x", old);
    rig.fs.fail(FsOp::DeleteFile, rig.program.absolute(QStringLiteral("Vacuola-20261101.log")), EBUSY);
    rig.engine.PurgeOldLogs(QDateTime(QDate(2026, 12, 1), QTime(10, 0)));
    QCOMPARE(rig.program.tree(), QStringList{QStringLiteral("Vacuola-20261101.log")});
    QVERIFY(rig.window.events.isEmpty());
}

void RunLogTest::logView_data()
{
    QTest::addColumn<bool>("today");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("opened");

    const QString editor = QStringLiteral("/usr/bin/fake-editor");
    QTest::newRow("only older logs") << false << editor << QStringLiteral("LOGファイルがまだ作られていません")
                                     << false;
    QTest::newRow("no editor") << true << QString() << QStringLiteral("メモ帳が見つかりません") << false;
    QTest::newRow("opened") << true << editor << QString() << true;
}

void RunLogTest::logView()
{
    QFETCH(bool, today);
    QFETCH(QString, editor);
    QFETCH(QString, status);
    QFETCH(bool, opened);

    EngineRig rig;
    rig.editor.editor = editor;
    rig.program.createFile(QStringLiteral("Vacuola-20261207.log"), "x");
    if (today)
        rig.program.createFile(QStringLiteral("Vacuola-20261208.log"), "x");
    rig.engine.LogViewClick();
    QCOMPARE(rig.window.status, status);
    if (opened) {
        QCOMPARE(rig.editor.opened,
                 QStringList{editor + QLatin1Char(' ') +
                             rig.program.absolute(QStringLiteral("Vacuola-20261208.log"))});
    } else {
        QVERIFY(rig.editor.opened.isEmpty());
    }
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::RunLogTest)
#include "tst_runlog.moc"
