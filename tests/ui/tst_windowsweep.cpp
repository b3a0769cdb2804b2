#include "engine/SweepEngine.h"
#include "platform/Cp932.h"
#include "registers/ManagementFileRegister.h"
#include "registers/SearchFolderRegister.h"
#include "tests/support/TestHelpers.h"
#include "tests/ui/WindowRig.h"
#include "ui/ExclusionDialog.h"
#include "ui/PreviewDialog.h"
#include "ui/PreviewTree.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <cerrno>

namespace Vacuola::Test {

namespace {

void runQueued(QObject *context, const std::function<void()> &step)
{
    QMetaObject::invokeMethod(context, step, Qt::QueuedConnection);
}

} // namespace

// The window while it sweeps: its run lock, stop, questions and failures.
class WindowSweepTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void runLockDuringSweepAndRelease();
    void sweepOfAFolderAddedThroughTheBrowser();
    void stopRequestDisablesStartUntilReturn();
    void logWriteFailureIsReportedAndUnlocks();
    void readOnlyQuestion_data();
    void readOnlyQuestion();
    void closeDuringSweepClosesAfterReturn();
    void previewThenAnswer_data();
    void previewThenAnswer();
    void settingsWriteFailureShowsErrorBox();
    void exclusionListFromItsDialog();

private:
    std::unique_ptr<WindowRig> m_rig;
    void registerFolder(const QString &path);
};

void WindowSweepTest::init()
{
    useJapaneseLocale();
    m_rig = std::make_unique<WindowRig>();
    // A current settings file: no version notes at start.
    m_rig->writeSettings({QStringLiteral("[Vacuola]"), QStringLiteral("Version=Vacuola V1.13A")});
    m_rig->open();
}

void WindowSweepTest::cleanup()
{
    m_rig.reset();
}

void WindowSweepTest::registerFolder(const QString &path)
{
    m_rig->window->searchFolders().AddSearchFolder(path);
    QCOMPARE(m_rig->window->statusText(), QStringLiteral("フォルダを追加しました"));
}

void WindowSweepTest::runLockDuringSweepAndRelease()
{
    const QString root = m_rig->work.createDir(QStringLiteral("root/a/b"));
    Q_UNUSED(root);
    registerFolder(m_rig->work.absolute(QStringLiteral("root")));
    TForm1 &window = *m_rig->window;
    auto *saveExit = m_rig->find<QAction>(QStringLiteral("SaveExit"));
    auto *searchDir = m_rig->find<QComboBox>(QStringLiteral("SearchDir"));
    auto *ignoreList = m_rig->find<QListWidget>(QStringLiteral("IgnoreList"));
    auto *scanPathMenu = m_rig->find<QMenu>(QStringLiteral("ScanPathMenu"));
    bool checked = false;
    runQueued(&window, [&] {
        checked = true;
        QVERIFY(window.engine().busy());
        QVERIFY(!saveExit->isEnabled());
        QVERIFY(!searchDir->isEnabled());
        QVERIFY(!ignoreList->isEnabled());
        QCOMPARE(m_rig->find<QAction>(QStringLiteral("Vacuola1"))->text(), QStringLiteral("中止(&P)"));
        QVERIFY(m_rig->find<QAction>(QStringLiteral("Vacuola1"))->isEnabled());
        QVERIFY(!m_rig->find<QAction>(QStringLiteral("Preview"))->isEnabled());
        // The locked drop-down takes no double click and no pop-up menu.
        QTest::mouseDClick(searchDir, Qt::LeftButton);
        QVERIFY(m_rig->dialogs.folderTitles.isEmpty());
        QContextMenuEvent context(QContextMenuEvent::Mouse, QPoint(3, 3),
                                  searchDir->mapToGlobal(QPoint(3, 3)));
        QCoreApplication::sendEvent(searchDir, &context);
        QVERIFY(!scanPathMenu->isVisible());
        // The main menu's commands still work.
        QVERIFY(m_rig->find<QAction>(QStringLiteral("IFAdd1"))->isEnabled());
        QVERIFY(m_rig->find<QAction>(QStringLiteral("DirAdd1"))->isEnabled());
        m_rig->dialogs.setNextInput(QStringLiteral("Keep.TXT"));
        m_rig->find<QAction>(QStringLiteral("IFAdd1"))->trigger();
        QCOMPARE(ignoreList->count(), 1);
        QCOMPARE(ignoreList->item(0)->text(), QStringLiteral("keep.txt"));
    });
    m_rig->find<QAction>(QStringLiteral("Vacuola"))->trigger();
    QVERIFY(checked);
    QVERIFY(!window.engine().busy());
    QVERIFY(saveExit->isEnabled());
    QVERIFY(searchDir->isEnabled());
    QVERIFY(ignoreList->isEnabled());
    QCOMPARE(m_rig->find<QAction>(QStringLiteral("Vacuola"))->text(), QStringLiteral("開始(&S)"));
    QVERIFY(!m_rig->work.exists(QStringLiteral("root")));
    QCOMPARE(m_rig->find<QLabel>(QStringLiteral("DelCounter"))->text(), QStringLiteral("3"));
    QAccessibleInterface *counter =
        QAccessible::queryAccessibleInterface(m_rig->find<QLabel>(QStringLiteral("DelCounter")));
    QCOMPARE(counter->text(QAccessible::Value), QStringLiteral("3"));
    QCOMPARE(counter->valueInterface()->currentValue(), QVariant(3));
    // The bar shows the summary at once, although it repaints sparingly during a sweep.
    QCOMPARE(m_rig->find<QLabel>(QStringLiteral("StatusText"))->text(), window.statusText());
    QVERIFY(window.statusText().startsWith(QStringLiteral("検索終了")));
}

void WindowSweepTest::sweepOfAFolderAddedThroughTheBrowser()
{
    // The whole road on the real controls: the folder browser, the check list
    // read live by the sweep, the start action.
    m_rig->work.createFile(QStringLiteral("root/thumbs/Thumbs.DB"));
    m_rig->work.createFile(QStringLiteral("root/unchecked/keep.me"));
    m_rig->work.createDir(QStringLiteral("root/empty"));
    m_rig->dialogs.setNextFolder(m_rig->work.absolute(QStringLiteral("root")));
    m_rig->find<QAction>(QStringLiteral("DirAdd1"))->trigger();
    QCOMPARE(m_rig->dialogs.folderTitles, QStringList{QStringLiteral("検索フォルダを指定")});
    m_rig->window->managementFiles().AddIgnoreFile(QStringLiteral("thumbs.db"));
    m_rig->window->managementFiles().AddIgnoreFile(QStringLiteral("keep.me"));
    auto *ignoreList = m_rig->find<QListWidget>(QStringLiteral("IgnoreList"));
    QCOMPARE(ignoreList->item(0)->text(), QStringLiteral("keep.me"));
    ignoreList->item(0)->setCheckState(Qt::Unchecked);

    m_rig->find<QAction>(QStringLiteral("Vacuola1"))->trigger();
    QCOMPARE(m_rig->work.tree(), (QStringList{QStringLiteral("root/"), QStringLiteral("root/unchecked/"),
                                              QStringLiteral("root/unchecked/keep.me")}));
    QCOMPARE(m_rig->window->statusText(), QStringLiteral("検索終了 2件削除しました"));

    // 元に戻す asks once, then makes the folders again; the file deleted for good stays gone.
    auto *undo = m_rig->find<QAction>(QStringLiteral("Undo"));
    QVERIFY(undo->isEnabled());
    m_rig->dialogs.setNextAnswer(Answer::Yes);
    // While the folders are made again the window answers, its lists locked as during a sweep.
    QStringList duringUndo;
    runQueued(m_rig->window.get(), [&] {
        duringUndo << m_rig->window->statusText()
                   << QString::number(m_rig->find<QAction>(QStringLiteral("Vacuola1"))->isEnabled())
                   << QString::number(undo->isEnabled()) << QString::number(ignoreList->isEnabled());
    });
    undo->trigger();
    QCOMPARE(duringUndo, QStringList({QStringLiteral("元に戻しています"), QStringLiteral("0"),
                                      QStringLiteral("0"), QStringLiteral("0")}));
    QCOMPARE(m_rig->dialogs.questions.size(), 1);
    QVERIFY(m_rig->dialogs.questions[0].startsWith(
        QStringLiteral("次の削除を元に戻しますか？\r\r検索フォルダ\t") +
        m_rig->work.absolute(QStringLiteral("root")) + QStringLiteral("\r\n開始日時\t")));
    QVERIFY(m_rig->dialogs.questions[0].endsWith(QStringLiteral("\r\n削除件数\t2件")));
    QCOMPARE(
        m_rig->work.tree(),
        (QStringList{QStringLiteral("root/"), QStringLiteral("root/empty/"), QStringLiteral("root/thumbs/"),
                     QStringLiteral("root/unchecked/"), QStringLiteral("root/unchecked/keep.me")}));
    QCOMPARE(m_rig->window->statusText(), QStringLiteral("元に戻しました 復元2件、復元できず1件"));
    QVERIFY(!undo->isEnabled());
}

void WindowSweepTest::stopRequestDisablesStartUntilReturn()
{
    for (int i = 0; i < 5; ++i)
        m_rig->work.createDir(QStringLiteral("root/d%1/e").arg(i));
    registerFolder(m_rig->work.absolute(QStringLiteral("root")));
    TForm1 &window = *m_rig->window;
    auto *start = m_rig->find<QAction>(QStringLiteral("Vacuola"));
    // Every change of the action's enabled state after the stop request, with its caption then.
    bool stopped = false;
    QStringList changes;
    connect(start, &QAction::enabledChanged, this, [&](bool enabled) {
        if (stopped)
            changes << (enabled ? QStringLiteral("on ") : QStringLiteral("off ")) + start->text();
    });
    runQueued(&window, [&] {
        start->trigger(); // a stop request from inside the sweep's pump
        stopped = true;
        QVERIFY(!start->isEnabled());
        QCOMPARE(window.statusText(), QStringLiteral("中止処理中"));
        QVERIFY(window.engine().busy());
    });
    start->trigger();
    QVERIFY(!window.engine().busy());
    QVERIFY(start->isEnabled());
    QVERIFY(window.statusText().startsWith(QStringLiteral("検索中止")));
    QVERIFY(m_rig->work.exists(QStringLiteral("root")));
    // Disabled all the while the sweep wound down, enabled again once it had ended.
    QCOMPARE(changes, QStringList{QStringLiteral("on 開始(&S)")});
}

void WindowSweepTest::logWriteFailureIsReportedAndUnlocks()
{
    m_rig->work.createDir(QStringLiteral("root/a"));
    registerFolder(m_rig->work.absolute(QStringLiteral("root")));
    m_rig->fileSystem.failAll(FsOp::AppendToFile, ENOSPC);
    m_rig->find<QAction>(QStringLiteral("Vacuola"))->trigger();
    // A full disk takes the journal too: the sweep is told to be beyond undoing, then the log fails.
    QCOMPARE(m_rig->dialogs.errorReports.size(), 2);
    QVERIFY(m_rig->dialogs.errorReports.constFirst().startsWith(
        QStringLiteral("元に戻すための記録を書けませんでした。この削除は元に戻せません: ")));
    QVERIFY(m_rig->dialogs.errorReports.constLast().endsWith(QLatin1Char('.')));
    QVERIFY(!m_rig->window->engine().busy());
    QVERIFY(m_rig->find<QAction>(QStringLiteral("SaveExit"))->isEnabled());
    QVERIFY(m_rig->find<QComboBox>(QStringLiteral("SearchDir"))->isEnabled());
    QVERIFY(m_rig->find<QListWidget>(QStringLiteral("IgnoreList"))->isEnabled());
    QCOMPARE(m_rig->find<QAction>(QStringLiteral("Vacuola"))->text(), QStringLiteral("開始(&S)"));
}

void WindowSweepTest::readOnlyQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<QString>("summary");
    QTest::newRow("yes removes") << int(Answer::Yes) << true << QStringLiteral("検索終了");
    QTest::newRow("no keeps") << int(Answer::No) << false << QStringLiteral("検索終了");
    QTest::newRow("cancel stops") << int(Answer::Cancel) << false << QStringLiteral("検索中止");
}

void WindowSweepTest::readOnlyQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, removed);
    QFETCH(QString, summary);
    m_rig->work.createDir(QStringLiteral("root/keep.d"));
    m_rig->work.createFile(QStringLiteral("root/file.txt"));
    m_rig->work.createDir(QStringLiteral("root/ro"));
    m_rig->work.setReadOnly(QStringLiteral("root/ro"), true);
    m_rig->work.createFile(QStringLiteral("root/keep.d/x"));
    registerFolder(m_rig->work.absolute(QStringLiteral("root")));
    m_rig->dialogs.setNextAnswer(Answer(answer));
    m_rig->find<QAction>(QStringLiteral("Vacuola"))->trigger();
    QCOMPARE(m_rig->dialogs.questions.size(), 1);
    QCOMPARE(m_rig->work.exists(QStringLiteral("root/ro")), !removed);
    QVERIFY2(m_rig->window->statusText().startsWith(summary), qPrintable(m_rig->window->statusText()));
    if (!removed)
        m_rig->work.setReadOnly(QStringLiteral("root/ro"), false);
}

void WindowSweepTest::previewThenAnswer_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("削除開始") << QStringLiteral("start");
    QTest::newRow("閉じる") << QStringLiteral("close");
    QTest::newRow("中止 during the preview") << QStringLiteral("stop");
    QTest::newRow("削除開始 with a/b unticked by Space") << QStringLiteral("untick");
    QTest::newRow("削除開始 after 除外に追加 of t") << QStringLiteral("exclude");
    QTest::newRow("削除開始 with a chain's 30th level unticked by the arrows") << QStringLiteral("deep");
}

// The preview runs like a sweep (stoppable, the item disabled meanwhile), lists
// without touching anything, and 削除開始 then sweeps what it listed.
void WindowSweepTest::previewThenAnswer()
{
    QFETCH(QString, answer);
    const bool deep = answer == QLatin1String("deep");
    const QString chain = QStringLiteral("root/a/b") + (deep ? QStringLiteral("/c").repeated(28) : QString());
    m_rig->work.createDir(chain);
    m_rig->work.createFile(QStringLiteral("root/t/Thumbs.db"));
    m_rig->work.createFile(QStringLiteral("root/keep/x.txt"));
    const QString root = m_rig->work.absolute(QStringLiteral("root"));
    registerFolder(root);
    m_rig->window->managementFiles().AddIgnoreFile(QStringLiteral("thumbs.db"));
    const QStringList before = m_rig->work.tree();
    auto *preview = m_rig->find<QAction>(QStringLiteral("Preview"));
    auto *start = m_rig->find<QAction>(QStringLiteral("Vacuola"));
    QVERIFY(preview->isEnabled());
    bool checked = false;
    runQueued(m_rig->window.get(), [&] {
        checked = true;
        QVERIFY(!preview->isEnabled());
        QCOMPARE(start->text(), QStringLiteral("中止(&P)"));
        QVERIFY(!m_rig->find<QComboBox>(QStringLiteral("SearchDir"))->isEnabled());
        if (answer == QLatin1String("stop"))
            start->trigger();
    });
    const bool untick = answer == QLatin1String("untick");
    const bool exclude = answer == QLatin1String("exclude");
    m_rig->dialogs.previewStarts = answer == QLatin1String("start") || untick || exclude || deep;
    QString ticked;
    if (deep) {
        // Down from the swept folder, past the box's width.
        m_rig->dialogs.previewScript = [&](PreviewDialog &box) {
            for (int i = 0; i < 30; ++i)
                QTest::keyClick(box.view(), Qt::Key_Down);
            QTest::keyClick(box.view(), Qt::Key_Space);
            ticked = box.findChild<QLabel *>(QStringLiteral("PreviewCount"))->text();
        };
    }
    if (untick || exclude) {
        m_rig->dialogs.previewScript = [&](PreviewDialog &box) {
            box.view()->setCurrentIndex(
                box.tree().find(root + (untick ? QStringLiteral("/a/b") : QStringLiteral("/t"))));
            if (untick)
                QTest::keyClick(box.view(), Qt::Key_Space);
            else
                box.findChild<QPushButton *>(QStringLiteral("PreviewExclude"))->click();
            ticked = box.findChild<QLabel *>(QStringLiteral("PreviewCount"))->text();
        };
    }
    preview->trigger();
    QVERIFY(checked);

    QVERIFY(start->isEnabled());
    QCOMPARE(start->text(), QStringLiteral("開始(&S)"));
    QCOMPARE(preview->isEnabled(), start->isEnabled());
    if (answer == QLatin1String("stop")) {
        QVERIFY(m_rig->dialogs.previews.isEmpty());
        QVERIFY(m_rig->window->statusText().startsWith(QStringLiteral("確認中止 ")));
        QCOMPARE(m_rig->work.tree(), before);
        return;
    }
    QCOMPARE(m_rig->dialogs.previews.size(), 1);
    if (deep) {
        QCOMPARE(m_rig->dialogs.previews.first().first(), QStringLiteral("確認終了 31件削除予定"));
        QCOMPARE(ticked, QStringLiteral("削除するフォルダ 1件 / 31件"));
        QCOMPARE(m_rig->window->statusText(), QStringLiteral("検索終了 1件削除しました"));
        QVERIFY(m_rig->work.exists(chain));
        QVERIFY(!m_rig->work.exists(QStringLiteral("root/t")));
        return;
    }
    QStringList shown = m_rig->dialogs.previews.first();
    QCOMPARE(shown.takeFirst(), QStringLiteral("確認終了 3件削除予定"));
    QCOMPARE(shown.last(), root + QStringLiteral("/a"));
    shown.sort();
    QCOMPARE(shown, QStringList({root + QStringLiteral("/a"), root + QStringLiteral("/a/b"),
                                 root + QStringLiteral("/t - 0")}));
    if (untick) {
        // a/b stays, and a with it; t goes.
        QCOMPARE(ticked, QStringLiteral("削除するフォルダ 1件 / 3件"));
        QCOMPARE(m_rig->window->statusText(), QStringLiteral("検索終了 1件削除しました"));
        QCOMPARE(m_rig->work.tree(),
                 QStringList({QStringLiteral("root/"), QStringLiteral("root/a/"), QStringLiteral("root/a/b/"),
                              QStringLiteral("root/keep/"), QStringLiteral("root/keep/x.txt")}));
        return;
    }
    if (exclude) {
        QCOMPARE(ticked, QStringLiteral("削除するフォルダ 2件 / 3件"));
        QCOMPARE(m_rig->work.tree(),
                 QStringList({QStringLiteral("root/"), QStringLiteral("root/keep/"),
                              QStringLiteral("root/keep/x.txt"), QStringLiteral("root/t/"),
                              QStringLiteral("root/t/Thumbs.db")}));
        m_rig->close();
        const QString saved = Cp932::decode(readTestFile(m_rig->settingsPath()));
        QVERIFY2(saved.endsWith(QStringLiteral("除外フォルダ10=") + root + QStringLiteral("/t\r\n")),
                 qPrintable(saved));
        return;
    }
    QCOMPARE(m_rig->find<QLabel>(QStringLiteral("DelCounter"))->text(),
             answer == QLatin1String("start") ? QStringLiteral("3") : QStringLiteral("0"));
    if (answer == QLatin1String("start")) {
        QCOMPARE(m_rig->window->statusText(), QStringLiteral("検索終了 3件削除しました"));
        QCOMPARE(m_rig->work.tree(), QStringList({QStringLiteral("root/"), QStringLiteral("root/keep/"),
                                                  QStringLiteral("root/keep/x.txt")}));
    } else {
        QCOMPARE(m_rig->window->statusText(), QStringLiteral("確認終了 3件削除予定"));
        QCOMPARE(m_rig->work.tree(), before);
    }
}

void WindowSweepTest::closeDuringSweepClosesAfterReturn()
{
    for (int i = 0; i < 5; ++i)
        m_rig->work.createDir(QStringLiteral("root/d%1/e").arg(i));
    registerFolder(m_rig->work.absolute(QStringLiteral("root")));
    TForm1 &window = *m_rig->window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bool stillOpen = false;
    runQueued(&window, [&] {
        QVERIFY(!window.close()); // refused for now, but the stop is requested
        stillOpen = window.isVisible();
        QVERIFY(!window.engine().running());
    });
    m_rig->find<QAction>(QStringLiteral("Vacuola"))->trigger();
    QVERIFY(stillOpen);
    QVERIFY(!window.isVisible());
    // The settings are written when the window goes, after the sweep.
    QFile::remove(m_rig->settingsPath());
    m_rig->close();
    QVERIFY(QFileInfo::exists(m_rig->settingsPath()));
}

void WindowSweepTest::settingsWriteFailureShowsErrorBox()
{
    m_rig->fileSystem.failAll(FsOp::ReplaceFile, ENOSPC);
    m_rig->close();
    QCOMPARE(m_rig->dialogs.errorReports,
             QStringList{m_rig->settingsPath() + QStringLiteral(" に書き込めません.")});
}

// 設定 → 除外フォルダ: refusals show in the dialog, キャンセル changes nothing,
// OK keeps the edited list, the sweep keeps what it names and the settings carry it.
void WindowSweepTest::exclusionListFromItsDialog()
{
    m_rig->work.createDir(QStringLiteral("root/build1/x"));
    m_rig->work.createDir(QStringLiteral("root/.svn"));
    m_rig->work.createDir(QStringLiteral("root/a"));
    registerFolder(m_rig->work.absolute(QStringLiteral("root")));
    QStringList messages;
    const auto click = [](ExclusionDialog &dialog, const char *name) {
        dialog.findChild<QPushButton *>(QLatin1String(name))->click();
    };
    m_rig->dialogs.exclusionScript = [&](ExclusionDialog &dialog) {
        for (const QString &typed : {QString(), QStringLiteral(".git"), QStringLiteral("caf\u00e9"),
                                     QStringLiteral("a/b"), QStringLiteral("build*/")}) {
            m_rig->dialogs.setNextInput(typed);
            click(dialog, "ExclusionAdd");
            messages << dialog.message();
        }
        dialog.findChild<QListWidget *>(QStringLiteral("ExclusionList"))->setCurrentRow(2);
        click(dialog, "ExclusionDelete");
        click(dialog, "ExclusionOk");
    };
    m_rig->find<QAction>(QStringLiteral("Exclusions"))->trigger();
    QCOMPARE(messages, QStringList({QStringLiteral("除外フォルダを入力して下さい"),
                                    QStringLiteral("入力された除外フォルダは既に登録済みです"),
                                    QStringLiteral("処理できない除外フォルダです caf\u00e9"),
                                    QStringLiteral("除外フォルダには名前か / で始まるパスを入力して下さい"),
                                    QString()}));
    m_rig->dialogs.exclusionScript = [&](ExclusionDialog &dialog) {
        click(dialog, "ExclusionDefaults");
        click(dialog, "ExclusionCancel");
    };
    m_rig->find<QAction>(QStringLiteral("Exclusions"))->trigger();

    m_rig->find<QAction>(QStringLiteral("Vacuola"))->trigger();
    QCOMPARE(m_rig->window->statusText(), QStringLiteral("検索終了 2件削除しました"));
    QCOMPARE(m_rig->work.tree(), QStringList({QStringLiteral("root/"), QStringLiteral("root/build1/"),
                                              QStringLiteral("root/build1/x/")}));
    m_rig->close();
    const QString saved = Cp932::decode(readTestFile(m_rig->settingsPath()));
    QVERIFY(
        saved.endsWith(QStringLiteral("[除外フォルダ]\r\n除外フォルダ数=9\r\n除外フォルダ1=.git\r\n"
                                      "除外フォルダ2=.hg\r\n除外フォルダ3=.bzr\r\n除外フォルダ4=_darcs\r\n"
                                      "除外フォルダ5=CVS\r\n除外フォルダ6=lost+found\r\n"
                                      "除外フォルダ7=.Trash\r\n除外フォルダ8=.Trash-*\r\n"
                                      "除外フォルダ9=build*\r\n")));
}

} // namespace Vacuola::Test

QTEST_MAIN(Vacuola::Test::WindowSweepTest)
#include "tst_windowsweep.moc"
