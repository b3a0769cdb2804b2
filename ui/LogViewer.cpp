#include "ui/LogViewer.h"

#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "ui/FormStyle.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace Vacuola {

LogViewer::LogViewer(FileSystem &fileSystem, QWidget *parent)
    : QDialog(parent), m_fileSystem(fileSystem), m_text(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("LogViewer"));
    m_text->setObjectName(QStringLiteral("LogText"));
    m_text->setReadOnly(true);
    // Log lines are long and hold tabs; they are shown as written, in a fixed-pitch gothic
    // as a text editor shows them: a tab then always reaches the next stop of eight
    // half-width cells at least one cell on, where a proportional font can leave the text
    // a fraction of a pixel before a stop and the tab invisible.
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font = FormStyle::font(14);
    font.setFamilies({QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    m_text->setFont(font);
    m_text->setTabStopDistance(8 * m_text->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    resize(720, 480);
}

LogViewer::~LogViewer() = default;

void LogViewer::showLog(const QString &path)
{
    setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" - Vacuola"));
    // The latest block stands at the end: a very large log is shown from a
    // whole line among its last 4 MiB, which the text box still shows at once.
    QByteArray bytes;
    bool cut = false;
    const int error = m_fileSystem.readFileEnd(path, 4 * 1024 * 1024, bytes, cut);
    if (error == 0) {
        if (cut)
            bytes.remove(0, bytes.indexOf('\n') + 1);
        QString text = Cp932::decode(bytes);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        m_text->setPlainText(text);
    } else {
        m_text->setPlainText(QStringLiteral("LOGファイルを開けません\n%1\n%2")
                                 .arg(QDir::toNativeSeparators(path), errorMessage(error)));
    }
    m_text->moveCursor(QTextCursor::End);
    show();
    raise();
    activateWindow();
    m_text->verticalScrollBar()->setValue(m_text->verticalScrollBar()->maximum());
}

QString LogViewer::shownText() const
{
    return m_text->toPlainText();
}

bool LogViewer::atEnd() const
{
    const QScrollBar *bar = m_text->verticalScrollBar();
    return bar->value() == bar->maximum() && m_text->textCursor().atEnd();
}

LogViewerEditor::LogViewerEditor(QWidget &window, FileSystem &fileSystem)
    : m_window(window), m_fileSystem(fileSystem)
{}

LogViewerEditor::~LogViewerEditor() = default;

QString LogViewerEditor::find()
{
    return QStringLiteral("Vacuola");
}

void LogViewerEditor::open(const QString &editor, const QString &file)
{
    Q_UNUSED(editor);
    if (m_viewer == nullptr)
        m_viewer = new LogViewer(m_fileSystem, &m_window);
    m_viewer->showLog(file);
}

LogViewer *LogViewerEditor::viewer() const
{
    return m_viewer;
}

} // namespace Vacuola
