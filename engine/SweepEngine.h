#pragma once

#include "engine/FolderNodes.h"
#include "engine/LogLines.h"
#include "engine/ProtectedFolders.h"
#include "platform/FileSystem.h"

#include <QDateTime>
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
    /** The path of the day's log file for a moment. */
    QString logFilePath(const QDateTime &moment) const;
    /** The text with every control character replaced by "?", so that a name cannot break a log line. */
    static QString printable(const QString &text);

private:
    using FolderId = FolderNodes::Id;
    bool ScanFolder(int n);
    bool HasSubFolder(FolderId folder);
    void RemoveFolder(FolderId folder);
    /** Appends the log block to the day's file. Throws IoError on a file failure. */
    void WriteLog(const QDateTime &startTime);
    void stopRequest();

    /** Regular files are content unless their lower-cased name is checked; every other kind is content. */
    bool isContentFile(const FolderEntry &entry) const;
    /**
     * Deletes the checked management files of a folder; fills the flag string or
     * the failure. `seenFiles` are the regular files of a listing of the folder
     * made just before; without it the folder is listed here.
     */
    int deleteManagementFiles(const QString &path, QString &flags, QString &marker,
                              const QStringList *seenFiles);
    void reportFailure(const QString &text);
    /** Runs the closing steps of a sweep: log, vanished folder, summary, idle state. */
    void finishSweep(const QDateTime &startTime);

    SweepContext m_context;
    quint8 Running = 0;
    // Folders as nodes of the sweep's tree and log lines as bytes: a sweep of
    // a million folders keeps all of them in a few megabytes.
    FolderNodes m_nodes;
    std::vector<FolderId> ScanList;
    LogLines LogList;
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
        bool valid = false;
    };
    Listing m_lastListing;
    std::unique_ptr<SweepTree> m_tree;
    ProtectedFolders m_protected;
    std::function<void(const QString &line)> m_folderLineObserver;
};

} // namespace Vacuola
