#pragma once

#include "platform/TextEditor.h"

#include <QDialog>

class QPlainTextEdit;

namespace Vacuola {

class FileSystem;

/** A read-only view of a log file, decoded from code page 932, opened at its end. */
class LogViewer final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LogViewer)

public:
    LogViewer(FileSystem &fileSystem, QWidget *parent = nullptr);
    ~LogViewer() override;

    /** Reads the log and shows it scrolled to its end; a file that cannot be read is reported in the view. */
    void showLog(const QString &path);
    /** The text now shown. */
    QString shownText() const;
    /** True when the view stands at the end of the text, where the latest block is. */
    bool atEnd() const;

private:
    FileSystem &m_fileSystem;
    QPlainTextEdit *m_text;
};

/** The day's log is shown by the program's own viewer, so it is always at hand. */
class LogViewerEditor final : public TextEditor
{
    Q_DISABLE_COPY_MOVE(LogViewerEditor)

public:
    LogViewerEditor(QWidget &window, FileSystem &fileSystem);
    ~LogViewerEditor() override;

    QString find() override;
    void open(const QString &editor, const QString &file) override;
    /** Null until a log has been shown. */
    LogViewer *viewer() const;

private:
    QWidget &m_window;
    FileSystem &m_fileSystem;
    LogViewer *m_viewer = nullptr;
};

} // namespace Vacuola
