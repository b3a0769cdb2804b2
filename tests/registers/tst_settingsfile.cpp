#include "core/IoError.h"
#include "platform/Cp932.h"
#include "platform/ProfileFile.h"
#include "registers/ManagementFileRegister.h"
#include "registers/SearchFolderRegister.h"
#include "registers/SettingsFile.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestDir.h"
#include "tests/support/TestHelpers.h"

#include <QFile>
#include <QTest>

#include <cerrno>

Q_DECLARE_METATYPE(Vacuola::Placement)

namespace Vacuola::Test {

namespace {

// The window's built-in placement.
const Placement BuiltIn{115, 435, 185, 214};

class MemorySettingsWindow final : public SettingsWindow
{
public:
    Placement placement() const override { return current; }
    double logicalDpi() const override { return dpi; }
    QSize screenSize() const override { return screen; }
    void setMinimumSize(int width, int height) override
    {
        minimum = QSize(width, height);
        calls << QStringLiteral("minimum");
    }
    void setPlacement(const Placement &placement) override
    {
        current = placement;
        calls << QStringLiteral("place");
    }

    Placement current = BuiltIn;
    double dpi = 96;
    QSize screen{1920, 1080};
    QSize minimum;
    QStringList calls;
};

QByteArray fixture(const QString &name)
{
    return readTestFile(QStringLiteral(VACUOLA_FIXTURES "/") + name);
}

// One run of the program: both registers, the marks, the window and the file.
struct Run
{
    explicit Run(const QString &iniPath, FileSystem &fs)
        : folderReg(folders, window, fs), nameReg(names, window), settings(iniPath, fs)
    {
        folderReg.resetToPlaceholder();
    }

    /** Start-up as the window runs it; returns the log purge cut-offs. */
    QList<QDateTime> start()
    {
        loaded = settings.load(folderReg, nameReg, window, screen);
        settings.placeWindow(loaded, screen);
        QList<QDateTime> purges;
        settings.applyLogOption(
            loaded, window, [&](const QDateTime &cutOff) { purges << cutOff; }, Now);
        settings.applyOldLayoutRule(loaded);
        return purges;
    }
    void save() { settings.save(folderReg, nameReg, window, screen.current); }
    QStringList checkedNames() const { return marks(names); }

    static inline const QDateTime Now = QDateTime(QDate(2026, 12, 8), QTime(10, 0));

    MemorySearchFolderList folders;
    MemoryManagementFileList names;
    FakeWindow window;
    MemorySettingsWindow screen;
    SearchFolderRegister folderReg;
    ManagementFileRegister nameReg;
    SettingsFile settings;
    SettingsFile::Loaded loaded;
};

// The key part ("key=" or the whole line) of every line of a file.
QStringList layout(const QByteArray &bytes)
{
    ProfileFile file;
    file.parse(bytes);
    QStringList keys;
    for (const QString &line : file.lines()) {
        const qsizetype equals = line.indexOf(u'=');
        keys << (equals < 0 ? line : line.left(equals + 1));
    }
    return keys;
}

} // namespace

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
    void logOption_data();
    void logOption();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void minimumSize_data();
    void minimumSize();
    void placement_data();
    void placement();
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

void TestSettingsFile::logOption_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("marked"); // -1: only the starting mark on Log1
    QTest::addColumn<int>("purgeDays");
    QTest::addColumn<QString>("saved");
    QTest::newRow("0") << QStringLiteral("0") << 0 << 0 << QStringLiteral("0");
    QTest::newRow("1") << QStringLiteral("1") << 1 << 7 << QStringLiteral("1");
    QTest::newRow("2") << QStringLiteral("2") << 2 << 14 << QStringLiteral("2");
    QTest::newRow("3") << QStringLiteral("3") << 3 << 0 << QStringLiteral("3");
    QTest::newRow("7") << QStringLiteral("7") << -1 << 0 << QStringLiteral("1");
    QTest::newRow("-1") << QStringLiteral("-1") << -1 << 0 << QStringLiteral("1");
    QTest::newRow("missing") << QString() << 2 << 14 << QStringLiteral("2");
}

void TestSettingsFile::logOption()
{
    QFETCH(QString, stored);
    QFETCH(int, marked);
    QFETCH(int, purgeDays);
    QFETCH(QString, saved);
    TestDir dir;
    FaultyFileSystem fs;
    QString text = QStringLiteral("[Vacuola]\r\nVersion=Vacuola V1.13A\r\n");
    if (!stored.isNull())
        text += QStringLiteral("LOG保存設定=") + stored + QStringLiteral("\r\n");
    const QString ini = dir.createFile(QStringLiteral("vacuola.ini"), Cp932::encode(text));

    Run run(ini, fs);
    const QList<QDateTime> purges = run.start();
    const OptionMark logs[] = {OptionMark::Log0, OptionMark::Log1, OptionMark::Log2, OptionMark::Log3};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(run.window.isMarked(logs[i]), i == (marked < 0 ? 1 : marked));
    QCOMPARE(purges, purgeDays ? QList<QDateTime>{Run::Now.addDays(-purgeDays)} : QList<QDateTime>());

    run.save();
    ProfileFile file;
    QCOMPARE(file.load(fs, ini), 0);
    QCOMPARE(file.readString(QStringLiteral("Vacuola"), QStringLiteral("LOG保存設定"), QString()), saved);
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

void TestSettingsFile::minimumSize_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("96") << 96.0 << QSize(214, 173);
    QTest::newRow("120") << 120.0 << QSize(268, 216);
    QTest::newRow("144") << 144.0 << QSize(321, 259);
    QTest::newRow("192") << 192.0 << QSize(428, 346);
}

void TestSettingsFile::minimumSize()
{
    QFETCH(double, dpi);
    QFETCH(QSize, expected);
    QCOMPARE(SettingsFile::minimumSize(dpi), expected);

    // The window gets its minimum before its placement.
    TestDir dir;
    FaultyFileSystem fs;
    Run run(dir.absolute(QStringLiteral("vacuola.ini")), fs);
    run.screen.dpi = dpi;
    run.start();
    QCOMPARE(run.screen.minimum, expected);
    QCOMPARE(run.screen.calls, QStringList({QStringLiteral("minimum"), QStringLiteral("place")}));
}

void TestSettingsFile::placement_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<Placement>("stored"); // top, left, height, width
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<Placement>("expected");
    const QSize screen(1024, 768);
    QTest::newRow("fits") << 96.0 << Placement{100, 200, 300, 400} << screen << Placement{100, 200, 300, 400};
    QTest::newRow("wider than the screen: minimum width")
        << 96.0 << Placement{10, 10, 300, 2000} << screen << Placement{10, 10, 300, 214};
    QTest::newRow("taller than the screen at 120 dpi: minimum height")
        << 120.0 << Placement{10, 10, 900, 300} << screen << Placement{10, 10, 216, 300};
    QTest::newRow("small window at the right edge is kept on screen at its minimum")
        << 96.0 << Placement{10, 900, 100, 100} << screen << Placement{10, 810, 173, 214};
    QTest::newRow("left of -50") << 96.0 << Placement{-20, -50, 300, 400} << screen
                                 << Placement{0, 0, 300, 400};
    QTest::newRow("past the right edge moves left")
        << 96.0 << Placement{10, 900, 300, 400} << screen << Placement{10, 624, 300, 400};
    QTest::newRow("past the bottom at 144 dpi moves up")
        << 144.0 << Placement{700, 10, 300, 400} << screen << Placement{468, 10, 300, 400};
    QTest::newRow("smaller than the minimum at 192 dpi")
        << 192.0 << Placement{10, 10, 100, 100} << screen << Placement{10, 10, 346, 428};
    QTest::newRow("huge values do not overflow")
        << 96.0 << Placement{2147483647, 2147483647, 2147483647, 2147483647} << screen
        << Placement{595, 810, 173, 214};
    QTest::newRow("screen smaller than the minimum keeps the title bar on it")
        << 192.0 << Placement{50, 50, 300, 400} << QSize(320, 240) << Placement{0, 0, 346, 428};
}

void TestSettingsFile::placement()
{
    QFETCH(double, dpi);
    QFETCH(Placement, stored);
    QFETCH(QSize, screen);
    QFETCH(Placement, expected);

    TestDir dir;
    FaultyFileSystem fs;
    const QString text = QStringLiteral("[Vacuola]\r\n上端位置=%1\r\n左端位置=%2\r\n縦幅=%3\r\n横幅=%4\r\n")
                             .arg(stored.top)
                             .arg(stored.left)
                             .arg(stored.height)
                             .arg(stored.width);
    const QString ini = dir.createFile(QStringLiteral("vacuola.ini"), Cp932::encode(text));
    Run run(ini, fs);
    run.screen.dpi = dpi;
    run.screen.screen = screen;
    run.start();
    QCOMPARE(run.screen.current, expected);
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestSettingsFile)
#include "tst_settingsfile.moc"
