#include "tests/support/FakeWindow.h"

namespace Vacuola::Test {

FakeWindow::FakeWindow()
{
    // Log1 is marked when the window is made.
    m_marks[OptionMark::Log1] = true;
}

void FakeWindow::setStatusText(const QString &text)
{
    status = text;
    statusHistory << text;
    events << QStringLiteral("status:") + text;
}

void FakeWindow::setRemovalCounter(const QString &text)
{
    counter = text;
    events << QStringLiteral("counter:") + text;
}

void FakeWindow::setStartCaption(const QString &caption)
{
    startCaption = caption;
    events << QStringLiteral("caption:") + caption;
}

void FakeWindow::setStartEnabled(bool enabled)
{
    startEnabled = enabled;
    events << (enabled ? QStringLiteral("start:on") : QStringLiteral("start:off"));
}

void FakeWindow::setDelFolderEnabled(bool enabled)
{
    delFolderEnabled = enabled;
    events << (enabled ? QStringLiteral("delfolder:on") : QStringLiteral("delfolder:off"));
}

void FakeWindow::setRunLock(bool on)
{
    runLock = on;
    events << (on ? QStringLiteral("lock:on") : QStringLiteral("lock:off"));
}

void FakeWindow::processMessages()
{
    events << QStringLiteral("pump");
    if (onPump)
        onPump();
}

bool FakeWindow::isMarked(OptionMark mark) const
{
    return m_marks.value(mark, false);
}

void FakeWindow::setMarked(OptionMark mark, bool marked)
{
    const bool isLog = mark == OptionMark::Log0 || mark == OptionMark::Log1 || mark == OptionMark::Log2 ||
                       mark == OptionMark::Log3;
    if (isLog && marked) {
        for (OptionMark log : {OptionMark::Log0, OptionMark::Log1, OptionMark::Log2, OptionMark::Log3})
            m_marks[log] = false;
    }
    m_marks[mark] = marked;
}

void FakeWindow::showInformation(const QString &text)
{
    events << QStringLiteral("info");
    showInformationBox(text);
}

Answer FakeWindow::askWarning(const QString &text)
{
    events << QStringLiteral("ask");
    return askQuestion(text);
}

bool FakeWindow::inputBox(const QString &title, const QString &prompt, QString &text)
{
    Q_UNUSED(title);
    events << QStringLiteral("input");
    return askInput(prompt, text);
}

void FakeWindow::bringToForeground()
{
    ++foregrounds;
    events << QStringLiteral("foreground");
}

void FakeWindow::showErrorReport(const QString &text)
{
    events << QStringLiteral("error");
    showErrorBox(text);
}

MockClock::MockClock(const QDateTime &start) : m_now(start) {}

QDateTime MockClock::now() const
{
    const QDateTime answer = m_now;
    if (stepPerRead)
        m_now = m_now.addMSecs(stepPerRead);
    return answer;
}

void MockClock::set(const QDateTime &moment)
{
    m_now = moment;
}

void MockClock::advance(qint64 milliseconds)
{
    m_now = m_now.addMSecs(milliseconds);
}

QString FakeTextEditor::find()
{
    return editor;
}

void FakeTextEditor::open(const QString &editorPath, const QString &file)
{
    opened << editorPath + QLatin1Char(' ') + file;
}

} // namespace Vacuola::Test
