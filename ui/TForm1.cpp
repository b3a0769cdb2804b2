#include "ui/TForm1.h"

#include "engine/IoError.h"
#include "engine/SweepEngine.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/TextEditor.h"
#include "registers/ManagementFileRegister.h"
#include "registers/SearchFolderRegister.h"
#include "ui/ControlLists.h"
#include "ui/Dialogs.h"
#include "ui/HelpViewer.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <cmath>

namespace Vacuola {

namespace {

// The designed client area at 96 dpi, which the controls' anchors refer to; the
// status bar takes the bottom 23 pixels of it.
const int DesignClientWidth = 206;
const int DesignClientHeight = 131;
const int DesignStatusHeight = 23;
// The designed placement of the whole window at 96 dpi. The placement kept in
// the settings file is the window without its frame, so the built-in size is
// taken for that: a first start opens at 214 x 185 and saves exactly that.
const int DesignLeft = 435;
const int DesignTop = 115;
const int DesignWidth = 214;
const int DesignHeight = 185;
const int StatusIntervalMs = 33;

const QColor Teal(0, 128, 128);
const QColor MoneyGreen(192, 220, 192);
const QColor Aqua(0, 255, 255);

QFont windowFont(int pixelSize, bool bold = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void fillBackground(QWidget *widget, const QColor &colour)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// The first path of a drop, or an empty text when the drop's first item is no
// local file: the other items are never looked at, whatever they are.
QString firstDroppedPath(const QMimeData *mime)
{
    if (mime == nullptr || !mime->hasUrls())
        return QString();
    const QList<QUrl> urls = mime->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile())
        return QString();
    return withoutTrailingSlash(urls.constFirst().toLocalFile());
}

} // namespace

/** The window's placement as the settings file sees it: the client geometry, without the frame. */
class FormPlacement final : public SettingsWindow
{
    Q_DISABLE_COPY_MOVE(FormPlacement)

public:
    explicit FormPlacement(QWidget &window) : m_window(window) {}

    Placement placement() const override
    {
        const QRect r = m_window.geometry();
        return Placement{r.top(), r.left(), r.height(), r.width()};
    }

    double logicalDpi() const override
    {
        const QScreen *screen = m_window.screen();
        return screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
    }

    QSize screenSize() const override
    {
        const QScreen *screen = QGuiApplication::primaryScreen();
        return screen != nullptr ? screen->geometry().size() : QSize(1024, 768);
    }

    void setMinimumSize(int width, int height) override { m_window.setMinimumSize(width, height); }

    void setPlacement(const Placement &placement) override
    {
        const QSize minimum = m_window.minimumSize();
        m_window.setGeometry(placement.left, placement.top, qMax(placement.width, minimum.width()),
                             qMax(placement.height, minimum.height()));
    }

private:
    QWidget &m_window;
};

TForm1Services TForm1Services::forExecutable(const QStringList &arguments)
{
    TForm1Services services;
    const QString executable = QCoreApplication::applicationFilePath();
    const QFileInfo info(executable);
    services.programFolder = info.absolutePath();
    services.settingsFile = SettingsFile::pathForExecutable(executable);
    services.helpFile =
        info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".hlp");
    services.arguments = arguments;
    return services;
}

TForm1::TForm1(const TForm1Services &services, QWidget *parent) : QMainWindow(parent), m_services(services)
{
    if (m_services.fileSystem == nullptr)
        m_services.fileSystem = &systemFileSystem();
    if (m_services.clock == nullptr)
        m_services.clock = &systemClock();
    if (m_services.textEditor == nullptr)
        m_services.textEditor = &systemTextEditor();
    if (m_services.dialogs == nullptr) {
        m_ownDialogs = std::make_unique<QtDialogs>();
        m_services.dialogs = m_ownDialogs.get();
    }
    if (!m_services.openUrl)
        m_services.openUrl = [](const QUrl &url) {
            QDesktopServices::openUrl(url);
        };
    if (m_services.programFolder.isEmpty())
        m_services.programFolder = QCoreApplication::applicationDirPath();
    m_services.programFolder = withoutTrailingSlash(m_services.programFolder);
    if (m_services.settingsFile.isEmpty())
        m_services.settingsFile = m_services.programFolder + QStringLiteral("/vacuola.ini");
    if (m_services.helpFile.isEmpty())
        m_services.helpFile = m_services.programFolder + QStringLiteral("/vacuola.hlp");
    m_dialogs = m_services.dialogs;
    m_fileSystem = m_services.fileSystem;

    setObjectName(QStringLiteral("TForm1"));
    const QScreen *screen = QGuiApplication::primaryScreen();
    m_scale = (screen != nullptr ? screen->logicalDotsPerInch() : 96.0) / 96.0;

    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    connect(m_statusTimer, &QTimer::timeout, this, &TForm1::applyStatusText);

    buildControls();
    buildActions();
    buildMenus();

    m_searchList = std::make_unique<ComboSearchFolderList>(*m_searchDir);
    m_ignoreEntries = std::make_unique<CheckListManagementFileList>(*m_ignoreList, scaled(12));
    m_searchRegister = std::make_unique<SearchFolderRegister>(*m_searchList, *this, *m_fileSystem);
    m_ignoreRegister = std::make_unique<ManagementFileRegister>(*m_ignoreEntries, *this);
    m_settings = std::make_unique<SettingsFile>(m_services.settingsFile, *m_fileSystem);
    m_placement = std::make_unique<FormPlacement>(*this);

    // The controls follow by their anchors (layoutControls).
    setGeometry(scaled(DesignLeft), scaled(DesignTop), scaled(DesignWidth), scaled(DesignHeight));

    FormCreate();
}

TForm1::~TForm1()
{
    FormDestroy();
    qApp->removeEventFilter(this);
}

int TForm1::scaled(double designPixels) const
{
    return int(std::lround(designPixels * m_scale));
}

void TForm1::buildControls()
{
    setFont(windowFont(scaled(12)));

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("Client"));
    fillBackground(m_client, Teal);
    m_client->installEventFilter(this);
    setCentralWidget(m_client);

    m_execButton = new QToolButton(m_client);
    m_execButton->setObjectName(QStringLiteral("ExecButton"));
    m_exitButton = new QToolButton(m_client);
    m_exitButton->setObjectName(QStringLiteral("ExitButton"));
    for (QToolButton *button : {m_execButton, m_exitButton}) {
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setFocusPolicy(Qt::NoFocus);
    }
    // The exit button carries a hint that the window does not show.
    m_exitButton->installEventFilter(this);

    QPalette listPalette = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button, QPalette::Window})
            listPalette.setColor(group, role, MoneyGreen);
        for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
            listPalette.setColor(group, role, Teal);
    }
    listPalette.setColor(QPalette::Disabled, QPalette::Base, MoneyGreen);
    listPalette.setColor(QPalette::Disabled, QPalette::Button, MoneyGreen);
    listPalette.setColor(QPalette::Disabled, QPalette::Window, MoneyGreen);

    m_delCounter = new QLabel(QStringLiteral("0"), m_client);
    m_delCounter->setObjectName(QStringLiteral("DelCounter"));
    // A raised outer and a lowered inner bevel.
    m_delCounter->setFrameStyle(QFrame::Box | QFrame::Raised);
    m_delCounter->setLineWidth(1);
    m_delCounter->setMidLineWidth(0);
    m_delCounter->setAlignment(Qt::AlignCenter);
    m_delCounter->setAutoFillBackground(true);
    m_delCounter->setPalette(listPalette);
    m_delCounter->setFont(windowFont(scaled(12), true));
    m_delCounter->setToolTip(QStringLiteral("削除カウンター"));

    QPalette labelPalette = m_client->palette();
    labelPalette.setColor(QPalette::WindowText, Aqua);
    m_label1 = new QLabel(QStringLiteral("検索フォルダ"), m_client);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label2 = new QLabel(QStringLiteral("管理ファイルリスト"), m_client);
    m_label2->setObjectName(QStringLiteral("Label2"));
    for (QLabel *label : {m_label1, m_label2}) {
        label->setPalette(labelPalette);
        label->setFont(windowFont(scaled(11)));
        label->adjustSize();
    }

    m_searchDir = new QComboBox(m_client);
    m_searchDir->setObjectName(QStringLiteral("SearchDir"));
    m_searchDir->setEditable(false);
    m_searchDir->setPalette(listPalette);
    m_searchDir->view()->setPalette(listPalette);
    m_searchDir->setContextMenuPolicy(Qt::CustomContextMenu);
    m_searchDir->installEventFilter(this);
    m_searchDir->view()->viewport()->installEventFilter(this);
    connect(m_searchDir, &QComboBox::activated, this, [this](int index) {
        if (m_searchDir->isEnabled())
            m_searchRegister->SearchDirSelect(index);
    });

    m_ignoreList = new QListWidget(m_client);
    m_ignoreList->setObjectName(QStringLiteral("IgnoreList"));
    m_ignoreList->setPalette(listPalette);
    m_ignoreList->setToolTip(QStringLiteral("ファイル一覧　チェックＯＮで無視されます"));
    m_ignoreList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_ignoreList->setSortingEnabled(false);
    m_ignoreList->setUniformItemSizes(true);
    m_ignoreList->viewport()->installEventFilter(this);

    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("Status"));
    fillBackground(m_status, MoneyGreen);
    m_status->setFixedHeight(scaled(DesignStatusHeight));
    m_statusLabel = new QLabel(m_status);
    m_statusLabel->setObjectName(QStringLiteral("StatusText"));
    m_statusLabel->setTextFormat(Qt::PlainText);
    m_status->addWidget(m_statusLabel, 1);
    setStatusBar(m_status);

    // Keyboard order of the designed tab stops: the list first, then the drop-down.
    setTabOrder(m_ignoreList, m_searchDir);
}

void TForm1::buildActions()
{
    auto *actionList = new QObject(this);
    actionList->setObjectName(QStringLiteral("ActionList1"));
    auto make = [this, actionList](const QString &name, const QString &caption) {
        auto *action = new QAction(caption, actionList);
        action->setObjectName(name);
        addAction(action);
        return action;
    };
    m_addFolder = make(QStringLiteral("AddFolder"), QStringLiteral("検索フォルダ追加(&A)..."));
    m_delFolder = make(QStringLiteral("DelFolder"), QStringLiteral("検索フォルダ削除(&D)"));
    m_saveExit = make(QStringLiteral("SaveExit"), QStringLiteral("終了(&X)"));
    m_saveExit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    m_saveExit->setToolTip(
        QStringLiteral("プログラムを終了します　同時にログと無視ファイルデータを保存します"));
    m_vacuola = make(QStringLiteral("Vacuola"), QStringLiteral("開始(&S)"));
    m_vacuola->setToolTip(QStringLiteral("削除開始　選択フォルダ配下の空きフォルダが削除されます"));
    m_ignoreFileAdd = make(QStringLiteral("IgnoreFileAdd"), QStringLiteral("管理ファイル追加(&A)..."));
    m_ignoreFileDel = make(QStringLiteral("IgnoreFileDel"), QStringLiteral("管理ファイル削除(&D)"));
    m_ignoreFileAllOn = make(QStringLiteral("IgnoreFileAllOn"), QStringLiteral("チェック全てON(&Y)"));
    m_ignoreFileAllOff = make(QStringLiteral("IgnoreFileAllOff"), QStringLiteral("チェック全てOFF(&N)"));
    m_ignoreFileSetAdd =
        make(QStringLiteral("IgnoreFileSetAdd"), QStringLiteral("管理ファイルセット追加(&S)"));

    connect(m_addFolder, &QAction::triggered, this, &TForm1::AddFolderExecute);
    connect(m_delFolder, &QAction::triggered, this, [this] { m_searchRegister->DelFolderExecute(); });
    connect(m_saveExit, &QAction::triggered, this, &TForm1::SaveExitExecute);
    connect(m_vacuola, &QAction::triggered, this, &TForm1::VacuolaExecute);
    connect(m_ignoreFileAdd, &QAction::triggered, this, [this] { m_ignoreRegister->IgnoreFileAddExecute(); });
    connect(m_ignoreFileDel, &QAction::triggered, this, [this] { m_ignoreRegister->IgnoreFileDelExecute(); });
    connect(m_ignoreFileAllOn, &QAction::triggered, this,
            [this] { m_ignoreRegister->IgnoreFileAllOnExecute(); });
    connect(m_ignoreFileAllOff, &QAction::triggered, this,
            [this] { m_ignoreRegister->IgnoreFileAllOffExecute(); });
    connect(m_ignoreFileSetAdd, &QAction::triggered, this,
            [this] { m_ignoreRegister->IgnoreFileSetAddExecute(); });

    m_execButton->setDefaultAction(m_vacuola);
    m_exitButton->setDefaultAction(m_saveExit);
}

QAction *TForm1::addItem(QMenu *menu, const QString &name, QAction *bound)
{
    // A menu item of its own that shows and runs an action, as the action's other items do.
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
    connect(bound, &QAction::changed, item, sync);
    connect(item, &QAction::triggered, bound, [bound] {
        if (bound->isEnabled())
            bound->trigger();
    });
    menu->addAction(item);
    return item;
}

QAction *TForm1::addCommand(QMenu *menu, const QString &name, const QString &caption)
{
    auto *item = menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

void TForm1::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto submenu = [this](QWidget *parent, const QString &name, const QString &caption) {
        auto *menu = new QMenu(caption, parent);
        menu->setObjectName(name);
        menu->menuAction()->setObjectName(name);
        menu->setFont(font());
        return menu;
    };
    auto separator = [](QMenu *menu, const QString &name) {
        menu->addSeparator()->setObjectName(name);
    };

    QMenu *file1 = submenu(bar, QStringLiteral("File1"), QStringLiteral("ファイル(&F)"));
    bar->addMenu(file1);
    addItem(file1, QStringLiteral("Vacuola1"), m_vacuola);
    QMenu *dir = submenu(file1, QStringLiteral("Dir"), QStringLiteral("検索フォルダ"));
    file1->addMenu(dir);
    addItem(dir, QStringLiteral("DirAdd1"), m_addFolder);
    addItem(dir, QStringLiteral("DirDel1"), m_delFolder);
    QMenu *iFile = submenu(file1, QStringLiteral("IFile"), QStringLiteral("管理ファイル"));
    file1->addMenu(iFile);
    addItem(iFile, QStringLiteral("IFAdd1"), m_ignoreFileAdd);
    addItem(iFile, QStringLiteral("IFDel1"), m_ignoreFileDel);
    addItem(iFile, QStringLiteral("FileSetAdd1"), m_ignoreFileSetAdd);
    separator(iFile, QStringLiteral("N2"));
    addItem(iFile, QStringLiteral("IFON1"), m_ignoreFileAllOn);
    addItem(iFile, QStringLiteral("IFOFF1"), m_ignoreFileAllOff);
    addItem(file1, QStringLiteral("Exit1"), m_saveExit);

    QMenu *setting = submenu(bar, QStringLiteral("Setting"), QStringLiteral("設定(&S)"));
    bar->addMenu(setting);
    QMenu *setLog = submenu(setting, QStringLiteral("SetLog"), QStringLiteral("ログ機能(&L)"));
    setting->addMenu(setLog);
    m_logGroup = new QActionGroup(this);
    m_logGroup->setObjectName(QStringLiteral("LogGroup"));
    m_logGroup->setExclusive(true);
    const QString logCaptions[4] = {
        QStringLiteral("LOGを作成しない(&0)"), QStringLiteral("LOG作成、１週間保存(&1)"),
        QStringLiteral("LOG作成、２週間保存(&2)"), QStringLiteral("LOG作成、削除しない(&3)")};
    for (int i = 0; i < 4; ++i) {
        m_log[i] = addCommand(setLog, QStringLiteral("Log%1").arg(i), logCaptions[i]);
        m_log[i]->setCheckable(true);
        m_logGroup->addAction(m_log[i]);
    }
    m_log[1]->setChecked(true);
    separator(setLog, QStringLiteral("N1"));
    QAction *logView = addCommand(setLog, QStringLiteral("LogView"), QStringLiteral("LOGを表示(&V)"));
    connect(logView, &QAction::triggered, this, [this] { m_engine->LogViewClick(); });
    QAction *folderView =
        addCommand(setLog, QStringLiteral("FolderView"), QStringLiteral("インストールフォルダを開く(&O)"));
    connect(folderView, &QAction::triggered, this, &TForm1::FolderViewClick);
    m_disableReadOnly =
        addCommand(setting, QStringLiteral("DisableReadOnly"), QStringLiteral("読取専用属性の解除(&R)"));
    m_disableReadOnly->setCheckable(true);
    m_nonStop = addCommand(setting, QStringLiteral("NonStop"), QStringLiteral("エラーメッセージ抑止(&N)"));
    m_nonStop->setCheckable(true);

    QMenu *help1 = submenu(bar, QStringLiteral("Help1"), QStringLiteral("ヘルプ(&H)"));
    bar->addMenu(help1);
    connect(addCommand(help1, QStringLiteral("About1"), QStringLiteral("バージョン情報(&A)")),
            &QAction::triggered, this, &TForm1::About1Click);
    connect(addCommand(help1, QStringLiteral("HomepageCall"), QStringLiteral("作者Homepage(&W)")),
            &QAction::triggered, this, &TForm1::HomepageCallClick);
    connect(addCommand(help1, QStringLiteral("HelpCall"), QStringLiteral("ヘルプ(&H)")), &QAction::triggered,
            this, &TForm1::HelpCallClick);

    m_iListMenu = submenu(this, QStringLiteral("IListMenu"), QString());
    addItem(m_iListMenu, QStringLiteral("IFAdd2"), m_ignoreFileAdd);
    addItem(m_iListMenu, QStringLiteral("IFDel2"), m_ignoreFileDel);
    addItem(m_iListMenu, QStringLiteral("FileSetAdd2"), m_ignoreFileSetAdd);
    separator(m_iListMenu, QStringLiteral("N3"));
    addItem(m_iListMenu, QStringLiteral("IFOn2"), m_ignoreFileAllOn);
    addItem(m_iListMenu, QStringLiteral("IFOFF2"), m_ignoreFileAllOff);
    connect(m_ignoreList, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (m_ignoreList->isEnabled())
            m_iListMenu->popup(m_ignoreList->viewport()->mapToGlobal(pos));
    });

    m_scanPathMenu = submenu(this, QStringLiteral("ScanPathMenu"), QString());
    addItem(m_scanPathMenu, QStringLiteral("DirAdd2"), m_addFolder);
    addItem(m_scanPathMenu, QStringLiteral("DirDel2"), m_delFolder);
    connect(m_searchDir, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (m_searchDir->isEnabled())
            m_scanPathMenu->popup(m_searchDir->mapToGlobal(pos));
    });
}

void TForm1::layoutControls()
{
    // Anchored placement: left/top controls keep their designed place, the
    // drop-down and the list follow the right edge, the list also the bottom.
    const int dw = m_client->width() - scaled(DesignClientWidth);
    const int dh = m_client->height() - scaled(DesignClientHeight - DesignStatusHeight);
    m_execButton->setGeometry(scaled(5), scaled(4), scaled(63), scaled(22));
    m_exitButton->setGeometry(scaled(73), scaled(4), scaled(63), scaled(22));
    m_delCounter->setGeometry(scaled(140), scaled(4), scaled(63), scaled(22));
    m_label1->move(scaled(4), scaled(32));
    m_searchDir->setGeometry(scaled(4), scaled(44), qMax(0, scaled(198) + dw), scaled(20));
    m_label2->move(scaled(4), scaled(72));
    m_ignoreList->setGeometry(scaled(4), scaled(84), qMax(0, scaled(198) + dw), qMax(0, scaled(20) + dh));
}

void TForm1::FormCreate()
{
    setWindowTitle(QStringLiteral("Vacuola V1.13A"));
    // The help file is m_services.helpFile; the sweep owns ScanList and LogList.
    m_engine = std::make_unique<SweepEngine>(SweepContext{*this, *m_searchRegister, *m_ignoreEntries,
                                                          *m_fileSystem, *m_services.clock,
                                                          *m_services.textEditor, m_services.programFolder});
    // The placeholder must stand before the stored folders are appended.
    m_searchRegister->resetToPlaceholder();
    m_loaded = m_settings->load(*m_searchRegister, *m_ignoreRegister, *this, *m_placement);
    m_settings->placeWindow(m_loaded, *m_placement);
    m_settings->applyLogOption(
        m_loaded, *this, [this](const QDateTime &cutOff) { m_engine->PurgeOldLogs(cutOff); },
        m_services.clock->now());
    setRemovalCounter(QStringLiteral("0"));
    m_ignoreList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Selection and the start action are set after loading, which appended the folders.
    m_searchList->select(0);
    setStartEnabled(false);
    setDelFolderEnabled(m_searchList->count() > 1);
    setStatusText(QStringLiteral("フォルダを指定して下さい"));
    setStartCaption(QStringLiteral("開始(&S)"));
    m_saveExit->setEnabled(true);
    // The hook is in place before the window accepts drops, so it sees the first one.
    qApp->installEventFilter(this);
    setAcceptDrops(true);
    // After the start-up status text, so that the command-line folder's own text stands.
    if (!m_services.arguments.isEmpty())
        m_searchRegister->CommandLineFolder(m_services.arguments);
    // The version rules come last: they use what loading read, and the notes
    // box must find the window in its starting state.
    m_settings->applyOldLayoutRule(m_loaded);
    if (m_settings->versionNotesDue(m_loaded))
        About1Click();
}

void TForm1::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    m_statusTimer->stop();
    // The normal placement is saved even if the window was never closed through FormClose.
    const QRect normal = m_closedPlacement.value_or(normalPlacement());
    const Placement placement{normal.top(), normal.left(), normal.height(), normal.width()};
    try {
        m_settings->save(*m_searchRegister, *m_ignoreRegister, *this, placement);
    } catch (const IoError &error) {
        // The window is going away: the report has no parent.
        m_dialogs->errorReport(nullptr, error.text());
    }
    m_engine.reset();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (m_engine && m_engine->busy()) {
        // The sweep cannot end under its own feet: ask it to stop and close when it returns.
        if (m_engine->running())
            m_engine->VacuolaExecute();
        m_closePending = true;
        event->ignore();
        return;
    }
    // FormClose: the normal placement is the one that is saved.
    m_closedPlacement = normalPlacement();
    if (isMaximized() || isMinimized())
        showNormal();
    event->accept();
}

QRect TForm1::normalPlacement() const
{
    if ((isMaximized() || isMinimized()) && normalGeometry().isValid())
        return normalGeometry();
    return geometry();
}

void TForm1::dragEnterEvent(QDragEnterEvent *event)
{
    if (!firstDroppedPath(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

bool TForm1::ownsWidget(QObject *object) const
{
    if (!object->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(object);
    return widget == this || isAncestorOf(widget);
}

bool TForm1::AppMessage(QObject *target, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    if (!ownsWidget(target))
        return false;
    auto *drop = static_cast<QDropEvent *>(event);
    const QString path = firstDroppedPath(drop->mimeData());
    if (path.isEmpty())
        return false;
    drop->acceptProposedAction();
    if (type != QEvent::Drop)
        return true;

    if (m_fileSystem->folderExists(path)) {
        m_searchRegister->AddSearchFolder(path);
    } else {
        // AddIgnoreFile refuses a name the settings file could not carry unchanged.
        const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toLower();
        if (name.isEmpty())
            setStatusText(QStringLiteral("処理できないファイル名です ") + name);
        else
            m_ignoreRegister->AddIgnoreFile(name);
    }
    return true;
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (AppMessage(watched, event))
        return true;
    if (watched == m_client && event->type() == QEvent::Resize) {
        layoutControls();
    } else if (watched == m_exitButton && event->type() == QEvent::ToolTip) {
        return true;
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == m_searchDir || watched == m_searchDir->view()->viewport()) {
            if (!m_searchDir->isEnabled())
                return true;
            m_searchDir->hidePopup();
            AddFolderExecute();
            return true;
        }
        if (watched == m_ignoreList->viewport()) {
            if (m_ignoreList->isEnabled())
                m_ignoreRegister->IgnoreListDblClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// Window services

void TForm1::setStatusText(const QString &text)
{
    m_statusText = text;
    showLatestTexts();
}

// A sweep changes the status text and the counter for every folder; painting
// each change would cost more than the folder itself. During a sweep the latest
// texts reach the screen at most every StatusIntervalMs, the last one always.
void TForm1::showLatestTexts()
{
    const bool sweeping = m_engine && m_engine->busy();
    if (!sweeping || !m_statusShown.isValid() || m_statusShown.elapsed() >= StatusIntervalMs) {
        applyStatusText();
    } else if (!m_statusTimer->isActive()) {
        m_statusTimer->start(int(qMax<qint64>(1, StatusIntervalMs - m_statusShown.elapsed())));
    }
}

void TForm1::applyStatusText()
{
    m_statusTimer->stop();
    m_statusLabel->setText(Dialogs::displayText(m_statusText));
    m_delCounter->setText(m_counterText);
    m_statusShown.start();
}

QString TForm1::statusText() const
{
    return m_statusText;
}

void TForm1::setRemovalCounter(const QString &text)
{
    m_counterText = text;
    showLatestTexts();
}

void TForm1::setStartCaption(const QString &caption)
{
    m_vacuola->setText(caption);
}

void TForm1::setStartEnabled(bool enabled)
{
    m_vacuola->setEnabled(enabled);
}

void TForm1::setDelFolderEnabled(bool enabled)
{
    m_delFolder->setEnabled(enabled);
}

void TForm1::setRunLock(bool on)
{
    m_saveExit->setEnabled(!on);
    if (on) {
        // A pop-up already open on a control that gets locked goes away with the lock.
        m_searchDir->hidePopup();
        m_scanPathMenu->hide();
        m_iListMenu->hide();
    }
    m_searchDir->setEnabled(!on);
    m_ignoreList->setEnabled(!on);
}

void TForm1::processMessages()
{
    QCoreApplication::processEvents();
}

QAction *TForm1::markAction(OptionMark mark) const
{
    switch (mark) {
    case OptionMark::Log0:
        return m_log[0];
    case OptionMark::Log1:
        return m_log[1];
    case OptionMark::Log2:
        return m_log[2];
    case OptionMark::Log3:
        return m_log[3];
    case OptionMark::DisableReadOnly:
        return m_disableReadOnly;
    case OptionMark::NonStop:
        return m_nonStop;
    }
    return nullptr;
}

bool TForm1::isMarked(OptionMark mark) const
{
    const QAction *action = markAction(mark);
    return action != nullptr && action->isChecked();
}

void TForm1::setMarked(OptionMark mark, bool marked)
{
    if (QAction *action = markAction(mark))
        action->setChecked(marked);
}

void TForm1::showInformation(const QString &text)
{
    m_dialogs->information(this, text);
}

Answer TForm1::askWarning(const QString &text)
{
    return m_dialogs->question(this, text);
}

bool TForm1::inputBox(const QString &title, const QString &prompt, QString &text)
{
    return m_dialogs->input(this, title, prompt, text);
}

void TForm1::bringToForeground()
{
    raise();
    activateWindow();
}

void TForm1::showErrorReport(const QString &text)
{
    m_dialogs->errorReport(this, text);
}

// Commands

void TForm1::VacuolaExecute()
{
    if (m_engine->busy()) {
        // Chosen during the sweep's own message pump: a stop request.
        if (m_engine->running())
            m_engine->VacuolaExecute();
        return;
    }
    try {
        m_engine->VacuolaExecute();
    } catch (const IoError &error) {
        showErrorReport(error.text());
    }
    applyStatusText();
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

void TForm1::SaveExitExecute()
{
    close();
}

void TForm1::AddFolderExecute()
{
    const QString path = m_dialogs->folder(this, QStringLiteral("検索フォルダを指定"));
    if (!path.isEmpty())
        m_searchRegister->AddSearchFolder(path);
}

QString TForm1::versionNotes()
{
    return QStringLiteral(
        "Vacuola "
        "V1.13A\r\r\nV1."
        "12からの変更点\r・検索フォルダ、管理ファイルの入力方法を改良\r・LOG管理、出力内容を改良\r"
        "・ヘルプ追加ほか\r\r注）V1.12以前のINIファイルから設定項目を追加・変更していますので\r"
        "　　旧版の設定の多くは引継ぎません、管理ファイル等の再登録をお願いします\r"
        "　　管理ファイルは「管理ファイルセット追加」で以下の４つのファイルを登録出来ます\r"
        "　　desktop.ini/thumbs.db/_thumbnl.sue/_catalog.vix\r"
        "　　INIファイルについては最新版起動後に再作成しますので、意識する必要はありません\r\r"
        "V1.13からの変更点\r・リソース開放漏れ修正");
}

void TForm1::About1Click()
{
    showInformation(versionNotes());
}

void TForm1::FolderViewClick()
{
    m_services.openUrl(QUrl::fromLocalFile(m_services.programFolder));
}

void TForm1::HomepageCallClick()
{
    m_services.openUrl(QUrl(QString::fromUtf8(VACUOLA_HOMEPAGE)));
}

void TForm1::HelpCallClick()
{
    if (m_helpViewer == nullptr)
        m_helpViewer = new HelpViewer(this);
    m_helpViewer->showContents(m_services.helpFile);
}

SweepEngine &TForm1::engine() const
{
    return *m_engine;
}

SearchFolderRegister &TForm1::searchFolders() const
{
    return *m_searchRegister;
}

ManagementFileRegister &TForm1::managementFiles() const
{
    return *m_ignoreRegister;
}

const SettingsFile &TForm1::settingsFile() const
{
    return *m_settings;
}

HelpViewer *TForm1::helpViewer() const
{
    return m_helpViewer;
}

} // namespace Vacuola
