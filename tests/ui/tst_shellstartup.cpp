#include "engine/SweepEngine.h"
#include "platform/Cp932.h"
#include "registers/SearchFolderRegister.h"
#include "tests/support/TestHelpers.h"
#include "tests/ui/WindowRig.h"
#include "ui/HelpViewer.h"
#include "ui/LogViewer.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace Vacuola::Test {

namespace {

QStringList current()
{
    return {QStringLiteral("[Vacuola]"), QStringLiteral("Version=Vacuola V1.13A")};
}

} // namespace

class ShellStartupTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void versionNotesExactText();
    void shellHandOffs();
    void helpViewer();
    void logViewer_data();
    void logViewer();

    void firstStart();
    void installedLayoutKeepsFilesInTheUsersFolders();
    void commandLineFolderAfterStartText();
    void commandLineFolderAlreadyStored();
    void commandLineNetworkPathIsRefused();
    void storedLogOptionOutOfRange();
    void oldLayoutFileIsDeletedAndRewritten();
    void unreadableSettingsFileIsKept();
    void damagedCountsLoadSaveAndLoadAgain();
    void placementRoundTrip_data();
    void placementRoundTrip();
    void maximisedWindowSavesItsNormalPlacement();

private:
    std::unique_ptr<WindowRig> m_rig;
};

void ShellStartupTest::init()
{
    useJapaneseLocale();
    m_rig = std::make_unique<WindowRig>();
}

void ShellStartupTest::cleanup()
{
    m_rig.reset();
}

void ShellStartupTest::versionNotesExactText()
{
    m_rig->writeSettings(current());
    m_rig->open();
    m_rig->find<QAction>(QStringLiteral("About1"))->trigger();
    QCOMPARE(m_rig->dialogs.informations.size(), 1);
    // The whole text: the first line ends in CR CR LF, every other break is one CR,
    // and the indented lines begin with two ideographic spaces.
    const QString expected = QStringLiteral(
        "Vacuola V1.13A\r\r\n"
        "V1.12からの変更点\r"
        "・検索フォルダ、管理ファイルの入力方法を改良\r"
        "・LOG管理、出力内容を改良\r"
        "・ヘルプ追加ほか\r"
        "\r"
        "注）V1.12以前のINIファイルから設定項目を追加・変更していますので\r"
        "\u3000\u3000旧版の設定の多くは引継ぎません、管理ファイル等の再登録をお願いします\r"
        "\u3000\u3000管理ファイルは「管理ファイルセット追加」で以下の４つのファイルを登録出来ます\r"
        "\u3000\u3000desktop.ini/thumbs.db/_thumbnl.sue/_catalog.vix\r"
        "\u3000\u3000INIファイルについては最新版起動後に再作成しますので、意識する必要はありません\r"
        "\r"
        "V1.13からの変更点\r"
        "・リソース開放漏れ修正");
    QCOMPARE(m_rig->dialogs.informations.constFirst(), expected);
    QCOMPARE(Dialogs::displayText(QStringLiteral("a\r\r\nb\rc")), QStringLiteral("a\n\nb\nc"));
}

void ShellStartupTest::shellHandOffs()
{
    m_rig->writeSettings(current());
    m_rig->open();
    m_rig->find<QAction>(QStringLiteral("FolderView"))->trigger();
    auto *homepage = m_rig->find<QAction>(QStringLiteral("HomepageCall"));
    homepage->trigger();
    QCOMPARE(m_rig->openedUrls.at(0), QUrl::fromLocalFile(m_rig->program.absolute()));
    // Without a home page the item is disabled and hands nothing to the desktop.
    const QString page = QString::fromUtf8(VACUOLA_HOMEPAGE);
    QCOMPARE(homepage->isEnabled(), !page.isEmpty());
    QCOMPARE(m_rig->openedUrls.size(), page.isEmpty() ? 1 : 2);
    if (!page.isEmpty())
        QCOMPARE(m_rig->openedUrls.at(1), QUrl(page));
    // LogView hands the day's log to the editor.
    m_rig->program.createFile(QStringLiteral("Vacuola-20261208.log"), "x");
    m_rig->find<QAction>(QStringLiteral("LogView"))->trigger();
    QCOMPARE(m_rig->editor.opened.size(), 1);
}

void ShellStartupTest::helpViewer()
{
    m_rig->writeSettings(current());
    m_rig->open();
    m_rig->find<QAction>(QStringLiteral("HelpCall"))->trigger();
    QVERIFY(m_rig->window->helpViewer() != nullptr);
    QVERIFY(m_rig->window->helpViewer()->shownText().contains(QStringLiteral("vacuola.hlp")));
    // A fifo in its place is reported, never waited for.
    const QByteArray help = QFile::encodeName(m_rig->program.absolute(QStringLiteral("vacuola.hlp")));
    QCOMPARE(::mkfifo(help.constData(), 0600), 0);
    m_rig->find<QAction>(QStringLiteral("HelpCall"))->trigger();
    QVERIFY(
        m_rig->window->helpViewer()->shownText().startsWith(QStringLiteral("ヘルプファイルを開けません")));
    QCOMPARE(::unlink(help.constData()), 0);
    m_rig->program.createFile(QStringLiteral("vacuola.hlp"),
                              QStringLiteral("<h1>目次</h1><p>本文</p>").toUtf8());
    m_rig->find<QAction>(QStringLiteral("HelpCall"))->trigger();
    QVERIFY(m_rig->window->helpViewer()->shownText().startsWith(QStringLiteral("目次")));
    // A link followed by the keys, then back and forward again as in every help browser.
    m_rig->program.createFile(QStringLiteral("vacuola.hlp"),
                              QStringLiteral("<p>目次 <a href=\"b.html\">別頁</a></p>").toUtf8());
    m_rig->program.createFile(QStringLiteral("b.html"), QStringLiteral("<p>本文</p>").toUtf8());
    m_rig->find<QAction>(QStringLiteral("HelpCall"))->trigger();
    auto *browser = m_rig->window->helpViewer()->findChild<QWidget *>(QStringLiteral("HelpBrowser"));
    const QList<std::pair<QKeyCombination, QString>> steps = {{Qt::Key_Tab, u"目次 別頁"_qs},
                                                              {Qt::Key_Return, u"本文"_qs},
                                                              {Qt::ALT | Qt::Key_Left, u"目次 別頁"_qs},
                                                              {Qt::ALT | Qt::Key_Right, u"本文"_qs},
                                                              {Qt::Key_Backspace, u"目次 別頁"_qs}};
    for (const auto &[key, shown] : steps) {
        QTest::keyClick(browser, key.key(), key.keyboardModifiers());
        QCOMPARE(m_rig->window->helpViewer()->shownText(), shown);
    }
}

void ShellStartupTest::logViewer_data()
{
    QTest::addColumn<int>("readError");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("starts");
    QTest::addColumn<QString>("ends");
    QTest::newRow("code page 932, at its end")
        << 0 << 0 << QStringLiteral("x\nx\n")
        << QStringLiteral("x\n削除件数 = 2\n0:thumbs.db\t\n開始日時 = 2026/12/09 12時34分59秒\t処理時間 = "
                          "0時00分00秒\n");
    QTest::newRow("unreadable") << ENOSPC << 0 << QStringLiteral("LOGファイルを開けません\n") << QString();
    // Past 4 MiB the viewer starts at a whole line; no half character is decoded.
    QTest::newRow("larger than 4 MiB") << 0 << 300000 << QStringLiteral("削除件数 = 2\n削除件数 = 2\n")
                                       << QStringLiteral("x\n削除件数 = 2\n0:thumbs.db\t\n開始日時 = "
                                                         "2026/12/09 12時34分59秒\t処理時間 = 0時00分00秒\n");
}

void ShellStartupTest::logViewer()
{
    QFETCH(int, readError);
    QFETCH(int, lines);
    QFETCH(QString, starts);
    QFETCH(QString, ends);
    QByteArray bytes = QByteArray("\x8d\xed\x8f\x9c\x8c\x8f\x90\x94 = 2\r\n").repeated(lines);
    bytes += QByteArray("x\r\n").repeated(200);
    bytes += "\x8d\xed\x8f\x9c\x8c\x8f\x90\x94 = 2\r\n0:thumbs.db\t\r\n"; // 削除件数 in code page 932
    bytes += Cp932::encode(QStringLiteral("開始日時 = 2026/12/09 12時34分59秒\t処理時間 = 0時00分00秒\r\n"));
    const QString log = m_rig->program.createFile(QStringLiteral("Vacuola-20261208.log"), bytes);
    if (readError != 0)
        m_rig->fileSystem.failAll(FsOp::ReadFile, readError);
    QWidget window;
    LogViewer viewer(m_rig->fileSystem, &window);
    viewer.showLog(log);
    QVERIFY2(viewer.shownText().startsWith(starts), qPrintable(viewer.shownText().left(40)));
    QVERIFY(viewer.shownText().endsWith(ends));
    QVERIFY(viewer.atEnd());
    // A tab reaches the next tab stop a whole character on, never a sliver.
    const auto *text = viewer.findChild<QPlainTextEdit *>(QStringLiteral("LogText"));
    const QTextBlock block = text->document()->findBlockByNumber(text->document()->blockCount() - 2);
    text->document()->documentLayout()->blockBoundingRect(block);
    const int tab = qMax(0, block.text().indexOf(QLatin1Char('\t')));
    QVERIFY(block.layout()->lineAt(0).cursorToX(tab + 1) - block.layout()->lineAt(0).cursorToX(tab) >=
            text->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
}

void ShellStartupTest::firstStart()
{
    m_rig->program.createFile(QStringLiteral("Vacuola-20261101.log"), "old",
                              QDateTime(QDate(2026, 11, 1), QTime(9, 0)));
    m_rig->program.createFile(QStringLiteral("Vacuola-20261201.log"), "new",
                              QDateTime(QDate(2026, 12, 1), QTime(9, 0)));
    TForm1 &window = m_rig->open();
    QCOMPARE(m_rig->dialogs.informations, QStringList{TForm1::versionNotes()});
    QVERIFY(window.isMarked(OptionMark::Log2));
    QVERIFY(!window.isMarked(OptionMark::Log1));
    QVERIFY(!m_rig->program.exists(QStringLiteral("Vacuola-20261101.log")));
    QVERIFY(m_rig->program.exists(QStringLiteral("Vacuola-20261201.log")));
    QCOMPARE(window.statusText(), QStringLiteral("フォルダを指定して下さい"));
    QVERIFY(!m_rig->find<QAction>(QStringLiteral("Vacuola"))->isEnabled());
    QVERIFY(!m_rig->find<QAction>(QStringLiteral("DelFolder"))->isEnabled());
    QCOMPARE(m_rig->find<QComboBox>(QStringLiteral("SearchDir"))->count(), 1);
    QCOMPARE(m_rig->find<QListWidget>(QStringLiteral("IgnoreList"))->count(), 0);
    // The designed placement at 96 dpi, and the designed minimum.
    QCOMPARE(window.geometry(), QRect(435, 115, 214, 185));
    QCOMPARE(window.minimumSize(), QSize(214, 173));
    QVERIFY(!QFile::exists(m_rig->settingsPath()));
    m_rig->close();
    const QByteArray saved = readTestFile(m_rig->settingsPath());
    QVERIFY(saved.startsWith(Cp932::encode(QStringLiteral(
        "[Vacuola]\r\nVersion=Vacuola V1.13A\r\n上端位置=115\r\n左端位置=435\r\n縦幅=185\r\n横幅=214\r\n"))));
}

void ShellStartupTest::installedLayoutKeepsFilesInTheUsersFolders()
{
    const QString home = m_rig->work.absolute(QStringLiteral("home"));
    m_rig->settingsFile = home + QStringLiteral("/.config/vacuola/vacuola.ini");
    m_rig->logFolder = home + QStringLiteral("/.local/state/vacuola");
    const QString tree = m_rig->work.createDir(QStringLiteral("tree/empty"));
    m_rig->open({m_rig->work.absolute(QStringLiteral("tree"))});
    // The start-up purge finds no log folder and makes none.
    QVERIFY(!m_rig->work.exists(QStringLiteral("home")));

    m_rig->find<QAction>(QStringLiteral("FolderView"))->trigger();
    QCOMPARE(m_rig->openedUrls, QList<QUrl>{QUrl::fromLocalFile(m_rig->logFolder)});
    QCOMPARE(QFileInfo(m_rig->logFolder).permissions() & 0x7777, QFileDevice::Permissions(0x7700));
    QDir(m_rig->logFolder).rmdir(m_rig->logFolder);

    m_rig->find<QAction>(QStringLiteral("Vacuola"))->trigger();
    m_rig->close();
    QCOMPARE(m_rig->work.tree(),
             QStringList({QStringLiteral("home/"), QStringLiteral("home/.config/"),
                          QStringLiteral("home/.config/vacuola/"),
                          QStringLiteral("home/.config/vacuola/vacuola.ini"), QStringLiteral("home/.local/"),
                          QStringLiteral("home/.local/state/"), QStringLiteral("home/.local/state/vacuola/"),
                          QStringLiteral("home/.local/state/vacuola/Vacuola-20261208-100000000.undo"),
                          QStringLiteral("home/.local/state/vacuola/Vacuola-20261208.log")}));
    QCOMPARE(QFileInfo(home + QStringLiteral("/.config/vacuola")).permissions() & 0x7777,
             QFileDevice::Permissions(0x7700));
    QCOMPARE(m_rig->program.tree(), QStringList());
}

void ShellStartupTest::commandLineFolderAfterStartText()
{
    const QString folder = m_rig->work.createDir(QStringLiteral("Photos"));
    m_rig->writeSettings(current());
    TForm1 &window = m_rig->open({folder + QLatin1Char('/')});
    auto *searchDir = m_rig->find<QComboBox>(QStringLiteral("SearchDir"));
    QCOMPARE(searchDir->itemText(1), folder);
    QCOMPARE(searchDir->currentIndex(), 1);
    QVERIFY(m_rig->find<QAction>(QStringLiteral("Vacuola"))->isEnabled());
    QCOMPARE(window.statusText(), QStringLiteral("フォルダを追加しました"));
}

void ShellStartupTest::commandLineFolderAlreadyStored()
{
    const QString first = m_rig->work.createDir(QStringLiteral("first"));
    const QString photos = m_rig->work.createDir(QStringLiteral("Photos"));
    m_rig->writeSettings(current() << QStringLiteral("[検索フォルダ]") << QStringLiteral("検索フォルダ数=2")
                                   << QStringLiteral("検索フォルダ1=") + first
                                   << QStringLiteral("検索フォルダ2=") + photos);
    TForm1 &window = m_rig->open({photos});
    auto *searchDir = m_rig->find<QComboBox>(QStringLiteral("SearchDir"));
    // Selected where it stands: nothing is added or moved.
    QCOMPARE(searchDir->count(), 3);
    QCOMPARE(searchDir->itemText(1), first);
    QCOMPARE(searchDir->itemText(2), photos);
    QCOMPARE(searchDir->currentIndex(), 2);
    QVERIFY(m_rig->find<QAction>(QStringLiteral("Vacuola"))->isEnabled());
    QCOMPARE(window.statusText(), QStringLiteral("入力されたフォルダは既に登録済みです"));
}

void ShellStartupTest::commandLineNetworkPathIsRefused()
{
    // Two leading slashes stand for a server and a share, even where the folder
    // exists: the expansion keeps the form, and registering refuses it.
    const QString folder = m_rig->work.createDir(QStringLiteral("share"));
    const QString network = u'/' + folder;
    m_rig->writeSettings(current());
    TForm1 &window = m_rig->open({network + u'/'});
    QCOMPARE(window.searchFolders().ExpandLongPath(network + u'/'), network);
    QCOMPARE(m_rig->find<QComboBox>(QStringLiteral("SearchDir"))->count(), 1);
    QVERIFY(!m_rig->find<QAction>(QStringLiteral("Vacuola"))->isEnabled());
    QCOMPARE(window.statusText(), QStringLiteral("処理できないフォルダです ") + network);
}

void ShellStartupTest::storedLogOptionOutOfRange()
{
    m_rig->program.createFile(QStringLiteral("Vacuola-20260101.log"), "old",
                              QDateTime(QDate(2026, 1, 1), QTime(9, 0)));
    m_rig->writeSettings(current() << QStringLiteral("LOG保存設定=7"));
    TForm1 &window = m_rig->open();
    QVERIFY(window.isMarked(OptionMark::Log1));
    QVERIFY(m_rig->program.exists(QStringLiteral("Vacuola-20260101.log")));
}

void ShellStartupTest::oldLayoutFileIsDeletedAndRewritten()
{
    const QString folder = m_rig->work.createDir(QStringLiteral("kept"));
    m_rig->writeSettings({QStringLiteral("[Vacuola]"), QStringLiteral("Version=Vacuola V1.12"),
                          QStringLiteral("[検索フォルダ]"), QStringLiteral("検索フォルダ数=1"),
                          QStringLiteral("検索フォルダ1=") + folder});
    m_rig->open();
    QVERIFY(!QFile::exists(m_rig->settingsPath()));
    QCOMPARE(m_rig->dialogs.informations.size(), 1);
    QCOMPARE(m_rig->find<QComboBox>(QStringLiteral("SearchDir"))->itemText(1), folder);
    m_rig->close();
    QVERIFY(QFile::exists(m_rig->settingsPath()));
    m_rig->open();
    QCOMPARE(m_rig->dialogs.informations.size(), 1); // current now: no notes
    QCOMPARE(m_rig->find<QComboBox>(QStringLiteral("SearchDir"))->itemText(1), folder);
}

void ShellStartupTest::unreadableSettingsFileIsKept()
{
    m_rig->writeSettings(current() << QStringLiteral("LOG保存設定=3"));
    const QByteArray before = readTestFile(m_rig->settingsPath());
    QVERIFY(!before.isEmpty());
    m_rig->fileSystem.fail(FsOp::ReadFile, m_rig->settingsPath(), EIO);
    m_rig->open();
    QVERIFY(QFile::exists(m_rig->settingsPath()));
    m_rig->close();
    QCOMPARE(m_rig->dialogs.errorReports.size(), 1);
    QCOMPARE(readTestFile(m_rig->settingsPath()), before);
}

void ShellStartupTest::damagedCountsLoadSaveAndLoadAgain()
{
    const QByteArray fixture = readTestFile(QStringLiteral(VACUOLA_FIXTURES "/huge-count.ini"));
    QVERIFY(!fixture.isEmpty());
    m_rig->program.createFile(QStringLiteral("vacuola.ini"), fixture);
    m_rig->open();
    auto *list = m_rig->find<QListWidget>(QStringLiteral("IgnoreList"));
    // Read up to the ceiling of 65,535 keys: the missing ones are empty names.
    QCOMPARE(list->count(), 65535);
    QCOMPARE(list->item(65534)->text(), QStringLiteral("a.txt"));
    QCOMPARE(m_rig->find<QComboBox>(QStringLiteral("SearchDir"))->count(), 1);
    m_rig->close();
    m_rig->open();
    QCOMPARE(m_rig->find<QListWidget>(QStringLiteral("IgnoreList"))->count(), 65535);
}

void ShellStartupTest::placementRoundTrip_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("maximised");
    QTest::newRow("hidden") << false << false;
    QTest::newRow("shown") << true << false;
    QTest::newRow("maximised then closed") << true << true;
}

void ShellStartupTest::placementRoundTrip()
{
    QFETCH(bool, shown);
    QFETCH(bool, maximised);
    m_rig->writeSettings(current() << QStringLiteral("上端位置=123") << QStringLiteral("左端位置=211")
                                   << QStringLiteral("縦幅=301") << QStringLiteral("横幅=257"));
    TForm1 &first = m_rig->open();
    const QRect placed = first.geometry();
    QCOMPARE(placed, QRect(211, 123, 257, 301));
    if (shown) {
        first.show();
        QVERIFY(QTest::qWaitForWindowExposed(&first));
        if (maximised) {
            first.showMaximized();
            QTRY_VERIFY(first.isMaximized());
        }
        first.close();
    }
    m_rig->close();
    TForm1 &second = m_rig->open();
    QCOMPARE(second.geometry(), placed);
    m_rig->close();
    TForm1 &third = m_rig->open();
    QCOMPARE(third.geometry(), placed);
}

void ShellStartupTest::maximisedWindowSavesItsNormalPlacement()
{
    m_rig->writeSettings(current() << QStringLiteral("上端位置=123") << QStringLiteral("左端位置=211")
                                   << QStringLiteral("縦幅=301") << QStringLiteral("横幅=257"));
    TForm1 &window = m_rig->open();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.showMaximized();
    QTRY_VERIFY(window.isMaximized());
    window.close();
    // A window manager restores the window later: until then it still has the
    // maximised size (the offscreen platform does not resize, so set one).
    window.setGeometry(QRect(0, 20, 640, 460));
    m_rig->close();
    TForm1 &next = m_rig->open();
    QCOMPARE(next.geometry(), QRect(211, 123, 257, 301));
}

} // namespace Vacuola::Test

QTEST_MAIN(Vacuola::Test::ShellStartupTest)
#include "tst_shellstartup.moc"
