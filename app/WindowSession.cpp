#include "app/WindowSession.h"

#include "app/SingleInstance.h"
#include "platform/EndSignals.h"
#include "ui/TForm1.h"

#include <QApplication>
#include <QDialog>
#include <QSessionManager>

namespace Vacuola {

WindowSession::WindowSession(int endSignals, SingleInstance &instance) : m_endSignals(endSignals)
{
    if (m_endSignals >= 0) {
        m_signalNotifier = std::make_unique<QSocketNotifier>(m_endSignals, QSocketNotifier::Read);
        connect(m_signalNotifier.get(), &QSocketNotifier::activated, this, [this] {
            if (EndSignals::takeFromPipe(m_endSignals) != 0)
                endRequested();
        });
    }
    connect(&instance, &SingleInstance::handed, this, &WindowSession::folderHanded);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) {
        if (m_window != nullptr)
            m_window->saveSettings();
    });
}

WindowSession::~WindowSession() = default;

void WindowSession::attach(TForm1 &window)
{
    m_window = &window;
    for (const QStringList &arguments : std::as_const(m_handedPending))
        window.takeHandedFolder(arguments);
    m_handedPending.clear();
    if (m_endPending)
        window.endSession();
}

void WindowSession::endRequested()
{
    if (m_window != nullptr) {
        m_window->endSession();
        return;
    }
    // The window is still being built, perhaps behind a box: the box goes, the end follows.
    m_endPending = true;
    if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
        dialog->reject();
}

void WindowSession::folderHanded(const QStringList &arguments)
{
    if (m_window != nullptr)
        m_window->takeHandedFolder(arguments);
    else
        m_handedPending.append(arguments);
}

} // namespace Vacuola
