#include "ui/HelpViewer.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace Vacuola {

namespace {

/** Reads the help file and the pages it links to like the program's other files: a fifo
 *  or a device in their place never blocks the window. */
class HelpBrowser final : public QTextBrowser
{
public:
    using QTextBrowser::QTextBrowser;

    FileSystem *fileSystem = nullptr;

    QVariant loadResource(int type, const QUrl &name) override
    {
        if (fileSystem == nullptr || !name.isLocalFile())
            return QTextBrowser::loadResource(type, name);
        QByteArray bytes;
        if (fileSystem->readFile(name.toLocalFile(), bytes) != 0)
            return {};
        return type == QTextDocument::HtmlResource ? QVariant(QString::fromUtf8(bytes)) : QVariant(bytes);
    }

protected:
    // Back and forward through the pages seen, with the keys of every help browser.
    void keyPressEvent(QKeyEvent *event) override
    {
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        if ((event->key() == Qt::Key_Left && modifiers == Qt::AltModifier) ||
            (event->key() == Qt::Key_Backspace && modifiers == Qt::NoModifier)) {
            backward();
        } else if (event->key() == Qt::Key_Right && modifiers == Qt::AltModifier) {
            forward();
        } else {
            QTextBrowser::keyPressEvent(event);
            return;
        }
        event->accept();
    }
};

} // namespace

HelpViewer::HelpViewer(QWidget *parent) : QDialog(parent), m_browser(new HelpBrowser(this))
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Vacuola ヘルプ"));
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    // Links to the web leave the viewer; links inside the file stay in it.
    m_browser->setOpenExternalLinks(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(560, 480);
}

HelpViewer::~HelpViewer() = default;

void HelpViewer::showContents(const QString &helpFile, FileSystem &fileSystem)
{
    static_cast<HelpBrowser *>(m_browser)->fileSystem = &fileSystem;
    QByteArray bytes;
    if (const int error = fileSystem.readFile(helpFile, bytes); error == 0) {
        // The contents are the first page of the history, so that a link can be followed back.
        const QUrl contents = QUrl::fromLocalFile(QFileInfo(helpFile).absoluteFilePath());
        if (m_browser->source() == contents)
            m_browser->reload();
        else
            m_browser->setSource(contents, QTextDocument::HtmlResource);
    } else {
        m_browser->setPlainText(QStringLiteral("ヘルプファイルを開けません\n%1\n%2")
                                    .arg(QDir::toNativeSeparators(helpFile), errorMessage(error)));
    }
    m_browser->clearHistory();
    m_browser->moveCursor(QTextCursor::Start);
    m_browser->ensureCursorVisible();
    show();
    raise();
    activateWindow();
}

QString HelpViewer::shownText() const
{
    return m_browser->toPlainText();
}

} // namespace Vacuola
