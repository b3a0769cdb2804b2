#include "tests/ui/ScriptedDialogs.h"

#include "ui/ExclusionDialog.h"
#include "ui/PreviewDialog.h"
#include "ui/PreviewFolders.h"

namespace Vacuola::Test {

void ScriptedDialogs::information(QWidget *, const QString &text)
{
    showInformationBox(text);
}

Answer ScriptedDialogs::question(QWidget *, const QString &text)
{
    return askQuestion(text);
}

bool ScriptedDialogs::input(QWidget *, const QString &, const QString &prompt, QString &text)
{
    return askInput(prompt, text);
}

QString ScriptedDialogs::folder(QWidget *, const QString &title)
{
    return browseFolder(title);
}

void ScriptedDialogs::errorReport(QWidget *, const QString &text)
{
    showErrorBox(text + QLatin1Char('.'));
}

bool ScriptedDialogs::preview(QWidget *parent, const PreviewContent &content, QStringList &kept)
{
    QStringList shown{content.summary};
    for (qsizetype i = 0; i < content.folders->lineCount(); ++i)
        shown << content.folders->line(i);
    previews << shown;
    PreviewDialog dialog(parent, content);
    if (previewScript)
        previewScript(dialog);
    if (previewStarts)
        kept = dialog.keptFolders();
    return previewStarts;
}

bool ScriptedDialogs::exclusions(QWidget *parent, QStringList &patterns)
{
    ExclusionDialog dialog(parent, patterns, *this);
    if (exclusionScript)
        exclusionScript(dialog);
    if (dialog.result() != QDialog::Accepted)
        return false;
    patterns = dialog.patterns();
    return true;
}

} // namespace Vacuola::Test
