#pragma once

#include <QDialog>

class QTextBrowser;

namespace Vacuola {

class FileSystem;

/** The program's help viewer: shows the help file (HTML) from its contents. */
class HelpViewer final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HelpViewer)

public:
    explicit HelpViewer(QWidget *parent = nullptr);
    ~HelpViewer() override;

    /**
     * Loads the help file and shows it at its contents (the top). A missing or
     * unreadable file is reported inside the viewer itself.
     */
    void showContents(const QString &helpFile, FileSystem &fileSystem);
    /** The text now shown, as plain text. */
    QString shownText() const;

private:
    QTextBrowser *m_browser;
};

} // namespace Vacuola
