#pragma once

#include "core/RegisterLists.h"
#include "core/WindowServices.h"
#include "platform/Clock.h"
#include "platform/TextEditor.h"
#include "registers/MemoryLists.h"
#include "tests/support/DialogScript.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QStringList>

#include <functional>

namespace Vacuola::Test {

/**
 * Window services in memory. Records every text and box, answers questions and
 * input boxes from the dialog script, and lets a test act inside each message pump.
 */
class FakeWindow final : public WindowServices, public DialogScript
{
public:
    FakeWindow();
    Q_DISABLE_COPY_MOVE(FakeWindow)

    void setStatusText(const QString &text) override;
    void setRemovalCounter(const QString &text) override;
    void setStartCaption(const QString &caption) override;
    void setStartEnabled(bool enabled) override;
    void setDelFolderEnabled(bool enabled) override;
    void setRunLock(bool on) override;
    void processMessages() override;
    bool isMarked(OptionMark mark) const override;
    void setMarked(OptionMark mark, bool marked) override;
    void showInformation(const QString &text) override;
    Answer askWarning(const QString &text) override;
    bool inputBox(const QString &title, const QString &prompt, QString &text) override;
    void bringToForeground() override;
    void showErrorReport(const QString &text) override;

    // Recorded state
    QString status;
    QStringList statusHistory;
    QString counter = QStringLiteral("0");
    QString startCaption = QStringLiteral("開始(&S)");
    bool startEnabled = false;
    bool delFolderEnabled = false;
    bool runLock = false;
    int foregrounds = 0;
    QStringList events; // "status:..", "caption:..", "lock:on", "pump", "info", "ask", "foreground", ...

    /** Called inside every pump; it acts on what the sweep has reached, never on a count of pumps. */
    std::function<void()> onPump;

private:
    QMap<OptionMark, bool> m_marks;
};

// The in-memory lists are the product's own.
using Vacuola::MemoryManagementFileList;
using Vacuola::MemorySearchFolderList;

/** A clock that stands still until the test moves it. */
class MockClock final : public Clock
{
public:
    explicit MockClock(const QDateTime &start = QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0)));
    QDateTime now() const override;
    void set(const QDateTime &moment);
    void advance(qint64 milliseconds);
    /** Each call of now() moves the clock on by this much after answering. */
    qint64 stepPerRead = 0;

private:
    mutable QDateTime m_now;
};

/** Records the editor launches instead of starting a program. */
class FakeTextEditor final : public TextEditor
{
public:
    QString find() override;
    void open(const QString &editor, const QString &file) override;

    QString editor = QStringLiteral("/usr/bin/fake-editor"); // empty: no editor
    QStringList opened;
};

} // namespace Vacuola::Test
