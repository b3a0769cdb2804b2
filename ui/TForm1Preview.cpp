// The preview: what a sweep of the selected folder would remove, found by the
// sweep itself over a file system that only pretends, as a tree to untick, and
// 削除開始 to run it keeping the unticked folders.

#include "core/RegisterLists.h"
#include "engine/DryRun.h"
#include "engine/SweepEngine.h"
#include "platform/FileSystem.h"
#include "registers/ExclusionRegister.h"
#include "registers/SearchFolderRegister.h"
#include "ui/ControlLists.h"
#include "ui/Dialogs.h"
#include "ui/FormWiring.h"
#include "ui/PreviewFolders.h"
#include "ui/StatusDisplay.h"
#include "ui/TForm1.h"

#include <QAction>

namespace Vacuola {

void TForm1::updatePreview()
{
    m_actions.Preview->setEnabled(m_actions.Vacuola->isEnabled() && !sweeping());
    updateUndo();
}

void TForm1::PreviewClick()
{
    if (sweeping() || !m_actions.Vacuola->isEnabled())
        return;
    SearchFolderRegister &folders = m_wiring->searchRegister();
    const QString folder = folders.selectedFolder();
    if (folder.isEmpty())
        return;
    if (!m_services.fileSystem->folderExists(folder)) {
        // Refused as 開始 refuses it.
        setStatusText(QStringLiteral("フォルダが存在しません"));
        folders.DelFolderExecute();
        return;
    }

    m_preview = std::make_unique<DryRun>(*this, m_wiring->ignoreEntries(), *m_services.fileSystem,
                                         *m_services.clock, *m_services.textEditor, m_wiring->exclusions());
    // The tree grows as the dry run goes: no folder's whole path or line is kept.
    auto found = std::make_shared<PreviewFolders>(folder);
    m_preview->setKeepLines(false);
    m_preview->setFolderObserver([&found](const QString &path, QStringView rest) { found->add(path, rest); });
    updatePreview();
    m_preview->run(folder);
    const QString summary = m_preview->summary();
    PreviewContent content;
    content.summary = summary;
    content.folders = std::move(found);
    content.legend = managementLegend();
    const bool stopped = m_preview->stopped();
    m_preview.reset();

    // The dry run worked on a register of its own: the start action follows this window's.
    setStartCaption(QStringLiteral("開始(&S)"));
    setStartEnabled(!folders.selectedFolder().isEmpty());
    setStatusText(summary);
    if (finishRun())
        return;
    // Stopped, or another folder chosen meanwhile: nothing to offer.
    if (stopped || folders.selectedFolder() != folder)
        return;
    content.exclude = [this](const QStringList &chosen) {
        return addExclusions(chosen);
    };
    QStringList kept;
    if (m_services.dialogs->preview(this, content, kept) && m_actions.Vacuola->isEnabled()) {
        // The unticked folders stay as excluded ones do, for this sweep alone.
        engine().keepForNextSweep(kept);
        VacuolaExecute();
    }
}

QString TForm1::managementLegend() const
{
    const ManagementFileList &list = m_wiring->ignoreEntries();
    QString legend;
    for (int i = 0; i < list.count(); ++i) {
        if (list.isChecked(i))
            legend += QString::number(i) + QLatin1Char(':') + SweepEngine::printable(list.name(i)) +
                      QLatin1Char('\t');
    }
    return legend;
}

QStringList TForm1::addExclusions(const QStringList &folders)
{
    ExclusionRegister &exclusions = m_wiring->exclusions();
    QStringList held;
    for (const QString &folder : folders) {
        const QString pattern = ExclusionRegister::normalized(folder);
        const QString refusal = ExclusionRegister::refusal(exclusions.patterns(), pattern);
        if (refusal.isEmpty())
            exclusions.append(pattern);
        else if (!exclusions.patterns().contains(pattern))
            setStatusText(refusal);
        if (exclusions.patterns().contains(pattern))
            held.append(folder);
    }
    return held;
}

} // namespace Vacuola
