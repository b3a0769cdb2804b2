#include "engine/SweepEngine.h"

#include "core/IoError.h"
#include "core/RegisterLists.h"
#include "core/WindowServices.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "registers/SearchFolderRegister.h"

#include <utility>

namespace Vacuola {

namespace {

bool isDotEntry(const QString &name)
{
    return name.size() <= 2 && (name == QLatin1String(".") || name == QLatin1String(".."));
}

// Leaves the engine idle-ready even when something unexpected unwinds the sweep,
// so that one fault never blocks every later sweep.
class BusyGuard final
{
    Q_DISABLE_COPY_MOVE(BusyGuard)

public:
    explicit BusyGuard(bool &busy) : m_busy(busy) { m_busy = true; }
    ~BusyGuard() { m_busy = false; }

private:
    bool &m_busy;
};

} // namespace

SweepEngine::SweepEngine(const SweepContext &context) : m_context(context) {}

SweepEngine::~SweepEngine() = default;

bool SweepEngine::running() const
{
    return Running != 0;
}

bool SweepEngine::busy() const
{
    return m_busy;
}

int SweepEngine::delCount() const
{
    return DelCount;
}

int SweepEngine::errCount() const
{
    return ErrCount;
}

QStringList SweepEngine::logList() const
{
    return LogList.toStringList();
}

void SweepEngine::setFolderLineObserver(std::function<void(const QString &line)> observer)
{
    if (!observer) {
        m_folderObserver = nullptr;
        return;
    }
    m_folderObserver = [observer = std::move(observer)](const QString &path, QStringView tail) {
        QString line = printable(path);
        observer(line += tail);
    };
}

void SweepEngine::setFolderObserver(std::function<void(const QString &path, QStringView tail)> observer)
{
    m_folderObserver = std::move(observer);
}

void SweepEngine::setJobs(int jobs)
{
    m_jobs = jobs;
}

void SweepEngine::keepForNextSweep(const QStringList &folders)
{
    m_keptForNextSweep = folders;
}

void SweepEngine::setManagementFileObserver(
    std::function<void(const QString &folder, const QString &name, const QString &trashedAs)> observer)
{
    m_fileObserver = std::move(observer);
}

QStringList SweepEngine::scanList() const
{
    QStringList paths;
    for (const FolderId folder : ScanList)
        paths.append(m_nodes.pathOf(folder));
    return paths;
}

void SweepEngine::stopRequest()
{
    WindowServices &window = m_context.window;
    window.setStatusText(QStringLiteral("中止処理中"));
    Running = 0;
    window.setStartEnabled(false);
    window.processMessages();
}

void SweepEngine::VacuolaExecute()
{
    if (Running) {
        stopRequest();
        return;
    }
    // A stopped sweep still winding down shares ScanList, LogList and the
    // counters with any sweep started now: nothing may start before it returns.
    if (m_busy)
        return;

    WindowServices &window = m_context.window;
    SearchFolderRegister &searchFolders = m_context.searchFolders;
    const QStringList keptFolders = std::exchange(m_keptForNextSweep, {});

    const QString folder = searchFolders.selectedFolder();
    if (folder.isEmpty() || !m_context.fileSystem.folderExists(folder)) {
        window.setStatusText(QStringLiteral("フォルダが存在しません"));
        searchFolders.DelFolderExecute();
        return;
    }

    BusyGuard busy(m_busy);

    searchFolders.bringSelectedToTop();
    Running = 1;
    window.setStartCaption(QStringLiteral("中止(&P)"));
    window.setRunLock(true);
    DelCount = 0;
    ErrCount = 0;
    window.setRemovalCounter(QStringLiteral("0"));
    // The register may change while the sweep pumps messages; the swept path is
    // kept from here for the log title and the vanished-folder check.
    m_sweptPath = folder;
    m_nodes.clear(m_sweptPath);
    std::vector<quint8>().swap(m_folderStates);
    std::vector<quint32>().swap(m_keptMemo);
    m_cleared.clear();
    m_keptCount = 0;
    ScanList.assign(1, m_nodes.root());
    LogList.clear();
    const QDateTime startTime = m_context.clock.now();
    std::vector<FolderId> PendingList;

    m_tree = m_context.fileSystem.openTree(m_sweptPath);
    m_tree->setJobs(m_jobs);
    m_leavesAtOnce = m_tree->removesIfEmpty();
    m_protected.prepare(m_context.exclusions, m_context.fileSystem, m_sweptPath, keptFolders);
    m_journal.begin(m_context.fileSystem, m_context.logFolder, m_nodes, startTime);

    while (!ScanList.empty()) {
        if (!Running)
            break;
        pump();
        const int n = int(ScanList.size());
        if (removeLeafAtOnce(ScanList.back())) {
            ScanList.pop_back();
            continue;
        }
        const bool found = ScanFolder(n);
        const FolderId dir = ScanList[size_t(n - 1)];
        if (found) {
            noteKept(dir);
        } else {
            if (int(ScanList.size()) == n) {
                RemoveFolder(dir);
            } else {
                // Described before anything below it goes and changes its times.
                if (m_lastListing.valid && m_lastListing.folder == dir)
                    m_journal.seen(dir, m_lastListing.status);
                PendingList.push_back(dir);
                noteWaiting(dir, ScanList.size() - size_t(n),
                            !m_lastListing.files.isEmpty() || m_lastListing.error != 0);
            }
        }
        ScanList.erase(ScanList.begin() + (n - 1));
    }

    while (!PendingList.empty()) {
        if (!Running)
            break;
        pump();
        const FolderId dir = PendingList.back();
        // A subfolder that stayed for what it holds is still there: so it
        // holds a folder, without listing it again, and stays for it in turn.
        bool kept = subfoldersLeft(dir) == HoldsKept;
        if (!kept && !removeWaitingAtOnce(dir)) {
            kept = HasSubFolder(dir);
            if (!kept)
                RemoveFolder(dir);
        }
        if (kept) {
            noteKept(dir);
            if (folderState(dir) == Cleared)
                restoreReadOnly(dir, m_nodes.path(dir)); // everything below it is done
        }
        PendingList.pop_back();
    }

    restoreAllReadOnly();
    m_tree.reset();
    m_journal.end();
    finishSweep(startTime);
}

void SweepEngine::finishSweep(const QDateTime &startTime)
{
    WindowServices &window = m_context.window;
    SearchFolderRegister &searchFolders = m_context.searchFolders;

    // A sweep whose journal could not be written cannot be undone, and is not offered.
    if (const int error = m_journal.error())
        window.showErrorReport(
            QStringLiteral("元に戻すための記録を書けませんでした。この削除は元に戻せません: ") +
            m_journal.path() + QStringLiteral(": ") + IoError::fromErrno(error).text());

    if (!LogList.isEmpty()) {
        // A log that cannot be written is reported, and the sweep still ends in
        // the idle state rather than leaving the window locked.
        try {
            WriteLog(startTime);
        } catch (const IoError &error) {
            window.showErrorReport(error.text());
        }
    }

    searchFolders.dropVanishedFolder(m_sweptPath);

    const QString state = Running ? QStringLiteral("検索終了") : QStringLiteral("検索中止");
    if (ErrCount == 0) {
        window.setStatusText(state + QLatin1Char(' ') + QString::number(DelCount) +
                             QStringLiteral("件削除しました"));
    } else {
        window.setStatusText(state + QStringLiteral(" 削除") + QString::number(DelCount) +
                             QStringLiteral("件、エラー") + QString::number(ErrCount) + QStringLiteral("件"));
    }

    Running = 0;
    window.setStartCaption(QStringLiteral("開始(&S)"));
    window.setStartEnabled(!searchFolders.selectedFolder().isEmpty());
    window.setRunLock(false);
}

bool SweepEngine::ScanFolder(int n)
{
    const FolderId folder = ScanList[size_t(n - 1)];
    const QString dir = m_nodes.path(folder);
    m_context.window.setStatusText(dir);

    // The visitor captures two pointers only, so that it is stored without an
    // allocation: this runs once for every folder of the tree.
    struct Scan
    {
        FolderId folder;
        const QString *dir;
        bool found;
    } scan{folder, &dir, folder == m_nodes.root() && m_protected.containsRoot()};
    // A protected folder is content: never entered, never removed, and it keeps its parent.
    // The swept folder itself, when protected, is kept the same way while its subfolders are swept.
    m_lastListing.valid = false;
    m_lastListing.files.clear();
    m_lastListing.status.wanted = !scan.found;
    const int error = m_tree->listFolder(
        dir,
        [this, &scan](const FolderEntry &entry) {
            if (entry.kind == EntryKind::Folder) {
                if (isDotEntry(entry.name))
                    return true;
                if (m_protected.contains(*scan.dir, entry.name))
                    scan.found = true;
                else
                    ScanList.push_back(m_nodes.add(scan.folder, entry.name));
                // Not removed now, but described for the journal if it is later.
            } else if (!scan.found) {
                if (entry.kind == EntryKind::File)
                    m_lastListing.files.append(entry.name);
                scan.found = isContentFile(entry);
                if (scan.found)
                    m_lastListing.status.wanted = false; // kept
            }
            return true;
        },
        &m_lastListing.status);
    m_lastListing.folder = folder;
    m_lastListing.valid = error == 0 && m_lastListing.status.wanted;
    m_lastListing.error = error;
    return scan.found;
}

bool SweepEngine::HasSubFolder(FolderId folder)
{
    const QString path = m_nodes.path(folder);
    m_context.window.setStatusText(path);

    bool hasSubFolder = false;
    m_lastListing.valid = false;
    m_lastListing.files.clear();
    m_lastListing.status.wanted = true;
    const int error = m_tree->listFolder(
        path,
        [&](const FolderEntry &entry) {
            if (entry.kind == EntryKind::Folder && !isDotEntry(entry.name)) {
                hasSubFolder = true;
                m_lastListing.status.wanted = false;
                return false;
            }
            if (entry.kind == EntryKind::File)
                m_lastListing.files.append(entry.name);
            return true;
        },
        &m_lastListing.status);
    m_lastListing.folder = folder;
    m_lastListing.valid = error == 0 && !hasSubFolder;
    return hasSubFolder;
}

bool SweepEngine::isContentFile(const FolderEntry &entry) const
{
    // Links, fifos, devices and names that cannot be decoded keep their folder.
    if (entry.kind != EntryKind::File)
        return true;
    const ManagementFileList &list = m_context.managementFiles;
    const int count = list.count();
    if (count == 0)
        return true;
    const QString lower = entry.name.toLower();
    for (int i = 0; i < count; ++i) {
        if (list.name(i) == lower)
            return !list.isChecked(i);
    }
    return true;
}

} // namespace Vacuola
