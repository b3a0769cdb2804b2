#pragma once

#include "core/WindowServices.h"
#include "ui/FormActions.h"
#include "ui/TForm1Services.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QRect>
#include <QString>

#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QListWidget;
class QStatusBar;
class QToolButton;

namespace Vacuola {

class DryRun;
class FormWiring;
class HelpViewer;
class LogViewerEditor;
class ManagementFileRegister;
class SearchFolderRegister;
class SettingsFile;
class StatusDisplay;
class SweepEngine;

/**
 * The program's one window. It holds the two registers in its controls, the
 * options in the marks of its settings menu, and runs every command.
 */
class TForm1 final : public QMainWindow, public WindowServices
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm1)

public:
    /**
     * Builds the window and runs the start-up steps, which may show the version
     * notes. Empty members of `services` take the machine's own services.
     */
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
    /** Lists what a sweep of the selected folder would remove, and offers to start it. */
    void PreviewClick();
    /** Undoes the last sweep not undone yet, after one question. */
    void UndoClick();
    /** Edits the exclusion list in its dialog. */
    void ExclusionsClick();
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

    // The session around the window
    /** Saves the settings now, as the close will (the desktop's logout asks for it). */
    void saveSettings();
    /**
     * Ends the window as asked from outside (a signal): open boxes are cancelled,
     * a running sweep stops as 中止 does and writes its log, then the window
     * closes and saves the settings.
     */
    void endSession();
    /** A second start's command line: its folder registered and selected as at start-up, the window raised.
     */
    void takeHandedFolder(const QStringList &arguments);

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
    void connectCommands();
    void layoutControls();
    int scaled(double designPixels) const;
    /** True while a sweep or a preview runs, also while it winds down. */
    bool sweeping() const;
    /** Shows the outcome of a run; true when the window closed for a close asked for during it. */
    bool finishRun();
    /** Enables the preview exactly when the start action is enabled and nothing runs. */
    void updatePreview();
    /** The checked management files as the log's legend line cites them. */
    QString managementLegend() const;
    /** 除外に追加 of the preview: the folders join the exclusion list; those it now holds. */
    QStringList addExclusions(const QStringList &folders);
    /** Enables 元に戻す exactly when a sweep can be undone and nothing runs. */
    void updateUndo();
    /** Asks a running sweep to stop; it ends at its next folder. */
    void requestStop();
    void FormCreate();
    void FormDestroy();
    bool ownsWidget(QObject *object) const;

    TForm1Services m_services;
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

    FormActions m_actions;
    HelpViewer *m_helpViewer = nullptr;
    std::unique_ptr<LogViewerEditor> m_logViewer;
    std::unique_ptr<StatusDisplay> m_display;
    std::unique_ptr<FormWiring> m_wiring;
    std::unique_ptr<DryRun> m_preview;
    QElapsedTimer m_pumped; // since the message pump last ran the event loop

    // Taken when the window closes: restoring a maximised window is finished by
    // the window manager later, so the geometry read at the end may still be the
    // maximised one.
    std::optional<QRect> m_closedPlacement;
    bool m_closePending = false;
    bool m_undoing = false; // 元に戻す is making folders again
    bool m_destroyed = false;
};

} // namespace Vacuola
