#pragma once

#include "core/NoWindow.h"
#include "engine/DryRunFileSystem.h"
#include "registers/MemoryLists.h"
#include "registers/SearchFolderRegister.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <memory>

namespace Vacuola {

class Clock;
class ExclusionRegister;
class ManagementFileList;
class SweepEngine;
class TextEditor;

/**
 * What a sweep of one folder would remove, found by the sweep itself run over
 * a file system that only pretends (DryRunFileSystem): the same walk, the same
 * judgement, the same lines, and nothing touched. Every read-only question is
 * taken as Yes, no box is shown, no log is written and nothing is purged.
 *
 * The window it reports to sees the progress (the status text at each pump,
 * the start action's caption and state, the run lock) and keeps its pump, so
 * that a stop request reaches the dry run as it reaches a sweep; the removal
 * counter, the registers and the option marks of that window are never touched.
 */
class DryRun final : private NoWindow
{
    Q_DISABLE_COPY_MOVE(DryRun)

public:
    DryRun(WindowServices &window, ManagementFileList &managementFiles, FileSystem &fileSystem, Clock &clock,
           TextEditor &textEditor, const ExclusionRegister &exclusions);
    ~DryRun() override;

    /** Runs the whole dry run of the folder and returns when it has ended or was stopped. */
    void run(const QString &folder);
    /** A stop request; nothing while no dry run is under way. */
    void stop();
    /** True from the start of run() until it returns. */
    bool busy() const;
    /** True when the last dry run was stopped before its end. */
    bool stopped() const;

    /** The lines of the folders that would go (or fail), in the order the sweep would handle them. */
    const QStringList &lines() const;
    /** The paths of those folders, line by line. */
    const QStringList &paths() const;
    int removeCount() const;
    int errorCount() const;
    /** "確認終了 3件削除予定", "確認中止 削除予定3件、エラー1件", ... */
    QString summary() const;

    /**
     * Whether lines() keeps the lines (it does unless told otherwise): a run
     * that only hears them need not hold a tree's worth of paths.
     */
    void setKeepLines(bool keep);
    /** Hears each line as the dry run reaches it. */
    void setLineObserver(std::function<void(const QString &line)> observer);
    /**
     * Hears each folder as the dry run reaches it: its path and what its line
     * says after the path, never made into one text.
     */
    void setFolderObserver(std::function<void(const QString &path, QStringView rest)> observer);
    /** How many threads list folders ahead (SweepEngine::setJobs). */
    void setJobs(int jobs);

private:
    // The window services the sweep sees; the rest do nothing, as without a window.
    void setStatusText(const QString &text) override;
    void setStartCaption(const QString &caption) override;
    void setStartEnabled(bool enabled) override;
    void setRunLock(bool on) override;
    void processMessages() override;
    bool isMarked(OptionMark mark) const override;
    Answer askWarning(const QString &text) override;
    void showErrorReport(const QString &text) override;

    WindowServices &m_window;
    DryRunFileSystem m_fileSystem;
    MemorySearchFolderList m_folderList;
    SearchFolderRegister m_folders;
    std::unique_ptr<SweepEngine> m_engine;
    std::function<void(const QString &line)> m_observer;
    std::function<void(const QString &path, QStringView rest)> m_folderObserver;
    QStringList m_lines;
    QStringList m_paths;
    bool m_keepLines = true;
    QString m_status;
    bool m_statusShown = true;
    bool m_stopped = false;
};

} // namespace Vacuola
