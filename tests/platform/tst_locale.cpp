#include "platform/Locale.h"
#include "tests/support/TestHelpers.h"

#include <QLocale>
#include <QTest>

namespace Vacuola::Test {

class TestLocale final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void forms_data();
    void forms();
    void elapsedDropsDays();
    void compareIgnoresCaseOnly();
    void compareNamesIsTotal();
    void sortAgreesWithCompare();
    void collatorFollowsDefaultLocale();
};

void TestLocale::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

void TestLocale::forms_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("elapsed");

    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    const QDateTime afternoon(QDate(2024, 3, 9), QTime(14, 5, 7));
    const QDateTime midnight(QDate(2024, 3, 9), QTime(0, 0));
    const qint64 span = (3 * 3600 + 4 * 60 + 5) * 1000 + 999;

    QTest::newRow("japanese afternoon")
        << japanese << afternoon << span << QStringLiteral("2024/03/09 14時05分07秒")
        << QStringLiteral("3時04分05秒");
    QTest::newRow("japanese midnight shows the date alone")
        << japanese << midnight << qint64(0) << QStringLiteral("2024/03/09") << QStringLiteral("0時00分00秒");
    QTest::newRow("english afternoon") << english << afternoon << span << QStringLiteral("3/9/24 2:05:07 PM")
                                       << QStringLiteral("3:04:05 AM");
    // The zone field leads here: it goes with the blank behind it.
    QTest::newRow("zone in front") << chinese << afternoon << span << QStringLiteral("2024/3/9 14:05:07")
                                   << QStringLiteral("03:04:05");
}

void TestLocale::forms()
{
    QFETCH(QLocale, locale);
    QFETCH(QDateTime, moment);
    QFETCH(qint64, elapsedMs);
    QLocale::setDefault(locale);
    QTEST(Locale::startMoment(moment), "start");
    QTEST(Locale::elapsed(elapsedMs), "elapsed");
}

void TestLocale::elapsedDropsDays()
{
    useJapaneseLocale();
    const qint64 day = 24LL * 3600 * 1000;
    QCOMPARE(Locale::elapsed(2 * day + 61000), QStringLiteral("0時01分01秒"));
    QCOMPARE(Locale::elapsed(-5000), QStringLiteral("0時00分00秒"));
}

void TestLocale::compareIgnoresCaseOnly()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(Locale::compareIgnoreCase(QStringLiteral("Thumbs.db"), QStringLiteral("thumbs.db")), 0);
    QVERIFY(Locale::compareIgnoreCase(QStringLiteral("apple"), QStringLiteral("Banana")) < 0);
    QVERIFY(Locale::compareIgnoreCase(QStringLiteral("Banana"), QStringLiteral("apple")) > 0);
    QVERIFY(Locale::compareCaseSensitive(QStringLiteral("V1.13A"), QStringLiteral("v1.13a")) != 0);
    QCOMPARE(Locale::compareCaseSensitive(QStringLiteral("V1.13A"), QStringLiteral("V1.13A")), 0);
}

void TestLocale::compareNamesIsTotal()
{
    useJapaneseLocale();
    QStringList names{QStringLiteral("thumbs.db"), QStringLiteral("Desktop.ini"), QStringLiteral("Thumbs.db"),
                      QStringLiteral("_catalog.vix"), QStringLiteral("desktop.ini")};
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return Locale::compareNames(a, b) < 0; });
    // Equal apart from case: the code points decide, upper case first.
    QCOMPARE(names.indexOf(QStringLiteral("Desktop.ini")) + 1, names.indexOf(QStringLiteral("desktop.ini")));
    QCOMPARE(names.indexOf(QStringLiteral("Thumbs.db")) + 1, names.indexOf(QStringLiteral("thumbs.db")));
    QVERIFY(names.indexOf(QStringLiteral("desktop.ini")) < names.indexOf(QStringLiteral("Thumbs.db")));
    for (const QString &a : names) {
        for (const QString &b : names)
            QCOMPARE(Locale::compareNames(a, b) == 0, a == b);
    }
}

void TestLocale::sortAgreesWithCompare()
{
    // The log sort goes by collation keys; it must give the order of the comparison.
    useJapaneseLocale();
    QStringList lines{
        QStringLiteral("/tmp/b/ファイル"), QStringLiteral("/tmp/B2"),  QStringLiteral("/tmp/a b"),
        QStringLiteral("/tmp/Ä"),          QStringLiteral("/tmp/a"),   QStringLiteral("/tmp/表示"),
        QStringLiteral("/tmp/A-1"),        QStringLiteral("/tmp/a10"), QStringLiteral("/tmp/a9"),
        QStringLiteral("/tmp/ｶﾀｶﾅ"),       QStringLiteral("")};
    Locale::sortIgnoreCase(lines);
    QCOMPARE(lines.size(), 11);
    for (qsizetype i = 1; i < lines.size(); ++i)
        QVERIFY2(Locale::compareIgnoreCase(lines.at(i - 1), lines.at(i)) <= 0, qPrintable(lines.at(i)));
}

void TestLocale::collatorFollowsDefaultLocale()
{
    // Swedish sorts "ö" after "z"; German sorts it with "o".
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QVERIFY(Locale::compareIgnoreCase(QStringLiteral("öl"), QStringLiteral("zoo")) < 0);
    QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
    QVERIFY(Locale::compareIgnoreCase(QStringLiteral("öl"), QStringLiteral("zoo")) > 0);
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestLocale)
#include "tst_locale.moc"
