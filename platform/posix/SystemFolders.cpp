#include "platform/SystemFolders.h"

#include "platform/FileSystem.h"
#include "platform/posix/UserFolders.h"

#include <QDir>
#include <QFile>

namespace Vacuola {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// fstab(5) writes a blank, a tab, a line feed or a backslash inside a field as
// a backslash and three octal digits.
QByteArray unescapedOctal(QByteArrayView field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            int value = 0;
            bool octal = true;
            for (qsizetype k = 1; k <= 3; ++k) {
                const char digit = field[i + k];
                octal = octal && digit >= '0' && digit <= '7';
                value = value * 8 + (digit - '0');
            }
            if (octal && value <= 0xff) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

// A path as the file system names it: its bytes decoded as file names are.
QString cleanFolder(const QByteArray &bytes)
{
    const QString path = QFile::decodeName(bytes);
    return path.startsWith(u'/') ? QDir::cleanPath(path) : QString();
}

QByteArray fileText(FileSystem &fileSystem, const QString &path)
{
    QByteArray bytes;
    if (path.isEmpty() || fileSystem.readFile(path, bytes) != 0)
        return {};
    return bytes;
}

} // namespace

SystemFolderSources SystemFolderSources::ofThisUser()
{
    SystemFolderSources sources;
    sources.home = userHomeFolder();
    sources.dataHome = userXdgFolder("XDG_DATA_HOME", "/.local/share");
    sources.configHome = userXdgFolder("XDG_CONFIG_HOME", "/.config");
    sources.fstab = QStringLiteral("/etc/fstab");
    return sources;
}

QStringList fstabMountPoints(QByteArrayView text)
{
    QStringList points;
    for (const QByteArray &line : text.toByteArray().split('\n')) {
        QList<QByteArray> fields;
        qsizetype i = 0;
        while (i < line.size() && fields.size() < 2) {
            while (i < line.size() && isBlank(line[i]))
                ++i;
            const qsizetype start = i;
            while (i < line.size() && !isBlank(line[i]))
                ++i;
            if (i > start)
                fields.append(line.mid(start, i - start));
        }
        if (fields.size() < 2 || fields.first().startsWith('#'))
            continue;
        const QByteArray &point = fields.at(1);
        if (point == "none" || point == "swap")
            continue;
        const QString folder = cleanFolder(unescapedOctal(point));
        if (!folder.isEmpty())
            points.append(folder);
    }
    return points;
}

QStringList xdgUserFolders(QByteArrayView text, const QString &home)
{
    // Lines of the form XDG_DESKTOP_DIR="$HOME/Desktop" or XDG_DESKTOP_DIR="/abs/path",
    // as xdg-user-dirs writes and reads them; a backslash escapes the next character.
    QStringList folders;
    for (QByteArray line : text.toByteArray().split('\n')) {
        line = line.trimmed();
        const qsizetype equals = line.indexOf('=');
        if (line.startsWith('#') || equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        if (!key.startsWith("XDG_") || !key.endsWith("_DIR"))
            continue;
        const QByteArray quoted = line.mid(equals + 1).trimmed();
        if (!quoted.startsWith('"'))
            continue;
        QByteArray value;
        bool closed = false;
        for (qsizetype i = 1; i < quoted.size(); ++i) {
            if (quoted[i] == '\\' && i + 1 < quoted.size()) {
                value.append(quoted[++i]);
            } else if (quoted[i] == '"') {
                closed = true;
                break;
            } else {
                value.append(quoted[i]);
            }
        }
        if (!closed)
            continue;
        QString folder;
        if (value == "$HOME" || value.startsWith("$HOME/")) {
            if (home.isEmpty())
                continue;
            folder = QDir::cleanPath(home + QFile::decodeName(value.mid(5)));
        } else {
            folder = cleanFolder(value);
        }
        if (!folder.isEmpty() && folder != QDir::cleanPath(home))
            folders.append(folder);
    }
    return folders;
}

QStringList systemProtectedFolders(const SystemFolderSources &sources, FileSystem &fileSystem)
{
    QStringList folders;
    if (sources.dataHome.startsWith(u'/'))
        folders.append(QDir::cleanPath(sources.dataHome + QStringLiteral("/Trash")));
    if (sources.configHome.startsWith(u'/')) {
        folders += xdgUserFolders(
            fileText(fileSystem, QDir::cleanPath(sources.configHome + QStringLiteral("/user-dirs.dirs"))),
            sources.home);
    }
    folders += fstabMountPoints(fileText(fileSystem, sources.fstab));
    return folders;
}

} // namespace Vacuola
