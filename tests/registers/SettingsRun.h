#pragma once

#include "registers/ExclusionRegister.h"
#include "registers/ManagementFileRegister.h"
#include "registers/SearchFolderRegister.h"
#include "registers/SettingsFile.h"
#include "tests/support/FakeWindow.h"

#include <QDateTime>
#include <QSize>
#include <QStringList>

namespace Vacuola::Test {

// The window's built-in placement.
extern const Placement BuiltIn;

/** A window that keeps the placement it is given and the order of the calls. */
class MemorySettingsWindow final : public SettingsWindow
{
public:
    Placement placement() const override;
    double logicalDpi() const override;
    QSize screenSize() const override;
    void setMinimumSize(int width, int height) override;
    void setPlacement(const Placement &placement) override;

    Placement current;
    double dpi = 96;
    QSize screen{1920, 1080};
    QSize minimum;
    QStringList calls;
};

/** A file of tests/fixtures. */
QByteArray fixture(const QString &name);

/** One run of the program: both registers, the marks, the window and the file. */
struct Run
{
    Run(const QString &iniPath, FileSystem &fs);

    /** Start-up as the window runs it; returns the log purge cut-offs. */
    QList<QDateTime> start();
    void save();
    QStringList checkedNames() const;

    static const QDateTime Now;

    MemorySearchFolderList folders;
    MemoryManagementFileList names;
    FakeWindow window;
    MemorySettingsWindow screen;
    SearchFolderRegister folderReg;
    ManagementFileRegister nameReg;
    ExclusionRegister exclusions{SystemFolderSources{}};
    SettingsFile settings;
    SettingsFile::Loaded loaded;
};

/** The key part ("key=" or the whole line) of every line of a file. */
QStringList layout(const QByteArray &bytes);

} // namespace Vacuola::Test
