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

class ReadOnlyFoldersTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void readOnlyAnswers_data();
    void readOnlyAnswers();
    void unreadableAttributes_data();
    void unreadableAttributes();
    void clearingFails();
    void readOnlyFolderInTheSecondPhase();
};

void ReadOnlyFoldersTest::init()
{
    useJapaneseLocale();
}

void ReadOnlyFoldersTest::readOnlyAnswers_data()
{
    QTest::addColumn<bool>("disableReadOnly");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QStringList>("inside"); // made in the read-only folder ro
    QTest::addColumn<bool>("asUser");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("lines"); // relative to the swept folder, "" for itself
    QTest::addColumn<QString>("summary");

    const QStringList none;
    const QStringList gone{QString(), QStringLiteral("ro - R")};
    const QStringList kept{QStringLiteral("ro/")};
    QTest::newRow("yes") << false << Answer::Yes << none << false << none << gone
                         << QStringLiteral("検索終了 2件削除しました");
    QTest::newRow("no") << false << Answer::No << none << false << kept << none
                        << QStringLiteral("検索終了 0件削除しました");
    QTest::newRow("cancel") << false << Answer::Cancel << none << false << kept << none
                            << QStringLiteral("検索中止 0件削除しました");
    QTest::newRow("no question with DisableReadOnly")
        << true << Answer::No << none << false << none << gone << QStringLiteral("検索終了 2件削除しました");
    // Asked before anything inside goes; No keeps it all; a folder that keeps content gets its mode back.
    const QStringList two{QStringLiteral("x/"), QStringLiteral("y/")};
    for (const bool user : {false, true}) {
        QTest::addRow("holding folders, yes%s", user ? ", as a user" : "")
            << false << Answer::Yes << two << user << none
            << QStringList{QString(), QStringLiteral("ro - R"), QStringLiteral("ro/x"),
                           QStringLiteral("ro/y")}
            << QStringLiteral("検索終了 4件削除しました");
        QTest::addRow("holding folders, no%s", user ? ", as a user" : "")
            << false << Answer::No << two << user
            << QStringList{QStringLiteral("ro/"), QStringLiteral("ro/x/"), QStringLiteral("ro/y/")} << none
            << QStringLiteral("検索終了 0件削除しました");
        QTest::addRow("holding a file, yes%s", user ? ", as a user" : "")
            << false << Answer::Yes << QStringList{QStringLiteral("x/"), QStringLiteral("file")} << user
            << QStringList{QStringLiteral("ro/"), QStringLiteral("ro/file")}
            << QStringList{QStringLiteral("ro/x")} << QStringLiteral("検索終了 1件削除しました");
    }
}

void ReadOnlyFoldersTest::readOnlyAnswers()
{
    QFETCH(bool, disableReadOnly);
    QFETCH(Answer, answer);
    QFETCH(QStringList, inside);
    QFETCH(bool, asUser);
    QFETCH(QStringList, after);
    QFETCH(QStringList, lines);
    QFETCH(QString, summary);

    EngineRig rig;
    rig.window.setMarked(OptionMark::DisableReadOnly, disableReadOnly);
    rig.window.setNextAnswer(answer);
    rig.area.createDir(QStringLiteral("root/ro"));
    for (const QString &entry : inside) {
        const QString made = QStringLiteral("root/ro/") + entry;
        entry.endsWith(u'/') ? rig.area.createDir(made) : rig.area.createFile(made);
    }
    rig.area.setReadOnly(QStringLiteral("root/ro"), true);
    if (asUser && !actAsNobody({rig.area.absolute(), rig.program.absolute()}))
        QSKIP("acting as an ordinary user needs root");
    rig.sweep();
    if (asUser)
        QCOMPARE(::seteuid(0), 0);

    const QString path = rig.at(QStringLiteral("ro"));
    if (disableReadOnly) {
        QVERIFY(rig.window.questions.isEmpty());
    } else {
        QCOMPARE(rig.window.questions,
                 QStringList{QStringLiteral("読取専用属性の付いたフォルダを検出しました\r\r") + path +
                             QStringLiteral("\r属性を解除して削除しますか？")});
    }
    QCOMPARE(rig.rootTree(), after);
    QCOMPARE(rig.area.exists(QStringLiteral("root")), !lines.contains(QString()));
    // A folder that stays has the mode it had.
    if (!after.isEmpty())
        QVERIFY(!(QFile::permissions(path) & QFileDevice::WriteOwner));
    QCOMPARE(rig.window.status, summary);
    QCOMPARE(rig.engine.errCount(), 0);
    QStringList expected;
    for (const QString &line : lines)
        expected << rig.at(line);
    QCOMPARE(folderLines(rig.engine), expected);
    // An early return does not refresh the counter.
    if (lines.isEmpty())
        QCOMPARE(rig.window.events.count(QStringLiteral("counter:0")), 1);
    if (answer == Answer::Cancel)
        QVERIFY(rig.window.statusHistory.contains(QStringLiteral("中止処理中")));
}

void ReadOnlyFoldersTest::unreadableAttributes_data()
{
    QTest::addColumn<bool>("disableReadOnly");
    QTest::addColumn<QString>("unreadable");
    QTest::newRow("question asked, Yes") << false << QStringLiteral("p/a");
    QTest::newRow("DisableReadOnly") << true << QStringLiteral("p/a");
    // The parent's mode is needed first: it fails, and only the parent is reported.
    QTest::newRow("the parent's, Yes") << false << QStringLiteral("p");
}

void ReadOnlyFoldersTest::unreadableAttributes()
{
    QFETCH(bool, disableReadOnly);
    QFETCH(QString, unreadable);
    EngineRig rig;
    rig.window.setMarked(OptionMark::DisableReadOnly, disableReadOnly);
    rig.checkNames({QStringLiteral("thumbs.db")});
    rig.area.createFile(QStringLiteral("root/p/a/thumbs.db"));
    rig.area.createFile(QStringLiteral("root/keep"));
    const QString path = rig.at(unreadable);
    rig.fs.fail(FsOp::FolderReadOnly, path, EIO);
    rig.window.setNextAnswer(Answer::Yes);
    rig.sweep();

    QCOMPARE(rig.window.questions.size(), disableReadOnly ? 0 : 1);
    QCOMPARE(
        rig.window.informations,
        QStringList{QStringLiteral("フォルダの属性を変更しようとしましたが、エラーが発生しました\r\r\n") +
                    detail(EIO) + QStringLiteral("フォルダ名\t") + path});
    QCOMPARE(folderLines(rig.engine),
             QStringList{path + QStringLiteral(" ◆ 属性変更エラー：(") + QString::number(EIO) +
                         QLatin1Char(')') + errorMessage(EIO)});
    // Nothing was done to the folder.
    QVERIFY(rig.area.exists(QStringLiteral("root/p/a/thumbs.db")));
    QCOMPARE(rig.engine.errCount(), 1);
    QCOMPARE(rig.window.status, QStringLiteral("検索終了 削除0件、エラー1件"));
}

void ReadOnlyFoldersTest::clearingFails()
{
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.area.setReadOnly(QStringLiteral("root/a"), true);
    rig.fs.fail(FsOp::ClearReadOnly, rig.at(QStringLiteral("a")), EPERM);
    rig.window.setNextAnswer(Answer::Yes);
    rig.sweep();
    QCOMPARE(folderLines(rig.engine),
             QStringList{rig.at(QStringLiteral("a")) + QStringLiteral(" ◆ 属性変更エラー：(") +
                         QString::number(EPERM) + QLatin1Char(')') + errorMessage(EPERM)});
    QVERIFY(rig.area.exists(QStringLiteral("root/a")));
    // The foreground comes before the box.
    const qsizetype box = rig.window.events.indexOf(QStringLiteral("info"));
    QVERIFY(box > 0);
    QCOMPARE(rig.window.events.at(box - 1), QStringLiteral("foreground"));
}

void ReadOnlyFoldersTest::readOnlyFolderInTheSecondPhase()
{
    // ro waits for its subfolder; its mode then comes from the listing that
    // finds it without one.
    EngineRig rig;
    rig.checkNames({QStringLiteral("thumbs.db")});
    rig.area.createFile(QStringLiteral("root/ro/sub/thumbs.db"));
    rig.area.createFile(QStringLiteral("root/ro/thumbs.db"));
    rig.area.setReadOnly(QStringLiteral("root/ro"), true);
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.window.setNextAnswer(Answer::Yes);
    rig.sweep();
    const QString index = QString::number(rig.indexOf(QStringLiteral("thumbs.db")));
    QCOMPARE(rig.window.questions.size(), 1);
    QVERIFY(rig.window.questions.first().contains(rig.at(QStringLiteral("ro"))));
    QCOMPARE(folderLines(rig.engine),
             (QStringList{rig.at(QStringLiteral("ro")) + QStringLiteral(" - R,") + index,
                          rig.at(QStringLiteral("ro/sub")) + QStringLiteral(" - ") + index}));
    QCOMPARE(rig.rootTree(), QStringList{QStringLiteral("keep")});
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::ReadOnlyFoldersTest)
#include "tst_readonlyfolders.moc"
