#pragma once

#include "ui/Dialogs.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

namespace Vacuola::Test {

/** Boxes answered from a script; every box shown is recorded. */
class ScriptedDialogs final : public Dialogs
{
public:
    ScriptedDialogs() = default;
    Q_DISABLE_COPY_MOVE(ScriptedDialogs)

    void information(QWidget *parent, const QString &text) override;
    Answer question(QWidget *parent, const QString &text) override;
    bool input(QWidget *parent, const QString &title, const QString &prompt, QString &text) override;
    QString folder(QWidget *parent, const QString &title) override;
    void errorReport(QWidget *parent, const QString &text) override;

    /** The answer of the next question (Cancel when none is scripted). */
    void setNextAnswer(Answer answer);
    /** The text of the next input box; nullopt is Cancel. */
    void setNextInput(const std::optional<QString> &text);
    /** The folder the next browser returns; empty is Cancel. */
    void setNextFolder(const QString &path);

    QStringList informations;
    QStringList questions;
    QStringList inputPrompts;
    QStringList folderTitles;
    QStringList errorReports; // as shown: the text and "."
    /** Runs inside every box, as if the user acted while it is open. */
    std::function<void()> whileOpen;

private:
    QList<Answer> m_answers;
    QList<std::optional<QString>> m_inputs;
    QStringList m_folders;
};

} // namespace Vacuola::Test
