#include "registers/ManagementFileRegister.h"
#include "registers/SearchFolderRegister.h"
#include "tests/support/TestHelpers.h"
#include "tests/ui/WindowRig.h"
#include "ui/Dialogs.h"
#include "ui/FocusFrame.h"
#include "ui/HelpViewer.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include <cerrno>

namespace Vacuola::Test {

namespace {

// One line per menu entry: indentation, object name, caption, and the action a proxy item runs.
void describe(const QMenu *menu, int depth, QStringList &lines)
{
    const QString indent(depth * 2, QLatin1Char(' '));
    const QList<QAction *> actions = menu->actions();
    for (const QAction *item : actions) {
        if (item->isSeparator()) {
            lines << indent + item->objectName() + QStringLiteral(" -");
        } else if (item->menu() != nullptr) {
            lines << indent + item->menu()->objectName() + QLatin1Char(' ') + item->text();
            describe(item->menu(), depth + 1, lines);
        } else {
            // A menu shows the text after a tab as the item's shortcut.
            QString line = indent + item->objectName() + QLatin1Char(' ') +
                           item->text().section(QLatin1Char('\t'), 0, 0);
            if (const QObject *bound = item->property("action").value<QObject *>())
                line += QStringLiteral(" -> ") + bound->objectName();
            if (item->isCheckable())
                line += item->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]");
            const QString shown = item->text().section(QLatin1Char('\t'), 1);
            if (!shown.isEmpty())
                line += QLatin1Char(' ') + shown;
            // Only the actions hold live shortcuts.
            QVERIFY(item->shortcut().isEmpty());
            lines << line;
        }
    }
}

} // namespace

class MainWindowTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void mainMenuTree();
    void popUpMenus();
    void logMarksAreExclusive_data();
    void logMarksAreExclusive();
    void controlsAndHints();
    void startingState();
    void darkThemeNamesAndKeys();
    void longPathQuestionFitsTheScreen();

    void sortingKeepsMarks();
    void multiSelectDelete();
    void doubleClicks();

private:
    std::unique_ptr<WindowRig> m_rig;
};

void MainWindowTest::init()
{
    useJapaneseLocale();
    m_rig = std::make_unique<WindowRig>();
    // A current settings file: no version notes at start.
    m_rig->writeSettings({QStringLiteral("[Vacuola]"), QStringLiteral("Version=Vacuola V1.13A")});
    m_rig->open();
}

void MainWindowTest::cleanup()
{
    m_rig.reset();
}

void MainWindowTest::mainMenuTree()
{
    QStringList lines;
    const QList<QAction *> top = m_rig->window->menuBar()->actions();
    for (const QAction *entry : top) {
        lines << entry->menu()->objectName() + QLatin1Char(' ') + entry->text();
        describe(entry->menu(), 1, lines);
    }
    const QStringList expected = {
        QStringLiteral("File1 ファイル(&F)"),
        QStringLiteral("  Vacuola1 開始(&S) -> Vacuola"),
        QStringLiteral("  Preview 削除予定の確認(&T)..."),
        QStringLiteral("  Undo 元に戻す(&U)..."),
        QStringLiteral("  Dir 検索フォルダ"),
        QStringLiteral("    DirAdd1 検索フォルダ追加(&A)... -> AddFolder"),
        QStringLiteral("    DirDel1 検索フォルダ削除(&D) -> DelFolder"),
        QStringLiteral("  IFile 管理ファイル"),
        QStringLiteral("    IFAdd1 管理ファイル追加(&A)... -> IgnoreFileAdd"),
        QStringLiteral("    IFDel1 管理ファイル削除(&D) -> IgnoreFileDel"),
        QStringLiteral("    FileSetAdd1 管理ファイルセット追加(&S) -> IgnoreFileSetAdd"),
        QStringLiteral("    N2 -"),
        QStringLiteral("    IFON1 チェック全てON(&Y) -> IgnoreFileAllOn"),
        QStringLiteral("    IFOFF1 チェック全てOFF(&N) -> IgnoreFileAllOff"),
        QStringLiteral("  Exit1 終了(&X) -> SaveExit Alt+F4"),
        QStringLiteral("Setting 設定(&S)"),
        QStringLiteral("  SetLog ログ機能(&L)"),
        QStringLiteral("    Log0 LOGを作成しない(&0) [ ]"),
        QStringLiteral("    Log1 LOG作成、１週間保存(&1) [ ]"),
        QStringLiteral("    Log2 LOG作成、２週間保存(&2) [x]"), // no stored option: 2
        QStringLiteral("    Log3 LOG作成、削除しない(&3) [ ]"),
        QStringLiteral("    N1 -"),
        QStringLiteral("    LogView LOGを表示(&V)"),
        QStringLiteral("    FolderView インストールフォルダを開く(&O)"),
        QStringLiteral("  DisableReadOnly 読取専用属性の解除(&R) [ ]"),
        QStringLiteral("  NonStop エラーメッセージ抑止(&N) [ ]"),
        QStringLiteral("  Exclusions 除外フォルダ(&E)..."),
        QStringLiteral("  MoveToTrash 管理ファイルをごみ箱へ移動(&G) [ ]"),
        QStringLiteral("Help1 ヘルプ(&H)"),
        QStringLiteral("  About1 バージョン情報(&A)"),
        QStringLiteral("  HomepageCall 作者Homepage(&W)"),
        QStringLiteral("  HelpCall ヘルプ(&H)"),
    };
    QCOMPARE(lines, expected);
    // The menu items follow their action's state.
    auto *vacuola1 = m_rig->find<QAction>(QStringLiteral("Vacuola1"));
    QVERIFY(!vacuola1->isEnabled());
    m_rig->window->setStartCaption(QStringLiteral("中止(&P)"));
    m_rig->window->setStartEnabled(true);
    QCOMPARE(vacuola1->text(), QStringLiteral("中止(&P)"));
    QVERIFY(vacuola1->isEnabled());
}

void MainWindowTest::popUpMenus()
{
    QStringList lines;
    describe(m_rig->find<QMenu>(QStringLiteral("IListMenu")), 0, lines);
    describe(m_rig->find<QMenu>(QStringLiteral("ScanPathMenu")), 0, lines);
    const QStringList expected = {
        QStringLiteral("IFAdd2 管理ファイル追加(&A)... -> IgnoreFileAdd"),
        QStringLiteral("IFDel2 管理ファイル削除(&D) -> IgnoreFileDel"),
        QStringLiteral("FileSetAdd2 管理ファイルセット追加(&S) -> IgnoreFileSetAdd"),
        QStringLiteral("N3 -"),
        QStringLiteral("IFOn2 チェック全てON(&Y) -> IgnoreFileAllOn"),
        QStringLiteral("IFOFF2 チェック全てOFF(&N) -> IgnoreFileAllOff"),
        QStringLiteral("DirAdd2 検索フォルダ追加(&A)... -> AddFolder"),
        QStringLiteral("DirDel2 検索フォルダ削除(&D) -> DelFolder"),
    };
    QCOMPARE(lines, expected);
    // A pop-up item runs its action.
    m_rig->find<QAction>(QStringLiteral("FileSetAdd2"))->trigger();
    QCOMPARE(m_rig->find<QListWidget>(QStringLiteral("IgnoreList"))->count(), 4);
    QCOMPARE(m_rig->window->statusText(), QStringLiteral("不要なファイル名は削除して下さい"));
}

void MainWindowTest::logMarksAreExclusive_data()
{
    QTest::addColumn<int>("chosen");
    QTest::newRow("Log0") << 0;
    QTest::newRow("Log1") << 1;
    QTest::newRow("Log3 after Log1") << 3;
}

void MainWindowTest::logMarksAreExclusive()
{
    QFETCH(int, chosen);
    m_rig->find<QAction>(QStringLiteral("Log1"))->trigger();
    m_rig->find<QAction>(QStringLiteral("Log%1").arg(chosen))->trigger();
    const OptionMark marks[4] = {OptionMark::Log0, OptionMark::Log1, OptionMark::Log2, OptionMark::Log3};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(m_rig->window->isMarked(marks[i]), i == chosen);
    // The two check items toggle on their own.
    auto *nonStop = m_rig->find<QAction>(QStringLiteral("NonStop"));
    nonStop->trigger();
    QVERIFY(m_rig->window->isMarked(OptionMark::NonStop));
    nonStop->trigger();
    QVERIFY(!m_rig->window->isMarked(OptionMark::NonStop));
    QVERIFY(!m_rig->window->isMarked(OptionMark::DisableReadOnly));
}

void MainWindowTest::controlsAndHints()
{
    auto *exec = m_rig->find<QToolButton>(QStringLiteral("ExecButton"));
    auto *exit = m_rig->find<QToolButton>(QStringLiteral("ExitButton"));
    QCOMPARE(exec->defaultAction()->objectName(), QStringLiteral("Vacuola"));
    QCOMPARE(exit->defaultAction()->objectName(), QStringLiteral("SaveExit"));
    QCOMPARE(exec->toolTip(), QStringLiteral("削除開始　選択フォルダ配下の空きフォルダが削除されます"));
    // The exit button's hint is never shown: its tool-tip event is swallowed.
    QHelpEvent exitTip(QEvent::ToolTip, QPoint(2, 2), exit->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(exit, &exitTip);
    QVERIFY(!QToolTip::isVisible());
    QHelpEvent execTip(QEvent::ToolTip, QPoint(2, 2), exec->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(exec, &execTip);
    QTRY_VERIFY(QToolTip::isVisible());
    QToolTip::hideText();
    QCOMPARE(m_rig->find<QWidget>(QStringLiteral("DelCounter"))->toolTip(), QStringLiteral("削除カウンター"));
    QCOMPARE(m_rig->find<QWidget>(QStringLiteral("IgnoreList"))->toolTip(),
             QStringLiteral("ファイル一覧　チェックＯＮで無視されます"));
    for (const char *name : {"Label1", "SearchDir", "Label2", "Status", "MainMenu1", "ActionList1"})
        QVERIFY2(m_rig->window->findChild<QObject *>(QString::fromLatin1(name)) != nullptr, name);
    QCOMPARE(m_rig->find<QAction>(QStringLiteral("SaveExit"))->shortcut(),
             QKeySequence(Qt::ALT | Qt::Key_F4));
}

void MainWindowTest::startingState()
{
    TForm1 &window = *m_rig->window;
    auto *searchDir = m_rig->find<QComboBox>(QStringLiteral("SearchDir"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Vacuola V1.13A"));
    QCOMPARE(searchDir->count(), 1);
    QCOMPARE(searchDir->currentText(), QStringLiteral("検索フォルダを選択して下さい"));
    QCOMPARE(searchDir->toolTip(), QString());
    QVERIFY(!m_rig->find<QAction>(QStringLiteral("Vacuola"))->isEnabled());
    QCOMPARE(m_rig->find<QAction>(QStringLiteral("Vacuola"))->text(), QStringLiteral("開始(&S)"));
    QVERIFY(!m_rig->find<QAction>(QStringLiteral("Preview"))->isEnabled());
    QVERIFY(!m_rig->find<QAction>(QStringLiteral("DelFolder"))->isEnabled());
    QVERIFY(m_rig->find<QAction>(QStringLiteral("SaveExit"))->isEnabled());
    QCOMPARE(window.statusText(), QStringLiteral("フォルダを指定して下さい"));
    QCOMPARE(m_rig->find<QLabel>(QStringLiteral("StatusText"))->text(),
             QStringLiteral("フォルダを指定して下さい"));
    QCOMPARE(m_rig->find<QListWidget>(QStringLiteral("IgnoreList"))->selectionMode(),
             QAbstractItemView::ExtendedSelection);
    QVERIFY(m_rig->dialogs.informations.isEmpty());
}

void MainWindowTest::darkThemeNamesAndKeys()
{
    // A dark desktop theme, set while the window stands.
    const QPalette before = QApplication::palette();
    QStyle *dark = QStyleFactory::create(QStringLiteral("Fusion"));
    QApplication::setStyle(dark);
    QPalette night(QColor(40, 40, 40), QColor(30, 30, 30));
    night.setColor(QPalette::WindowText, QColor(240, 240, 240));
    night.setColor(QPalette::Text, QColor(240, 240, 240));
    QApplication::setPalette(night);
    TForm1 &window = *m_rig->window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // The status text stays dark on the money green bar.
    const QImage bar = m_rig->find<QWidget>(QStringLiteral("Status"))->grab().toImage();
    int darkest = 255;
    for (int y = 0; y < bar.height(); ++y)
        for (int x = 0; x < bar.width(); ++x)
            darkest = qMin(darkest, qGray(bar.pixel(x, y)));
    QVERIFY2(darkest < 60, qPrintable(QString::number(darkest)));
    QCOMPARE(bar.pixelColor(2, 2), QColor(192, 220, 192));

    // The focus frame stands around the control that has the keys.
    auto *list = m_rig->find<QListWidget>(QStringLiteral("IgnoreList"));
    list->setFocus();
    auto *frame = m_rig->find<FocusFrame>(QStringLiteral("FocusFrame"));
    QTRY_COMPARE(frame->framed(), list);
    QVERIFY(frame->isVisible());
    QVERIFY(frame->geometry().contains(list->geometry()));

    auto name = [this](const char *control) {
        QObject *widget = m_rig->window->findChild<QObject *>(QString::fromLatin1(control));
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    };
    // On this desktop a drop-down is read by its current text and named by its label.
    const auto labels =
        QAccessible::queryAccessibleInterface(m_rig->find<QWidget>(QStringLiteral("SearchDir")))
            ->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.constFirst().first->text(QAccessible::Name), QStringLiteral("検索フォルダ"));
    QCOMPARE(name("IgnoreList"), QStringLiteral("管理ファイルリスト"));
    QCOMPARE(name("DelCounter"), QStringLiteral("削除カウンター"));
    QAccessibleInterface *exit =
        QAccessible::queryAccessibleInterface(m_rig->find<QWidget>(QStringLiteral("ExitButton")));
    QVERIFY(!exit->text(QAccessible::Description).contains(QStringLiteral("プログラムを終了します")));
    QCOMPARE(m_rig->find<QLabel>(QStringLiteral("Label2"))->buddy(), list);
    // Menu items are read by their caption; a shortcut is their key binding, not part of the name.
    QAccessibleInterface *file =
        QAccessible::queryAccessibleInterface(m_rig->find<QMenu>(QStringLiteral("File1")));
    QStringList items;
    for (int i = 0; i < file->childCount(); ++i)
        items << file->child(i)->text(QAccessible::Name) + QLatin1Char('|') +
                     file->child(i)->text(QAccessible::Accelerator);
    QCOMPARE(items,
             QStringList({QStringLiteral("開始(S)|Alt+S"), QStringLiteral("削除予定の確認(T)...|Alt+T"),
                          QStringLiteral("元に戻す(U)...|Alt+U"), QStringLiteral("検索フォルダ|"),
                          QStringLiteral("管理ファイル|"), QStringLiteral("終了(X)|Alt+F4")}));

    // F1 opens the help.
    QTest::keyClick(&window, Qt::Key_F1);
    QVERIFY(window.helpViewer() != nullptr);
    window.helpViewer()->close();

    QApplication::setPalette(before);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

void MainWindowTest::longPathQuestionFitsTheScreen()
{
    QString path;
    for (int i = 0; i < 5000; ++i)
        path += QStringLiteral("/d");
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    bool checked = false;
    QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        QVERIFY(box != nullptr);
        const QList<QPushButton *> buttons = box->findChildren<QPushButton *>();
        // The box goes whatever the checks find, so that a failure cannot hang the test.
        auto no = qScopeGuard([&] {
            if (buttons.size() > 1)
                buttons.at(1)->click(); // いいえ
            else
                box->close();
        });
        QVERIFY(screen.contains(box->geometry()));
        QVERIFY(box->findChild<QPlainTextEdit *>()->toPlainText().contains(path));
        QCOMPARE(buttons.size(), 3);
        for (QPushButton *button : buttons)
            QVERIFY(screen.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())));
        checked = true;
    });
    QtDialogs dialogs;
    QCOMPARE(dialogs.question(m_rig->window.get(),
                              QStringLiteral("読取専用属性の付いたフォルダを検出しました\r\r") + path +
                                  QStringLiteral("\r属性を解除して削除しますか？")),
             Answer::No);
    QVERIFY(checked);
}

void MainWindowTest::sortingKeepsMarks()
{
    auto *list = m_rig->find<QListWidget>(QStringLiteral("IgnoreList"));
    ManagementFileRegister &names = m_rig->window->managementFiles();
    names.AddIgnoreFile(QStringLiteral("thumbs.db"));
    list->item(0)->setCheckState(Qt::Unchecked);
    names.AddIgnoreFile(QStringLiteral("zz.txt"));
    names.AddIgnoreFile(QStringLiteral("_catalog.vix"));
    names.AddIgnoreFile(QStringLiteral("desktop.ini"));
    QCOMPARE(m_rig->ignoreListMarks(),
             (QStringList{QStringLiteral("_catalog.vix"), QStringLiteral("desktop.ini"),
                          QStringLiteral("-thumbs.db"), QStringLiteral("zz.txt")}));
}

void MainWindowTest::multiSelectDelete()
{
    auto *list = m_rig->find<QListWidget>(QStringLiteral("IgnoreList"));
    m_rig->find<QAction>(QStringLiteral("IgnoreFileSetAdd"))->trigger();
    QCOMPARE(list->count(), 4);
    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    m_rig->find<QAction>(QStringLiteral("IFDel2"))->trigger();
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("_thumbnl.sue"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("thumbs.db"));
}

void MainWindowTest::doubleClicks()
{
    auto *list = m_rig->find<QListWidget>(QStringLiteral("IgnoreList"));
    m_rig->find<QAction>(QStringLiteral("IgnoreFileSetAdd"))->trigger();
    list->item(1)->setSelected(true);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(40, 3));
    QVERIFY(list->selectedItems().isEmpty());

    const QString folder = m_rig->work.createDir(QStringLiteral("picked"));
    m_rig->dialogs.setNextFolder(folder);
    QTest::mouseDClick(m_rig->find<QComboBox>(QStringLiteral("SearchDir")), Qt::LeftButton);
    QCOMPARE(m_rig->dialogs.folderTitles, QStringList{QStringLiteral("検索フォルダを指定")});
    auto *searchDir = m_rig->find<QComboBox>(QStringLiteral("SearchDir"));
    QCOMPARE(searchDir->count(), 2);
    QCOMPARE(searchDir->currentIndex(), 1);
    QCOMPARE(searchDir->toolTip(), folder);
    QVERIFY(m_rig->find<QAction>(QStringLiteral("Vacuola"))->isEnabled());
    QVERIFY(m_rig->find<QAction>(QStringLiteral("DirDel1"))->isEnabled());
}

} // namespace Vacuola::Test

QTEST_MAIN(Vacuola::Test::MainWindowTest)
#include "tst_mainwindow.moc"
