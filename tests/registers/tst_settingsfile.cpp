#include "core/IoError.h"
#include "platform/Cp932.h"
#include "platform/ProfileFile.h"
#include "registers/ManagementFileRegister.h"
#include "registers/SearchFolderRegister.h"
#include "registers/SettingsFile.h"
#include "tests/registers/SettingsRun.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestDir.h"
#include "tests/support/TestHelpers.h"

#include <QFile>
#include <QTest>

#include <cerrno>

Q_DECLARE_METATYPE(Vacuola::Placement)

namespace Vacuola::Test {

class TestSettingsFile final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstStartThenSecondStart();
    void versionRules_data();
    void versionRules();
    void oldLayoutReadDeletedAndRewritten();
    void unreadableFileIsNeitherDeletedNorOverwritten();
    void hexadecimalAndGarbageValues();
    void countLargerThanTheKeysPresent();
    void countBeyondTheLinesOfTheFile();
    void damagedCountDoesNotHang();
    void shrunkListKeepsOldKeys();
    void namesWithCapitalsInAnyOrder();
    void valuesWithBlanksSurviveARestart();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
};

void TestSettingsFile::initTestCase()
{
    useJapaneseLocale();
}

void TestSettingsFile::firstStartThenSecondStart()
{
    TestDir dir;
    FaultyFileSystem fs;
    const QString ini = dir.absolute(QStringLiteral("vacuola.ini"));
    const QString photo = dir.createDir(QStringLiteral("photo"));
    const QString old = dir.createDir(QStringLiteral("work/old"));

    {
        Run first(ini, fs);
        const QList<QDateTime> purges = first.start();
        QCOMPARE(first.folders.items, QStringList{SearchFolderRegister::placeholder()});
        QCOMPARE(first.names.count(), 0);
        QVERIFY(first.window.isMarked(OptionMark::Log2));
        QVERIFY(!first.window.isMarked(OptionMark::Log1));
        QCOMPARE(purges, QList<QDateTime>{Run::Now.addDays(-14)});
        QVERIFY(!first.window.isMarked(OptionMark::DisableReadOnly));
        QVERIFY(!first.window.isMarked(OptionMark::NonStop));
        QCOMPARE(first.screen.current, BuiltIn);
        QVERIFY(first.settings.versionNotesDue(first.loaded));
        QVERIFY(!fs.calls.contains(QStringLiteral("DeleteFile ") + ini));

        // The user's run, as in the example of the file's layout.
        first.folderReg.AddSearchFolder(old);
        first.folderReg.AddSearchFolder(photo);
        first.nameReg.AddIgnoreFile(QStringLiteral("thumbs.db"));
        first.nameReg.AddIgnoreFile(QStringLiteral("desktop.ini"));
        first.window.setMarked(OptionMark::NonStop, true);
        first.save();
    }
    // The example layout, line for line; its example values are this run's, bar the paths.
    const QByteArray written = readTestFile(ini);
    QByteArray example = fixture(QStringLiteral("first-save-layout.ini"));
    QCOMPARE(layout(written), layout(example));
    example.replace("D:\\photo", photo.toUtf8());
    example.replace("C:\\work\\old", old.toUtf8());
    QCOMPARE(written, example);

    Run second(ini, fs);
    const QList<QDateTime> purges = second.start();
    QCOMPARE(second.folders.items, QStringList({SearchFolderRegister::placeholder(), photo, old}));
    QCOMPARE(second.checkedNames(),
             QStringList({QStringLiteral("desktop.ini"), QStringLiteral("thumbs.db")}));
    QVERIFY(second.window.isMarked(OptionMark::Log2));
    QCOMPARE(purges.size(), 1);
    QVERIFY(second.window.isMarked(OptionMark::NonStop));
    QVERIFY(!second.window.isMarked(OptionMark::DisableReadOnly));
    QCOMPARE(second.screen.current, BuiltIn);
    QVERIFY(!second.settings.versionNotesDue(second.loaded));
    QCOMPARE(QFile::exists(ini), true);

    // Nothing changed, so the second save writes the same bytes.
    second.save();
    QCOMPARE(readTestFile(ini), written);

    // A changed exclusion list, and only that, adds its own section at the end.
    second.exclusions.setPatterns({QStringLiteral(".git"), QStringLiteral("/srv/表 x")});
    second.save();
    const QByteArray changed =
        written + Cp932::encode(QStringLiteral("[除外フォルダ]\r\n除外フォルダ数=2\r\n"
                                               "除外フォルダ1=.git\r\n除外フォルダ2=/srv/表 x\r\n"));
    QCOMPARE(readTestFile(ini), changed);
    Run third(ini, fs);
    third.start();
    QCOMPARE(third.exclusions.patterns(), QStringList({QStringLiteral(".git"), QStringLiteral("/srv/表 x")}));
    third.save();
    QCOMPARE(readTestFile(ini), changed);

    // The trash option, off until now and so never written, is written once on and then follows its mark.
    QVERIFY(!third.window.isMarked(OptionMark::MoveToTrash));
    third.window.setMarked(OptionMark::MoveToTrash, true);
    third.save();
    const QByteArray nonStop = Cp932::encode(QStringLiteral("エラーメッセージ抑止=1\r\n"));
    QByteArray trashed = changed;
    trashed.replace(nonStop, nonStop + Cp932::encode(QStringLiteral("管理ファイルをごみ箱へ移動=1\r\n")));
    QCOMPARE(readTestFile(ini), trashed);
    Run fourth(ini, fs);
    fourth.start();
    QVERIFY(fourth.window.isMarked(OptionMark::MoveToTrash));
    fourth.window.setMarked(OptionMark::MoveToTrash, false);
    fourth.save();
    trashed.replace(Cp932::encode(QStringLiteral("移動=1")), Cp932::encode(QStringLiteral("移動=0")));
    QCOMPARE(readTestFile(ini), trashed);
}

void TestSettingsFile::versionRules_data()
{
    QTest::addColumn<QString>("versionLine");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<bool>("notes");
    QTest::newRow("no version") << QString() << true << true;
    QTest::newRow("empty version") << QStringLiteral("Version=") << true << true;
    QTest::newRow("V1.11") << QStringLiteral("Version=Vacuola V1.11") << true << true;
    QTest::newRow("V1.12") << QStringLiteral("Version=Vacuola V1.12") << true << true;
    QTest::newRow("V1.13") << QStringLiteral("Version=Vacuola V1.13") << false << true;
    QTest::newRow("V1.13A") << QStringLiteral("Version=Vacuola V1.13A") << false << false;
    QTest::newRow("V1.13a") << QStringLiteral("Version=Vacuola V1.13a") << false << true;
}

void TestSettingsFile::versionRules()
{
    QFETCH(QString, versionLine);
    QFETCH(bool, deleted);
    QFETCH(bool, notes);
    TestDir dir;
    FaultyFileSystem fs;
    const QString ini = dir.createFile(QStringLiteral("vacuola.ini"),
                                       Cp932::encode(QStringLiteral("[Vacuola]\r\n") + versionLine + u'\n'));
    Run run(ini, fs);
    run.start();
    QCOMPARE(!QFile::exists(ini), deleted);
    QCOMPARE(run.settings.versionNotesDue(run.loaded), notes);
}

void TestSettingsFile::oldLayoutReadDeletedAndRewritten()
{
    TestDir dir;
    FaultyFileSystem fs;
    const QString kept = dir.createDir(QStringLiteral("kept"));
    QByteArray bytes = fixture(QStringLiteral("old-layout.ini"));
    QVERIFY(!bytes.isEmpty());
    bytes.replace("@DIR@", dir.absolute().toUtf8());
    const QString ini = dir.createFile(QStringLiteral("vacuola.ini"), bytes);

    Run run(ini, fs);
    const QList<QDateTime> purges = run.start();
    // Read first: its values hold for this run.
    QCOMPARE(run.folders.items, QStringList({SearchFolderRegister::placeholder(), kept}));
    QCOMPARE(run.checkedNames(), QStringList{QStringLiteral("thumbs.db")});
    QVERIFY(run.window.isMarked(OptionMark::Log3));
    QVERIFY(purges.isEmpty());
    QCOMPARE(run.screen.current, (Placement{40, 50, 300, 400}));
    // Then deleted at the end of start-up.
    QVERIFY(!QFile::exists(ini));
    QVERIFY(run.settings.versionNotesDue(run.loaded));

    run.save();
    Run next(ini, fs);
    next.start();
    QVERIFY(QFile::exists(ini));
    QVERIFY(!next.settings.versionNotesDue(next.loaded));
    QCOMPARE(next.folders.items, run.folders.items);
    QCOMPARE(next.screen.current, (Placement{40, 50, 300, 400}));
    QCOMPARE(layout(readTestFile(ini)).first(2),
             QStringList({QStringLiteral("[Vacuola]"), QStringLiteral("Version=")}));
}

void TestSettingsFile::unreadableFileIsNeitherDeletedNorOverwritten()
{
    TestDir dir;
    FaultyFileSystem fs;
    const QByteArray bytes = fixture(QStringLiteral("first-save-layout.ini"));
    const QString ini = dir.createFile(QStringLiteral("vacuola.ini"), bytes);
    fs.fail(FsOp::ReadFile, ini, EIO);

    Run run(ini, fs);
    run.start();
    // Read as defaults, but a version that could not be read is no old layout.
    QCOMPARE(run.loaded.readError, EIO);
    QCOMPARE(run.folders.items, QStringList{SearchFolderRegister::placeholder()});
    QVERIFY(!fs.calls.contains(QStringLiteral("DeleteFile ") + ini));
    QCOMPARE(readTestFile(ini), bytes);

    QVERIFY_THROWS_EXCEPTION(IoError, run.save());
    QCOMPARE(readTestFile(ini), bytes);
}

void TestSettingsFile::hexadecimalAndGarbageValues()
{
    TestDir dir;
    FaultyFileSystem fs;
    const QString one = dir.createDir(QStringLiteral("one"));
    const QString two = dir.createDir(QStringLiteral("two"));
    QByteArray bytes = fixture(QStringLiteral("values.ini"));
    bytes.replace("@DIR@", dir.absolute().toUtf8());
    const QString ini = dir.createFile(QStringLiteral("vacuola.ini"), bytes);

    Run run(ini, fs);
    run.screen.current = Placement{1, 2, 3, 4};
    const QList<QDateTime> purges = run.start();
    QCOMPARE(run.loaded.placement, (Placement{0x1E, 0x20, 0x100, 4}));
    QCOMPARE(run.loaded.logOption, 2);
    QCOMPARE(purges, QList<QDateTime>{Run::Now.addDays(-14)});
    QVERIFY(!run.window.isMarked(OptionMark::DisableReadOnly));
    QVERIFY(run.window.isMarked(OptionMark::NonStop));
    QCOMPARE(run.folders.items, QStringList({SearchFolderRegister::placeholder(), one, two}));
    QCOMPARE(run.names.count(), 0);
}

void TestSettingsFile::countLargerThanTheKeysPresent()
{
    TestDir dir;
    FaultyFileSystem fs;
    const QString one = dir.createDir(QStringLiteral("one"));
    QByteArray bytes = fixture(QStringLiteral("count-larger.ini"));
    bytes.replace("@DIR@", dir.absolute().toUtf8());
    const QString ini = dir.createFile(QStringLiteral("vacuola.ini"), bytes);

    Run run(ini, fs);
    run.start();
    // The vanished folder and the missing third key add nothing.
    QCOMPARE(run.folders.items, QStringList({SearchFolderRegister::placeholder(), one}));
    QCOMPARE(run.window.status, QString());
    // A missing name key reads as an empty name, checked.
    QCOMPARE(run.checkedNames(),
             QStringList({QString(), QStringLiteral("desktop.ini"), QStringLiteral("thumbs.db")}));
}

void TestSettingsFile::countBeyondTheLinesOfTheFile()
{
    TestDir dir;
    FaultyFileSystem fs;
    const QString ini = dir.createFile(
        QStringLiteral("vacuola.ini"),
        Cp932::encode(QStringLiteral("[管理ファイル]\r\n管理ファイル数=12\r\n管理ファイル5=a.txt\r\n")));
    Run run(ini, fs);
    run.start();
    // Every missing key up to the count is an empty name, however short the file.
    QCOMPARE(run.names.count(), 12);
    QCOMPARE(run.names.entries.last().name, QStringLiteral("a.txt"));
}

void TestSettingsFile::damagedCountDoesNotHang()
{
    // The names of such a file fill the window's list: tst_shellstartup reads them.
    TestDir dir;
    FaultyFileSystem fs;
    const QString one = dir.createDir(QStringLiteral("one"));
    const QString ini = dir.createFile(
        QStringLiteral("vacuola.ini"),
        Cp932::encode(QStringLiteral("[検索フォルダ]\r\n検索フォルダ数=2147483647\r\n検索フォルダ65535=") +
                      one + QStringLiteral("\r\n検索フォルダ65536=") + one + QStringLiteral("\r\n")));
    Run run(ini, fs);
    run.start();
    // Counts are read up to a fixed ceiling per list.
    QCOMPARE(run.folders.items, QStringList({SearchFolderRegister::placeholder(), one}));
}

void TestSettingsFile::shrunkListKeepsOldKeys()
{
    TestDir dir;
    FaultyFileSystem fs;
    const QString ini = dir.absolute(QStringLiteral("vacuola.ini"));
    QStringList paths;
    {
        Run run(ini, fs);
        run.start();
        for (int i = 1; i <= 5; ++i) {
            paths.prepend(dir.createDir(QStringLiteral("f%1").arg(i)));
            run.folderReg.AddSearchFolder(paths.first());
        }
        run.save();
    }
    {
        Run run(ini, fs);
        run.start();
        QCOMPARE(run.folders.count(), 6);
        for (int i = 0; i < 2; ++i) {
            run.folders.select(4);
            run.folderReg.DelFolderExecute();
        }
        run.save();
    }
    ProfileFile file;
    QCOMPARE(file.load(fs, ini), 0);
    const QString section = QStringLiteral("検索フォルダ");
    QCOMPARE(file.readInteger(section, QStringLiteral("検索フォルダ数"), -1), 3);
    QCOMPARE(file.readString(section, QStringLiteral("検索フォルダ4"), QString()), paths.at(3));
    QCOMPARE(file.readString(section, QStringLiteral("検索フォルダ5"), QString()), paths.at(4));

    Run run(ini, fs);
    run.start();
    QCOMPARE(run.folders.items.mid(1), paths.first(3));
}

void TestSettingsFile::namesWithCapitalsInAnyOrder()
{
    TestDir dir;
    FaultyFileSystem fs;
    const QString ini =
        dir.createFile(QStringLiteral("vacuola.ini"), fixture(QStringLiteral("names-capitals.ini")));
    Run run(ini, fs);
    run.start();
    QCOMPARE(run.checkedNames(), QStringList({QStringLiteral("_catalog.vix"), QStringLiteral("desktop.ini"),
                                              QStringLiteral("thumbs.db"), QStringLiteral("表.txt")}));

    // Marks are not stored: an unchecked name comes back checked.
    run.names.setChecked(0, false);
    run.save();
    Run next(ini, fs);
    next.start();
    QCOMPARE(next.checkedNames(), run.nameReg.names());
}

void TestSettingsFile::valuesWithBlanksSurviveARestart()
{
    TestDir dir;
    FaultyFileSystem fs;
    const QString ini = dir.absolute(QStringLiteral("vacuola.ini"));
    const QString spaced = dir.createDir(QStringLiteral("trailing "));
    {
        Run run(ini, fs);
        run.start();
        run.folderReg.AddSearchFolder(spaced);
        run.nameReg.AddIgnoreFile(QStringLiteral(" "));
        run.nameReg.AddIgnoreFile(QStringLiteral(" lead.txt"));
        run.save();
    }
    Run run(ini, fs);
    run.start();
    QCOMPARE(run.folders.items.mid(1), QStringList{spaced});
    QCOMPARE(run.nameReg.names(), QStringList({QStringLiteral(" "), QStringLiteral(" lead.txt")}));
}

void TestSettingsFile::failedSaveKeepsTheOldFile_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("number");
    QTest::newRow("read-only folder") << int(FsOp::ReplaceFile) << EROFS << 5;
    QTest::newRow("disk full") << int(FsOp::ReplaceFile) << ENOSPC << 101;
    QTest::newRow("unreadable file") << int(FsOp::ReadFile) << EIO << EIO;
}

void TestSettingsFile::failedSaveKeepsTheOldFile()
{
    QFETCH(int, op);
    QFETCH(int, error);
    QFETCH(int, number);
    TestDir dir;
    FaultyFileSystem fs;
    const QString ini =
        dir.createFile(QStringLiteral("vacuola.ini"),
                       fixture(QStringLiteral("first-save-layout.ini")) + "[other]\r\nkeep=me\r\n");
    const QByteArray before = readTestFile(ini);

    Run run(ini, fs);
    run.start();
    run.screen.current = Placement{1, 1, 500, 500};
    fs.fail(FsOp(op), ini, error);
    try {
        run.save();
        QFAIL("the save did not report the failure");
    } catch (const IoError &failure) {
        QCOMPARE(failure.text(), ini + QStringLiteral(" に書き込めません"));
        QCOMPARE(failure.number(), number);
    }
    QCOMPARE(readTestFile(ini), before);
    // No temporary file is left beside it.
    QCOMPARE(dir.tree(), QStringList{QStringLiteral("vacuola.ini")});
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestSettingsFile)
#include "tst_settingsfile.moc"
