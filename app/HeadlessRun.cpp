#include "app/HeadlessRun.h"

#include "app/CommandLine.h"
#include "core/NoWindow.h"
#include "core/Version.h"
#include "engine/DryRun.h"
#include "engine/Restore.h"
#include "engine/SweepEngine.h"
#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/ProgramLocations.h"
#include "platform/TextEditor.h"
#include "registers/ExclusionRegister.h"
#include "registers/ManagementFileRegister.h"
#include "registers/MemoryLists.h"
#include "registers/SearchFolderRegister.h"
#include "registers/SettingsFile.h"

#include <QMap>

#include <functional>

namespace Vacuola {

namespace {

const int ExitFailed = 1;
const int ExitUsage = 2;

// A message on standard error, named after the program as every command's is.
void complain(const QString &line)
{
    Console::writeError(QStringLiteral("vacuola: ") + line);
}

/**
 * Window services of a run without a window: the option marks in memory, no
 * box (failures go to standard error), the read-only question answered by
 * --yes, and a pump that looks for a stop signal.
 */
class HeadlessWindow final : public NoWindow
{
public:
    explicit HeadlessWindow(bool yes) : m_yes(yes) { m_marks[OptionMark::Log1] = true; }

    void processMessages() override
    {
        if (takeStopSignal() && onStop)
            onStop();
    }
    /** Whether a stop signal came since the last look; the last one is the run's exit status. */
    bool takeStopSignal()
    {
        const int signal = Console::takeStopSignal();
        if (signal != 0)
            m_stopSignal = signal;
        return signal != 0;
    }
    bool isMarked(OptionMark mark) const override
    {
        // Failures always reach standard error: there is no box to suppress.
        if (mark == OptionMark::NonStop)
            return false;
        if (mark == OptionMark::DisableReadOnly && m_yes)
            return true;
        return m_marks.value(mark, false);
    }
    void setMarked(OptionMark mark, bool marked) override
    {
        if (marked && (mark == OptionMark::Log0 || mark == OptionMark::Log1 || mark == OptionMark::Log2 ||
                       mark == OptionMark::Log3)) {
            for (OptionMark log : {OptionMark::Log0, OptionMark::Log1, OptionMark::Log2, OptionMark::Log3})
                m_marks[log] = false;
        }
        m_marks[mark] = marked;
    }
    void showInformation(const QString &text) override
    {
        // A failure: its lines, then "フォルダ名\t" or "ファイル名\t" and the name to
        // the end. The name may hold line ends of its own: it is written on one line.
        qsizetype name = -1;
        for (const QString &label : {QStringLiteral("\nフォルダ名\t"), QStringLiteral("\nファイル名\t")}) {
            const qsizetype at = text.indexOf(label);
            if (at >= 0 && (name < 0 || at < name))
                name = at + label.size();
        }
        QString lines = name >= 0 ? text.left(name) : text;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QStringList split = lines.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (name >= 0 && !split.isEmpty())
            split.last() += SweepEngine::printable(text.mid(name));
        for (const QString &line : std::as_const(split))
            complain(line);
    }
    Answer askWarning(const QString &text) override
    {
        // "...検出しました\r\r" + path + "\r属性を解除して削除しますか？": the folder stays, as on No.
        const qsizetype from = text.indexOf(QStringLiteral("\r\r"));
        const qsizetype to = text.lastIndexOf(QLatin1Char('\r'));
        const QString path = from >= 0 && to > from + 1 ? text.mid(from + 2, to - from - 2) : text;
        complain(QStringLiteral("読取専用属性の付いたフォルダを残しました ") + SweepEngine::printable(path));
        return Answer::No;
    }
    void showErrorReport(const QString &text) override
    {
        complain(SweepEngine::printable(text) + QLatin1Char('.'));
        m_failed = true;
    }

    bool failed() const { return m_failed; }
    int stopSignal() const { return m_stopSignal; }
    std::function<void()> onStop;

private:
    bool m_yes;
    QMap<OptionMark, bool> m_marks;
    bool m_failed = false;
    int m_stopSignal = 0;
};

// Loading needs a window to take its defaults from; nothing is placed.
class NoPlacement final : public SettingsWindow
{
public:
    Placement placement() const override { return Placement{}; }
    double logicalDpi() const override { return 96.0; }
    QSize screenSize() const override { return QSize(); }
    void setMinimumSize(int, int) override {}
    void setPlacement(const Placement &) override {}
};

int exitStatus(const HeadlessWindow &window, int errors)
{
    if (window.stopSignal() != 0)
        return 128 + window.stopSignal();
    return window.failed() || errors != 0 ? ExitFailed : 0;
}

// The end of every run: a lost output fails a run that nothing else failed.
int finish(int status)
{
    Console::finishOutput();
    if (const int error = Console::outputError())
        complain(QStringLiteral("標準出力に書き込めません: (") + QString::number(error) + QLatin1Char(')') +
                 errorMessage(error));
    return status == 0 && Console::outputFailed() ? ExitFailed : status;
}

// The registers of a run without a window, filled from the settings file,
// which is only read: never rewritten, and never deleted by the old-layout rule.
struct StoredSettings final
{
    Q_DISABLE_COPY_MOVE(StoredSettings)

    StoredSettings(HeadlessWindow &window, FileSystem &fileSystem, const QString &settingsFile)
        : folders(folderList, window, fileSystem), nameRegister(names, window),
          settings(settingsFile, fileSystem), exclusions(SystemFolderSources::ofThisUser())
    {
        folders.resetToPlaceholder();
        loaded = settings.load(folders, nameRegister, exclusions, window, NoPlacement());
    }

    MemorySearchFolderList folderList;
    MemoryManagementFileList names;
    SearchFolderRegister folders;
    ManagementFileRegister nameRegister;
    SettingsFile settings;
    ExclusionRegister exclusions;
    SettingsFile::Loaded loaded;
};

int sweep(const CommandLine &command)
{
    FileSystem &fileSystem = systemFileSystem();
    // The settings file and the logs are where the window has them.
    const ProgramLocations files = ProgramLocations::ofThisProgram();

    HeadlessWindow window(command.yes);
    StoredSettings stored(window, fileSystem, files.settingsFile);
    SearchFolderRegister &folders = stored.folders;
    ExclusionRegister &exclusions = stored.exclusions;
    for (const QString &pattern : command.excludes)
        exclusions.append(pattern);
    if (command.trash)
        window.setMarked(OptionMark::MoveToTrash, *command.trash);

    // Only the folder named here is swept; it is checked as registering it
    // would check it, and never stored.
    const QString path = folders.ExpandLongPath(command.folder);
    if (!fileSystem.folderExists(path)) {
        complain(QStringLiteral("フォルダが存在しません: ") + SweepEngine::printable(path));
        return ExitUsage;
    }
    folders.resetToPlaceholder();
    folders.AddSearchFolder(path);
    if (folders.selectedFolder() != path) {
        complain(SweepEngine::printable(window.status()));
        return ExitUsage;
    }

    // A signal that came before the start ends the run before anything is touched.
    window.takeStopSignal();
    if (window.stopSignal() != 0)
        return exitStatus(window, 0);
    const auto print = [](const QString &line) {
        Console::writeOut(line);
    };
    if (command.dryRun) {
        DryRun dryRun(window, stored.names, fileSystem, systemClock(), systemTextEditor(), exclusions);
        dryRun.setLineObserver(print);
        dryRun.setKeepLines(false);
        dryRun.setJobs(command.jobs);
        window.onStop = [&dryRun] {
            dryRun.stop();
        };
        dryRun.run(path);
        Console::writeOut(dryRun.summary());
        return exitStatus(window, dryRun.errorCount());
    }

    SweepEngine engine(SweepContext{window, folders, stored.names, fileSystem, systemClock(),
                                    systemTextEditor(), files.logFolder, exclusions});
    stored.settings.applyLogOption(
        stored.loaded, window, [&engine](const QDateTime &cutOff) { engine.PurgeOldLogs(cutOff); },
        systemClock().now());
    engine.setFolderLineObserver(print);
    engine.setJobs(command.jobs);
    window.onStop = [&engine] {
        if (engine.running())
            engine.VacuolaExecute();
    };
    engine.VacuolaExecute();
    if (window.status() == QStringLiteral("フォルダが存在しません")) {
        complain(window.status() + QStringLiteral(": ") + SweepEngine::printable(path));
        return ExitUsage;
    }
    Console::writeOut(window.status());
    return exitStatus(window, engine.errCount());
}

int undo(const CommandLine &command)
{
    FileSystem &fileSystem = systemFileSystem();
    const ProgramLocations files = ProgramLocations::ofThisProgram();

    // The settings tell whether the undo is logged; they are only read.
    HeadlessWindow window(false);
    StoredSettings stored(window, fileSystem, files.settingsFile);
    stored.settings.applyLogOption(stored.loaded, window, nullptr, systemClock().now());
    SearchFolderRegister &folders = stored.folders;

    // The folder is spelt as a sweep of it was: its journal names it so.
    const QString root = command.folder.isEmpty() ? QString() : folders.ExpandLongPath(command.folder);
    UndoRecord record;
    if (!UndoJournal::findLast(fileSystem, files.logFolder, root, record)) {
        complain(root.isEmpty()
                     ? QStringLiteral("元に戻せる削除がありません")
                     : QStringLiteral("元に戻せる削除がありません: ") + SweepEngine::printable(root));
        return ExitUsage;
    }
    // A sweep that never ended left only what it removed until then.
    if (!record.whole)
        complain(QStringLiteral("記録は途中で途切れています。記録にある分だけを元に戻します: ") +
                 record.path);
    Restore restore(fileSystem, systemClock(), record);
    if (command.dryRun) {
        restore.plan([](const QString &line) { Console::writeOut(line); });
        return 0;
    }
    restore.run();
    restore.lines([](const QString &line) { Console::writeOut(line); });
    bool failed = false;
    if (!window.isMarked(OptionMark::Log0)) {
        if (const int error = restore.writeLog(files.logFolder)) {
            complain(QStringLiteral("ログを書き込めません: (") + QString::number(error) + QLatin1Char(')') +
                     errorMessage(error));
            failed = true;
        }
    }
    Console::writeOut(restore.summary());
    return failed || restore.notRestoredCount() != 0 ? ExitFailed : 0;
}

} // namespace

int runHeadless(const CommandLine &command)
{
    switch (command.mode) {
    case CommandLine::Mode::Help:
        Console::writeOut(CommandLine::usage());
        return finish(0);
    case CommandLine::Mode::Version:
        Console::writeOut(QString(ProgramVersion));
        return finish(0);
    case CommandLine::Mode::UsageError:
        complain(SweepEngine::printable(command.error));
        complain(QStringLiteral("詳しくは vacuola --help"));
        return ExitUsage;
    case CommandLine::Mode::NoDisplay:
        complain(SweepEngine::printable(command.error));
        return ExitUsage;
    case CommandLine::Mode::Sweep:
        return finish(sweep(command));
    case CommandLine::Mode::Undo:
        return finish(undo(command));
    case CommandLine::Mode::Window:
        break;
    }
    return ExitUsage;
}

} // namespace Vacuola
