#pragma once

#include "tests/support/DialogScript.h"
#include "ui/Dialogs.h"

#include <QList>
#include <QStringList>

#include <functional>

namespace Vacuola {
class ExclusionDialog;
class PreviewDialog;
} // namespace Vacuola

namespace Vacuola::Test {

/** The window's boxes answered from a script; every box shown is recorded. */
class ScriptedDialogs final : public Dialogs, public DialogScript
{
public:
    ScriptedDialogs() = default;
    Q_DISABLE_COPY_MOVE(ScriptedDialogs)

    void information(QWidget *parent, const QString &text) override;
    Answer question(QWidget *parent, const QString &text) override;
    bool input(QWidget *parent, const QString &title, const QString &prompt, QString &text) override;
    QString folder(QWidget *parent, const QString &title) override;
    /** Recorded as shown: the text and ".". */
    void errorReport(QWidget *parent, const QString &text) override;
    /**
     * Recorded as the summary followed by the lines; the real box, not shown, is
     * handed to `previewScript`; answers 削除開始 when `previewStarts`.
     */
    bool preview(QWidget *parent, const PreviewContent &content, QStringList &kept) override;

    /**
     * The real exclusion dialog, not shown: the script acts on it as the user
     * would, and accepting it is OK. Without a script the dialog is closed.
     */
    bool exclusions(QWidget *parent, QStringList &patterns) override;

    QList<QStringList> previews;
    std::function<void(ExclusionDialog &)> exclusionScript;
    std::function<void(PreviewDialog &)> previewScript;
    bool previewStarts = false;
};

} // namespace Vacuola::Test
