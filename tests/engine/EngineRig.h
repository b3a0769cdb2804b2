#pragma once

#include "engine/SweepEngine.h"
#include "registers/ExclusionRegister.h"
#include "registers/SearchFolderRegister.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/LogBlock.h"
#include "tests/support/TestDir.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace Vacuola::Test {

/**
 * One engine wired to in-memory window and lists, a fault-injecting file system
 * and a mock clock. The swept folder is `root` inside `area`; logs go to `program`.
 */
class EngineRig final
{
    Q_DISABLE_COPY_MOVE(EngineRig)

public:
    /** `real` is the file system the fault injector wraps. */
    explicit EngineRig(FileSystem &real = systemFileSystem());

    TestDir area;
    TestDir program;
    FakeWindow window;
    MemorySearchFolderList searchList;
    MemoryManagementFileList files;
    FaultyFileSystem fs;
    SearchFolderRegister searchFolders;
    MockClock clock;
    FakeTextEditor editor;
    /** Reads a scratch home (area + "/home") and fstab (area + "/fstab"), both missing at first. */
    ExclusionRegister exclusions;
    SweepEngine engine;

    /** The swept folder: area + "/root", created empty by the constructor. */
    QString root() const;
    /** An absolute path below the swept folder ("" is the folder itself). */
    QString at(const QString &relative) const;
    /** area.tree() restricted to root, relative to it. */
    QStringList rootTree() const;

    /** Registers the swept folder after the placeholder and selects it. */
    void selectRoot();
    /** Checks the given names (lower case) in the management file list. */
    void checkNames(const QStringList &names);
    /** The index of a name in the management file list. */
    int indexOf(const QString &name) const;
    /** Registers the root and runs one sweep. */
    void sweep();

    /** The raw bytes of the log file of a day, empty when it does not exist. */
    QByteArray logBytes(const QDate &day) const;
    /** The log file of a day decoded from code page 932. */
    QString logText(const QDate &day) const;
    /** The first block of the log file of a day. */
    LogBlock logBlock(const QDate &day) const;
};

/** The folder lines of the engine's last sweep. */
QStringList folderLines(const SweepEngine &engine);
/** The detail line of a failure box for an error number. */
QString detail(int error);

} // namespace Vacuola::Test
