#include "engine/SweepEngine.h"

#include "core/RegisterLists.h"
#include "core/WindowServices.h"
#include "platform/FileSystem.h"

#include <QList>

#include <cerrno>

#include <algorithm>

namespace Vacuola {

namespace {

QString errorDetail(int error)
{
    return QStringLiteral("エラー内容\t(") + QString::number(error) + QLatin1Char(')') + errorMessage(error) +
           QStringLiteral("\r\n");
}

} // namespace

void SweepEngine::reportFailure(const QString &text)
{
    WindowServices &window = m_context.window;
    window.bringToForeground();
    if (!window.isMarked(OptionMark::NonStop))
        window.showInformation(text);
}

void SweepEngine::RemoveFolder(FolderId folder)
{
    const QString path = m_nodes.path(folder);
    WindowServices &window = m_context.window;
    int error = 0;
    QString marker;
    QString flags;

    // The listing that judged this folder empty was made just now; its mode and
    // files stand until a box runs the event loop.
    const bool listed = m_lastListing.valid && m_lastListing.folder == folder;
    m_lastListing.valid = false;
    bool readOnly = false;
    int readError = 0;
    if (listed) {
        readError = m_lastListing.status.error;
        readOnly = m_lastListing.status.readOnly;
    } else {
        readError = m_tree->folderReadOnly(path, readOnly);
    }
    // A folder that vanished, or was swapped for something that is not a
    // folder, since its parent was listed has no mode to ask about: its removal
    // is attempted, and fails with what stands there now.
    if (readError == ENOENT || readError == ELOOP || readError == ENOTDIR) {
        readError = 0;
        readOnly = false;
    }
    bool filesKnown = listed;
    // Attributes that cannot be read count as read-only, as every bit is set then.
    if (readError != 0 || readOnly) {
        if (!window.isMarked(OptionMark::DisableReadOnly)) {
            const Answer answer =
                window.askWarning(QStringLiteral("読取専用属性の付いたフォルダを検出しました\r\r") + path +
                                  QStringLiteral("\r属性を解除して削除しますか？"));
            if (answer == Answer::Cancel) {
                stopRequest();
                return;
            }
            if (answer == Answer::No)
                return;
            // The question ran the event loop: anything may have changed in the folder.
            filesKnown = false;
        }
        // Clearing attributes that could not be read is bound to fail; the
        // folder is left exactly as it was and the read's error is reported.
        error = readError != 0 ? readError : m_tree->clearReadOnly(path);
        if (error == 0) {
            flags = QStringLiteral("R");
        } else {
            reportFailure(
                QStringLiteral("フォルダの属性を変更しようとしましたが、エラーが発生しました\r\r\n") +
                errorDetail(error) + QStringLiteral("フォルダ名\t") + path);
            marker = QStringLiteral(" ◆ 属性変更エラー：(");
        }
    }

    if (error == 0)
        error = deleteManagementFiles(path, flags, marker, filesKnown ? &m_lastListing.files : nullptr);

    window.processMessages();

    if (error == 0) {
        error = m_tree->removeFolder(path);
        if (error != 0) {
            reportFailure(QStringLiteral("フォルダを削除しようとしましたが、エラーが発生しました\r\r\n") +
                          errorDetail(error) + QStringLiteral("フォルダ名\t") + path);
            marker = QStringLiteral(" ◆ フォルダ削除エラー：(");
        }
    }

    QString suffix;
    if (!flags.isEmpty())
        suffix = QStringLiteral(" - ") + (flags.startsWith(QLatin1Char(',')) ? flags.mid(1) : flags);

    const QString line = error == 0 ? printable(path) + suffix
                                    : printable(path) + printable(marker) + QString::number(error) +
                                          QLatin1Char(')') + printable(errorMessage(error)) + suffix;
    if (!window.isMarked(OptionMark::Log0))
        LogList.append({line}, folder);
    if (error == 0)
        ++DelCount;
    else
        ++ErrCount;
    if (m_folderLineObserver)
        m_folderLineObserver(line);
    window.setRemovalCounter(QString::number(DelCount));
}

int SweepEngine::deleteManagementFiles(const QString &path, QString &flags, QString &marker,
                                       const QStringList *seenFiles)
{
    const ManagementFileList &list = m_context.managementFiles;
    const int count = list.count();

    bool anyChecked = false;
    for (int i = 0; i < count && !anyChecked; ++i)
        anyChecked = list.isChecked(i);
    if (!anyChecked)
        return 0;

    // Names on disk are case-sensitive: one listing finds every spelling of a
    // checked name (Thumbs.db and thumbs.db may both be there).
    struct Found
    {
        QString name;
        QString lower;
    };
    QList<Found> files;
    if (seenFiles) {
        for (const QString &name : *seenFiles)
            files.append(Found{name, name.toLower()});
    } else {
        m_tree->listFolder(
            path,
            [&](const FolderEntry &entry) {
                if (entry.kind == EntryKind::File)
                    files.append(Found{entry.name, entry.name.toLower()});
                return true;
            },
            nullptr);
    }
    if (files.isEmpty())
        return 0;

    for (int i = 0; i < count && i < list.count(); ++i) {
        if (!list.isChecked(i))
            continue;
        const QString name = list.name(i);
        bool deleted = false;
        for (const Found &file : std::as_const(files)) {
            if (file.lower != name)
                continue;
            const int error = m_tree->deleteFile(path, file.name);
            // A file that is gone by now is one that does not exist: passed over.
            if (error == ENOENT)
                continue;
            if (error != 0) {
                // Whatever of this name went before the failure stands in the suffix.
                if (deleted)
                    flags += QLatin1Char(',') + QString::number(i);
                reportFailure(
                    QStringLiteral("ファイルの削除をしようとしましたが、エラーが発生しました\r\r\n") +
                    errorDetail(error) + QStringLiteral("ファイル名\t") + path + QLatin1Char('/') + name);
                marker = QStringLiteral(" [ ") + name + QStringLiteral(" ] ◆ ファイル削除エラー：(");
                return error;
            }
            deleted = true;
        }
        if (deleted)
            flags += QLatin1Char(',') + QString::number(i);
    }
    return 0;
}

QString SweepEngine::printable(const QString &text)
{
    // The control characters (C0, DEL and C1), by range: this runs for every log line.
    const auto isControl = [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7F && u <= 0x9F);
    };
    if (std::none_of(text.cbegin(), text.cend(), isControl))
        return text;
    QString result = text;
    std::replace_if(result.begin(), result.end(), isControl, QLatin1Char('?'));
    return result;
}

} // namespace Vacuola
