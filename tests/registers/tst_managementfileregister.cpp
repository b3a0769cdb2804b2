#include "registers/ManagementFileRegister.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/TestHelpers.h"

#include <QTest>

#include <optional>

namespace Vacuola::Test {

namespace {

const QString Added = QStringLiteral("管理ファイルを追加しました");
const QString Duplicate = QStringLiteral("入力された管理ファイルは既に登録済みです");
const QString Title = QStringLiteral("管理ファイルの追加");
const QString FirstPrompt = QStringLiteral("空きフォルダ判定から除外するファイル名を入力して下さい");
const QString CorrectionPrompt =
    QStringLiteral("ファイル名に使用出来ない文字が含まれています\t\\/:,;*?\"<>|\r訂正して下さい");

struct Rig
{
    Rig() : reg(list, window) {}
    QStringList marked() const { return marks(list); }

    MemoryManagementFileList list;
    FakeWindow window;
    ManagementFileRegister reg;
};

using Inputs = QList<std::optional<QString>>;

} // namespace

class TestManagementFileRegister final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void addKeepsOtherMarks();
    void duplicateLeavesItsMark();
    void nameTheSettingsFileCannotCarryIsRefused();
    void inputLoop_data();
    void inputLoop();
    void longInputIsCutToTheBoxLimit();
    void presetSetOverUncheckedThumbs();
    void marksAndSelection();
};

void TestManagementFileRegister::initTestCase()
{
    useJapaneseLocale();
}

void TestManagementFileRegister::addKeepsOtherMarks()
{
    Rig rig;
    rig.list.add(QStringLiteral("a.txt"), true);
    rig.list.add(QStringLiteral("m.txt"), false);
    rig.list.add(QStringLiteral("z.txt"), true);
    rig.reg.AddIgnoreFile(QStringLiteral("k.txt"));
    QCOMPARE(rig.marked(), QStringList({QStringLiteral("a.txt"), QStringLiteral("k.txt"),
                                        QStringLiteral("-m.txt"), QStringLiteral("z.txt")}));
    QCOMPARE(rig.window.status, Added);
}

void TestManagementFileRegister::duplicateLeavesItsMark()
{
    Rig rig;
    rig.list.add(QStringLiteral("thumbs.db"), false);
    rig.reg.AddIgnoreFile(QStringLiteral("thumbs.db"));
    QCOMPARE(rig.marked(), QStringList{QStringLiteral("-thumbs.db")});
    QCOMPARE(rig.window.status, Duplicate);
}

void TestManagementFileRegister::nameTheSettingsFileCannotCarryIsRefused()
{
    // A dropped file's name skips the typed-name rules, but must still survive a restart.
    Rig rig;
    rig.reg.AddIgnoreFile(QStringLiteral("a,b.txt"));
    QCOMPARE(rig.marked(), QStringList{QStringLiteral("a,b.txt")});
    for (const QString &name : {QStringLiteral("\U0001F600.txt"), QStringLiteral("a\nb")}) {
        rig.reg.AddIgnoreFile(name);
        QCOMPARE(rig.list.count(), 1);
        QCOMPARE(rig.window.status, QStringLiteral("処理できないファイル名です ") + name);
    }
}

void TestManagementFileRegister::inputLoop_data()
{
    QTest::addColumn<Inputs>("inputs");
    QTest::addColumn<QStringList>("expectedNames"); // after the loop, with thumbs.db registered
    QTest::addColumn<QStringList>("expectedPrefills");
    QTest::addColumn<QString>("expectedStatus");

    const QString thumbs = QStringLiteral("thumbs.db");
    QTest::newRow("typed in capitals, lower-cased")
        << Inputs{QStringLiteral("Desktop.INI")} << QStringList{QStringLiteral("desktop.ini"), thumbs}
        << QStringList{QString()} << Added;
    QTest::newRow("duplicate in capitals")
        << Inputs{QStringLiteral("THUMBS.DB")} << QStringList{thumbs} << QStringList{QString()} << Duplicate;
    QTest::newRow("cancel at once") << Inputs{std::nullopt} << QStringList{thumbs} << QStringList{QString()}
                                    << QStringLiteral("start");
    QTest::newRow("cancel after a refusal")
        << Inputs{QStringLiteral("a,b"), std::nullopt} << QStringList{thumbs}
        << QStringList{QString(), QStringLiteral("a,b")} << QStringLiteral("start");
    QTest::newRow("semicolon, then corrected")
        << Inputs{QStringLiteral("a;b"), QStringLiteral("ab")} << QStringList{QStringLiteral("ab"), thumbs}
        << QStringList{QString(), QStringLiteral("a;b")} << Added;
    QTest::newRow("empty refused") << Inputs{QString(), QStringLiteral("x")}
                                   << QStringList{thumbs, QStringLiteral("x")}
                                   << QStringList{QString(), QString()} << Added;
    QTest::newRow("one space is a name")
        << Inputs{QStringLiteral(" ")} << QStringList{QStringLiteral(" "), thumbs} << QStringList{QString()}
        << Added;
    QTest::newRow("trail byte 0x5C is no backslash")
        << Inputs{QStringLiteral("表.TXT")} << QStringList{thumbs, QStringLiteral("表.txt")}
        << QStringList{QString()} << Added;
    QTest::newRow("backslash refused")
        << Inputs{QStringLiteral("a\\b"), std::nullopt} << QStringList{thumbs}
        << QStringList{QString(), QStringLiteral("a\\b")} << QStringLiteral("start");
    QTest::newRow("emoji cannot be stored")
        << Inputs{QStringLiteral("\U0001F600.txt"), std::nullopt} << QStringList{thumbs}
        << QStringList{QString(), QStringLiteral("\U0001F600.txt")} << QStringLiteral("start");
    QTest::newRow("tab refused") << Inputs{QStringLiteral("a\tb"), std::nullopt} << QStringList{thumbs}
                                 << QStringList{QString(), QStringLiteral("a\tb")} << QStringLiteral("start");
}

void TestManagementFileRegister::inputLoop()
{
    QFETCH(Inputs, inputs);
    QFETCH(QStringList, expectedNames);
    QFETCH(QStringList, expectedPrefills);
    QFETCH(QString, expectedStatus);

    Rig rig;
    rig.list.add(QStringLiteral("thumbs.db"), true);
    rig.window.status = QStringLiteral("start");
    for (const std::optional<QString> &input : inputs)
        rig.window.setNextInput(input);
    rig.reg.IgnoreFileAddExecute();

    QCOMPARE(rig.reg.names(), expectedNames);
    QCOMPARE(rig.window.inputTexts, expectedPrefills);
    QStringList prompts{FirstPrompt};
    while (prompts.size() < expectedPrefills.size())
        prompts << CorrectionPrompt;
    QCOMPARE(rig.window.inputPrompts, prompts);
    QCOMPARE(rig.window.status, expectedStatus);
    QCOMPARE(rig.window.unanswered(), 0);
    for (int i = 0; i < rig.list.count(); ++i)
        QVERIFY(rig.list.isChecked(i));
}

void TestManagementFileRegister::longInputIsCutToTheBoxLimit()
{
    Rig rig;
    rig.window.setNextInput(QString(300, u'A'));
    rig.reg.IgnoreFileAddExecute();
    QCOMPARE(rig.reg.names(), QStringList{QString(255, u'a')});
}

void TestManagementFileRegister::presetSetOverUncheckedThumbs()
{
    Rig rig;
    rig.list.add(QStringLiteral("thumbs.db"), false);
    rig.reg.IgnoreFileSetAddExecute();
    QCOMPARE(rig.marked(), QStringList({QStringLiteral("_catalog.vix"), QStringLiteral("_thumbnl.sue"),
                                        QStringLiteral("desktop.ini"), QStringLiteral("-thumbs.db")}));
    QCOMPARE(rig.window.statusHistory, QStringList({Added, Duplicate, Added, Added,
                                                    QStringLiteral("不要なファイル名は削除して下さい")}));
}

void TestManagementFileRegister::marksAndSelection()
{
    Rig rig;
    // Nothing to do on an empty list.
    rig.reg.IgnoreFileAllOnExecute();
    rig.reg.IgnoreFileAllOffExecute();
    rig.reg.IgnoreFileDelExecute();
    QCOMPARE(rig.list.count(), 0);

    for (const QString &name :
         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")})
        rig.list.add(name, true);
    rig.reg.IgnoreFileAllOffExecute();
    QCOMPARE(rig.marked(), QStringList({QStringLiteral("-a"), QStringLiteral("-b"), QStringLiteral("-c"),
                                        QStringLiteral("-d")}));
    rig.list.setChecked(1, true);
    rig.reg.IgnoreFileAllOnExecute();
    QCOMPARE(rig.marked(), QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                        QStringLiteral("d")}));

    rig.reg.IgnoreFileDelExecute(); // nothing selected
    QCOMPARE(rig.list.count(), 4);
    rig.list.setSelected(0, true);
    rig.list.setSelected(2, true);
    rig.list.setSelected(3, true);
    rig.list.setChecked(1, false);
    rig.window.status = QStringLiteral("start");
    rig.reg.IgnoreFileDelExecute();
    QCOMPARE(rig.marked(), QStringList{QStringLiteral("-b")});
    QCOMPARE(rig.window.status, QStringLiteral("start"));

    rig.list.setSelected(0, true);
    rig.reg.IgnoreListDblClick();
    QVERIFY(!rig.list.isSelected(0));
    QCOMPARE(rig.marked(), QStringList{QStringLiteral("-b")});
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestManagementFileRegister)
#include "tst_managementfileregister.moc"
