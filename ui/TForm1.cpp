#include "ui/TForm1.h"

#include "core/IoError.h"
#include "core/Version.h"
#include "engine/DryRun.h"
#include "engine/SweepEngine.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "registers/ManagementFileRegister.h"
#include "registers/SearchFolderRegister.h"
#include "registers/SettingsFile.h"
#include "ui/ControlLists.h"
#include "ui/Dialogs.h"
#include "ui/FocusFrame.h"
#include "ui/FormPlacement.h"
#include "ui/FormStyle.h"
#include "ui/FormWiring.h"
#include "ui/HelpViewer.h"
#include "ui/LogViewer.h"
#include "ui/StatusDisplay.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
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

// The first path of a drop, or an empty text when the drop's first item is no
// local file: the other items are never looked at, whatever they are.
QString firstDroppedPath(const QMimeData *mime)
{
    if (mime == nullptr || !mime->hasUrls())
        return QString();
    const QList<QUrl> urls = mime->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile())
        return QString();
    QString path = urls.constFirst().toLocalFile();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

TForm1::TForm1(const TForm1Services &services, QWidget *parent)
    : QMainWindow(parent), m_services(services.completed())
{
    setObjectName(QStringLiteral("TForm1"));
    const QScreen *screen = QGuiApplication::primaryScreen();
    m_scale = (screen != nullptr ? screen->logicalDotsPerInch() : 96.0) / 96.0;

    if (m_services.textEditor == nullptr) {
        m_logViewer = std::make_unique<LogViewerEditor>(*this, *m_services.fileSystem);
        m_services.textEditor = m_logViewer.get();
    }
    buildControls();
    m_actions = FormActions::build(*this);
    FormStyle::applyToMenus(*this);
    m_display = std::make_unique<StatusDisplay>(*m_statusLabel, *m_delCounter, [this] { return sweeping(); });
    m_wiring = std::make_unique<FormWiring>(m_services, *this, *this,
                                            RegisterControls{*m_searchDir, *m_ignoreList, scaled(12)});
    connectCommands();

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
    return static_cast<int>(std::lround(designPixels * m_scale));
}

void TForm1::buildControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("Client"));
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

    m_delCounter = new QLabel(QStringLiteral("0"), m_client);
    m_delCounter->setObjectName(QStringLiteral("DelCounter"));
    // A raised outer and a lowered inner bevel.
    m_delCounter->setFrameStyle(QFrame::Box | QFrame::Raised);
    m_delCounter->setLineWidth(1);
    m_delCounter->setMidLineWidth(0);
    m_delCounter->setAlignment(Qt::AlignCenter);
    m_delCounter->setToolTip(QStringLiteral("削除カウンター"));

    m_label1 = new QLabel(QStringLiteral("検索フォルダ"), m_client);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label2 = new QLabel(QStringLiteral("管理ファイルリスト"), m_client);
    m_label2->setObjectName(QStringLiteral("Label2"));

    m_searchDir = new QComboBox(m_client);
    m_searchDir->setObjectName(QStringLiteral("SearchDir"));
    m_searchDir->setEditable(false);
    m_searchDir->setContextMenuPolicy(Qt::CustomContextMenu);
    m_searchDir->installEventFilter(this);
    m_searchDir->view()->viewport()->installEventFilter(this);

    m_ignoreList = new QListWidget(m_client);
    m_ignoreList->setObjectName(QStringLiteral("IgnoreList"));
    m_ignoreList->setToolTip(QStringLiteral("ファイル一覧　チェックＯＮで無視されます"));
    m_ignoreList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_ignoreList->setSortingEnabled(false);
    m_ignoreList->setUniformItemSizes(true);
    m_ignoreList->viewport()->installEventFilter(this);

    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("Status"));
    m_status->setFixedHeight(scaled(DesignStatusHeight));
    m_statusLabel = new QLabel(m_status);
    m_statusLabel->setObjectName(QStringLiteral("StatusText"));
    m_statusLabel->setTextFormat(Qt::PlainText);
    m_status->addWidget(m_statusLabel, 1);
    setStatusBar(m_status);

    FormStyle::apply(StyledControls{this, m_client, m_execButton, m_exitButton, m_delCounter, m_label1,
                                    m_label2, m_searchDir, m_ignoreList, m_status},
                     scaled(12), scaled(11));

    // Keyboard order of the designed tab stops: the list first, then the drop-down.
    setTabOrder(m_ignoreList, m_searchDir);
    auto *focusFrame = new FocusFrame(m_client);
    focusFrame->watch(m_ignoreList);
    focusFrame->watch(m_searchDir);

    // Names for assistive technologies, from each control's label or hint.
    m_label1->setBuddy(m_searchDir);
    m_label2->setBuddy(m_ignoreList);
    m_searchDir->setAccessibleName(m_label1->text());
    m_ignoreList->setAccessibleName(m_label2->text());
    m_delCounter->setAccessibleName(m_delCounter->toolTip());
}

void TForm1::connectCommands()
{
    const FormActions &a = m_actions;
    ManagementFileRegister &names = m_wiring->ignoreRegister();
    connect(a.AddFolder, &QAction::triggered, this, &TForm1::AddFolderExecute);
    connect(a.DelFolder, &QAction::triggered, this,
            [this] { m_wiring->searchRegister().DelFolderExecute(); });
    connect(a.SaveExit, &QAction::triggered, this, &TForm1::SaveExitExecute);
    connect(a.Vacuola, &QAction::triggered, this, &TForm1::VacuolaExecute);
    connect(a.Preview, &QAction::triggered, this, &TForm1::PreviewClick);
    connect(a.Undo, &QAction::triggered, this, &TForm1::UndoClick);
    connect(a.Exclusions, &QAction::triggered, this, &TForm1::ExclusionsClick);
    connect(a.Vacuola, &QAction::changed, this, &TForm1::updatePreview);
    updatePreview();
    connect(a.IgnoreFileAdd, &QAction::triggered, this, [&names] { names.IgnoreFileAddExecute(); });
    connect(a.IgnoreFileDel, &QAction::triggered, this, [&names] { names.IgnoreFileDelExecute(); });
    connect(a.IgnoreFileAllOn, &QAction::triggered, this, [&names] { names.IgnoreFileAllOnExecute(); });
    connect(a.IgnoreFileAllOff, &QAction::triggered, this, [&names] { names.IgnoreFileAllOffExecute(); });
    connect(a.IgnoreFileSetAdd, &QAction::triggered, this, [&names] { names.IgnoreFileSetAddExecute(); });
    connect(a.LogView, &QAction::triggered, this, [this] { engine().LogViewClick(); });
    connect(a.FolderView, &QAction::triggered, this, &TForm1::FolderViewClick);
    connect(a.About1, &QAction::triggered, this, &TForm1::About1Click);
    connect(a.HomepageCall, &QAction::triggered, this, &TForm1::HomepageCallClick);
    // A build that names no home page has none to open.
    a.HomepageCall->setEnabled(!QByteArrayView(VACUOLA_HOMEPAGE).isEmpty());
    connect(a.HelpCall, &QAction::triggered, this, &TForm1::HelpCallClick);
    connect(a.HelpKey, &QAction::triggered, this, &TForm1::HelpCallClick);

    m_execButton->setDefaultAction(a.Vacuola);
    m_exitButton->setDefaultAction(a.SaveExit);

    connect(m_searchDir, &QComboBox::activated, this, [this](int index) {
        if (m_searchDir->isEnabled())
            m_wiring->searchRegister().SearchDirSelect(index);
    });
    connect(m_ignoreList, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        FormActions::popUp(m_actions.IListMenu, m_ignoreList, m_ignoreList->viewport(), pos);
    });
    connect(m_searchDir, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        FormActions::popUp(m_actions.ScanPathMenu, m_searchDir, m_searchDir, pos);
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
    setWindowTitle(ProgramVersion);
    // The help file is m_services.helpFile; the sweep owns ScanList and LogList.
    m_wiring->createSweep();
    SearchFolderRegister &folders = m_wiring->searchRegister();
    SettingsFile &settings = m_wiring->settings();
    // The placeholder must stand before the stored folders are appended.
    folders.resetToPlaceholder();
    const SettingsFile::Loaded loaded = settings.load(folders, m_wiring->ignoreRegister(),
                                                      m_wiring->exclusions(), *this, m_wiring->placement());
    settings.placeWindow(loaded, m_wiring->placement());
    settings.applyLogOption(
        loaded, *this, [this](const QDateTime &cutOff) { engine().PurgeOldLogs(cutOff); },
        m_services.clock->now());
    setRemovalCounter(QStringLiteral("0"));
    m_ignoreList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Selection and the start action are set after loading, which appended the folders.
    m_wiring->searchList().select(0);
    setStartEnabled(false);
    setDelFolderEnabled(m_wiring->searchList().count() > 1);
    setStatusText(QStringLiteral("フォルダを指定して下さい"));
    setStartCaption(QStringLiteral("開始(&S)"));
    m_actions.SaveExit->setEnabled(true);
    // The hook is in place before the window accepts drops, so it sees the first one.
    qApp->installEventFilter(this);
    setAcceptDrops(true);
    // After the start-up status text, so that the command-line folder's own text stands.
    if (!m_services.arguments.isEmpty())
        folders.CommandLineFolder(m_services.arguments);
    // The version rules come last: they use what loading read, and the notes
    // box must find the window in its starting state.
    settings.applyOldLayoutRule(loaded);
    if (settings.versionNotesDue(loaded))
        About1Click();
}

void TForm1::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    m_display->stop();
    saveSettings();
    m_wiring->destroySweep();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (sweeping()) {
        // The sweep cannot end under its own feet: ask it to stop and close when it returns.
        requestStop();
        m_closePending = true;
        event->ignore();
        return;
    }
    // FormClose: the normal placement is the one that is saved.
    m_closedPlacement = m_wiring->placement().normalPlacement();
    if (isMaximized() || isMinimized())
        showNormal();
    event->accept();
}

bool TForm1::sweeping() const
{
    return (m_wiring && m_wiring->sweep() != nullptr && m_wiring->sweep()->busy()) ||
           (m_preview && m_preview->busy()) || m_undoing;
}

void TForm1::requestStop()
{
    if (m_preview && m_preview->busy()) {
        m_preview->stop();
        return;
    }
    // A stopped sweep still winding down takes no second request.
    if (engine().running())
        engine().VacuolaExecute();
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

    if (m_services.fileSystem->folderExists(path)) {
        m_wiring->searchRegister().AddSearchFolder(path);
    } else {
        // AddIgnoreFile refuses a name the settings file could not carry unchanged.
        const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toLower();
        if (name.isEmpty())
            setStatusText(QStringLiteral("処理できないファイル名です ") + name);
        else
            m_wiring->ignoreRegister().AddIgnoreFile(name);
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
                m_wiring->ignoreRegister().IgnoreListDblClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// Commands

void TForm1::VacuolaExecute()
{
    if (sweeping()) {
        // Chosen during the sweep's own message pump: a stop request.
        requestStop();
        return;
    }
    try {
        engine().VacuolaExecute();
    } catch (const IoError &error) {
        showErrorReport(error.text());
    }
    finishRun();
}

// After a sweep, a dry run or an undo: the bar shows the outcome at once, the
// actions follow, and a close asked for meanwhile happens now.
bool TForm1::finishRun()
{
    m_display->showNow();
    updatePreview();
    if (m_closePending) {
        m_closePending = false;
        close();
        return true;
    }
    return false;
}

void TForm1::SaveExitExecute()
{
    close();
}

void TForm1::AddFolderExecute()
{
    const QString path = m_services.dialogs->folder(this, QStringLiteral("検索フォルダを指定"));
    if (!path.isEmpty())
        m_wiring->searchRegister().AddSearchFolder(path);
}

QString TForm1::versionNotes()
{
    return ProgramVersion +
           QStringLiteral(
               "\r\r\nV1."
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
    // The folder that holds the logs: the program's own when portable. An
    // installed program's is made here when no sweep has written a log yet.
    m_services.fileSystem->makeFolders(m_services.logFolder);
    m_services.openUrl(QUrl::fromLocalFile(m_services.logFolder));
}

void TForm1::HomepageCallClick()
{
    if (QByteArrayView(VACUOLA_HOMEPAGE).isEmpty())
        return;
    m_services.openUrl(QUrl(QString::fromUtf8(VACUOLA_HOMEPAGE)));
}

void TForm1::HelpCallClick()
{
    if (m_helpViewer == nullptr)
        m_helpViewer = new HelpViewer(this);
    m_helpViewer->showContents(m_services.helpFile, *m_services.fileSystem);
}

SweepEngine &TForm1::engine() const
{
    return *m_wiring->sweep();
}

SearchFolderRegister &TForm1::searchFolders() const
{
    return m_wiring->searchRegister();
}

ManagementFileRegister &TForm1::managementFiles() const
{
    return m_wiring->ignoreRegister();
}

const SettingsFile &TForm1::settingsFile() const
{
    return m_wiring->settings();
}

HelpViewer *TForm1::helpViewer() const
{
    return m_helpViewer;
}

} // namespace Vacuola
