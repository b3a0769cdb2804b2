#pragma once

#include "engine/RegisterLists.h"
#include "engine/WindowServices.h"
#include "platform/Clock.h"
#include "platform/TextEditor.h"
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

/** The search folder list in memory. */
class MemorySearchFolderList final : public SearchFolderList
{
public:
    int count() const override;
    QString text(int index) const override;
    int selectedIndex() const override;
    void select(int index) override;
    void insert(int index, const QString &text) override;
    void move(int from, int to) override;
    void remove(int index) override;
    void clear() override;
    void setHint(const QString &text) override;
    QString hint() const override;

    QStringList items;
    int selected = -1;
    QString hintText;
};

/** The management file list in memory, sorted like the real control. */
class MemoryManagementFileList final : public ManagementFileList
{
public:
    int count() const override;
    QString name(int index) const override;
    bool isChecked(int index) const override;
    void setChecked(int index, bool checked) override;
    void addChecked(const QString &name) override;
    bool isSelected(int index) const override;
    void removeAt(int index) override;
    void clearSelection() override;
    void clear() override;

    /** Adds with a given mark (test set-up). */
    void add(const QString &name, bool checked);
    void setSelected(int index, bool selected);

    struct Entry
    {
        QString name;
        bool checked = false;
        bool selected = false;
    };
    QList<Entry> entries;
};

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
