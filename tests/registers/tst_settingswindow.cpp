#include "platform/Cp932.h"
#include "platform/ProfileFile.h"
#include "tests/registers/SettingsRun.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestDir.h"
#include "tests/support/TestHelpers.h"

#include <QTest>

Q_DECLARE_METATYPE(Vacuola::Placement)

namespace Vacuola::Test {

// What the settings file sets on the window: the log option's marks and purge, the size and placement.
class TestSettingsWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void logOption_data();
    void logOption();
    void minimumSize_data();
    void minimumSize();
    void placement_data();
    void placement();
};

void TestSettingsWindow::initTestCase()
{
    useJapaneseLocale();
}

void TestSettingsWindow::logOption_data()
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

void TestSettingsWindow::logOption()
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

void TestSettingsWindow::minimumSize_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("96") << 96.0 << QSize(214, 173);
    QTest::newRow("120") << 120.0 << QSize(268, 216);
    QTest::newRow("144") << 144.0 << QSize(321, 259);
    QTest::newRow("192") << 192.0 << QSize(428, 346);
}

void TestSettingsWindow::minimumSize()
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

void TestSettingsWindow::placement_data()
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

void TestSettingsWindow::placement()
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

QTEST_GUILESS_MAIN(Vacuola::Test::TestSettingsWindow)
#include "tst_settingswindow.moc"
