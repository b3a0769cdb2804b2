#pragma once

#include "core/WindowServices.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <memory>

class QWidget;

namespace Vacuola {

class PreviewFolders;

/** What the preview box shows: a dry run's findings, and what 除外に追加 does. */
struct PreviewContent
{
    QString summary;
    // The swept folder and those the sweep would remove or fail on, with their lines.
    std::shared_ptr<const PreviewFolders> folders;
    QString legend; // the checked management files, as the log's legend line
    /** Adds folders to the exclusion list; returns those the list now holds. */
    std::function<QStringList(const QStringList &folders)> exclude;
};

/**
 * The modal boxes the window shows. The window never opens a box itself, so that
 * widget tests can answer from a script instead of blocking on a real box.
 */
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    /** Information box: title "Vacuola", no icon, one button "OK". */
    virtual void information(QWidget *parent, const QString &text) = 0;
    /** Warning question titled "警告": Yes, No, Cancel; closing the box is Cancel. */
    virtual Answer question(QWidget *parent, const QString &text) = 0;
    /** One-line input box of at most 255 characters, pre-filled text selected. False on cancel. */
    virtual bool input(QWidget *parent, const QString &title, const QString &prompt, QString &text) = 0;
    /** Folder browser showing folders only. Empty on cancel; never a trailing slash except for "/". */
    virtual QString folder(QWidget *parent, const QString &title) = 0;
    /** The application's default error report: critical icon, title "Vacuola", text and ".". */
    virtual void errorReport(QWidget *parent, const QString &text) = 0;
    /**
     * The folders a sweep would remove (PreviewDialog): a resizable box with the
     * summary, the folders as a tree to untick, and the buttons "除外に追加",
     * "削除開始" and "閉じる" (the default). True for 削除開始, with the folders
     * the sweep has to keep so that the unticked ones stay.
     */
    virtual bool preview(QWidget *parent, const PreviewContent &content, QStringList &kept) = 0;
    /** The exclusion list dialog (ExclusionDialog) on the patterns; true for OK, with the edited list. */
    virtual bool exclusions(QWidget *parent, QStringList &patterns) = 0;

    /** A text's lone "\r" and "\r\n" become line breaks. */
    static QString displayText(const QString &text);
};

/** The real boxes. */
class QtDialogs final : public Dialogs
{
public:
    QtDialogs() = default;
    Q_DISABLE_COPY_MOVE(QtDialogs)

    void information(QWidget *parent, const QString &text) override;
    Answer question(QWidget *parent, const QString &text) override;
    bool input(QWidget *parent, const QString &title, const QString &prompt, QString &text) override;
    QString folder(QWidget *parent, const QString &title) override;
    void errorReport(QWidget *parent, const QString &text) override;
    bool preview(QWidget *parent, const PreviewContent &content, QStringList &kept) override;
    bool exclusions(QWidget *parent, QStringList &patterns) override;
};

} // namespace Vacuola
