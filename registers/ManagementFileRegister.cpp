#include "registers/ManagementFileRegister.h"

#include "core/RegisterLists.h"
#include "core/WindowServices.h"
#include "platform/Cp932.h"

namespace Vacuola {

namespace {

constexpr qsizetype MaxTypedLength = 255;

QString firstPrompt()
{
    return QStringLiteral("空きフォルダ判定から除外するファイル名を入力して下さい");
}

QString correctionPrompt()
{
    return QStringLiteral("ファイル名に使用出来ない文字が含まれています\t") +
           ManagementFileRegister::invalidChars() + QStringLiteral("\r訂正して下さい");
}

} // namespace

ManagementFileRegister::ManagementFileRegister(ManagementFileList &list, WindowServices &window)
    : m_list(list), m_window(window)
{}

QString ManagementFileRegister::invalidChars()
{
    return QStringLiteral("\\/:,;*?\"<>|");
}

QStringList ManagementFileRegister::presetSet()
{
    return {QStringLiteral("desktop.ini"), QStringLiteral("thumbs.db"), QStringLiteral("_thumbnl.sue"),
            QStringLiteral("_catalog.vix")};
}

bool ManagementFileRegister::isStorableName(const QString &name)
{
    return Cp932::canStore(name);
}

bool ManagementFileRegister::isValidTypedName(const QString &name)
{
    if (name.isEmpty() || !isStorableName(name))
        return false;
    // Text is Unicode here, so the second byte of a double-byte character (such
    // as the 0x5C of 表) can never be mistaken for one of these.
    const QString invalid = invalidChars();
    for (const QChar c : name) {
        if (invalid.contains(c))
            return false;
    }
    return true;
}

void ManagementFileRegister::AddIgnoreFile(const QString &name)
{
    // A name the settings file cannot carry unchanged would come back as
    // another name at the next start.
    if (!isStorableName(name)) {
        m_window.setStatusText(QStringLiteral("処理できないファイル名です ") + name);
        return;
    }
    for (int i = 0; i < m_list.count(); ++i) {
        if (m_list.name(i) == name) {
            m_window.setStatusText(QStringLiteral("入力された管理ファイルは既に登録済みです"));
            return;
        }
    }
    m_list.addChecked(name);
    m_window.setStatusText(QStringLiteral("管理ファイルを追加しました"));
}

void ManagementFileRegister::IgnoreFileAddExecute()
{
    QString value;
    QString prompt = firstPrompt();
    for (;;) {
        QString text = value;
        const bool ok = m_window.inputBox(QStringLiteral("管理ファイルの追加"), prompt, text);
        prompt = correctionPrompt();
        if (!ok)
            return;
        // The box holds at most 255 characters; keep to that whatever it returns.
        value = text.left(MaxTypedLength);
        if (isValidTypedName(value)) {
            AddIgnoreFile(value.toLower());
            return;
        }
    }
}

void ManagementFileRegister::IgnoreFileSetAddExecute()
{
    for (const QString &name : presetSet())
        AddIgnoreFile(name);
    m_window.setStatusText(QStringLiteral("不要なファイル名は削除して下さい"));
}

void ManagementFileRegister::IgnoreFileAllOnExecute()
{
    for (int i = 0; i < m_list.count(); ++i)
        m_list.setChecked(i, true);
}

void ManagementFileRegister::IgnoreFileAllOffExecute()
{
    for (int i = 0; i < m_list.count(); ++i)
        m_list.setChecked(i, false);
}

void ManagementFileRegister::IgnoreFileDelExecute()
{
    // From the end, so that the indexes still to be visited do not shift.
    for (int i = m_list.count() - 1; i >= 0; --i) {
        if (m_list.isSelected(i))
            m_list.removeAt(i);
    }
}

void ManagementFileRegister::IgnoreListDblClick()
{
    m_list.clearSelection();
}

void ManagementFileRegister::loadStored(const QString &name)
{
    m_list.addChecked(name.toLower());
}

QStringList ManagementFileRegister::names() const
{
    QStringList result;
    for (int i = 0; i < m_list.count(); ++i)
        result << m_list.name(i);
    return result;
}

} // namespace Vacuola
