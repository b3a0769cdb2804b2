#include "registers/SearchFolderRegister.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestDir.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace Vacuola::Test {

namespace {

const QString Added = QStringLiteral("フォルダを追加しました");
const QString Duplicate = QStringLiteral("入力されたフォルダは既に登録済みです");

QString refused(const QString &path)
{
    return QStringLiteral("処理できないフォルダです ") + path;
}

// The register as the window builds it at start-up: placeholder only, selected.
struct Rig
{
    Rig() : reg(list, window, fs)
    {
        reg.resetToPlaceholder();
        list.select(0);
        reg.updateDelFolder();
    }
    QStringList folders() const { return list.items.mid(1); }

    TestDir dir;
    MemorySearchFolderList list;
    FakeWindow window;
    FaultyFileSystem fs;
    SearchFolderRegister reg;
};

// Restores the current folder when a test changed it.
class CurrentFolder final
{
public:
    explicit CurrentFolder(const QString &path) : m_saved(QDir::currentPath()) { QDir::setCurrent(path); }
    ~CurrentFolder() { QDir::setCurrent(m_saved); }

private:
    QString m_saved;
};

} // namespace

class TestSearchFolderRegister final : public QObject
{
    Q_OBJECT

private slots:
    void refusals_data();
    void refusals();
    void addToEmptyRegister();
    void newestFolderComesFirst();
    void sameFolder_data();
    void sameFolder();
    void deleteAndSelect();
    void expandLongPath_data();
    void expandLongPath();
    void commandLine_data();
    void commandLine();
};

void TestSearchFolderRegister::refusals_data()
{
    QTest::addColumn<QString>("path"); // "@" stands for the scratch folder
    QTest::addColumn<QString>("setup");
    QTest::newRow("missing") << QStringLiteral("@/nothing") << QString();
    QTest::newRow("a file") << QStringLiteral("@/file.txt") << QStringLiteral("file");
    QTest::newRow("relative") << QStringLiteral("sub") << QStringLiteral("cwd");
    QTest::newRow("network form") << QStringLiteral("/@/sub") << QString();
    QTest::newRow("root of the system") << QStringLiteral("/") << QString();
    QTest::newRow("mount point") << QStringLiteral("@/sub") << QStringLiteral("mount");
    QTest::newRow("optical disc") << QStringLiteral("@/sub") << QStringLiteral("optical");
    QTest::newRow("control character") << QStringLiteral("@/a\u0001b") << QStringLiteral("mkdir");
    QTest::newRow("emoji") << QStringLiteral("@/\U0001F600") << QStringLiteral("mkdir");
    QTest::newRow("hangul") << QStringLiteral("@/한글") << QStringLiteral("mkdir");
}

void TestSearchFolderRegister::refusals()
{
    QFETCH(QString, path);
    QFETCH(QString, setup);
    Rig rig;
    rig.dir.createDir(QStringLiteral("sub"));
    path.replace(QStringLiteral("@"), rig.dir.absolute());
    if (setup == QStringLiteral("file"))
        rig.dir.createFile(QStringLiteral("file.txt"));
    if (setup == QStringLiteral("mount"))
        rig.fs.mountRoots << path;
    if (setup == QStringLiteral("optical"))
        rig.fs.opticalDiscs << path;
    if (setup == QStringLiteral("mkdir"))
        QVERIFY(QDir().mkpath(path));
    std::optional<CurrentFolder> cwd;
    if (setup == QStringLiteral("cwd"))
        cwd.emplace(rig.dir.absolute());

    rig.window.events.clear();
    rig.reg.AddSearchFolder(path);
    QCOMPARE(rig.window.status, refused(path));
    QCOMPARE(rig.list.items, QStringList{SearchFolderRegister::placeholder()});
    QCOMPARE(rig.list.selected, 0);
    // Nothing but the status text changes.
    QCOMPARE(rig.window.events, QStringList{QStringLiteral("status:") + refused(path)});
}

void TestSearchFolderRegister::addToEmptyRegister()
{
    Rig rig;
    QVERIFY(!rig.window.delFolderEnabled);
    const QString photo = rig.dir.createDir(QStringLiteral("写真"));
    rig.reg.AddSearchFolder(photo);
    QCOMPARE(rig.folders(), QStringList{photo});
    QCOMPARE(rig.list.selected, 1);
    QCOMPARE(rig.list.hintText, photo);
    QVERIFY(rig.window.startEnabled);
    QVERIFY(rig.window.delFolderEnabled);
    QCOMPARE(rig.window.status, Added);
}

void TestSearchFolderRegister::newestFolderComesFirst()
{
    Rig rig;
    const QString a = rig.dir.createDir(QStringLiteral("a"));
    const QString b = rig.dir.createDir(QStringLiteral("b"));
    rig.reg.AddSearchFolder(a);
    rig.list.select(0);
    rig.reg.SearchDirSelect(0);
    QVERIFY(!rig.window.startEnabled);
    rig.reg.AddSearchFolder(b);
    QCOMPARE(rig.folders(), QStringList({b, a}));
    QCOMPARE(rig.list.selected, 1);
    QVERIFY(rig.window.startEnabled);
}

void TestSearchFolderRegister::sameFolder_data()
{
    QTest::addColumn<QString>("registered");
    QTest::addColumn<QString>("added");
    QTest::addColumn<QString>("setup"); // link: added links to registered; gone: registered removed first
    QTest::addColumn<bool>("duplicate");
    QTest::newRow("same text") << QStringLiteral("photos") << QStringLiteral("photos") << QString() << true;
    // Names are exact on this system, so the other spelling is a folder of its own.
    QTest::newRow("other case") << QStringLiteral("photos") << QStringLiteral("Photos") << QString() << false;
    QTest::newRow("link") << QStringLiteral("photos") << QStringLiteral("alias") << QStringLiteral("link")
                          << true;
    QTest::newRow("gone, other case")
        << QStringLiteral("Photos") << QStringLiteral("photos") << QStringLiteral("gone") << false;
    QTest::newRow("gone, other case, case ignored")
        << QStringLiteral("Photos") << QStringLiteral("photos") << QStringLiteral("gone caseblind") << true;
}

void TestSearchFolderRegister::sameFolder()
{
    QFETCH(QString, registered);
    QFETCH(QString, added);
    QFETCH(QString, setup);
    QFETCH(bool, duplicate);
    Rig rig;
    const QString known = rig.dir.createDir(registered);
    const QString other = rig.dir.createDir(QStringLiteral("other"));
    rig.reg.AddSearchFolder(known);
    rig.reg.AddSearchFolder(other);
    rig.list.select(0);
    rig.reg.SearchDirSelect(0);
    if (setup.contains(QStringLiteral("gone")))
        QVERIFY(QDir().rmdir(known));
    const QString path = rig.dir.absolute() + u'/' + added;
    if (setup == QStringLiteral("link"))
        QVERIFY(QFile::link(known, path));
    else
        rig.dir.createDir(added);
    if (setup.contains(QStringLiteral("caseblind")))
        rig.fs.caseBlind << path;

    rig.reg.AddSearchFolder(path);
    QVERIFY(rig.window.startEnabled);
    if (duplicate) {
        QCOMPARE(rig.folders(), QStringList({other, known}));
        QCOMPARE(rig.list.selected, 2);
        QCOMPARE(rig.list.hintText, known);
        QCOMPARE(rig.window.status, Duplicate);
    } else {
        QCOMPARE(rig.folders(), QStringList({path, other, known}));
        QCOMPARE(rig.list.selected, 1);
        QCOMPARE(rig.window.status, Added);
    }
}

void TestSearchFolderRegister::deleteAndSelect()
{
    Rig rig;
    const QString a = rig.dir.createDir(QStringLiteral("a"));
    rig.reg.AddSearchFolder(a);

    // The placeholder selected: delete does nothing; DelFolder stays available.
    rig.list.select(0);
    rig.reg.SearchDirSelect(0);
    QCOMPARE(rig.list.hintText, SearchFolderRegister::placeholder());
    QVERIFY(!rig.window.startEnabled);
    QVERIFY(rig.window.delFolderEnabled);
    rig.reg.DelFolderExecute();
    QCOMPARE(rig.folders(), QStringList{a});

    rig.list.select(1);
    rig.reg.SearchDirSelect(1);
    QVERIFY(rig.window.startEnabled);
    rig.window.status = QStringLiteral("before");
    rig.reg.DelFolderExecute();
    QVERIFY(rig.folders().isEmpty());
    QCOMPARE(rig.list.selected, 0);
    QCOMPARE(rig.list.hintText, SearchFolderRegister::placeholder());
    QVERIFY(!rig.window.startEnabled);
    QVERIFY(!rig.window.delFolderEnabled);
    QCOMPARE(rig.window.status, QStringLiteral("before"));
}

void TestSearchFolderRegister::expandLongPath_data()
{
    QTest::addColumn<QString>("given"); // "@" stands for the scratch folder
    QTest::addColumn<QString>("expected");
    QTest::newRow("relative") << QStringLiteral("a/b") << QStringLiteral("@/a/b");
    QTest::newRow("dot and dot-dot") << QStringLiteral("./a/../a/./b") << QStringLiteral("@/a/b");
    QTest::newRow("trailing slash") << QStringLiteral("@/a/b/") << QStringLiteral("@/a/b");
    QTest::newRow("doubled slashes") << QStringLiteral("@//a///b") << QStringLiteral("@/a/b");
    QTest::newRow("missing component and the rest unchanged")
        << QStringLiteral("a/Missing/Deeper") << QStringLiteral("@/a/Missing/Deeper");
    QTest::newRow("dot-dot above the root") << QStringLiteral("/../..") << QStringLiteral("/");
    QTest::newRow("network form kept")
        << QStringLiteral("//server/share/./x/") << QStringLiteral("//server/share/x");
    QTest::newRow("three slashes are one") << QStringLiteral("///@/a") << QStringLiteral("@/a");
}

void TestSearchFolderRegister::expandLongPath()
{
    QFETCH(QString, given);
    QFETCH(QString, expected);
    Rig rig;
    rig.dir.createDir(QStringLiteral("a/b"));
    given.replace(QStringLiteral("@"), rig.dir.absolute());
    expected.replace(QStringLiteral("@"), rig.dir.absolute());
    const CurrentFolder cwd(rig.dir.absolute());
    QCOMPARE(rig.reg.ExpandLongPath(given), expected);
}

void TestSearchFolderRegister::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments"); // "@" stands for the scratch folder
    QTest::addColumn<QString>("registered");
    QTest::addColumn<QString>("status");
    QTest::newRow("relative with trailing slash")
        << QStringList{QStringLiteral("a/b/"), QStringLiteral("more")} << QStringLiteral("@/a/b") << Added;
    QTest::newRow("absolute with dot-dot")
        << QStringList{QStringLiteral("@/a/../a")} << QStringLiteral("@/a") << Added;
    QTest::newRow("missing folder: no text")
        << QStringList{QStringLiteral("nothing")} << QString() << QString();
    QTest::newRow("no argument") << QStringList() << QString() << QString();
    QTest::newRow("empty argument") << QStringList{QString()} << QString() << QString();
    QTest::newRow("root refused") << QStringList{QStringLiteral("/")} << QString()
                                  << refused(QStringLiteral("/"));
}

void TestSearchFolderRegister::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, registered);
    QFETCH(QString, status);
    Rig rig;
    rig.dir.createDir(QStringLiteral("a/b"));
    for (QString &argument : arguments)
        argument.replace(QStringLiteral("@"), rig.dir.absolute());
    registered.replace(QStringLiteral("@"), rig.dir.absolute());
    const CurrentFolder cwd(rig.dir.absolute());

    rig.reg.CommandLineFolder(arguments);
    QCOMPARE(rig.folders(), registered.isEmpty() ? QStringList() : QStringList{registered});
    QCOMPARE(rig.window.status, status);
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestSearchFolderRegister)
#include "tst_searchfolderregister.moc"
