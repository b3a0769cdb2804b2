#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "tests/support/TestDir.h"
#include "tests/support/TestHelpers.h"

#include <QTest>

#include <cerrno>

namespace Vacuola::Test {

namespace {

QByteArray crlf(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += Cp932::encode(line) + "\r\n";
    return bytes;
}

} // namespace

class TestProfileFile final : public QObject
{
    Q_OBJECT

private slots:
    void lineEnds_data();
    void lineEnds();
    void integers_data();
    void integers();
    void booleans_data();
    void booleans();
    void namesIgnoreCase();
    void firstSectionAndKeyWin();
    void spacingAroundEquals();
    void writeKeepsEverythingElse();
    void untouchedLinesKeepTheirBytes();
    void newKeyGoesToEndOfItsSection();
    void newSectionGoesToEndOfFile();
    void valuesReadBackAsWritten_data();
    void valuesReadBackAsWritten();
    void lineBreakInValueCannotSplitTheLine();
    void longValueIsCut();
    void doubleByteTrailBackslash();
    void diskRoundTrip();
    void missingAndUnreadableFiles();
};

void TestProfileFile::lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("CR LF") << QByteArray("[s]\r\nk=v\r\n");
    QTest::newRow("LF only") << QByteArray("[s]\nk=v\n");
    QTest::newRow("mixed, no final line end") << QByteArray("[s]\r\nk=v");
}

void TestProfileFile::lineEnds()
{
    QFETCH(QByteArray, bytes);
    ProfileFile file;
    file.parse(bytes);
    QCOMPARE(file.lines(), QStringList({QStringLiteral("[s]"), QStringLiteral("k=v")}));
    QCOMPARE(file.readString(QStringLiteral("s"), QStringLiteral("k"), QString()), QStringLiteral("v"));
    // Always written back with CR LF.
    QCOMPARE(file.toBytes(), QByteArray("[s]\r\nk=v\r\n"));
}

void TestProfileFile::integers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    const int d = -77; // the default
    QTest::newRow("decimal") << QStringLiteral("30") << 30;
    QTest::newRow("0x") << QStringLiteral("0x1E") << 30;
    QTest::newRow("0X lower digits") << QStringLiteral("0X1e") << 30;
    QTest::newRow("dollar") << QStringLiteral("$1E") << 30;
    QTest::newRow("negative") << QStringLiteral("-50") << -50;
    QTest::newRow("plus") << QStringLiteral("+5") << 5;
    QTest::newRow("blanks around") << QStringLiteral(" \t42 ") << 42;
    QTest::newRow("int max") << QStringLiteral("2147483647") << 2147483647;
    QTest::newRow("int min") << QStringLiteral("-2147483648") << int(-2147483647 - 1);
    QTest::newRow("hex max") << QStringLiteral("0x7FFFFFFF") << 2147483647;
    QTest::newRow("empty") << QString() << d;
    QTest::newRow("minus alone") << QStringLiteral("-") << d;
    QTest::newRow("0x alone") << QStringLiteral("0x") << d;
    QTest::newRow("dollar alone") << QStringLiteral("$") << d;
    QTest::newRow("word") << QStringLiteral("wide") << d;
    QTest::newRow("trailing garbage") << QStringLiteral("12abc") << d;
    QTest::newRow("inner blank") << QStringLiteral("1 2") << d;
    QTest::newRow("signed hex") << QStringLiteral("0x-1") << d;
    QTest::newRow("above int max") << QStringLiteral("2147483648") << d;
    QTest::newRow("below int min") << QStringLiteral("-2147483649") << d;
    QTest::newRow("hex above int max") << QStringLiteral("0x80000000") << d;
    QTest::newRow("very long") << QStringLiteral("99999999999999999999999") << d;
    QTest::newRow("full-width digits") << QStringLiteral("１２") << d;
}

void TestProfileFile::integers()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(ProfileFile::parseInteger(text, -77), expected);

    ProfileFile file;
    file.writeString(QStringLiteral("s"), QStringLiteral("k"), text);
    QCOMPARE(file.readInteger(QStringLiteral("s"), QStringLiteral("k"), -77), expected);
    QCOMPARE(file.readInteger(QStringLiteral("s"), QStringLiteral("missing"), -77), -77);
}

void TestProfileFile::booleans_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");
    QTest::newRow("0") << QStringLiteral("0") << true << false;
    QTest::newRow("1") << QStringLiteral("1") << false << true;
    QTest::newRow("-1") << QStringLiteral("-1") << false << true;
    QTest::newRow("hex zero") << QStringLiteral("0x0") << true << false;
    QTest::newRow("word keeps default true") << QStringLiteral("yes") << true << true;
    QTest::newRow("word keeps default false") << QStringLiteral("yes") << false << false;
}

void TestProfileFile::booleans()
{
    QFETCH(QString, text);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    ProfileFile file;
    file.writeString(QStringLiteral("s"), QStringLiteral("k"), text);
    QCOMPARE(file.readBool(QStringLiteral("s"), QStringLiteral("k"), defaultValue), expected);
}

void TestProfileFile::namesIgnoreCase()
{
    ProfileFile file;
    file.parse("[VACUOLA]\r\nVERSION=x\r\n");
    QCOMPARE(file.readString(QStringLiteral("vacuola"), QStringLiteral("version"), QString()),
             QStringLiteral("x"));
    file.writeString(QStringLiteral("Vacuola"), QStringLiteral("Version"), QStringLiteral("y"));
    // Replaced in place, the file's own spelling kept.
    QCOMPARE(file.lines(), QStringList({QStringLiteral("[VACUOLA]"), QStringLiteral("VERSION=y")}));
}

void TestProfileFile::firstSectionAndKeyWin()
{
    ProfileFile file;
    file.parse("[s]\r\nk=1\r\nk=2\r\n[s]\r\nk=3\r\n");
    QCOMPARE(file.readInteger(QStringLiteral("s"), QStringLiteral("k"), 0), 1);
    file.writeInteger(QStringLiteral("s"), QStringLiteral("k"), 9);
    QCOMPARE(file.lines().at(1), QStringLiteral("k=9"));
    QCOMPARE(file.lines().at(2), QStringLiteral("k=2"));
    QCOMPARE(file.lines().at(4), QStringLiteral("k=3"));
}

void TestProfileFile::spacingAroundEquals()
{
    ProfileFile file;
    file.parse("  [ s ]  \nkey = value with inner blanks \n\tother\t=\t7\n");
    QCOMPARE(file.readString(QStringLiteral("s"), QStringLiteral("key"), QString()),
             QStringLiteral("value with inner blanks"));
    QCOMPARE(file.readInteger(QStringLiteral("s"), QStringLiteral("other"), 0), 7);
}

void TestProfileFile::writeKeepsEverythingElse()
{
    const QStringList original = {QStringLiteral("; a comment"),
                                  QStringLiteral("[s]"),
                                  QStringLiteral("a=1"),
                                  QStringLiteral("not a key line"),
                                  QString(),
                                  QStringLiteral("b=2"),
                                  QString(),
                                  QStringLiteral("[t]"),
                                  QStringLiteral("c=3")};
    ProfileFile file;
    file.parse(crlf(original));
    file.writeInteger(QStringLiteral("s"), QStringLiteral("b"), 20);
    QStringList expected = original;
    expected[5] = QStringLiteral("b=20");
    QCOMPARE(file.lines(), expected);
}

void TestProfileFile::untouchedLinesKeepTheirBytes()
{
    // Byte sequences that are no code page 932 text: a lead byte before a
    // blank, an unassigned row and a byte no character starts with.
    const QByteArray comment = "; note \x81\x20 and \xff";
    const QByteArray unknown = "unknown=\x85\x40\xfd";
    const QByteArray before = QByteArray("[Vacuola]\r\n") + comment + "\r\nVersion=Vacuola V1.12\r\n" +
                              "[other]\r\n" + unknown + "\r\n";
    ProfileFile file;
    file.parse(before);
    QVERIFY(file.lines().at(1).contains(QChar::ReplacementCharacter));
    file.writeString(QStringLiteral("Vacuola"), QStringLiteral("Version"), QStringLiteral("Vacuola V1.13A"));
    QCOMPARE(file.toBytes(), QByteArray("[Vacuola]\r\n") + comment + "\r\nVersion=Vacuola V1.13A\r\n" +
                                 "[other]\r\n" + unknown + "\r\n");

    // A line that is written is encoded anew, and the lines around an inserted one stay.
    file.writeString(QStringLiteral("other"), QStringLiteral("unknown"), QStringLiteral("表"));
    file.writeString(QStringLiteral("Vacuola"), QStringLiteral("new"), QStringLiteral("1"));
    QCOMPARE(file.toBytes(), QByteArray("[Vacuola]\r\n") + comment +
                                 "\r\nVersion=Vacuola V1.13A\r\nnew=1\r\n[other]\r\nunknown=\x95\x5c\r\n");

    // LF-only lines keep their bytes and get CR LF ends.
    ProfileFile lf;
    lf.parse(comment + "\n[s]\nk=v\n");
    lf.writeString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("w"));
    QCOMPARE(lf.toBytes(), comment + "\r\n[s]\r\nk=w\r\n");
}

void TestProfileFile::newKeyGoesToEndOfItsSection()
{
    ProfileFile file;
    file.parse(crlf({QStringLiteral("[s]"), QStringLiteral("a=1"), QString(), QStringLiteral("[t]"),
                     QStringLiteral("c=3")}));
    file.writeInteger(QStringLiteral("s"), QStringLiteral("b"), 2);
    file.writeInteger(QStringLiteral("t"), QStringLiteral("d"), 4);
    QCOMPARE(file.lines(),
             QStringList({QStringLiteral("[s]"), QStringLiteral("a=1"), QStringLiteral("b=2"), QString(),
                          QStringLiteral("[t]"), QStringLiteral("c=3"), QStringLiteral("d=4")}));
}

void TestProfileFile::newSectionGoesToEndOfFile()
{
    ProfileFile file;
    file.writeString(QStringLiteral("s"), QStringLiteral("a"), QStringLiteral("1"));
    file.writeString(QStringLiteral("t"), QStringLiteral("b"), QStringLiteral("2"));
    file.writeString(QStringLiteral("s"), QStringLiteral("c"), QStringLiteral("3"));
    QCOMPARE(file.lines(), QStringList({QStringLiteral("[s]"), QStringLiteral("a=1"), QStringLiteral("c=3"),
                                        QStringLiteral("[t]"), QStringLiteral("b=2")}));
}

void TestProfileFile::valuesReadBackAsWritten_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain") << QStringLiteral("/home/a b") << QStringLiteral("k=/home/a b");
    QTest::newRow("empty") << QString() << QStringLiteral("k=");
    QTest::newRow("one space") << QStringLiteral(" ") << QStringLiteral("k=\" \"");
    QTest::newRow("trailing space") << QStringLiteral("/tmp/x ") << QStringLiteral("k=\"/tmp/x \"");
    QTest::newRow("leading tab") << QStringLiteral("\tx") << QStringLiteral("k=\"\tx\"");
    QTest::newRow("quoted") << QStringLiteral("\"q\"") << QStringLiteral("k=\"\"q\"\"");
    QTest::newRow("one quote") << QStringLiteral("\"") << QStringLiteral("k=\"");
    QTest::newRow("ideographic space kept") << QStringLiteral("　x　") << QStringLiteral("k=　x　");
    QTest::newRow("equals sign") << QStringLiteral("a=b") << QStringLiteral("k=a=b");
}

void TestProfileFile::valuesReadBackAsWritten()
{
    QFETCH(QString, value);
    QFETCH(QString, line);
    ProfileFile written;
    written.writeString(QStringLiteral("s"), QStringLiteral("k"), value);
    QCOMPARE(written.lines().at(1), line);

    ProfileFile read;
    read.parse(written.toBytes());
    QCOMPARE(read.readString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("default")), value);
}

void TestProfileFile::lineBreakInValueCannotSplitTheLine()
{
    ProfileFile file;
    file.writeString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("a\r\n[x]\nb"));
    QCOMPARE(file.lines().size(), 2);
    ProfileFile read;
    read.parse(file.toBytes());
    QCOMPARE(read.lines().size(), 2);
    QVERIFY(!read.hasKey(QStringLiteral("x"), QStringLiteral("b")));
}

void TestProfileFile::longValueIsCut()
{
    ProfileFile file;
    file.writeString(QStringLiteral("s"), QStringLiteral("k"), QString(3000, u'a'));
    QCOMPARE(file.readString(QStringLiteral("s"), QStringLiteral("k"), QString()).size(), 2047);
    // A character outside the basic plane is not cut in half.
    file.writeString(QStringLiteral("s"), QStringLiteral("k"),
                     QString(2046, u'a') + QStringLiteral("\U0001F600") + QStringLiteral("b"));
    QCOMPARE(file.readString(QStringLiteral("s"), QStringLiteral("k"), QString()), QString(2046, u'a'));
}

void TestProfileFile::doubleByteTrailBackslash()
{
    // 表 is 0x95 0x5C: its trail byte is a backslash, and must stay part of the name.
    const QByteArray bytes =
        QByteArray("[\x8a\xc7\x97\x9d\x83\x74\x83\x40\x83\x43\x83\x8b]\r\n") // [管理ファイル]
        + "k=\x95\x5c.txt\r\n";
    ProfileFile file;
    file.parse(bytes);
    QCOMPARE(file.readString(QStringLiteral("管理ファイル"), QStringLiteral("k"), QString()),
             QStringLiteral("表.txt"));
    QCOMPARE(file.toBytes(), bytes);
}

void TestProfileFile::diskRoundTrip()
{
    TestDir dir;
    const QString path = dir.absolute(QStringLiteral("p.ini"));
    ProfileFile file;
    file.writeString(QStringLiteral("検索フォルダ"), QStringLiteral("検索フォルダ1"),
                     QStringLiteral("/写真"));
    QCOMPARE(file.save(systemFileSystem(), path), 0);

    QCOMPARE(readTestFile(path), Cp932::encode(QStringLiteral("[検索フォルダ]\r\n検索フォルダ1=/写真\r\n")));

    ProfileFile read;
    QCOMPARE(read.load(systemFileSystem(), path), 0);
    QCOMPARE(read.lines(), file.lines());
}

void TestProfileFile::missingAndUnreadableFiles()
{
    TestDir dir;
    ProfileFile file;
    file.parse("[s]\r\nk=v\r\n");
    QCOMPARE(file.load(systemFileSystem(), dir.absolute(QStringLiteral("missing.ini"))), 0);
    QVERIFY(file.lines().isEmpty());

    file.parse("[s]\r\nk=v\r\n");
    QCOMPARE(file.load(systemFileSystem(), dir.createDir(QStringLiteral("a-folder"))), EISDIR);
    QVERIFY(file.lines().isEmpty());
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestProfileFile)
#include "tst_profilefile.moc"
