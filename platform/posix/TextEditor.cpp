#include "platform/TextEditor.h"

#include "platform/FileSystem.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace Vacuola {

namespace {

constexpr int QueryTimeoutMs = 3000;

// The desktop file id that the desktop associates with plain text, or empty.
QString defaultTextHandler()
{
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return QString();
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
    if (!query.waitForFinished(QueryTimeoutMs) || query.exitStatus() != QProcess::NormalExit ||
        query.exitCode() != 0) {
        query.kill();
        query.waitForFinished(QueryTimeoutMs);
        return QString();
    }
    const QString id = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    // One id only, a plain file name: never a path that points elsewhere.
    if (!id.endsWith(QLatin1String(".desktop")) || id.contains(QLatin1Char('/')) ||
        id.contains(QLatin1Char('\n')))
        return QString();
    return id;
}

// The desktop file of an id, looked up in the XDG data folders. Ids with
// dashes may name a file in a subfolder ("kde-kate.desktop" = "kde/kate.desktop").
QString desktopFile(const QString &id)
{
    QStringList candidates{QStringLiteral("applications/") + id};
    QString nested = id;
    for (qsizetype dash = nested.indexOf(QLatin1Char('-')); dash > 0;
         dash = nested.indexOf(QLatin1Char('-'), dash + 1)) {
        nested[dash] = QLatin1Char('/');
        candidates << QStringLiteral("applications/") + nested;
    }
    for (const QString &candidate : candidates) {
        const QString found = QStandardPaths::locate(QStandardPaths::GenericDataLocation, candidate);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

// The words of an Exec value with the desktop-entry quoting undone.
QStringList execWords(const QString &value)
{
    QStringList words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inWord = true;
        } else if (c == QLatin1Char('\\') && quoted && i + 1 < value.size()) {
            word += value.at(++i);
        } else if (c.isSpace() && !quoted) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

bool isFileFieldCode(const QString &word)
{
    return word == QLatin1String("%f") || word == QLatin1String("%F") || word == QLatin1String("%u") ||
           word == QLatin1String("%U");
}

/**
 * The program of the Exec key in the [Desktop Entry] group. The editor is run
 * with the file as its one parameter, so a handler that needs arguments of its
 * own (a launcher such as "flatpak run ...") is not used.
 */
QString execProgram(const QString &desktopPath)
{
    // Read like the program's own files: an entry that is a fifo never blocks.
    QByteArray bytes;
    if (systemFileSystem().readFile(desktopPath, bytes) != 0)
        return QString();
    bool inEntry = false;
    const QList<QByteArray> lines = bytes.split('\n');
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inEntry || equals < 0 || line.left(equals).trimmed() != QLatin1String("Exec"))
            continue;
        const QStringList words = execWords(line.mid(equals + 1).trimmed());
        if (words.isEmpty() || words.first().contains(QLatin1Char('%')))
            return QString();
        for (qsizetype i = 1; i < words.size(); ++i) {
            if (!isFileFieldCode(words.at(i)))
                return QString();
        }
        const QString &program = words.first();
        if (program.startsWith(QLatin1Char('/')))
            return QFileInfo(program).isExecutable() ? program : QString();
        return QStandardPaths::findExecutable(program);
    }
    return QString();
}

class SystemTextEditor final : public TextEditor
{
public:
    QString find() override;
    void open(const QString &editor, const QString &file) override;
};

QString SystemTextEditor::find()
{
    const QString id = defaultTextHandler();
    if (!id.isEmpty()) {
        const QString path = desktopFile(id);
        if (!path.isEmpty()) {
            const QString program = execProgram(path);
            if (!program.isEmpty())
                return program;
        }
    }
    // Plain-text editors only: a generic opener could hand the log to anything.
    static const char *const editors[] = {"gedit", "mousepad", "kate",       "kwrite",           "xed",
                                          "pluma", "leafpad",  "featherpad", "gnome-text-editor"};
    for (const char *editor : editors) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(editor));
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

void SystemTextEditor::open(const QString &editor, const QString &file)
{
    QProcess::startDetached(editor, {file});
}

} // namespace

TextEditor &systemTextEditor()
{
    static SystemTextEditor editor;
    return editor;
}

} // namespace Vacuola
