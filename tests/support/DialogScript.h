#pragma once

#include "core/WindowServices.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace Vacuola::Test {

/**
 * The user's side of the modal boxes, shared by every fake that shows them: the
 * answers a test scripts, taken in order, and a record of every box shown. A box
 * with nothing scripted is closed by the user: a question answers Cancel, an
 * input box and the folder browser are cancelled.
 */
class DialogScript
{
public:
    /** The answer of the next question. */
    void setNextAnswer(Answer answer);
    /** The text typed into the next input box (cut to the box's 255 characters); nullopt is Cancel. */
    void setNextInput(const std::optional<QString> &text);
    /** The folder the next folder browser returns; empty is Cancel. */
    void setNextFolder(const QString &path);
    /** Scripted answers that no box has taken yet. */
    qsizetype unanswered() const;

    QStringList informations;
    QStringList questions;
    QStringList inputPrompts;
    QStringList inputTexts; // the pre-filled text of each input box
    QStringList folderTitles;
    QStringList errorReports; // as the fake is given them
    /** Runs inside every information box and question, as if the user acted while it is open. */
    std::function<void()> whileOpen;

protected:
    DialogScript() = default;
    ~DialogScript() = default;
    Q_DISABLE_COPY_MOVE(DialogScript)

    void showInformationBox(const QString &text);
    Answer askQuestion(const QString &text);
    /** False on Cancel; otherwise `text` holds the typed text. */
    bool askInput(const QString &prompt, QString &text);
    QString browseFolder(const QString &title);
    void showErrorBox(const QString &text);

private:
    QList<Answer> m_answers;
    QList<std::optional<QString>> m_inputs;
    QStringList m_folders;
};

} // namespace Vacuola::Test
