// Reading the journals a sweep leaves: the newest one not undone yet, and the
// mark that one has been undone. Journals of both forms are read: the first
// named every removed folder by its whole path, the second names each folder
// once by its parent's number and its name.

#include "engine/JournalFields.h"
#include "engine/UndoJournal.h"

#include <QHash>

#include <algorithm>
#include <cerrno>

namespace Vacuola {

using namespace JournalFields;

namespace {

const QByteArray PathSignature = "Vacuola-undo 1";
const QByteArray TreeSignature = "Vacuola-undo 2";
const QLatin1String Prefix("Vacuola-");

// A name a folder of the tree can have: one component, never "." or "..".
bool isName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
           name != QLatin1String("..");
}

} // namespace

int UndoJournal::read(FileSystem &fileSystem, const QString &path, UndoRecord &record)
{
    record = UndoRecord();
    record.path = path;
    QByteArray bytes;
    if (const int error = fileSystem.readFile(path, bytes))
        return error;
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.isEmpty() || (lines.constFirst() != PathSignature && lines.constFirst() != TreeSignature))
        return EINVAL;
    const bool byPath = lines.constFirst() == PathSignature;
    // The folders by their numbers in the sweep, as nodes of a tree of their own.
    FolderNodes nodes;
    nodes.clear(QString());
    QHash<quint32, FolderNodes::Id> folders{{0, nodes.root()}};
    const auto relative = [&](QByteArrayView field, bool &known) -> QString {
        if (byPath) {
            known = true;
            return decoded(field);
        }
        bool ok = false;
        const auto found = folders.constFind(field.toUInt(&ok));
        known = ok && found != folders.cend();
        return known && *found != nodes.root() ? nodes.path(*found).mid(1) : QString();
    };
    QHash<quint32, FolderMeta> seen;
    for (const QByteArray &line : lines) {
        const Fields fields = split(line);
        const QByteArrayView kind = fields.at[0];
        const qsizetype count = fields.count;
        const size_t removedMeta = byPath ? 3 : 2;
        if (kind == "root" && count == 2) {
            record.root = decoded(fields.at[1]);
        } else if (kind == "start" && count == 2) {
            record.start = QDateTime::fromMSecsSinceEpoch(fields.at[1].toLongLong());
        } else if (kind == "D" && count == 4 && !byPath) {
            bool ok[2] = {};
            const quint32 id = fields.at[1].toUInt(&ok[0]);
            const auto parent = folders.constFind(fields.at[2].toUInt(&ok[1]));
            const QString name = decoded(fields.at[3]);
            // A folder comes after the one that holds it: a journal names no loop.
            if (ok[0] && ok[1] && parent != folders.cend() && !folders.contains(id) && isName(name))
                folders.insert(id, nodes.add(*parent, name));
        } else if (kind == "S" && count == 9) {
            FolderMeta meta;
            if (readMeta(fields, 2, meta))
                seen.insert(fields.at[1].toUInt(), meta);
        } else if (kind == "R" && (count == qsizetype(removedMeta) || count == qsizetype(removedMeta) + 7)) {
            JournalFolder folder;
            bool known = false;
            folder.relative = relative(fields.at[removedMeta - 1], known);
            if (!known)
                continue;
            // A folder described when first listed is as it was before the sweep;
            // a later description has the times that its subfolders' removal gave it.
            const auto found = seen.constFind(fields.at[1].toUInt());
            if (found != seen.cend()) {
                folder.described = true;
                folder.meta = *found;
            } else {
                folder.described =
                    count > qsizetype(removedMeta) && readMeta(fields, removedMeta, folder.meta);
            }
            record.folders.push_back(folder);
        } else if (kind == "F" && count == 5) {
            bool known = false;
            const QString folder = relative(fields.at[1], known);
            if (known)
                record.files.append(
                    JournalFile{folder, decoded(fields.at[2]), decoded(fields.at[3]), decoded(fields.at[4])});
        } else if (kind == "undone") {
            record.undone = true;
        }
    }
    return record.root.isEmpty() ? EINVAL : 0;
}
bool UndoJournal::findLast(FileSystem &fileSystem, const QString &folder, const QString &root,
                           UndoRecord &record)
{
    QStringList names;
    fileSystem.listFiles(folder, [&names](const FileInfo &info) {
        if (info.kind == EntryKind::File && info.name.startsWith(Prefix) && info.name.endsWith(suffix()))
            names.append(info.name);
    });
    // The names begin with the start of their sweep: the newest sorts last.
    std::sort(names.begin(), names.end());
    for (auto name = names.crbegin(); name != names.crend(); ++name) {
        if (read(fileSystem, folder + QLatin1Char('/') + *name, record) != 0 || record.undone)
            continue;
        if (root.isEmpty() || record.root == root)
            return true;
    }
    record = UndoRecord();
    return false;
}

bool UndoJournal::anyLeft(FileSystem &fileSystem, const QString &folder)
{
    bool left = false;
    fileSystem.listFiles(folder, [&](const FileInfo &info) {
        if (left || info.kind != EntryKind::File || !info.name.startsWith(Prefix) ||
            !info.name.endsWith(suffix()))
            return;
        // The mark of an undone journal is its last line.
        QByteArray end;
        bool cut = false;
        if (fileSystem.readFileEnd(folder + QLatin1Char('/') + info.name, 64, end, cut) == 0)
            left = !end.contains("\nundone\t");
    });
    return left;
}

int UndoJournal::markUndone(FileSystem &fileSystem, const QString &path, const QDateTime &when)
{
    return fileSystem.appendToFile(path, "undone\t" + QByteArray::number(when.toMSecsSinceEpoch()) + '\n');
}

} // namespace Vacuola
