#include "tests/support/DialogScript.h"

namespace Vacuola::Test {

void DialogScript::setNextAnswer(Answer answer)
{
    m_answers << answer;
}

void DialogScript::setNextInput(const std::optional<QString> &text)
{
    m_inputs << text;
}

void DialogScript::setNextFolder(const QString &path)
{
    m_folders << path;
}

qsizetype DialogScript::unanswered() const
{
    return m_answers.size() + m_inputs.size() + m_folders.size();
}

void DialogScript::showInformationBox(const QString &text)
{
    informations << text;
    if (whileOpen)
        whileOpen();
}

Answer DialogScript::askQuestion(const QString &text)
{
    questions << text;
    if (whileOpen)
        whileOpen();
    return m_answers.isEmpty() ? Answer::Cancel : m_answers.takeFirst();
}

bool DialogScript::askInput(const QString &prompt, QString &text)
{
    inputPrompts << prompt;
    inputTexts << text;
    const std::optional<QString> answer = m_inputs.isEmpty() ? std::nullopt : m_inputs.takeFirst();
    if (!answer)
        return false;
    text = answer->left(255);
    return true;
}

QString DialogScript::browseFolder(const QString &title)
{
    folderTitles << title;
    return m_folders.isEmpty() ? QString() : m_folders.takeFirst();
}

void DialogScript::showErrorBox(const QString &text)
{
    errorReports << text;
}

} // namespace Vacuola::Test
