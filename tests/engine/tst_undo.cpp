#include "engine/Restore.h"
#include "engine/UndoJournal.h"
#include "tests/engine/EngineRig.h"
#include "tests/support/TestHelpers.h"

#include <QRandomGenerator>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

namespace Vacuola::Test {

namespace {

// The entries with, for folders, their mode and times to the nanosecond; only
// the mode for those in `kept` (their entries change, and listing them marks them read).
QStringList snapshot(const EngineRig &rig, const QStringList &entries, const QStringList &kept)
{
    QStringList result;
    for (const QString &entry : entries) {
        struct stat st = {};
        ::lstat(QFile::encodeName(rig.at(entry)).constData(), &st);
        result << entry;
        if (S_ISDIR(st.st_mode))
            result.last() += QString::asprintf(" %o", st.st_mode & 07777);
        if (S_ISDIR(st.st_mode) && !kept.contains(entry))
            result.last() +=
                QString::asprintf(" %lld.%ld %lld.%ld", qlonglong(st.st_atim.tv_sec), st.st_atim.tv_nsec,
                                  qlonglong(st.st_mtim.tv_sec), st.st_mtim.tv_nsec);
    }
    return result;
}

} // namespace

class TestUndo final : public QObject
{
    Q_OBJECT

private slots:
    void undoesSweep_data();
    void undoesSweep();
};

void TestUndo::undoesSweep_data()
{
    QTest::addColumn<int>("seed");
    QTest::addColumn<QString>("taken");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("trash");
    QTest::addColumn<QString>("journal");
    QTest::newRow("random tree, modes and times")
        << 7 << QString() << QString() << QStringList() << false << QString();
    QTest::newRow("management file back from the trash")
        << 0 << QString() << QString() << QStringList() << true << QString();
    QTest::newRow("a journal of the first form, whole paths")
        << 0 << QString() << QString() << QStringList() << true << QStringLiteral("paths");
    QTest::newRow("a journal cut short: what it tells of is undone")
        << 0 << QString() << QString() << QStringList() << true << QStringLiteral("cut");
    QTest::newRow("names with %, a tab, é and a kanji")
        << 7 << QString() << QString() << QStringList() << false << QStringLiteral("names");
    QTest::newRow("a journal past 16 MiB")
        << 7 << QString() << QString() << QStringList() << false << QStringLiteral("long");
    QTest::newRow("a name taken meanwhile")
        << 0 << QStringLiteral("a") << QStringLiteral("元に戻しました 復元1件、復元できず4件")
        << QStringList{QStringLiteral("a ◆ 同じ名前のものが既にあります"),
                       QStringLiteral("a/b ◆ 上のフォルダを復元できません"),
                       QStringLiteral("a/c ◆ 上のフォルダを復元できません"), QStringLiteral("d"),
                       QStringLiteral("d/desktop.ini ◆ 完全に削除されたため復元できません")}
        << false << QString();
}

void TestUndo::undoesSweep()
{
    QFETCH(int, seed);
    QFETCH(QString, taken);
    QFETCH(bool, trash);
    QFETCH(QString, journal);
    EngineRig rig;
    rig.window.setMarked(OptionMark::DisableReadOnly, true);
    rig.window.setMarked(OptionMark::MoveToTrash, trash);
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    const auto restoreEnvironment = qScopeGuard([&dataHome] { qputenv("XDG_DATA_HOME", dataHome); });
    qputenv("XDG_DATA_HOME", rig.area.absolute(QStringLiteral("data")).toUtf8());
    rig.checkNames({QStringLiteral("desktop.ini")});
    rig.area.createFile(QStringLiteral("root/keep.txt"), "x");
    QStringList made{QString()};
    if (seed == 0) {
        made << QStringLiteral("a") << QStringLiteral("a/b") << QStringLiteral("a/c") << QStringLiteral("d");
        rig.area.createFile(QStringLiteral("root/d/desktop.ini"), "x");
    }
    // Each odd name alone in its kind: "%41" (read as "A" unless written as "%2541"), a tab, a Latin-1
    // letter (one byte unless written as UTF-8) or a kanji.
    const QStringList endings = journal == QLatin1String("names")
                                    ? QStringList{QStringLiteral("%41"), QStringLiteral("\t"),
                                                  QStringLiteral("é"), QStringLiteral("日")}
                                    : QStringList{QString()};
    QRandomGenerator random{quint32(seed)};
    for (qsizetype i = 0; seed != 0 && i < made.size() && made.size() < 80; ++i) {
        for (int c = int(random.bounded(made.size() < 4 ? 2 : 5)); c < 4; ++c)
            made << made[i] + (made[i].isEmpty() ? QString() : QStringLiteral("/")) + QLatin1Char('f') +
                        QString::number(made.size()) + endings[made.size() % endings.size()];
        if (random.bounded(6) == 0 && i > 0)
            rig.area.createFile(QStringLiteral("root/") + made[i] + QStringLiteral("/keep.txt"), "x");
    }
    const QList<mode_t> modes{0755, 0700, 0555, 0711, 0775, 01777};
    for (const QString &folder : std::as_const(made))
        rig.area.createDir(QStringLiteral("root/") + folder);
    // Listed before the times are set: a listing here marks its folders read.
    const QStringList before = rig.rootTree();
    for (qsizetype i = made.size(); i-- > 1;) { // below first: a folder's times move as its entries are made
        const QByteArray path = QFile::encodeName(rig.at(made[i]));
        const struct timespec times[2] = {{time_t(1e9 + random.bounded(1e8)), long(random.bounded(1e9))},
                                          {time_t(1e9 + random.bounded(1e8)), long(random.bounded(1e9))}};
        QCOMPARE(::chmod(path.constData(), modes[seed == 0 ? 0 : random.bounded(int(modes.size()))]), 0);
        QCOMPARE(::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW), 0);
    }
    const QStringList full = snapshot(rig, before, {});
    rig.sweep();
    const QStringList kept = rig.rootTree();
    QVERIFY(kept.size() < before.size());
    QStringList expected;
    for (const QString &line : full) // the folders that stayed keep only their modes
        expected << (kept.contains(line.section(u' ', 0, 0)) ? line.section(u' ', 0, 1) : line);
    if (!taken.isEmpty())
        rig.area.createFile(QStringLiteral("root/") + taken, "mine");
    const QDir program(rig.program.absolute());
    QFile file(program.absoluteFilePath(program.entryList({QStringLiteral("*.undo")}).value(0)));
    if (journal == QLatin1String("paths")) {
        // As the first form had it: each record names its folder by the whole path.
        QHash<QByteArray, QByteArray> paths{{"0", {}}};
        QByteArray old;
        for (const QByteArray &line : readTestFile(file.fileName()).split('\n')) {
            QList<QByteArray> fields = line.split('\t');
            if (fields[0] == "D")
                paths[fields[1]] = (fields[2] == "0" ? QByteArray() : paths[fields[2]] + '/') + fields[3];
            else if (fields[0] == "R")
                fields.insert(2, paths[fields[1]]);
            else if (fields[0] == "F")
                fields[1] = paths[fields[1]];
            if (fields[0] != "D")
                old += (line == "Vacuola-undo 2" ? QByteArray("Vacuola-undo 1") : fields.join('\t')) + '\n';
        }
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(old);
        file.close();
    } else if (journal == QLatin1String("cut")) {
        // As a sweep that never ended leaves it: without its last record.
        QByteArray bytes = readTestFile(file.fileName());
        QVERIFY(bytes.endsWith("\nend\n"));
        bytes.chop(4);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
    } else if (journal == QLatin1String("long")) {
        // After its head, descriptions of folders that stayed, as the sweep of a vast tree leaves them.
        QByteArray bytes = readTestFile(file.fileName());
        const qsizetype head = bytes.indexOf("\nstart\t");
        bytes.insert(bytes.indexOf('\n', head + 1) + 1,
                     QByteArray("S\t4000000000\t755\t0\t0\t1000000000\t0\t1000000000\t0\n").repeated(400000));
        QVERIFY(bytes.size() > 16 * 1024 * 1024);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
    }

    UndoRecord record;
    QVERIFY(UndoJournal::findLast(rig.fs, rig.program.absolute(), rig.root(), record));
    QCOMPARE(record.whole, journal != QLatin1String("cut"));
    Restore restore(rig.fs, rig.clock, record);
    restore.run();
    QCOMPARE(restore.writeLog(rig.program.absolute()), 0);
    QVERIFY(!UndoJournal::findLast(rig.fs, rig.program.absolute(), QString(), record));
    QVERIFY(rig.logText(rig.clock.now().date())
                .contains(QStringLiteral("Vacuola V1.13A フォルダ復元ロギング  検索フォルダ = ") +
                          rig.root() + QStringLiteral("　終了状態 = 完了\r\n")));
    if (taken.isEmpty()) {
        QCOMPARE(restore.notRestoredCount(), 0);
        QCOMPARE(snapshot(rig, before, kept), expected);
        QCOMPARE(rig.rootTree(), before);
        if (trash) {
            QCOMPARE(readTestFile(rig.at(QStringLiteral("d/desktop.ini"))), QByteArray("x"));
            QCOMPARE(QDir(rig.area.absolute(QStringLiteral("data/Trash/info"))).entryList(QDir::Files), {});
        }
        return;
    }
    QFETCH(QString, summary);
    QFETCH(QStringList, lines);
    QCOMPARE(restore.summary(), summary);
    QStringList got = restore.lines();
    got.replaceInStrings(rig.root() + QLatin1Char('/'), QString());
    got.sort();
    QCOMPARE(got, lines);
    QCOMPARE(rig.rootTree(),
             QStringList({QStringLiteral("a"), QStringLiteral("d/"), QStringLiteral("keep.txt")}));
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestUndo)
#include "tst_undo.moc"
