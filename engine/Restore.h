#pragma once

#include "engine/LogLines.h"
#include "engine/PathCursor.h"
#include "engine/UndoJournal.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace Vacuola {

class Clock;
class FileSystem;

/**
 * Undoes one sweep from its journal: every removed folder made again, parent
 * first, relative to descriptors, with its mode and times (and its owner when
 * run as root); every management file that went to the trash moved back.
 * Nothing that exists now is replaced or changed: a name taken meanwhile is
 * left as it is and reported, and so is everything that was below it.
 *
 * The folders are gone through in the journal's tree, their paths made a
 * component at a time, and a line is kept as its folder and what befell it:
 * no whole path is held for any folder.
 */
class Restore final
{
    Q_DISABLE_COPY_MOVE(Restore)

public:
    using LineVisitor = std::function<void(const QString &line)>;

    Restore(FileSystem &fileSystem, Clock &clock, const UndoRecord &record);
    ~Restore();

    /** What an undo would do now, one line each, without changing anything. */
    void plan(const LineVisitor &visit);
    /**
     * Undoes the sweep and marks its journal undone. `pump` runs between
     * folders, so that a window stays drawn and answers while a large sweep is
     * taken back.
     */
    void run(const std::function<void()> &pump = {});
    /**
     * Appends the restoration's block to the day's log in `logFolder`: the form
     * of a sweep's block, with a title that tells of a restoration. Returns 0
     * or the error. The lines are sorted for it.
     */
    int writeLog(const QString &logFolder);

    /** The closing status text: the count restored, then the count not restored. */
    QString summary() const;
    int restoredCount() const;
    int notRestoredCount() const;
    /**
     * A line for everything the undo met: the path, then why it was not
     * restored; the folders parent first, then the files (sorted once the log is written).
     */
    void lines(const LineVisitor &visit) const;
    QStringList lines() const;

private:
    FileSystem &m_fileSystem;
    Clock &m_clock;
    const UndoRecord &m_record;
    const std::shared_ptr<const FolderNodes> m_tree;
    PathCursor m_paths;   // the folders' own paths, for the file system
    PathCursor m_printed; // as lines print them
    QDateTime m_start;
    LogLines m_lines;
    int m_restored = 0;
    int m_notRestored = 0;
};

} // namespace Vacuola
