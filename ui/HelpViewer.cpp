#include "ui/HelpViewer.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace Vacuola {

HelpViewer::HelpViewer(QWidget *parent) : QDialog(parent), m_browser(new QTextBrowser(this))
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
    // Read like the program's other files: a fifo or a device in its place never blocks the window.
    QByteArray bytes;
    if (const int error = fileSystem.readFile(helpFile, bytes); error == 0) {
        m_browser->setSearchPaths({QFileInfo(helpFile).absolutePath()});
        m_browser->setHtml(QString::fromUtf8(bytes));
    } else {
        m_browser->setPlainText(QStringLiteral("ヘルプファイルを開けません\n%1\n%2")
                                    .arg(QDir::toNativeSeparators(helpFile), errorMessage(error)));
    }
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
