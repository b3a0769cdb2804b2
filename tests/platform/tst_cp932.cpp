#include "platform/Cp932.h"

#include <QRandomGenerator>
#include <QTest>

namespace Vacuola::Test {

class TestCp932 final : public QObject
{
    Q_OBJECT

private slots:
    void roundTrips_data();
    void roundTrips();
    void encodeReplaces_data();
    void encodeReplaces();
    void canStore_data();
    void canStore();
    void decodeInvalid_data();
    void decodeInvalid();
    void decodeSurvivesAnyBytes();
};

void TestCp932::roundTrips_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << QStringLiteral("C:/a b\t1\r\n") << QByteArray("C:/a b\t1\r\n");
    QTest::newRow("trail byte is a backslash") << QStringLiteral("表") << QByteArray("\x95\x5C");
    QTest::newRow("full-width space") << QStringLiteral("　終了") << QByteArray("\x81\x40\x8f\x49\x97\xb9");
    QTest::newRow("half-width katakana") << QStringLiteral("ｶﾅ") << QByteArray("\xb6\xc5");
    QTest::newRow("log title") << QStringLiteral("フォルダ削除ロギング")
                               << QByteArray(
                                      "\x83\x74\x83\x48\x83\x8b\x83\x5f\x8d\xed\x8f\x9c\x83\x8d\x83\x4d"
                                      "\x83\x93\x83\x4f");
}

void TestCp932::roundTrips()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Cp932::encode(text), bytes);
    QCOMPARE(Cp932::decode(bytes), text);
}

void TestCp932::encodeReplaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("no form in the code page") << QStringLiteral("a\u00e9b") << QByteArray("a?b");
    QTest::newRow("outside the basic plane") << QStringLiteral("x\U0001F600y") << QByteArray("x?y");
    QTest::newRow("control characters") << QStringLiteral("a\u0001b\u007fc\u001bd") << QByteArray("a?b?c?d");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?");
}

void TestCp932::encodeReplaces()
{
    QFETCH(QString, text);
    QTEST(Cp932::encode(text), "bytes");
}

void TestCp932::canStore_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("storable");
    QTest::newRow("japanese path") << QStringLiteral("/home/利用者/写真") << true;
    QTest::newRow("management file") << QStringLiteral("thumbs.db") << true;
    // Shared codes: only the form that reads back as itself can be stored.
    QTest::newRow("yen sign reads back as backslash") << QStringLiteral("\u00a5100") << false;
    QTest::newRow("wave dash reads back as full-width tilde") << QStringLiteral("a\u301cb") << false;
    QTest::newRow("full-width tilde") << QStringLiteral("a\uff5eb") << true;
    QTest::newRow("circled digit") << QStringLiteral("\u2460") << true;
    QTest::newRow("accented letter") << QStringLiteral("/tmp/café") << false;
    QTest::newRow("emoji") << QStringLiteral("/tmp/\U0001F600") << false;
    QTest::newRow("tab") << QStringLiteral("a\tb") << false;
    QTest::newRow("line feed") << QStringLiteral("a\nb") << false;
    QTest::newRow("delete") << QStringLiteral("a\u007fb") << false;
    QTest::newRow("C1 control (next line)") << QStringLiteral("a\u0085b") << false;
    QTest::newRow("empty") << QString() << true;
}

void TestCp932::canStore()
{
    QFETCH(QString, text);
    QTEST(Cp932::canStore(text), "storable");
    // Whatever is storable must read back unchanged.
    if (Cp932::canStore(text))
        QCOMPARE(Cp932::decode(Cp932::encode(text)), text);
}

void TestCp932::decodeInvalid_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("lead byte at the end") << QByteArray("a\x95") << QStringLiteral("a\uFFFD");
    QTest::newRow("lead byte before ascii") << QByteArray("\x95\x20z") << QStringLiteral("\uFFFD z");
    QTest::newRow("bytes with no meaning")
        << QByteArray("\xfd\xfe\xff") << QStringLiteral("\uFFFD\uFFFD\uFFFD");
}

void TestCp932::decodeInvalid()
{
    QFETCH(QByteArray, bytes);
    QTEST(Cp932::decode(bytes), "text");
}

void TestCp932::decodeSurvivesAnyBytes()
{
    QRandomGenerator random(932);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(random.bounded(1, 40), '\0');
        for (char &b : bytes)
            b = static_cast<char>(random.bounded(256));
        const QString text = Cp932::decode(bytes);
        QVERIFY(text.size() <= bytes.size());
        QVERIFY(!Cp932::encode(text).isEmpty());
    }
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestCp932)
#include "tst_cp932.moc"
