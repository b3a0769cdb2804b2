#pragma once

#include "engine/PathCursor.h"
#include "engine/UndoJournal.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>

namespace Vacuola {

class Clock;
class FileSystem;

/**
 * Undoes one sweep from its journal: every removed folder made again, parent
 * first, relative to descriptors, with its mode and times (and its owner when
 * run as root); every management file that went to the trash moved back.
 * Nothing that exists now is replaced or changed: a name taken meanwhile is
 * left as it is and reported, and so is everything that was below it.
 */
class Restore final
{
    Q_DISABLE_COPY_MOVE(Restore)

public:
    Restore(FileSystem &fileSystem, Clock &clock, const UndoRecord &record);
    ~Restore();

    /** What an undo would do now, one line each, without changing anything. */
    QStringList plan();
    /** Undoes the sweep and marks its journal undone. */
    void run();
    /**
     * Appends the restoration's block to the day's log in `logFolder`: the form
     * of a sweep's block, with a title that tells of a restoration. Returns 0 or the error.
     */
    int writeLog(const QString &logFolder);

    /** The closing status text: the count restored, then the count not restored. */
    QString summary() const;
    int restoredCount() const;
    int notRestoredCount() const;
    /** A line for everything the undo met: the path, then why it was not restored. */
    QStringList lines() const;

private:
    /** The folder's path. Valid until the next call. */
    const QString &pathOf(FolderNodes::Id folder);
    void notRestored(const QString &path, const QString &why);

    FileSystem &m_fileSystem;
    Clock &m_clock;
    const UndoRecord &m_record;
    std::unique_ptr<PathCursor> m_paths;
    QDateTime m_start;
    QStringList m_lines;
    int m_restored = 0;
    int m_notRestored = 0;
};

} // namespace Vacuola
