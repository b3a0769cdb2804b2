// The preview: what a sweep of the selected folder would remove, found by the
// sweep itself over a file system that only pretends, and 削除開始 to run it.

#include "engine/DryRun.h"
#include "platform/FileSystem.h"
#include "registers/ExclusionRegister.h"
#include "registers/SearchFolderRegister.h"
#include "ui/ControlLists.h"
#include "ui/Dialogs.h"
#include "ui/FormWiring.h"
#include "ui/StatusDisplay.h"
#include "ui/TForm1.h"

#include <QAction>

namespace Vacuola {

void TForm1::updatePreview()
{
    m_actions.Preview->setEnabled(m_actions.Vacuola->isEnabled() && !sweeping());
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
    updatePreview();
    m_preview->run(folder);
    const QString summary = m_preview->summary();
    const QStringList lines = m_preview->lines();
    const bool stopped = m_preview->stopped();
    m_preview.reset();

    // The dry run worked on a register of its own: the start action follows this window's.
    setStartCaption(QStringLiteral("開始(&S)"));
    setStartEnabled(!folders.selectedFolder().isEmpty());
    setStatusText(summary);
    m_display->showNow();
    updatePreview();
    if (m_closePending) {
        m_closePending = false;
        close();
        return;
    }
    // Stopped, or another folder chosen meanwhile: nothing to offer.
    if (stopped || folders.selectedFolder() != folder)
        return;
    if (m_services.dialogs->preview(this, summary, lines) && m_actions.Vacuola->isEnabled())
        VacuolaExecute();
}

} // namespace Vacuola
