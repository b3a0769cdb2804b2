// The window and the session it runs in: saving at the desktop's request,
// ending on a signal, and taking the folder of a second start.

#include "core/IoError.h"
#include "registers/SearchFolderRegister.h"
#include "registers/SettingsFile.h"
#include "ui/Dialogs.h"
#include "ui/FormPlacement.h"
#include "ui/FormWiring.h"
#include "ui/TForm1.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace Vacuola {

namespace {

// How often a folder handed over during a sweep looks whether the sweep is over.
constexpr int HandOverRetryMs = 200;

} // namespace

void TForm1::saveSettings()
{
    // The normal placement is saved even if the window was never closed through FormClose.
    const QRect normal = m_closedPlacement.value_or(m_wiring->placement().normalPlacement());
    const Placement placement{normal.top(), normal.left(), normal.height(), normal.width()};
    try {
        m_wiring->settings().save(m_wiring->searchRegister(), m_wiring->ignoreRegister(),
                                  m_wiring->exclusions(), *this, placement);
    } catch (const IoError &error) {
        // A window going away gives the report no parent.
        m_services.dialogs->errorReport(m_destroyed ? nullptr : this, error.text());
    }
}

void TForm1::endSession()
{
    // Every open box is answered as cancelled: a question inside a sweep then
    // stops it, one outside returns to its command, which ends at once.
    for (int open = 0; open < 16; ++open) {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            break;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }
    // After the boxes' own loops have returned: a sweep then takes the close as
    // its stop request and closes the window when its log is written.
    QTimer::singleShot(0, this, [this] { close(); });
}

void TForm1::takeHandedFolder(const QStringList &arguments)
{
    if (sweeping()) {
        // The folder list is locked while a sweep runs: the folder waits for its end.
        QTimer::singleShot(HandOverRetryMs, this, [this, arguments] { takeHandedFolder(arguments); });
        return;
    }
    m_wiring->searchRegister().CommandLineFolder(arguments);
    if (isMinimized())
        showNormal();
    bringToForeground();
}

} // namespace Vacuola
