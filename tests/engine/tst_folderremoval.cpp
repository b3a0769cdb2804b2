#include "tests/engine/EngineRig.h"
#include "tests/support/TestHelpers.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <unistd.h>

namespace Vacuola::Test {

class FolderRemovalTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    // Management files
    void deletedIndexesInSuffix_data();
    void deletedIndexesInSuffix();
    void everySpellingOfANameIsDeleted();
    void managementFileThatIsNotARegularFile();
    void managementDeleteFails();
    void managementFileGoneOrHalfDeleted();
    void uncheckedDuringSweepAppliesToNextFolder();

    // Removing the folder
    void removalFails_data();
    void removalFails();
    void fileCreatedAfterListing();
    void managementFileCreatedDuringQuestion();
    void changedWhileWaiting_data();
    void changedWhileWaiting();
    void nonStopSuppressesBoxesOnly();
    void log0KeepsCounting();
    void controlCharactersCannotBreakALogLine();
};

void FolderRemovalTest::init()
{
    useJapaneseLocale();
}

void FolderRemovalTest::deletedIndexesInSuffix_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("suffix");
    // "off", "on" (the trash of a scratch home), "EXDEV" (no trash there), "shm" (a file system in memory)
    QTest::addColumn<QString>("trash");

    const QString off = QStringLiteral("off");
    QTest::newRow("read-only, indexes 0 and 2")
        << true << QStringList{QStringLiteral("a.db"), QStringLiteral("C.DB")} << QStringLiteral(" - R,0,2")
        << off;
    QTest::newRow("index 1 only") << false << QStringList{QStringLiteral("b.db")} << QStringLiteral(" - 1")
                                  << off;
    QTest::newRow("nothing done") << false << QStringList{} << QString() << off;
    QTest::newRow("read-only only") << true << QStringList{} << QStringLiteral(" - R") << off;
    QTest::newRow("unchecked name is not deleted")
        << false << QStringList{QStringLiteral("a.db"), QStringLiteral("d.db")} << QStringLiteral("keeps")
        << off;
    // The log reads the same whether the files went to the trash or for good.
    QTest::newRow("to the trash, a name taken there")
        << true << QStringList{QStringLiteral("a.db"), QStringLiteral("C.DB"), QStringLiteral("e f.db")}
        << QStringLiteral(" - R,0,2,4") << QStringLiteral("on");
    QTest::newRow("no trash on that file system: deleted")
        << false << QStringList{QStringLiteral("b.db")} << QStringLiteral(" - 1") << QStringLiteral("EXDEV");
    QTest::newRow("no trash on a file system in memory: deleted")
        << false << QStringList{QStringLiteral("b.db")} << QStringLiteral(" - 1") << QStringLiteral("shm");
}

void FolderRemovalTest::deletedIndexesInSuffix()
{
    QFETCH(bool, readOnly);
    QFETCH(QStringList, present);
    QFETCH(QString, suffix);
    QFETCH(QString, trash);

    EngineRig rig;
    rig.checkNames(
        {QStringLiteral("a.db"), QStringLiteral("b.db"), QStringLiteral("c.db"), QStringLiteral("e f.db")});
    rig.files.add(QStringLiteral("d.db"), false);
    rig.window.setMarked(OptionMark::MoveToTrash, trash != QLatin1String("off"));
    rig.clock.set(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)));
    qputenv("XDG_DATA_HOME", rig.area.absolute(QStringLiteral("data")).toUtf8());
    rig.area.createFile(QStringLiteral("data/Trash/info/a.db.trashinfo"), "taken");
    QTemporaryDir shm(QStringLiteral("/dev/shm/vacuola-XXXXXX"));
    if (trash == QLatin1String("shm")) {
        if (!shm.isValid() ||
            rig.fs.folderIdentity(shm.path()).device == rig.fs.folderIdentity(rig.root()).device)
            QSKIP("no file system in memory at /dev/shm beside the scratch folder");
        QVERIFY(QDir().rmdir(rig.root()) && QFile::link(shm.path(), rig.root()));
    }
    if (trash == QLatin1String("EXDEV"))
        rig.fs.fail(FsOp::TrashInFolder, rig.at(QStringLiteral("f/b.db")), EXDEV);
    QStringList went;
    rig.engine.setManagementFileObserver(
        [&](const QString &folder, const QString &name, const QString &trashedAs) {
            went << folder + QLatin1Char('|') + name + QLatin1Char('|') + trashedAs;
        });
    rig.area.createDir(QStringLiteral("root/f"));
    rig.area.createFile(QStringLiteral("root/keep"));
    for (const QString &name : present)
        rig.area.createFile(QStringLiteral("root/f/") + name, name.toUtf8());
    if (readOnly)
        rig.area.setReadOnly(QStringLiteral("root/f"), true);
    rig.window.setNextAnswer(Answer::Yes);
    rig.sweep();

    if (suffix == QLatin1String("keeps")) {
        QCOMPARE(rig.rootTree(), (QStringList{QStringLiteral("f/"), QStringLiteral("f/a.db"),
                                              QStringLiteral("f/d.db"), QStringLiteral("keep")}));
        return;
    }
    const QString f = rig.at(QStringLiteral("f"));
    QCOMPARE(folderLines(rig.engine), QStringList{f + suffix});
    QCOMPARE(trash == QLatin1String("shm")
                 ? QDir(shm.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                 : rig.rootTree(),
             QStringList{QStringLiteral("keep")});
    QCOMPARE(rig.window.counter, QStringLiteral("1"));
    if (trash == QLatin1String("on")) {
        const QString bin = rig.area.absolute(QStringLiteral("data/Trash/files/"));
        QCOMPARE(went, (QStringList{f + QStringLiteral("|a.db|") + bin + QStringLiteral("a.db.2"),
                                    f + QStringLiteral("|C.DB|") + bin + QStringLiteral("C.DB"),
                                    f + QStringLiteral("|e f.db|") + bin + QStringLiteral("e f.db")}));
        QCOMPARE(readTestFile(bin + QStringLiteral("a.db.2")), QByteArray("a.db"));
        const QByteArray stamp = "\nDeletionDate=2026-03-04T05:06:07\n";
        const QString info = rig.area.absolute(QStringLiteral("data/Trash/info/"));
        QCOMPARE(readTestFile(info + QStringLiteral("a.db.2.trashinfo")),
                 "[Trash Info]\nPath=" + f.toUtf8() + "/a.db" + stamp);
        QCOMPARE(readTestFile(info + QStringLiteral("e f.db.trashinfo")),
                 "[Trash Info]\nPath=" + f.toUtf8() + "/e%20f.db" + stamp);
        QCOMPARE(
            rig.area.tree().filter(QStringLiteral("data/Trash/")),
            (QStringList{QStringLiteral("data/Trash/"), QStringLiteral("data/Trash/files/"),
                         QStringLiteral("data/Trash/files/C.DB"), QStringLiteral("data/Trash/files/a.db.2"),
                         QStringLiteral("data/Trash/files/e f.db"), QStringLiteral("data/Trash/info/"),
                         QStringLiteral("data/Trash/info/C.DB.trashinfo"),
                         QStringLiteral("data/Trash/info/a.db.2.trashinfo"),
                         QStringLiteral("data/Trash/info/a.db.trashinfo"),
                         QStringLiteral("data/Trash/info/e f.db.trashinfo")}));
    } else {
        QStringList deleted;
        for (const QString &name : present)
            deleted << f + QLatin1Char('|') + name + QLatin1Char('|');
        QCOMPARE(went, deleted);
        QCOMPARE(rig.area.tree().filter(QStringLiteral("data/Trash/files/")), QStringList());
    }
}

void FolderRemovalTest::everySpellingOfANameIsDeleted()
{
    EngineRig rig;
    rig.checkNames({QStringLiteral("thumbs.db")});
    rig.area.createFile(QStringLiteral("root/f/Thumbs.db"));
    rig.area.createFile(QStringLiteral("root/f/thumbs.db"));
    rig.area.createFile(QStringLiteral("root/f/THUMBS.DB"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.sweep();
    QCOMPARE(rig.rootTree(), QStringList{QStringLiteral("keep")});
    QCOMPARE(folderLines(rig.engine), QStringList{rig.at(QStringLiteral("f")) + QStringLiteral(" - 0")});
}

void FolderRemovalTest::managementFileThatIsNotARegularFile()
{
    EngineRig rig;
    rig.checkNames({QStringLiteral("thumbs.db")});
    const QString target = rig.area.createFile(QStringLiteral("elsewhere/thumbs.db"), "keep me");
    rig.area.createSymlink(QStringLiteral("root/f/thumbs.db"), target);
    rig.sweep();
    // A link is content, whatever its name: the folder and the link stay.
    QVERIFY(rig.area.exists(QStringLiteral("root/f/thumbs.db")));
    QVERIFY(rig.area.exists(QStringLiteral("elsewhere/thumbs.db")));
    QCOMPARE(rig.engine.delCount(), 0);
}

void FolderRemovalTest::managementDeleteFails()
{
    EngineRig rig;
    rig.checkNames({QStringLiteral("a.db"), QStringLiteral("b.db"), QStringLiteral("c.db")});
    rig.area.createFile(QStringLiteral("root/f/a.db"));
    rig.area.createFile(QStringLiteral("root/f/B.db"));
    rig.area.createFile(QStringLiteral("root/f/c.db"));
    rig.area.createFile(QStringLiteral("root/keep"));
    const QString path = rig.at(QStringLiteral("f"));
    rig.fs.fail(FsOp::DeleteInFolder, path + QStringLiteral("/B.db"), EACCES);
    rig.sweep();

    // The box and the marker both name the file by the list's name.
    QCOMPARE(rig.window.informations,
             QStringList{QStringLiteral("ファイルの削除をしようとしましたが、エラーが発生しました\r\r\n") +
                         detail(EACCES) + QStringLiteral("ファイル名\t") + path + QStringLiteral("/b.db")});
    QCOMPARE(folderLines(rig.engine), QStringList{path + QStringLiteral(" [ b.db ] ◆ ファイル削除エラー：(") +
                                                  QString::number(EACCES) + QLatin1Char(')') +
                                                  errorMessage(EACCES) + QStringLiteral(" - 0")});
    // a.db went before the failure; c.db was not tried; the folder stays.
    QCOMPARE(rig.rootTree(), (QStringList{QStringLiteral("f/"), QStringLiteral("f/B.db"),
                                          QStringLiteral("f/c.db"), QStringLiteral("keep")}));
    QCOMPARE(rig.engine.errCount(), 1);
    QCOMPARE(rig.window.counter, QStringLiteral("0"));
}

void FolderRemovalTest::managementFileGoneOrHalfDeleted()
{
    // A checked file that vanished before its deletion is passed over like one
    // that never was; of two spellings, one deleted before the other failed
    // still stands in the suffix.
    EngineRig rig;
    rig.checkNames({QStringLiteral("a.db"), QStringLiteral("thumbs.db")});
    rig.area.createFile(QStringLiteral("root/gone/a.db"));
    rig.area.createFile(QStringLiteral("root/half/Thumbs.db"));
    rig.area.createFile(QStringLiteral("root/half/thumbs.db"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.fs.fail(FsOp::DeleteInFolder, rig.at(QStringLiteral("gone/a.db")), ENOENT);
    // Whichever spelling the listing gives second fails.
    const QString half = rig.at(QStringLiteral("half"));
    QStringList order;
    {
        auto tree = systemFileSystem().openTree(half);
        tree->listFolder(
            half,
            [&](const FolderEntry &entry) {
                order << entry.name;
                return true;
            },
            nullptr);
    }
    QCOMPARE(order.size(), 2);
    rig.fs.fail(FsOp::DeleteInFolder, half + QLatin1Char('/') + order.at(1), EBUSY);
    rig.sweep();

    const int thumbs = rig.indexOf(QStringLiteral("thumbs.db"));
    QCOMPARE(folderLines(rig.engine),
             (QStringList{rig.at(QStringLiteral("gone")) + QStringLiteral(" ◆ フォルダ削除エラー：(") +
                              QString::number(ENOTEMPTY) + QLatin1Char(')') + errorMessage(ENOTEMPTY),
                          half + QStringLiteral(" [ thumbs.db ] ◆ ファイル削除エラー：(") +
                              QString::number(EBUSY) + QLatin1Char(')') + errorMessage(EBUSY) +
                              QStringLiteral(" - ") + QString::number(thumbs)}));
    QCOMPARE(rig.window.informations.size(), 2);
    // No box for the vanished file: one for the folder, one for the spelling that failed.
    QCOMPARE(rig.window.informations.filter(QStringLiteral("フォルダを削除しようとしました")).size(), 1);
    QCOMPARE(rig.window.informations.filter(QStringLiteral("ファイルの削除をしようとしました")).size(), 1);
    QCOMPARE(rig.rootTree(),
             (QStringList{QStringLiteral("gone/"), QStringLiteral("gone/a.db"), QStringLiteral("half/"),
                          QStringLiteral("half/") + order.at(1), QStringLiteral("keep")}));
}

void FolderRemovalTest::uncheckedDuringSweepAppliesToNextFolder()
{
    EngineRig rig;
    rig.checkNames({QStringLiteral("thumbs.db")});
    rig.area.createFile(QStringLiteral("root/f/thumbs.db"));
    rig.area.createFile(QStringLiteral("root/keep"));
    // Unchecked before f is listed.
    rig.window.onPump = [&] {
        if (!rig.window.statusHistory.contains(rig.at(QStringLiteral("f"))))
            rig.files.setChecked(0, false);
    };
    rig.sweep();
    QVERIFY(rig.area.exists(QStringLiteral("root/f/thumbs.db")));
    QCOMPARE(rig.engine.delCount(), 0);
}

void FolderRemovalTest::removalFails_data()
{
    QTest::addColumn<int>("error");
    QTest::newRow("busy") << int(EBUSY);
    QTest::newRow("access denied") << int(EACCES);
    QTest::newRow("number without a name") << 1234;
}

void FolderRemovalTest::removalFails()
{
    QFETCH(int, error);
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a/b"));
    const QString path = rig.at(QStringLiteral("a/b"));
    rig.fs.fail(FsOp::RemoveFolder, path, error);
    rig.sweep();

    QCOMPARE(rig.window.informations,
             QStringList{QStringLiteral("フォルダを削除しようとしましたが、エラーが発生しました\r\r\n") +
                         detail(error) + QStringLiteral("フォルダ名\t") + path});
    // The parent keeps a subfolder and gets no line of its own.
    QCOMPARE(folderLines(rig.engine),
             QStringList{path + QStringLiteral(" ◆ フォルダ削除エラー：(") + QString::number(error) +
                         QLatin1Char(')') + errorMessage(error)});
    QCOMPARE(rig.rootTree(), (QStringList{QStringLiteral("a/"), QStringLiteral("a/b/")}));
    QCOMPARE(rig.engine.errCount(), 1);
    QCOMPARE(rig.engine.delCount(), 0);
    QCOMPARE(rig.window.status, QStringLiteral("検索終了 削除0件、エラー1件"));
}

void FolderRemovalTest::fileCreatedAfterListing()
{
    EngineRig rig;
    rig.checkNames({QStringLiteral("desktop.ini"), QStringLiteral("thumbs.db")});
    rig.area.createFile(QStringLiteral("root/f/thumbs.db"));
    rig.area.createFile(QStringLiteral("root/keep"));
    bool created = false;
    rig.window.onPump = [&] {
        // The pump between the management files and the folder itself.
        if (!created && rig.area.exists(QStringLiteral("root/f")) &&
            !rig.area.exists(QStringLiteral("root/f/thumbs.db"))) {
            created = true;
            rig.area.createFile(QStringLiteral("root/f/new.txt"), "late");
        }
    };
    rig.sweep();
    QVERIFY(created);
    const QString path = rig.at(QStringLiteral("f"));
    QCOMPARE(folderLines(rig.engine),
             QStringList{path + QStringLiteral(" ◆ フォルダ削除エラー：(") + QString::number(ENOTEMPTY) +
                         QLatin1Char(')') + errorMessage(ENOTEMPTY) + QStringLiteral(" - ") +
                         QString::number(rig.indexOf(QStringLiteral("thumbs.db")))});
    QCOMPARE(rig.rootTree(),
             (QStringList{QStringLiteral("f/"), QStringLiteral("f/new.txt"), QStringLiteral("keep")}));
}

void FolderRemovalTest::managementFileCreatedDuringQuestion()
{
    // The question runs the event loop, so what the listing saw is stale after it:
    // a management file that appeared meanwhile is still deleted with the folder.
    EngineRig rig;
    rig.checkNames({QStringLiteral("thumbs.db")});
    rig.area.createDir(QStringLiteral("root/ro"));
    rig.area.setReadOnly(QStringLiteral("root/ro"), true);
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.window.whileOpen = [&] {
        rig.area.createFile(QStringLiteral("root/ro/Thumbs.db"));
    };
    rig.window.setNextAnswer(Answer::Yes);
    rig.sweep();
    QCOMPARE(rig.window.questions.size(), 1);
    QCOMPARE(folderLines(rig.engine), QStringList{rig.at(QStringLiteral("ro")) + QStringLiteral(" - R,") +
                                                  QString::number(rig.indexOf(QStringLiteral("thumbs.db")))});
    QCOMPARE(rig.rootTree(), QStringList{QStringLiteral("keep")});
}

void FolderRemovalTest::changedWhileWaiting_data()
{
    QTest::addColumn<QString>("made");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("tree");
    QTest::newRow("file: a removal failure")
        << QStringLiteral("a/new.txt")
        << QStringList{QStringLiteral("a ◆ フォルダ削除エラー：(39)Directory not empty"),
                       QStringLiteral("a/b")}
        << QStringList{QStringLiteral("a/"), QStringLiteral("a/new.txt")};
    QTest::newRow("subfolder: kept silently") << QStringLiteral("a/c/") << QStringList{QStringLiteral("a/b")}
                                              << QStringList{QStringLiteral("a/"), QStringLiteral("a/c/")};
}

void FolderRemovalTest::changedWhileWaiting()
{
    // Something comes into a waiting folder once its only subfolder is gone.
    QFETCH(QString, made);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, tree);
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a/b"));
    rig.window.onPump = [&] {
        if (!rig.area.exists(QStringLiteral("root/a/b")) && rig.area.exists(QStringLiteral("root/a")) &&
            !rig.area.exists(QStringLiteral("root/") + made)) {
            if (made.endsWith(QLatin1Char('/')))
                rig.area.createDir(QStringLiteral("root/") + made);
            else
                rig.area.createFile(QStringLiteral("root/") + made, "late");
        }
    };
    rig.sweep();
    QStringList expected;
    for (const QString &line : std::as_const(lines))
        expected << rig.at(line);
    QCOMPARE(folderLines(rig.engine), expected);
    QCOMPARE(rig.rootTree(), tree);
}

void FolderRemovalTest::nonStopSuppressesBoxesOnly()
{
    EngineRig rig;
    rig.window.setMarked(OptionMark::NonStop, true);
    rig.area.createDir(QStringLiteral("root/a"));
    rig.area.createDir(QStringLiteral("root/b"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.fs.fail(FsOp::RemoveFolder, rig.at(QStringLiteral("a")), EBUSY);
    rig.fs.fail(FsOp::RemoveFolder, rig.at(QStringLiteral("b")), EIO);
    rig.sweep();
    QVERIFY(rig.window.informations.isEmpty());
    QCOMPARE(rig.window.foregrounds, 2);
    QCOMPARE(rig.engine.errCount(), 2);
    QCOMPARE(folderLines(rig.engine).size(), 2);
}

void FolderRemovalTest::log0KeepsCounting()
{
    EngineRig rig;
    rig.window.setMarked(OptionMark::Log0, true);
    rig.area.createDir(QStringLiteral("root/a"));
    rig.area.createDir(QStringLiteral("root/b"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.fs.fail(FsOp::RemoveFolder, rig.at(QStringLiteral("b")), EBUSY);
    rig.sweep();
    QVERIFY(rig.engine.logList().isEmpty());
    QCOMPARE(rig.engine.delCount(), 1);
    QCOMPARE(rig.engine.errCount(), 1);
    QCOMPARE(rig.window.counter, QStringLiteral("1"));
    QVERIFY(rig.logBytes(rig.clock.now().date()).isEmpty());
}

void FolderRemovalTest::controlCharactersCannotBreakALogLine()
{
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a\r\nforged\tline"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.sweep();
    QVERIFY(!rig.area.exists(QStringLiteral("root/a\r\nforged\tline")));
    QCOMPARE(folderLines(rig.engine), QStringList{rig.root() + QStringLiteral("/a??forged?line")});
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::FolderRemovalTest)
#include "tst_folderremoval.moc"
