#include "engine/SweepEngine.h"
#include "registers/SearchFolderRegister.h"
#include "tests/support/TestHelpers.h"
#include "tests/ui/WindowRig.h"

#include <QComboBox>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QTest>

namespace Vacuola::Test {

namespace {

// Delivers a drop of the given addresses to a widget, as the desktop would.
bool dropUrls(QWidget *target, const QList<QUrl> &urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    // Qt delivers a drop only to a drag that was entered first.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
    return event.isAccepted();
}

bool drop(QWidget *target, const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    return dropUrls(target, urls);
}

QStringList current()
{
    return {QStringLiteral("[Vacuola]"), QStringLiteral("Version=Vacuola V1.13A")};
}

} // namespace

// Folders and files dropped on the window from the desktop.
class WindowDropTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dropThreeFoldersAddsFirst();
    void dropFileTwice();
    void dropStartingWithARemoteAddressIsIgnored();
    void dropReachesLockedControlsDuringSweep();
    void dropRefusesUnstorableName();
    void otherEventsPassUnchanged();

private:
    std::unique_ptr<WindowRig> m_rig;
};

void WindowDropTest::init()
{
    useJapaneseLocale();
    m_rig = std::make_unique<WindowRig>();
}

void WindowDropTest::cleanup()
{
    m_rig.reset();
}

void WindowDropTest::dropThreeFoldersAddsFirst()
{
    m_rig->writeSettings(current());
    m_rig->open();
    const QString a = m_rig->work.createDir(QStringLiteral("a"));
    const QString b = m_rig->work.createDir(QStringLiteral("b"));
    const QString c = m_rig->work.createDir(QStringLiteral("c"));
    QVERIFY(drop(m_rig->window.get(), {a + QLatin1Char('/'), b, c}));
    auto *searchDir = m_rig->find<QComboBox>(QStringLiteral("SearchDir"));
    QCOMPARE(searchDir->count(), 2);
    QCOMPARE(searchDir->itemText(1), a); // without the trailing slash
    QCOMPARE(m_rig->window->statusText(), QStringLiteral("フォルダを追加しました"));
}

void WindowDropTest::dropFileTwice()
{
    m_rig->writeSettings(current());
    m_rig->open();
    const QString file = m_rig->work.createFile(QStringLiteral("x/Thumbs.db"));
    auto *list = m_rig->find<QListWidget>(QStringLiteral("IgnoreList"));
    // Dropped on a control: the hook sees it before the control does.
    QVERIFY(drop(list->viewport(), {file}));
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QStringLiteral("thumbs.db"));
    QCOMPARE(list->item(0)->checkState(), Qt::Checked);
    QCOMPARE(m_rig->window->statusText(), QStringLiteral("管理ファイルを追加しました"));
    QVERIFY(drop(m_rig->window.get(), {file}));
    QCOMPARE(list->count(), 1);
    QCOMPARE(m_rig->window->statusText(), QStringLiteral("入力された管理ファイルは既に登録済みです"));
    // Wider than the bar, the text is there whole in the bar's hint.
    QCOMPARE(m_rig->find<QWidget>(QStringLiteral("StatusText"))->toolTip(),
             QStringLiteral("<p>入力された管理ファイルは既に登録済みです</p>"));
    // A name with a comma is taken as it is: typed-name rules do not apply to drops.
    QVERIFY(drop(m_rig->window.get(), {m_rig->work.createFile(QStringLiteral("x/A,B.txt"))}));
    QCOMPARE(list->item(0)->text(), QStringLiteral("a,b.txt"));
}

void WindowDropTest::dropStartingWithARemoteAddressIsIgnored()
{
    m_rig->writeSettings(current());
    m_rig->open();
    const QString folder = m_rig->work.createDir(QStringLiteral("a"));
    // Only the first path of a drop counts; one that is no local file is not taken.
    QVERIFY(!dropUrls(m_rig->window.get(),
                      {QUrl(QStringLiteral("https://example.org/a")), QUrl::fromLocalFile(folder)}));
    QCOMPARE(m_rig->find<QComboBox>(QStringLiteral("SearchDir"))->count(), 1);
    QCOMPARE(m_rig->find<QListWidget>(QStringLiteral("IgnoreList"))->count(), 0);
    QCOMPARE(m_rig->window->statusText(), QStringLiteral("フォルダを指定して下さい"));
}

void WindowDropTest::dropReachesLockedControlsDuringSweep()
{
    m_rig->writeSettings(current());
    m_rig->open();
    m_rig->work.createDir(QStringLiteral("root/a"));
    m_rig->window->searchFolders().AddSearchFolder(m_rig->work.absolute(QStringLiteral("root")));
    const QString other = m_rig->work.createDir(QStringLiteral("other"));
    const QString file = m_rig->work.createFile(QStringLiteral("other/desktop.ini"));
    auto *list = m_rig->find<QListWidget>(QStringLiteral("IgnoreList"));
    bool dropped = false;
    QMetaObject::invokeMethod(
        m_rig->window.get(),
        [&] {
            QVERIFY(!list->isEnabled());
            dropped = drop(list->viewport(), {file});
            QVERIFY(drop(m_rig->window.get(), {other}));
        },
        Qt::QueuedConnection);
    m_rig->find<QAction>(QStringLiteral("Vacuola"))->trigger();
    QVERIFY(dropped);
    QCOMPARE(list->count(), 1);
    auto *searchDir = m_rig->find<QComboBox>(QStringLiteral("SearchDir"));
    QCOMPARE(searchDir->itemText(1), other);
}

void WindowDropTest::dropRefusesUnstorableName()
{
    m_rig->writeSettings(current());
    m_rig->open();
    // No code page 932 form: the name would not survive the settings file.
    const QString file = m_rig->work.createFile(QStringLiteral("x/caf\u00e9\U0001F600.txt"));
    QVERIFY(drop(m_rig->window.get(), {file}));
    QCOMPARE(m_rig->find<QListWidget>(QStringLiteral("IgnoreList"))->count(), 0);
    QVERIFY(m_rig->window->statusText().startsWith(QStringLiteral("処理できないファイル名です ")));
    // The same goes for a folder.
    const QString folder = m_rig->work.createDir(QStringLiteral("\U0001F600"));
    QVERIFY(drop(m_rig->window.get(), {folder}));
    QCOMPARE(m_rig->find<QComboBox>(QStringLiteral("SearchDir"))->count(), 1);
    QCOMPARE(m_rig->window->statusText(), QStringLiteral("処理できないフォルダです ") + folder);
}

void WindowDropTest::otherEventsPassUnchanged()
{
    m_rig->writeSettings(current());
    m_rig->open();
    QEvent other(QEvent::User);
    QVERIFY(!m_rig->window->AppMessage(m_rig->window.get(), &other));
    // A drop on another window is not ours.
    QWidget stranger;
    const QString file = m_rig->work.createFile(QStringLiteral("x/thumbs.db"));
    drop(&stranger, {file});
    QCOMPARE(m_rig->find<QListWidget>(QStringLiteral("IgnoreList"))->count(), 0);
}

} // namespace Vacuola::Test

QTEST_MAIN(Vacuola::Test::WindowDropTest)
#include "tst_windowdrop.moc"
