#pragma once

#include <QString>
#include <QStringList>

namespace Vacuola::Test {

/** One sweep's log block, split at its two markers. */
struct LogBlock
{
    /** The lines before "*** Top of List ***": title, times, counts, "削除対象管理ファイル" and the legend.
     */
    QStringList header;
    /** The folder lines between the markers. */
    QStringList folders;
    /** Both markers were found and the block ends in its empty line. */
    bool complete = false;
};

/** The first block of a list of lines (the engine's LogList, or a log file's lines); none gives an empty
 * block. */
LogBlock parseLogBlock(const QStringList &lines);

} // namespace Vacuola::Test
