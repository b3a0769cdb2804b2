#pragma once

#include "tests/support/FakeWindow.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestDir.h"
#include "tests/ui/ScriptedDialogs.h"
#include "ui/TForm1.h"

#include <QList>
#include <QUrl>

#include <memory>

namespace Vacuola::Test {

/** A window on a scratch program folder with scripted boxes, a test clock and an injectable file system. */
class WindowRig final
{
public:
    WindowRig();
    ~WindowRig();
    Q_DISABLE_COPY_MOVE(WindowRig)

    /** Creates the window (running its start-up) with the given command line. */
    TForm1 &open(const QStringList &arguments = {});
    /** Destroys the window, which saves the settings. */
    void close();
    /** Writes the settings file as code page 932 text with CR LF line ends. */
    void writeSettings(const QStringList &lines) const;
    QString settingsPath() const;
    /** The marks of IgnoreList as the user sees them: "name" checked, "-name" not. */
    QStringList ignoreListMarks() const;

    template <typename T>
    T *find(const QString &name) const
    {
        return window->findChild<T *>(name);
    }

    TestDir program; // settings file, help file and logs
    TestDir work;    // folders to sweep
    FaultyFileSystem fileSystem;
    MockClock clock;
    FakeTextEditor editor;
    ScriptedDialogs dialogs;
    QList<QUrl> openedUrls;
    // An installed program's layout; empty: everything in `program`.
    QString settingsFile;
    QString logFolder;
    std::unique_ptr<TForm1> window;
};

} // namespace Vacuola::Test
