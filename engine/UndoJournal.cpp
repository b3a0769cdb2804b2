#include "engine/UndoJournal.h"

#include <QHash>

#include <algorithm>
#include <charconv>

namespace Vacuola {

namespace {

const QByteArray Signature = "Vacuola-undo 1";
// A batch of records goes out at this size, or at this age, whichever comes first.
constexpr qsizetype FlushBytes = 64 * 1024;
constexpr qint64 FlushMs = 5;
const QLatin1String Prefix("Vacuola-");

// Names and paths as UTF-8 with "%" and every control byte (tabs and line ends
// among them) written as %XX, so that one record is one line of tab-separated
// fields. Run for every removed folder's whole path: one pass, no lookup table.
QByteArray encoded(QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    const auto plain = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte != 0x7F && c != '%';
    };
    if (std::all_of(utf8.cbegin(), utf8.cend(), plain))
        return utf8;
    QByteArray out;
    out.reserve(utf8.size());
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%') {
            out += '%';
            out += Hex[byte >> 4];
            out += Hex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

QString decoded(QByteArrayView field)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(field.toByteArray()));
}

template <typename Number>
void appendNumber(QByteArray &out, Number number, int base = 10)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number, base).ptr;
    out.append(digits, end - digits);
}

// Written for every removed folder: into the record's own buffer, no temporaries.
void appendMeta(QByteArray &out, const FolderMeta &meta)
{
    const auto field = [&out](auto number, int base = 10) {
        out += '\t';
        appendNumber(out, number, base);
    };
    field(meta.mode, 8);
    field(meta.owner);
    field(meta.group);
    field(meta.accessSeconds);
    field(meta.accessNanoseconds);
    field(meta.modifySeconds);
    field(meta.modifyNanoseconds);
}

bool readMeta(const QList<QByteArray> &fields, qsizetype from, FolderMeta &meta)
{
    if (fields.size() < from + 7)
        return false;
    bool ok[7] = {};
    meta.mode = fields[from].toUInt(&ok[0], 8) & 07777;
    meta.owner = fields[from + 1].toUInt(&ok[1]);
    meta.group = fields[from + 2].toUInt(&ok[2]);
    meta.accessSeconds = fields[from + 3].toLongLong(&ok[3]);
    meta.accessNanoseconds = fields[from + 4].toInt(&ok[4]);
    meta.modifySeconds = fields[from + 5].toLongLong(&ok[5]);
    meta.modifyNanoseconds = fields[from + 6].toInt(&ok[6]);
    return std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; });
}

} // namespace

UndoJournal::UndoJournal() = default;

UndoJournal::~UndoJournal() = default;

QString UndoJournal::suffix()
{
    return QStringLiteral(".undo");
}

void UndoJournal::begin(FileSystem &fileSystem, const QString &folder, const QString &root,
                        const QDateTime &start)
{
    m_append.reset();
    m_pending.clear();
    m_fileSystem = &fileSystem;
    m_folder = folder;
    m_root = root;
    m_start = start;
    m_path.clear();
    m_failed = false;
    m_removedAny = false;
}

void UndoJournal::write(const QByteArray &line)
{
    if (m_failed || !m_fileSystem)
        return;
    if (!m_append) {
        // Made on the first record: a sweep that removes nothing leaves no journal.
        if (m_fileSystem->makeFolders(m_folder) != 0) {
            m_failed = true;
            return;
        }
        const QString stem =
            m_folder + QLatin1Char('/') + Prefix + m_start.toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
        m_path = stem + suffix();
        for (int n = 2; m_fileSystem->entryExists(m_path); ++n)
            m_path = stem + QLatin1Char('_') + QString::number(n) + suffix();
        if (m_fileSystem->openAppend(m_path, m_append) != 0 ||
            m_append->write({Signature + "\nroot\t" + encoded(m_root) + "\nstart\t" +
                             QByteArray::number(m_start.toMSecsSinceEpoch()) + '\n'}) != 0) {
            m_append.reset();
            m_failed = true;
            return;
        }
    }
    // Records go to the file in batches, one system call for many folders, but
    // never later than a few milliseconds after their removal: what a crash
    // leaves is a journal of everything removed until just before it.
    if (m_pending.isEmpty())
        m_pendingSince.start();
    m_pending += line;
    if (m_pending.size() >= FlushBytes || m_pendingSince.elapsed() >= FlushMs)
        flush();
}

void UndoJournal::flush()
{
    if (!m_append || m_pending.isEmpty())
        return;
    const int error = m_append->write({m_pending});
    m_pending.clear();
    if (error != 0) {
        m_append.reset();
        m_failed = true;
    }
}

void UndoJournal::seen(quint32 id, const FolderStatus &status)
{
    if (status.error != 0)
        return;
    QByteArray line;
    line.reserve(128);
    line += "S\t";
    appendNumber(line, id);
    appendMeta(line, status.meta);
    line += '\n';
    write(line);
}

void UndoJournal::removed(quint32 id, QStringView relative, const FolderStatus *status)
{
    m_removedAny = true;
    QByteArray line;
    line.reserve(128 + relative.size() * 3);
    line += "R\t";
    appendNumber(line, id);
    line += '\t';
    line += encoded(relative);
    if (status && status->error == 0)
        appendMeta(line, status->meta);
    line += '\n';
    write(line);
}

void UndoJournal::fileTaken(QStringView folder, const QString &name, const QString &trashedAs)
{
    // The trash keeps a file as files/NAME and tells of it in info/NAME.trashinfo.
    QString trashInfo;
    const qsizetype slash = trashedAs.lastIndexOf(QLatin1Char('/'));
    const qsizetype bin = slash > 0 ? trashedAs.lastIndexOf(QLatin1Char('/'), slash - 1) : -1;
    if (bin >= 0)
        trashInfo = trashedAs.left(bin) + QStringLiteral("/info") + trashedAs.mid(slash) +
                    QStringLiteral(".trashinfo");
    write("F\t" + encoded(folder) + '\t' + encoded(name) + '\t' + encoded(trashedAs) + '\t' +
          encoded(trashInfo) + '\n');
}

void UndoJournal::end()
{
    flush();
    if (m_append) {
        if (m_removedAny) {
            m_append->finish();
            m_append.reset();
        } else {
            // Cut back to nothing, then taken away.
            m_append.reset();
            m_fileSystem->deleteFile(m_path);
        }
    }
    m_fileSystem = nullptr;
}

int UndoJournal::read(FileSystem &fileSystem, const QString &path, UndoRecord &record)
{
    record = UndoRecord();
    record.path = path;
    QByteArray bytes;
    if (const int error = fileSystem.readFile(path, bytes))
        return error;
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.isEmpty() || lines.constFirst() != Signature)
        return EINVAL;
    QHash<quint32, FolderMeta> seen;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split('\t');
        const QByteArray &kind = fields.constFirst();
        if (kind == "root" && fields.size() == 2) {
            record.root = decoded(fields[1]);
        } else if (kind == "start" && fields.size() == 2) {
            record.start = QDateTime::fromMSecsSinceEpoch(fields[1].toLongLong());
        } else if (kind == "S" && fields.size() == 9) {
            FolderMeta meta;
            if (readMeta(fields, 2, meta))
                seen.insert(fields[1].toUInt(), meta);
        } else if (kind == "R" && (fields.size() == 3 || fields.size() == 10)) {
            JournalFolder folder;
            folder.relative = decoded(fields[2]);
            // A folder described when first listed is as it was before the sweep;
            // a later description has the times that its subfolders' removal gave it.
            const auto found = seen.constFind(fields[1].toUInt());
            if (found != seen.cend()) {
                folder.described = true;
                folder.meta = *found;
            } else {
                folder.described = fields.size() == 10 && readMeta(fields, 3, folder.meta);
            }
            record.folders.push_back(folder);
        } else if (kind == "F" && fields.size() == 5) {
            record.files.append(
                JournalFile{decoded(fields[1]), decoded(fields[2]), decoded(fields[3]), decoded(fields[4])});
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
