#pragma once

#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>

#include <memory>

namespace Vacuola {

class SingleInstance;
class TForm1;

/**
 * What reaches the window from outside its own controls: the signals that end
 * it, the desktop's request to save before a logout, and the folders of later
 * starts. Listening begins before the window is built, since building it may
 * already show a box: what comes then waits for the window (a box open then is
 * cancelled at once when the request is to end).
 */
class WindowSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowSession)

public:
    /** `endSignals`: the pipe of the caught end signals, or -1. */
    WindowSession(int endSignals, SingleInstance &instance);
    ~WindowSession() override;

    /** From now on the window takes what comes; what came before is handed to it now. */
    void attach(TForm1 &window);

private:
    void endRequested();
    void folderHanded(const QStringList &arguments);

    int m_endSignals;
    std::unique_ptr<QSocketNotifier> m_signalNotifier;
    TForm1 *m_window = nullptr;
    bool m_endPending = false;
    QList<QStringList> m_handedPending;
};

} // namespace Vacuola
