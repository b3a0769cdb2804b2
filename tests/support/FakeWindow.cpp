#include "tests/support/FakeWindow.h"

#include "platform/Locale.h"

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

int MemorySearchFolderList::count() const
{
    return int(items.size());
}

QString MemorySearchFolderList::text(int index) const
{
    return items.value(index);
}

int MemorySearchFolderList::selectedIndex() const
{
    return selected;
}

void MemorySearchFolderList::select(int index)
{
    selected = (index >= 0 && index < count()) ? index : -1;
}

void MemorySearchFolderList::insert(int index, const QString &text)
{
    items.insert(qBound(0, index, count()), text);
    if (selected >= index)
        ++selected;
}

void MemorySearchFolderList::move(int from, int to)
{
    const QString selectedText = selected >= 0 ? items.at(selected) : QString();
    const bool movingSelected = from == selected;
    items.move(from, to);
    if (movingSelected)
        selected = to;
    else if (selected >= 0)
        selected = int(items.indexOf(selectedText));
}

void MemorySearchFolderList::remove(int index)
{
    items.removeAt(index);
    if (selected == index)
        selected = -1;
    else if (selected > index)
        --selected;
}

void MemorySearchFolderList::clear()
{
    items.clear();
    selected = -1;
}

void MemorySearchFolderList::setHint(const QString &text)
{
    hintText = text;
}

QString MemorySearchFolderList::hint() const
{
    return hintText;
}

int MemoryManagementFileList::count() const
{
    return int(entries.size());
}

QString MemoryManagementFileList::name(int index) const
{
    return entries.at(index).name;
}

bool MemoryManagementFileList::isChecked(int index) const
{
    return entries.at(index).checked;
}

void MemoryManagementFileList::setChecked(int index, bool checked)
{
    entries[index].checked = checked;
}

void MemoryManagementFileList::addChecked(const QString &name)
{
    add(name, true);
}

bool MemoryManagementFileList::isSelected(int index) const
{
    return entries.at(index).selected;
}

void MemoryManagementFileList::removeAt(int index)
{
    entries.removeAt(index);
}

void MemoryManagementFileList::clearSelection()
{
    for (Entry &entry : entries)
        entry.selected = false;
}

void MemoryManagementFileList::clear()
{
    entries.clear();
}

void MemoryManagementFileList::add(const QString &name, bool checked)
{
    qsizetype at = 0;
    while (at < entries.size() && Locale::compareNames(entries.at(at).name, name) <= 0)
        ++at;
    entries.insert(at, Entry{name, checked, false});
}

void MemoryManagementFileList::setSelected(int index, bool selected)
{
    entries[index].selected = selected;
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
