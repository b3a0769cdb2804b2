// One sweep of a folder, run headless exactly as the window runs it, for timing.
//
//   sweep_bench [--names a,b,...] [--log DIR] [--dry-run] [--jobs N] FOLDER
//
// The given management file names are checked (default: the preset set),
// DisableReadOnly and NonStop are checked, the log option is 3 with --log (the
// day's log is written into DIR) and 0 otherwise. The pump processes Qt events
// at most once a millisecond, as the window's does. --dry-run runs the dry run
// of the folder instead, as the window's preview does: nothing is changed.
// --jobs N: N threads list folders ahead of the sweep (1: the sweep's own
// alone; default: as the program decides).
// Prints one line: removed N errors M seconds S

#include "core/NoWindow.h"
#include "core/RegisterLists.h"
#include "engine/DryRun.h"
#include "engine/SweepEngine.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/TextEditor.h"
#include "registers/ExclusionRegister.h"
#include "registers/ManagementFileRegister.h"
#include "registers/MemoryLists.h"
#include "registers/SearchFolderRegister.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>

namespace {

using namespace Vacuola;

// Window services without a window: options fixed, boxes never shown (NonStop),
// the question answered Yes, and a pump that runs the event loop like the window's.
class BenchWindow final : public NoWindow
{
public:
    explicit BenchWindow(bool writeLog) : m_writeLog(writeLog) {}
    void processMessages() override
    {
        if (m_pumped.isValid() && m_pumped.nsecsElapsed() < 1000000)
            return;
        QCoreApplication::processEvents();
        m_pumped.start();
    }
    bool isMarked(OptionMark mark) const override
    {
        switch (mark) {
        case OptionMark::Log0:
            return !m_writeLog;
        case OptionMark::Log3:
            return m_writeLog;
        case OptionMark::DisableReadOnly:
        case OptionMark::NonStop:
            return true;
        default:
            return false;
        }
    }
    Answer askWarning(const QString &) override { return Answer::Yes; }
    void showErrorReport(const QString &text) override
    {
        std::fprintf(stderr, "sweep_bench: %s.\n", qPrintable(text));
        m_failed = true;
    }
    bool failed() const { return m_failed; }

private:
    bool m_writeLog;
    bool m_failed = false;
    QElapsedTimer m_pumped;
};

int usage()
{
    std::fprintf(stderr, "usage: sweep_bench [--names a,b,...] [--log DIR] [--dry-run] [--jobs N] FOLDER\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList names = ManagementFileRegister::presetSet();
    QString logFolder;
    QString folder;
    bool dryRun = false;
    int jobs = 0;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--names") && i + 1 < args.size())
            names = args.at(++i).split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (args.at(i) == QLatin1String("--log") && i + 1 < args.size())
            logFolder = QFileInfo(args.at(++i)).absoluteFilePath();
        else if (args.at(i) == QLatin1String("--dry-run"))
            dryRun = true;
        else if (args.at(i) == QLatin1String("--jobs") && i + 1 < args.size()) {
            bool number = false;
            jobs = args.at(++i).toInt(&number);
            if (!number || jobs < 1)
                return usage();
        } else if (folder.isEmpty() && !args.at(i).startsWith(QLatin1String("--")))
            folder = args.at(i);
        else
            return usage();
    }
    if (folder.isEmpty())
        return usage();

    BenchWindow window(!logFolder.isEmpty());
    MemorySearchFolderList searchList;
    MemoryManagementFileList fileList;
    SearchFolderRegister searchFolders(searchList, window, systemFileSystem());
    ManagementFileRegister managementFiles(fileList, window);
    for (const QString &name : std::as_const(names))
        managementFiles.AddIgnoreFile(name.toLower());

    const ExclusionRegister exclusions(SystemFolderSources::ofThisUser());
    searchFolders.resetToPlaceholder();
    searchFolders.appendStored(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    searchList.select(1);

    const QString swept = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (dryRun) {
        DryRun run(window, fileList, systemFileSystem(), systemClock(), systemTextEditor(), exclusions);
        run.setKeepLines(false); // as the sweep keeps no log without --log
        run.setJobs(jobs);
        QElapsedTimer timer;
        timer.start();
        run.run(swept);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        std::printf("removed %d errors %d seconds %.3f\n", run.removeCount(), run.errorCount(), seconds);
        return window.failed() ? 1 : 0;
    }
    SweepEngine engine(SweepContext{window, searchFolders, fileList, systemFileSystem(), systemClock(),
                                    systemTextEditor(), logFolder.isEmpty() ? QDir::tempPath() : logFolder,
                                    exclusions});
    engine.setJobs(jobs);
    QElapsedTimer timer;
    timer.start();
    engine.VacuolaExecute();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("removed %d errors %d seconds %.3f\n", engine.delCount(), engine.errCount(), seconds);
    return window.failed() ? 1 : 0;
}
