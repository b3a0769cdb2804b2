#include "ui/FormActions.h"

#include "ui/MenuItemAccess.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace Vacuola {

namespace {

// A menu item of its own that shows and runs an action, as the action's other items do.
QAction *addItem(QMenu *menu, const QString &name, QAction *bound)
{
    auto *item = new QAction(menu);
    item->setObjectName(name);
    item->setProperty("action", QVariant::fromValue<QObject *>(bound));
    // The action owns its shortcut; the item only shows it after a tab, where a
    // menu shows shortcuts. A live copy on the item would compete with the
    // action's own once a menu kept the focus (a sweep runs nested inside the
    // menu's key handler), and the shortcut would then do nothing.
    const QString shortcut = bound->shortcut().toString(QKeySequence::NativeText);
    auto sync = [item, bound, shortcut] {
        item->setText(shortcut.isEmpty() ? bound->text() : bound->text() + QLatin1Char('\t') + shortcut);
        item->setEnabled(bound->isEnabled());
        item->setVisible(bound->isVisible());
    };
    sync();
    QObject::connect(bound, &QAction::changed, item, sync);
    QObject::connect(item, &QAction::triggered, bound, [bound] {
        if (bound->isEnabled())
            bound->trigger();
    });
    menu->addAction(item);
    return item;
}

QAction *addCommand(QMenu *menu, const QString &name, const QString &caption)
{
    auto *item = menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

QAction *addMark(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *item = addCommand(menu, name, caption);
    item->setCheckable(true);
    return item;
}

QMenu *submenu(QWidget *parent, const QString &name, const QString &caption, const QFont &font)
{
    auto *menu = new QMenu(caption, parent);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    menu->setFont(font);
    return menu;
}

void separator(QMenu *menu, const QString &name)
{
    menu->addSeparator()->setObjectName(name);
}

void buildActionList(QMainWindow &window, FormActions &a)
{
    auto *actionList = new QObject(&window);
    actionList->setObjectName(QStringLiteral("ActionList1"));
    auto make = [&window, actionList](const QString &name, const QString &caption) {
        auto *action = new QAction(caption, actionList);
        action->setObjectName(name);
        window.addAction(action);
        return action;
    };
    a.AddFolder = make(QStringLiteral("AddFolder"), QStringLiteral("検索フォルダ追加(&A)..."));
    a.DelFolder = make(QStringLiteral("DelFolder"), QStringLiteral("検索フォルダ削除(&D)"));
    a.SaveExit = make(QStringLiteral("SaveExit"), QStringLiteral("終了(&X)"));
    a.SaveExit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    // The exit button's hint is never shown, nor read out: it is kept off the tool tip.
    a.SaveExit->setProperty(
        "hint", QStringLiteral("プログラムを終了します　同時にログと無視ファイルデータを保存します"));
    a.Vacuola = make(QStringLiteral("Vacuola"), QStringLiteral("開始(&S)"));
    a.Vacuola->setToolTip(QStringLiteral("削除開始　選択フォルダ配下の空きフォルダが削除されます"));
    a.IgnoreFileAdd = make(QStringLiteral("IgnoreFileAdd"), QStringLiteral("管理ファイル追加(&A)..."));
    a.IgnoreFileDel = make(QStringLiteral("IgnoreFileDel"), QStringLiteral("管理ファイル削除(&D)"));
    a.IgnoreFileAllOn = make(QStringLiteral("IgnoreFileAllOn"), QStringLiteral("チェック全てON(&Y)"));
    a.IgnoreFileAllOff = make(QStringLiteral("IgnoreFileAllOff"), QStringLiteral("チェック全てOFF(&N)"));
    a.IgnoreFileSetAdd =
        make(QStringLiteral("IgnoreFileSetAdd"), QStringLiteral("管理ファイルセット追加(&S)"));
}

void buildMainMenu(QMainWindow &window, FormActions &a)
{
    const QFont font = window.font();
    QMenuBar *bar = window.menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu *file1 = submenu(bar, QStringLiteral("File1"), QStringLiteral("ファイル(&F)"), font);
    bar->addMenu(file1);
    addItem(file1, QStringLiteral("Vacuola1"), a.Vacuola);
    a.Preview = addCommand(file1, QStringLiteral("Preview"), QStringLiteral("削除予定の確認(&T)..."));
    a.Undo = addCommand(file1, QStringLiteral("Undo"), QStringLiteral("元に戻す(&U)..."));
    QMenu *dir = submenu(file1, QStringLiteral("Dir"), QStringLiteral("検索フォルダ"), font);
    file1->addMenu(dir);
    addItem(dir, QStringLiteral("DirAdd1"), a.AddFolder);
    addItem(dir, QStringLiteral("DirDel1"), a.DelFolder);
    QMenu *iFile = submenu(file1, QStringLiteral("IFile"), QStringLiteral("管理ファイル"), font);
    file1->addMenu(iFile);
    addItem(iFile, QStringLiteral("IFAdd1"), a.IgnoreFileAdd);
    addItem(iFile, QStringLiteral("IFDel1"), a.IgnoreFileDel);
    addItem(iFile, QStringLiteral("FileSetAdd1"), a.IgnoreFileSetAdd);
    separator(iFile, QStringLiteral("N2"));
    addItem(iFile, QStringLiteral("IFON1"), a.IgnoreFileAllOn);
    addItem(iFile, QStringLiteral("IFOFF1"), a.IgnoreFileAllOff);
    addItem(file1, QStringLiteral("Exit1"), a.SaveExit);

    QMenu *setting = submenu(bar, QStringLiteral("Setting"), QStringLiteral("設定(&S)"), font);
    bar->addMenu(setting);
    QMenu *setLog = submenu(setting, QStringLiteral("SetLog"), QStringLiteral("ログ機能(&L)"), font);
    setting->addMenu(setLog);
    a.LogGroup = new QActionGroup(&window);
    a.LogGroup->setObjectName(QStringLiteral("LogGroup"));
    a.LogGroup->setExclusive(true);
    const QString logCaptions[4] = {
        QStringLiteral("LOGを作成しない(&0)"), QStringLiteral("LOG作成、１週間保存(&1)"),
        QStringLiteral("LOG作成、２週間保存(&2)"), QStringLiteral("LOG作成、削除しない(&3)")};
    for (int i = 0; i < 4; ++i) {
        a.Log[i] = addMark(setLog, QStringLiteral("Log%1").arg(i), logCaptions[i]);
        a.LogGroup->addAction(a.Log[i]);
    }
    a.Log[1]->setChecked(true);
    separator(setLog, QStringLiteral("N1"));
    a.LogView = addCommand(setLog, QStringLiteral("LogView"), QStringLiteral("LOGを表示(&V)"));
    a.FolderView =
        addCommand(setLog, QStringLiteral("FolderView"), QStringLiteral("インストールフォルダを開く(&O)"));
    a.DisableReadOnly =
        addMark(setting, QStringLiteral("DisableReadOnly"), QStringLiteral("読取専用属性の解除(&R)"));
    a.NonStop = addMark(setting, QStringLiteral("NonStop"), QStringLiteral("エラーメッセージ抑止(&N)"));
    a.Exclusions = addCommand(setting, QStringLiteral("Exclusions"), QStringLiteral("除外フォルダ(&E)..."));
    a.MoveToTrash =
        addMark(setting, QStringLiteral("MoveToTrash"), QStringLiteral("管理ファイルをごみ箱へ移動(&G)"));

    QMenu *help1 = submenu(bar, QStringLiteral("Help1"), QStringLiteral("ヘルプ(&H)"), font);
    bar->addMenu(help1);
    a.About1 = addCommand(help1, QStringLiteral("About1"), QStringLiteral("バージョン情報(&A)"));
    a.HomepageCall = addCommand(help1, QStringLiteral("HomepageCall"), QStringLiteral("作者Homepage(&W)"));
    a.HelpCall = addCommand(help1, QStringLiteral("HelpCall"), QStringLiteral("ヘルプ(&H)"));
    // F1 opens the help too, as on every desktop.
    a.HelpKey = new QAction(&window);
    a.HelpKey->setObjectName(QStringLiteral("HelpKey"));
    a.HelpKey->setShortcut(QKeySequence(Qt::Key_F1));
    window.addAction(a.HelpKey);
}

void buildPopUpMenus(QMainWindow &window, FormActions &a)
{
    const QFont font = window.font();
    a.IListMenu = submenu(&window, QStringLiteral("IListMenu"), QString(), font);
    addItem(a.IListMenu, QStringLiteral("IFAdd2"), a.IgnoreFileAdd);
    addItem(a.IListMenu, QStringLiteral("IFDel2"), a.IgnoreFileDel);
    addItem(a.IListMenu, QStringLiteral("FileSetAdd2"), a.IgnoreFileSetAdd);
    separator(a.IListMenu, QStringLiteral("N3"));
    addItem(a.IListMenu, QStringLiteral("IFOn2"), a.IgnoreFileAllOn);
    addItem(a.IListMenu, QStringLiteral("IFOFF2"), a.IgnoreFileAllOff);

    a.ScanPathMenu = submenu(&window, QStringLiteral("ScanPathMenu"), QString(), font);
    addItem(a.ScanPathMenu, QStringLiteral("DirAdd2"), a.AddFolder);
    addItem(a.ScanPathMenu, QStringLiteral("DirDel2"), a.DelFolder);
}

} // namespace

FormActions FormActions::build(QMainWindow &window)
{
    FormActions actions;
    // Items that show a shortcut after a tab are read out without it.
    installMenuItemAccess();
    buildActionList(window, actions);
    buildMainMenu(window, actions);
    buildPopUpMenus(window, actions);
    return actions;
}

QAction *FormActions::mark(OptionMark option) const
{
    switch (option) {
    case OptionMark::Log0:
        return Log[0];
    case OptionMark::Log1:
        return Log[1];
    case OptionMark::Log2:
        return Log[2];
    case OptionMark::Log3:
        return Log[3];
    case OptionMark::DisableReadOnly:
        return DisableReadOnly;
    case OptionMark::NonStop:
        return NonStop;
    case OptionMark::MoveToTrash:
        return MoveToTrash;
    }
    return nullptr;
}

void FormActions::popUp(QMenu *menu, const QWidget *control, const QWidget *area, const QPoint &pos)
{
    if (control->isEnabled())
        menu->popup(area->mapToGlobal(pos));
}

} // namespace Vacuola
