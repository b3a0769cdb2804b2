#include "engine/UndoJournal.h"

#include "engine/JournalFields.h"

#include <initializer_list>

namespace Vacuola {

using namespace JournalFields;

namespace {

const QByteArray Signature = "Vacuola-undo 2";
// A batch of records goes out at this size, or at this age, whichever comes first.
constexpr qsizetype FlushBytes = 64 * 1024;
constexpr qint64 FlushMs = 5;
const QLatin1String Prefix("Vacuola-");

} // namespace

UndoJournal::UndoJournal() = default;

UndoJournal::~UndoJournal() = default;

QString UndoJournal::suffix()
{
    return QStringLiteral(".undo");
}

void UndoJournal::begin(FileSystem &fileSystem, const QString &folder, const FolderNodes &nodes,
                        const QDateTime &start)
{
    m_append.reset();
    m_pending.clear();
    m_fileSystem = &fileSystem;
    m_nodes = &nodes;
    m_folder = folder;
    m_start = start;
    m_path.clear();
    m_error = 0;
    m_removedAny = false;
    // The swept folder is named by the journal's head.
    m_named.assign(1, true);
}

bool UndoJournal::open()
{
    if (m_error != 0 || !m_fileSystem)
        return false;
    if (m_append)
        return true;
    // Made on the first record: a sweep that removes nothing leaves no journal.
    const QString stem =
        m_folder + QLatin1Char('/') + Prefix + m_start.toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
    m_path = stem + suffix();
    for (int n = 2; m_fileSystem->entryExists(m_path); ++n)
        m_path = stem + QLatin1Char('_') + QString::number(n) + suffix();
    if (const int error = m_fileSystem->makeFolders(m_folder)) {
        m_error = error;
        return false;
    }
    QByteArray head = Signature + "\nroot\t";
    appendEncoded(head, m_nodes->rootPath());
    head += "\nstart\t" + QByteArray::number(m_start.toMSecsSinceEpoch()) + '\n';
    if (const int error = m_fileSystem->openAppend(m_path, m_append)) {
        m_error = error;
        return false;
    }
    if (const int error = m_append->write({head})) {
        fail(error);
        return false;
    }
    return true;
}

// What cannot be written leaves no journal at all: the append is cut back to
// nothing, and the file that it made is taken away, so that no part of the
// sweep is ever offered as if it were the whole.
void UndoJournal::fail(int error)
{
    m_error = error;
    m_pending.clear();
    if (m_append) {
        m_append.reset();
        m_fileSystem->deleteFile(m_path);
    }
}

// Records go to the file in batches, one system call for many folders, but
// never later than a few milliseconds after their removal: what a crash
// leaves is a journal of everything removed until just before it.
void UndoJournal::batched()
{
    if (m_pending.size() >= FlushBytes || m_pendingSince.elapsed() >= FlushMs)
        flush();
}

void UndoJournal::flush()
{
    if (!m_append || m_pending.isEmpty())
        return;
    const int error = m_append->write({m_pending});
    m_pending.clear();
    if (error != 0)
        fail(error);
}

// The folder's record, and before it those of the folders above it that have
// none yet: a folder is named once, by its parent's number and its name.
void UndoJournal::name(quint32 id)
{
    if (id < m_named.size() && m_named[id])
        return;
    if (m_named.size() < m_nodes->count())
        m_named.resize(m_nodes->count(), false);
    m_unnamed.clear();
    for (quint32 folder = id; !m_named[folder]; folder = m_nodes->parent(folder))
        m_unnamed.push_back(folder);
    for (auto folder = m_unnamed.crbegin(); folder != m_unnamed.crend(); ++folder) {
        m_pending += "D\t";
        appendNumber(m_pending, *folder);
        m_pending += '\t';
        appendNumber(m_pending, m_nodes->parent(*folder));
        m_pending += '\t';
        m_name.clear();
        m_nodes->appendName(m_name, *folder);
        appendEncoded(m_pending, m_name);
        m_pending += '\n';
        m_named[*folder] = true;
    }
}

// A record about the folder `id` begins: the journal is open, the batch's age
// counts from its first record, and the folder is named.
bool UndoJournal::startRecord(quint32 id)
{
    if (!open())
        return false;
    if (m_pending.isEmpty())
        m_pendingSince.start();
    name(id);
    return true;
}

void UndoJournal::seen(quint32 id, const FolderStatus &status)
{
    if (status.error != 0 || !startRecord(id))
        return;
    m_pending += "S\t";
    appendNumber(m_pending, id);
    appendMeta(m_pending, status.meta);
    m_pending += '\n';
    batched();
}

void UndoJournal::removed(quint32 id, const FolderStatus *status)
{
    m_removedAny = true;
    if (!startRecord(id))
        return;
    m_pending += "R\t";
    appendNumber(m_pending, id);
    if (status && status->error == 0)
        appendMeta(m_pending, status->meta);
    m_pending += '\n';
    batched();
}

void UndoJournal::fileTaken(quint32 folder, const QString &name, const QString &trashedAs)
{
    if (!startRecord(folder))
        return;
    // The trash keeps a file as files/NAME and tells of it in info/NAME.trashinfo.
    QString trashInfo;
    const qsizetype slash = trashedAs.lastIndexOf(QLatin1Char('/'));
    const qsizetype bin = slash > 0 ? trashedAs.lastIndexOf(QLatin1Char('/'), slash - 1) : -1;
    if (bin >= 0)
        trashInfo = trashedAs.left(bin) + QStringLiteral("/info") + trashedAs.mid(slash) +
                    QStringLiteral(".trashinfo");
    m_pending += "F\t";
    appendNumber(m_pending, folder);
    for (const QString *field : std::initializer_list<const QString *>{&name, &trashedAs, &trashInfo}) {
        m_pending += '\t';
        appendEncoded(m_pending, *field);
    }
    m_pending += '\n';
    batched();
}

void UndoJournal::end()
{
    // The last record tells that the journal is whole: one without it was cut
    // short by a sweep that never ended.
    if (m_append && m_removedAny)
        m_pending += "end\n";
    flush();
    if (m_append) {
        // A journal of nothing removed is cut back to nothing, then taken away.
        if (!m_removedAny) {
            fail(0);
        } else if (const int error = m_append->finish()) {
            fail(error);
        } else {
            m_append.reset();
        }
    }
    m_fileSystem = nullptr;
}

int UndoJournal::error() const
{
    return m_removedAny ? m_error : 0;
}

QString UndoJournal::path() const
{
    return m_path;
}

} // namespace Vacuola
