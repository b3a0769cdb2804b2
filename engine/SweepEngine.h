#pragma once

#include "engine/FolderNodes.h"
#include "engine/LogLines.h"
#include "engine/ProtectedFolders.h"
#include "engine/UndoJournal.h"
#include "platform/FileSystem.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <vector>

namespace Vacuola {

class Clock;
class ExclusionRegister;
class FileSystem;
class ManagementFileList;
class SearchFolderRegister;
class SweepTree;
class TextEditor;
struct FolderEntry;
class WindowServices;

// What a sweep works with: the window, the two registers, the file system, the
// clock, the editor for the log, the folder of the logs (ProgramLocations) and
// the folders kept as content.
struct SweepContext
{
    WindowServices &window;
    SearchFolderRegister &searchFolders;
    ManagementFileList &managementFiles;
    FileSystem &fileSystem;
    Clock &clock;
    TextEditor &textEditor;
    QString logFolder; // no trailing slash
    const ExclusionRegister &exclusions;
};

/**
 * The sweep: walks the selected search folder and removes, bottom-up, every
 * folder that holds no subfolder and no content file. Runs on the window's
 * thread and keeps the window alive by pumping messages before each folder.
 */
class SweepEngine final
{
    Q_DISABLE_COPY_MOVE(SweepEngine)

public:
    explicit SweepEngine(const SweepContext &context);
    ~SweepEngine();

    /** Start/stop command. Idle: runs a whole sweep and returns when it ends. Sweeping: a stop request. */
    void VacuolaExecute();
    /** Deletes log files older than the cut-off (start-up purge). */
    void PurgeOldLogs(const QDateTime &cutOff);
    /** Opens the day's log in the plain-text editor. */
    void LogViewClick();

    bool running() const;
    /** True from the start of a sweep until VacuolaExecute has returned, also while a stopped sweep winds
     * down. */
    bool busy() const;
    int delCount() const;
    int errCount() const;
    QStringList logList() const;
    QStringList scanList() const;
    /**
     * Hears the line of every removed or failed folder as it happens, the text
     * its log line gets, whatever the log option.
     */
    void setFolderLineObserver(std::function<void(const QString &line)> observer);
    /**
     * The same in two pieces: the folder's path as the sweep built it, and
     * what its line says after the printable path. Nothing is made whole, so
     * that hearing the folders of a deep tree costs no more than the walk.
     */
    void setFolderObserver(std::function<void(const QString &path, QStringView tail)> observer);
    /**
     * Folders (absolute paths) that the next sweep keeps as it keeps excluded
     * ones: never entered, never removed. Only that sweep; the next one forgets them.
     */
    void keepForNextSweep(const QStringList &folders);
    /**
     * Hears every management file that went, with the path it has in the
     * desktop's trash, or an empty text when it was deleted for good.
     */
    void setManagementFileObserver(
        std::function<void(const QString &folder, const QString &name, const QString &trashedAs)> observer);
    /** The path of the day's log file for a moment. */
    QString logFilePath(const QDateTime &moment) const;
    /** How many threads list folders ahead of the sweep (SweepTree::setJobs; 0: automatic). */
    void setJobs(int jobs);
    /** How long at least lies between two checks for folders moved out (tests: 0, every pump). */
    void setMoveCheckInterval(qint64 nanoseconds);
    /** The text with every control character replaced by "?", so that a name cannot break a log line. */
    static QString printable(const QString &text);

private:
    using FolderId = FolderNodes::Id;
    bool ScanFolder(int n);
    bool HasSubFolder(FolderId folder);
    void RemoveFolder(FolderId folder);
    /**
     * Removes a folder its parent's listing showed, before listing it, when it
     * holds nothing and may go without a question. False: it is to be listed.
     */
    bool removeLeafAtOnce(FolderId folder);
    /**
     * The second phase of a waiting folder whose listing saw no file and all
     * of whose subfolders went: removed without listing it again. False when
     * that found it not empty (or a question was asked): it is to be listed.
     */
    bool removeWaitingAtOnce(FolderId folder);
    /** Notes that a folder stays for what it holds, and so holds its waiting parent's subfolder. */
    void noteKept(FolderId folder);
    /** RemoveFolder; `atOnce`: the folder was not listed just now, and none of its files are known. */
    bool removeFolder(FolderId folder, bool atOnce);
    /** Notes that a folder waits for the second phase with `subfolders` of its own. */
    void noteWaiting(FolderId folder, size_t subfolders, bool sawFiles);
    /** Counts a removed folder off its waiting parent. */
    void noteRemoved(FolderId folder);
    /** Appends the log block to the day's file. Throws IoError on a file failure. */
    void WriteLog(const QDateTime &startTime);
    void stopRequest();
    /** Pumps the message queue, then checks that no folder was moved out meanwhile. */
    void pump();
    /**
     * A folder moved out of the swept folder while the sweep holds it: it is
     * reported once as a folder that is gone from where it was, and nothing
     * more in it is touched (it is kept with everything in it).
     */
    void leaveMovedFolder();

    /** Regular files are content unless their lower-cased name is checked; every other kind is content. */
    bool isContentFile(const FolderEntry &entry) const;
    /**
     * Deletes the checked management files of a folder; fills the flag string or
     * the failure. `seenFiles` are the regular files of a listing of the folder
     * made just before; without it the folder is listed here.
     */
    int deleteManagementFiles(FolderId folder, const QString &path, QString &flags, QString &marker,
                              const QStringList *seenFiles);
    /** Moves one management file to the trash when the option says so, else (or with no trash there) deletes
     * it. */
    int removeManagementFile(FolderId folder, const QString &path, const QString &name);
    void reportFailure(const QString &text);
    /** Adds the folder's line (or failure line) and counts it. */
    void addFolderLine(FolderId folder, const QString &path, int error, const QString &marker,
                       const QString &flags);

    // Read-only folders. A folder's owner-write bit guards what it holds: the
    // question for a folder comes before the first removal inside it, or of
    // the folder itself, and is asked once.
    enum class Access
    {
        Granted, // the folder may be written
        Kept,    // the folder and everything in it stay
        Stopped  // Cancel: the sweep stops
    };
    /**
     * Makes sure that the folder may be written, asking the question when its
     * owner-write bit is clear or its mode cannot be read. `listed` is what a
     * listing just made saw of it; `asked` is set when a question was shown.
     */
    Access grantWrite(FolderId folder, const QString &path, const FolderStatus *listed, bool &asked);
    /** True when the folder, or a folder above it, is one that stays with everything in it. */
    bool insideKept(FolderId folder);
    /** Takes the owner-write bit away again from a folder that got it and stays. */
    void restoreReadOnly(FolderId folder, const QString &path);
    /** Gives every folder that got the bit and is still there its mode back. */
    void restoreAllReadOnly();
    enum FolderState : quint8
    {
        Unknown,
        Writable, // the bit was set
        Cleared,  // the bit was added by this sweep
        Kept,     // answered No, or the bit could not be added
        Done      // removed, or its mode given back
    };
    FolderState folderState(FolderId folder) const;
    void setFolderState(FolderId folder, FolderState state);
    /** How many subfolders a waiting folder still holds, or ListAgain. */
    quint8 subfoldersLeft(FolderId folder) const;
    void setSubfoldersLeft(FolderId folder, quint8 left);
    /** A folder's byte of m_folderStates, made room for. */
    quint8 &folderByte(FolderId folder);
    /** Runs the closing steps of a sweep: log, vanished folder, summary, idle state. */
    void finishSweep(const QDateTime &startTime);

    SweepContext m_context;
    quint8 Running = 0;
    // Folders as nodes of the sweep's tree and log lines as a folder and a
    // tail: a sweep of a million folders keeps all of them in a few megabytes,
    // and a deep tree's log, whose lines hold whole paths, is never held.
    FolderNodes m_nodes;
    std::vector<FolderId> ScanList;
    LogLines LogList{m_nodes};
    qint32 DelCount = 0;
    qint32 ErrCount = 0;
    bool m_busy = false;
    QString m_sweptPath;

    // What the last complete listing saw of a folder. RemoveFolder follows that
    // listing at once, with no message pumped in between, so it takes the
    // folder's mode and its files from here instead of opening the folder again.
    struct Listing
    {
        FolderId folder = 0;
        FolderStatus status;
        QStringList files; // regular files seen
        int error = 0;     // of the listing itself
        bool valid = false;
    };
    Listing m_lastListing;
    std::unique_ptr<SweepTree> m_tree;
    ProtectedFolders m_protected;
    // By folder, one byte each (a sweep may meet millions): its FolderState in
    // the low bits, and above them, for a waiting folder, how many of the
    // subfolders its listing saw are still there, HoldsKept when one of them
    // stays for what it holds, or ListAgain when it must be listed again in
    // the second phase (it held files, its listing failed, or it has too many
    // to count here).
    std::vector<quint8> m_folderStates;
    static constexpr quint8 StateMask = 0x07;
    static constexpr int LeftShift = 3;
    static constexpr quint8 ListAgain = 0x1F;
    static constexpr quint8 HoldsKept = 0x1E;
    static constexpr quint8 Unmet = quint8(ListAgain << LeftShift); // Unknown, and never waited
    bool m_leavesAtOnce = false;     // the tree removes an empty folder without listing it
    std::vector<FolderId> m_cleared; // folders whose bit was added, in order
    // Which folders are known to lie inside a kept one (~0), or outside every
    // kept one as of m_keptCount: each No sets whether a folder is kept afresh.
    std::vector<quint32> m_keptMemo;
    quint32 m_keptCount = 0;
    std::vector<FolderId> m_keptWay;
    std::function<void(const QString &path, QStringView tail)> m_folderObserver;
    QStringList m_keptForNextSweep;
    std::function<void(const QString &folder, const QString &name, const QString &trashedAs)> m_fileObserver;
    QElapsedTimer m_moveChecked;
    qint64 m_moveCheckInterval = 1000000;
    qint64 m_moveCheckWait = 1000000;
    int m_jobs = 0;
    UndoJournal m_journal;
};

} // namespace Vacuola
