#pragma once

#include "engine/WindowServices.h"
#include "registers/SettingsFile.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QStatusBar;
class QTimer;
class QToolButton;

namespace Vacuola {

class CheckListManagementFileList;
class Clock;
class ComboSearchFolderList;
class Dialogs;
class FileSystem;
class FormPlacement;
class HelpViewer;
class ManagementFileRegister;
class SearchFolderRegister;
class SweepEngine;
class TextEditor;

/** What the window works with. Empty members take the machine's own services. */
struct TForm1Services
{
    FileSystem *fileSystem = nullptr;
    Clock *clock = nullptr;
    TextEditor *textEditor = nullptr;
    Dialogs *dialogs = nullptr;
    /** Hands a folder or a web address to the desktop. */
    std::function<void(const QUrl &)> openUrl;
    /** The folder of the settings file, the help file and the logs; no trailing slash. */
    QString programFolder;
    /** Empty: programFolder + "/vacuola.ini" and "/vacuola.hlp". */
    QString settingsFile;
    QString helpFile;
    /** The command line without the program's own name. */
    QStringList arguments;

    /** The services of the running program: the executable's folder and name. */
    static TForm1Services forExecutable(const QStringList &arguments);
};

/**
 * The program's one window. It holds the two registers in its controls, the
 * options in the marks of its settings menu, and runs every command.
 */
class TForm1 final : public QMainWindow, public WindowServices
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm1)

public:
    /** Builds the window and runs the start-up steps, which may show the version notes. */
    explicit TForm1(const TForm1Services &services, QWidget *parent = nullptr);
    /** Saves the settings once (a failure is shown by the default error report). */
    ~TForm1() override;

    // Window services
    void setStatusText(const QString &text) override;
    void setRemovalCounter(const QString &text) override;
    void setStartCaption(const QString &caption) override;
    void setStartEnabled(bool enabled) override;
    void setDelFolderEnabled(bool enabled) override;
    void setRunLock(bool on) override;
    void processMessages() override;
    bool isMarked(OptionMark mark) const override;
    void setMarked(OptionMark mark, bool marked) override;
    void showInformation(const QString &text) override;
    Answer askWarning(const QString &text) override;
    bool inputBox(const QString &title, const QString &prompt, QString &text) override;
    void bringToForeground() override;
    void showErrorReport(const QString &text) override;

    // Commands
    void VacuolaExecute();
    void SaveExitExecute();
    void AddFolderExecute();
    void About1Click();
    void FolderViewClick();
    void HomepageCallClick();
    void HelpCallClick();
    /**
     * The application-wide drop hook: routes the first path of a drop on this
     * window or any of its controls; a drop whose first item is no local file is
     * ignored. True when the event was a drop and is handled.
     */
    bool AppMessage(QObject *target, QEvent *event);

    /** The latest status text; while a sweep runs the bar may show it up to 33 ms later. */
    QString statusText() const;
    SweepEngine &engine() const;
    SearchFolderRegister &searchFolders() const;
    ManagementFileRegister &managementFiles() const;
    const SettingsFile &settingsFile() const;
    HelpViewer *helpViewer() const;
    /** The version notes, exactly as the information box gets them. */
    static QString versionNotes();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildActions();
    void buildMenus();
    void layoutControls();
    QAction *addItem(QMenu *menu, const QString &name, QAction *bound);
    QAction *addCommand(QMenu *menu, const QString &name, const QString &caption);
    QAction *markAction(OptionMark mark) const;
    int scaled(double designPixels) const;
    void showLatestTexts();
    /** Shows the latest status text and removal counter now. */
    void applyStatusText();
    void FormCreate();
    void FormDestroy();
    bool ownsWidget(QObject *object) const;
    /** The placement of the normal window, also while it is maximised or minimised. */
    QRect normalPlacement() const;

    TForm1Services m_services;
    std::unique_ptr<Dialogs> m_ownDialogs;
    Dialogs *m_dialogs = nullptr;
    FileSystem *m_fileSystem = nullptr;
    double m_scale = 1.0;

    // Controls
    QWidget *m_client = nullptr;
    QToolButton *m_execButton = nullptr;
    QToolButton *m_exitButton = nullptr;
    QLabel *m_delCounter = nullptr;
    QLabel *m_label1 = nullptr;
    QComboBox *m_searchDir = nullptr;
    QLabel *m_label2 = nullptr;
    QListWidget *m_ignoreList = nullptr;
    QStatusBar *m_status = nullptr;
    QLabel *m_statusLabel = nullptr;

    // ActionList1
    QAction *m_addFolder = nullptr;
    QAction *m_delFolder = nullptr;
    QAction *m_saveExit = nullptr;
    QAction *m_vacuola = nullptr;
    QAction *m_ignoreFileAdd = nullptr;
    QAction *m_ignoreFileDel = nullptr;
    QAction *m_ignoreFileAllOn = nullptr;
    QAction *m_ignoreFileAllOff = nullptr;
    QAction *m_ignoreFileSetAdd = nullptr;

    // Option marks
    QActionGroup *m_logGroup = nullptr;
    QAction *m_log[4] = {};
    QAction *m_disableReadOnly = nullptr;
    QAction *m_nonStop = nullptr;

    QMenu *m_scanPathMenu = nullptr;
    QMenu *m_iListMenu = nullptr;
    HelpViewer *m_helpViewer = nullptr;

    std::unique_ptr<ComboSearchFolderList> m_searchList;
    std::unique_ptr<CheckListManagementFileList> m_ignoreEntries;
    std::unique_ptr<SearchFolderRegister> m_searchRegister;
    std::unique_ptr<ManagementFileRegister> m_ignoreRegister;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<FormPlacement> m_placement;
    std::unique_ptr<SweepEngine> m_engine;
    SettingsFile::Loaded m_loaded;

    // The status bar repaints at most every 33 ms during a sweep; the text is always the latest.
    QString m_statusText;
    QTimer *m_statusTimer = nullptr;
    QElapsedTimer m_statusShown;
    QString m_counterText = QStringLiteral("0");

    // Taken when the window closes: restoring a maximised window is finished by
    // the window manager later, so the geometry read at the end may still be the
    // maximised one.
    std::optional<QRect> m_closedPlacement;
    bool m_closePending = false;
    bool m_destroyed = false;
};

} // namespace Vacuola
