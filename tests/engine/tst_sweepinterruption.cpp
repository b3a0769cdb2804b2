#include "platform/posix/PosixFileSystem.h"
#include "tests/engine/EngineRig.h"
#include "tests/support/TestHelpers.h"

#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Vacuola::Test {

// A sweep that is stopped, started again or has its register changed while it runs.
class SweepInterruptionTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    // Stopping
    void stopDuringFirstPhase();
    void stopInsideRemovalStillRemovesThatFolder();
    void stoppingState();
    void secondStartDuringWindDownIsIgnored();
    void secondStartWhileSweepingIsAStop();

    // The register changing under a running sweep
    void registerChangesDuringSweep_data();
    void registerChangesDuringSweep();
};

void SweepInterruptionTest::init()
{
    useJapaneseLocale();
}

void SweepInterruptionTest::stopDuringFirstPhase()
{
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a/x"));
    rig.area.createDir(QStringLiteral("root/b"));
    rig.area.createDir(QStringLiteral("root/c"));
    // Whatever order the listing gives, the first folder removed leaves others
    // still waiting on ScanList.
    rig.window.onPump = [&] {
        if (rig.engine.delCount() == 1 && rig.engine.running())
            rig.engine.VacuolaExecute();
    };
    rig.sweep();

    QVERIFY(rig.window.status.startsWith(QStringLiteral("検索中止 ")));
    QVERIFY(rig.window.statusHistory.contains(QStringLiteral("中止処理中")));
    QVERIFY(rig.area.exists(QStringLiteral("root")));
    // root waits in the second phase, which never runs.
    QVERIFY(!rig.engine.logList().isEmpty());
    QVERIFY(rig.engine.logList().first().endsWith(QStringLiteral("　終了状態 = 中止")));
    QVERIFY(!rig.engine.scanList().isEmpty());
    QVERIFY(!rig.engine.scanList().contains(rig.root()));
    QCOMPARE(rig.window.startCaption, QStringLiteral("開始(&S)"));
    QVERIFY(rig.window.startEnabled);
    QVERIFY(!rig.window.runLock);
}

void SweepInterruptionTest::stopInsideRemovalStillRemovesThatFolder()
{
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a"));
    rig.area.createFile(QStringLiteral("root/keep"));
    // a is the one folder removed: a pump while the status names it is inside its removal.
    rig.window.onPump = [&] {
        if (rig.window.status == rig.at(QStringLiteral("a")) && rig.engine.running())
            rig.engine.VacuolaExecute();
    };
    rig.sweep();
    QVERIFY(!rig.area.exists(QStringLiteral("root/a")));
    QCOMPARE(rig.window.status, QStringLiteral("検索中止 1件削除しました"));
}

void SweepInterruptionTest::stoppingState()
{
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a"));
    rig.area.createDir(QStringLiteral("root/b"));
    bool seen = false;
    rig.window.onPump = [&] {
        // root is listed: the stop request comes before the next folder.
        if (rig.window.status == rig.root() && rig.engine.running()) {
            rig.engine.VacuolaExecute();
        } else if (rig.window.status.startsWith(rig.root() + u'/') && !rig.engine.running() && !seen) {
            // Inside the removal of the folder listed after the stop request.
            seen = true;
            QCOMPARE(rig.window.startCaption, QStringLiteral("中止(&P)"));
            QVERIFY(!rig.window.startEnabled);
            QVERIFY(rig.window.runLock);
            QVERIFY(!rig.engine.running());
            QVERIFY(rig.engine.busy());
        }
    };
    rig.sweep();
    QVERIFY(seen);
    // The stop request itself pumps once.
    const qsizetype stopAt = rig.window.events.indexOf(QStringLiteral("status:中止処理中"));
    QVERIFY(stopAt > 0);
    QCOMPARE(rig.window.events.mid(stopAt, 3),
             (QStringList{QStringLiteral("status:中止処理中"), QStringLiteral("start:off"),
                          QStringLiteral("pump")}));
    QCOMPARE(rig.window.startCaption, QStringLiteral("開始(&S)"));
    QVERIFY(!rig.window.runLock);
    QVERIFY(!rig.engine.busy());
}

void SweepInterruptionTest::secondStartDuringWindDownIsIgnored()
{
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a"));
    rig.area.createDir(QStringLiteral("root/b"));
    const QString other = rig.area.createDir(QStringLiteral("other/empty"));
    bool started = false;
    rig.window.onPump = [&] {
        if (rig.window.status == rig.root() && rig.engine.running()) {
            rig.engine.VacuolaExecute(); // stop request
        } else if (rig.window.status.startsWith(rig.root() + u'/') && !rig.engine.running() && !started) {
            started = true;
            // The user registers and selects another folder (which enables the
            // start action) and starts it while the stopped sweep winds down.
            rig.searchList.insert(1, rig.area.absolute(QStringLiteral("other")));
            rig.searchList.select(1);
            rig.window.setStartEnabled(true);
            rig.engine.VacuolaExecute();
            QVERIFY(!rig.engine.running());
        }
    };
    rig.sweep();
    QVERIFY(QFileInfo::exists(other));
    QCOMPARE(rig.window.events.count(QStringLiteral("caption:中止(&P)")), 1);
    QCOMPARE(rig.window.status, QStringLiteral("検索中止 1件削除しました"));
    QVERIFY(rig.window.startEnabled);
    QVERIFY(!rig.engine.busy());
}

void SweepInterruptionTest::secondStartWhileSweepingIsAStop()
{
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a"));
    rig.area.createFile(QStringLiteral("root/keep"));
    int starts = 0;
    rig.window.onPump = [&] {
        // The first pump of the sweep, before anything is removed.
        if (starts == 0 && rig.engine.running()) {
            ++starts;
            rig.engine.VacuolaExecute();
        }
    };
    rig.sweep();
    QCOMPARE(starts, 1);
    QCOMPARE(rig.window.events.count(QStringLiteral("caption:中止(&P)")), 1);
    QCOMPARE(rig.window.status, QStringLiteral("検索中止 0件削除しました"));
}

void SweepInterruptionTest::registerChangesDuringSweep_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("folder added and selected") << QStringLiteral("add");
    QTest::newRow("swept folder deleted from the register") << QStringLiteral("delete");
    QTest::newRow("register emptied") << QStringLiteral("clear");
}

void SweepInterruptionTest::registerChangesDuringSweep()
{
    QFETCH(QString, change);
    EngineRig rig;
    const QString added = rig.area.createDir(QStringLiteral("added"));
    bool changed = false;
    rig.window.onPump = [&] {
        if (changed)
            return;
        changed = true;
        if (change == QLatin1String("add")) {
            rig.searchList.insert(1, added);
            rig.searchList.select(1);
        } else if (change == QLatin1String("delete")) {
            rig.searchFolders.DelFolderExecute();
        } else {
            rig.searchFolders.resetToPlaceholder();
            rig.searchList.select(0);
        }
    };
    rig.sweep();

    QVERIFY(!rig.area.exists(QStringLiteral("root")));
    QVERIFY(rig.area.exists(QStringLiteral("added")));
    // The title names the folder that was swept, not whatever stands at entry 1 now.
    QVERIFY(rig.engine.logList().first().contains(QStringLiteral("検索フォルダ = ") + rig.root() +
                                                  QStringLiteral("　終了状態 = 完了")));
    QVERIFY(!rig.searchList.items.contains(rig.root()));
    QCOMPARE(rig.searchList.items.contains(added), change == QLatin1String("add"));
    QCOMPARE(rig.window.status, QStringLiteral("検索終了 1件削除しました"));
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::SweepInterruptionTest)
#include "tst_sweepinterruption.moc"
