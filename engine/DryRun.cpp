#include "engine/DryRun.h"

#include "engine/SweepEngine.h"

#include <utility>

namespace Vacuola {

DryRun::DryRun(WindowServices &window, ManagementFileList &managementFiles, FileSystem &fileSystem,
               Clock &clock, TextEditor &textEditor, const ExclusionRegister &exclusions)
    : m_window(window), m_fileSystem(fileSystem), m_folders(m_folderList, *this, m_fileSystem)
{
    // The program folder is never used: no log is written and nothing purged.
    m_engine = std::make_unique<SweepEngine>(SweepContext{*this, m_folders, managementFiles, m_fileSystem,
                                                          clock, textEditor, QString(), exclusions});
    m_engine->setFolderObserver([this](const QString &path, QStringView tail) {
        if (m_folderObserver)
            m_folderObserver(path, tail);
        if (!m_keepLines && !m_observer)
            return;
        QString line = SweepEngine::printable(path);
        line += tail;
        if (m_keepLines) {
            m_lines.append(line);
            m_paths.append(path);
        }
        if (m_observer)
            m_observer(line);
    });
}

DryRun::~DryRun() = default;

void DryRun::run(const QString &folder)
{
    if (m_engine->busy())
        return;
    m_lines.clear();
    m_paths.clear();
    m_stopped = false;
    // A register of its own, so that the window's keeps its order and selection.
    m_folders.resetToPlaceholder();
    m_folders.appendStored(folder);
    m_folderList.select(1);
    m_engine->VacuolaExecute();
}

void DryRun::stop()
{
    if (m_engine->running()) {
        m_stopped = true;
        m_engine->VacuolaExecute();
    }
}

bool DryRun::busy() const
{
    return m_engine->busy();
}

bool DryRun::stopped() const
{
    return m_stopped;
}

const QStringList &DryRun::lines() const
{
    return m_lines;
}

const QStringList &DryRun::paths() const
{
    return m_paths;
}

int DryRun::removeCount() const
{
    return m_engine->delCount();
}

int DryRun::errorCount() const
{
    return m_engine->errCount();
}

QString DryRun::summary() const
{
    const QString state = m_stopped ? QStringLiteral("確認中止") : QStringLiteral("確認終了");
    if (errorCount() == 0)
        return state + QLatin1Char(' ') + QString::number(removeCount()) + QStringLiteral("件削除予定");
    return state + QStringLiteral(" 削除予定") + QString::number(removeCount()) +
           QStringLiteral("件、エラー") + QString::number(errorCount()) + QStringLiteral("件");
}

void DryRun::setJobs(int jobs)
{
    m_engine->setJobs(jobs);
}

void DryRun::setKeepLines(bool keep)
{
    m_keepLines = keep;
}

void DryRun::setLineObserver(std::function<void(const QString &line)> observer)
{
    m_observer = std::move(observer);
}

void DryRun::setFolderObserver(std::function<void(const QString &path, QStringView rest)> observer)
{
    m_folderObserver = std::move(observer);
}

// The status text reaches the window at the next pump, so the sweep's closing
// summary, which follows the last pump, never does.
void DryRun::setStatusText(const QString &text)
{
    m_status = text;
    m_statusShown = false;
}

void DryRun::setStartCaption(const QString &caption)
{
    m_window.setStartCaption(caption);
}

void DryRun::setStartEnabled(bool enabled)
{
    m_window.setStartEnabled(enabled);
}

void DryRun::setRunLock(bool on)
{
    m_window.setRunLock(on);
}

void DryRun::processMessages()
{
    if (!m_statusShown) {
        m_statusShown = true;
        m_window.setStatusText(m_status);
    }
    m_window.processMessages();
}

bool DryRun::isMarked(OptionMark mark) const
{
    // No log; a read-only folder is taken as answered Yes; failures need no box.
    return mark == OptionMark::Log0 || mark == OptionMark::DisableReadOnly || mark == OptionMark::NonStop;
}

Answer DryRun::askWarning(const QString &)
{
    return Answer::Yes;
}

void DryRun::showErrorReport(const QString &text)
{
    m_window.showErrorReport(text);
}

} // namespace Vacuola
