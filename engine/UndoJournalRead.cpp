// Reading the journals a sweep leaves: the newest one not undone yet, and the
// mark that one has been undone. Journals of both forms are read: the first
// named every removed folder by its whole path, the second names each folder
// once by its parent's number and its name. A journal is read a piece at a
// time, and of its folders only a tree of parents and names is kept.

#include "engine/JournalFields.h"
#include "engine/UndoJournal.h"

#include <QHash>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace Vacuola {

using namespace JournalFields;

namespace {

const QByteArray PathSignature = "Vacuola-undo 1";
const QByteArray TreeSignature = "Vacuola-undo 2";
const QLatin1String Prefix("Vacuola-");
// No record is this long; a "line" that is, is no journal.
constexpr qsizetype MaxLine = 16 * 1024 * 1024;
// The end of a journal that holds its mark once undone.
constexpr qsizetype EndSize = 64;

using Id = FolderNodes::Id;

// A name a folder of the tree can have: one component, never "." or "..".
bool isName(QStringView name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
           name != QLatin1String("..");
}

// The complete lines of a file, in order, without their line ends; a last line
// without one is a record cut short, and is left out.
int readLines(FileSystem &fileSystem, const QString &path, const std::function<bool(QByteArrayView)> &visit)
{
    QByteArray carry;
    bool going = true;
    bool tooLong = false;
    const int error = fileSystem.readFilePieces(path, [&](QByteArrayView piece) {
        while (going && !piece.isEmpty()) {
            const qsizetype end = piece.indexOf('\n');
            if (end < 0) {
                carry += piece;
                tooLong = carry.size() > MaxLine;
                return !tooLong;
            }
            if (carry.isEmpty()) {
                going = visit(piece.first(end));
            } else {
                carry += piece.first(end);
                going = visit(carry);
                carry.clear();
            }
            piece = piece.sliced(end + 1);
        }
        return going;
    });
    return error != 0 ? error : (tooLong ? EFBIG : 0);
}

// Builds a record from a journal's lines.
class Reading final
{
    Q_DISABLE_COPY_MOVE(Reading)

public:
    explicit Reading(UndoRecord &record) : m_record(record) {}
    ~Reading() = default;

    bool line(QByteArrayView line);
    int result() const { return m_record.tree && !m_record.root.isEmpty() ? 0 : EINVAL; }

private:
    bool folder(QByteArrayView field, Id &node);
    bool folderAt(const QString &relative, Id &node);

    UndoRecord &m_record;
    int m_lines = 0;
    bool m_byPath = false;
    QHash<quint32, Id> m_numbers{{0, 0}};         // the second form: the sweep's numbers
    QHash<std::pair<Id, QString>, Id> m_children; // the first form: parent and name
    QHash<quint32, FolderMeta> m_seen;            // descriptions not yet used, by number
};

bool Reading::line(QByteArrayView line)
{
    // The head: the form, the swept folder and the start.
    ++m_lines;
    if (m_lines == 1) {
        // The first form cannot tell whether it is whole: it is taken to be.
        m_byPath = line == PathSignature;
        m_record.whole = m_byPath;
        return m_byPath || line == TreeSignature;
    }
    const Fields fields = split(line);
    const QByteArrayView kind = fields.at[0];
    const qsizetype count = fields.count;
    if (!m_record.tree) {
        if (kind == "root" && count == 2) {
            m_record.root = decoded(fields.at[1]);
            m_record.tree = std::make_shared<FolderNodes>();
            m_record.tree->clear(m_record.root);
            return true;
        }
        return m_lines <= 3;
    }
    FolderNodes &tree = *m_record.tree;
    const qsizetype removed = m_byPath ? 3 : 2; // the fields of a removal before its description
    if (kind == "start" && count == 2) {
        m_record.start = QDateTime::fromMSecsSinceEpoch(fields.at[1].toLongLong());
    } else if (kind == "D" && count == 4 && !m_byPath) {
        bool ok[2] = {};
        const quint32 number = fields.at[1].toUInt(&ok[0]);
        const auto parent = m_numbers.constFind(fields.at[2].toUInt(&ok[1]));
        const QString name = decoded(fields.at[3]);
        // A folder comes after the one that holds it: a journal names no loop.
        if (ok[0] && ok[1] && parent != m_numbers.cend() && !m_numbers.contains(number) && isName(name))
            m_numbers.insert(number, tree.add(*parent, name));
    } else if (kind == "S" && count == 9) {
        FolderMeta meta;
        if (readMeta(fields, 2, meta))
            m_seen.insert(fields.at[1].toUInt(), meta);
    } else if (kind == "R" && (count == removed || count == removed + 7)) {
        JournalFolder removal;
        if (!folder(fields.at[size_t(removed - 1)], removal.node))
            return true;
        // A folder described when first listed is as it was before the sweep;
        // a later description has the times that its subfolders' removal gave it.
        const auto found = m_seen.find(fields.at[1].toUInt());
        FolderMeta meta;
        if (found != m_seen.end()) {
            removal.describe(*found);
            m_seen.erase(found);
        } else if (count > removed && readMeta(fields, removed, meta)) {
            removal.describe(meta);
        }
        m_record.folders.push_back(removal);
    } else if (kind == "F" && count == 5) {
        JournalFile file{0, decoded(fields.at[2]), decoded(fields.at[3]), decoded(fields.at[4])};
        if (folder(fields.at[1], file.folder) && isName(file.name))
            m_record.files.append(std::move(file));
    } else if (kind == "end") {
        m_record.whole = true;
    } else if (kind == "undone") {
        m_record.undone = true;
    }
    return true;
}

// The folder a record names: its number, or in the first form its path.
bool Reading::folder(QByteArrayView field, Id &node)
{
    if (m_byPath)
        return folderAt(decoded(field), node);
    bool ok = false;
    const auto found = m_numbers.constFind(field.toUInt(&ok));
    if (!ok || found == m_numbers.cend())
        return false;
    node = *found;
    return true;
}

// A folder of the first form, and the folders above it, added to the tree as
// they are first named: one step per component, whatever the depth.
bool Reading::folderAt(const QString &relative, Id &node)
{
    node = m_record.tree->root();
    if (relative.isEmpty())
        return true;
    for (const QStringView name : QStringView(relative).split(QLatin1Char('/'))) {
        if (!isName(name))
            return false;
        const auto key = std::make_pair(node, name.toString());
        const auto found = m_children.constFind(key);
        node = found != m_children.cend() ? *found : *m_children.insert(key, m_record.tree->add(node, name));
    }
    return true;
}

// Whether the end of a journal holds the mark of its undoing, or the file is
// too short to be any journal (one cut back to nothing by a failed write).
bool markedUndone(FileSystem &fileSystem, const QString &path)
{
    QByteArray end;
    bool cut = false;
    return fileSystem.readFileEnd(path, EndSize, end, cut) != 0 || end.contains("\nundone\t") ||
           (!cut && !end.startsWith(TreeSignature.chopped(1)));
}

// The swept folder a journal's head names; empty when it is no journal.
QString rootOf(FileSystem &fileSystem, const QString &path)
{
    UndoRecord head;
    Reading reading(head);
    readLines(fileSystem, path, [&](QByteArrayView line) { return reading.line(line) && !head.tree; });
    return head.root;
}

QStringList journalsIn(FileSystem &fileSystem, const QString &folder)
{
    QStringList names;
    fileSystem.listFiles(folder, [&names](const FileInfo &info) {
        if (info.kind == EntryKind::File && info.name.startsWith(Prefix) &&
            info.name.endsWith(UndoJournal::suffix()))
            names.append(info.name);
    });
    return names;
}

} // namespace

int UndoJournal::read(FileSystem &fileSystem, const QString &path, UndoRecord &record)
{
    record = UndoRecord();
    record.path = path;
    Reading reading(record);
    bool journal = true;
    if (const int error = readLines(fileSystem, path, [&](QByteArrayView line) {
            journal = reading.line(line);
            return journal;
        }))
        return error;
    return journal ? reading.result() : EINVAL;
}

bool UndoJournal::findLast(FileSystem &fileSystem, const QString &folder, const QString &root,
                           UndoRecord &record)
{
    QStringList names = journalsIn(fileSystem, folder);
    // The names begin with the start of their sweep: the newest sorts last.
    std::sort(names.begin(), names.end());
    for (auto name = names.crbegin(); name != names.crend(); ++name) {
        const QString path = folder + QLatin1Char('/') + *name;
        // Decided by the head and the end; only the journal taken is read whole.
        const QString swept = rootOf(fileSystem, path);
        if (swept.isEmpty() || (!root.isEmpty() && swept != root) || markedUndone(fileSystem, path))
            continue;
        if (read(fileSystem, path, record) == 0 && !record.undone)
            return true;
    }
    record = UndoRecord();
    return false;
}

bool UndoJournal::anyLeft(FileSystem &fileSystem, const QString &folder)
{
    const QStringList names = journalsIn(fileSystem, folder);
    // The mark of an undone journal is its last line.
    return std::any_of(names.cbegin(), names.cend(), [&](const QString &name) {
        return !markedUndone(fileSystem, folder + QLatin1Char('/') + name);
    });
}

int UndoJournal::markUndone(FileSystem &fileSystem, const QString &path, const QDateTime &when)
{
    return fileSystem.appendToFile(path, "undone\t" + QByteArray::number(when.toMSecsSinceEpoch()) + '\n');
}

} // namespace Vacuola
