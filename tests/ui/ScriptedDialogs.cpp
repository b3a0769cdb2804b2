#include "tests/ui/ScriptedDialogs.h"

namespace Vacuola::Test {

void ScriptedDialogs::information(QWidget *, const QString &text)
{
    informations << text;
    if (whileOpen)
        whileOpen();
}

Answer ScriptedDialogs::question(QWidget *, const QString &text)
{
    questions << text;
    if (whileOpen)
        whileOpen();
    return m_answers.isEmpty() ? Answer::Cancel : m_answers.takeFirst();
}

bool ScriptedDialogs::input(QWidget *, const QString &, const QString &prompt, QString &text)
{
    inputPrompts << prompt;
    const std::optional<QString> answer = m_inputs.isEmpty() ? std::nullopt : m_inputs.takeFirst();
    if (!answer)
        return false;
    text = *answer;
    return true;
}

QString ScriptedDialogs::folder(QWidget *, const QString &title)
{
    folderTitles << title;
    return m_folders.isEmpty() ? QString() : m_folders.takeFirst();
}

void ScriptedDialogs::errorReport(QWidget *, const QString &text)
{
    errorReports << text + QLatin1Char('.');
}

void ScriptedDialogs::setNextAnswer(Answer answer)
{
    m_answers << answer;
}

void ScriptedDialogs::setNextInput(const std::optional<QString> &text)
{
    m_inputs << text;
}

void ScriptedDialogs::setNextFolder(const QString &path)
{
    m_folders << path;
}

} // namespace Vacuola::Test
