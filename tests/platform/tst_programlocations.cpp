#include "platform/FileSystem.h"
#include "platform/ProgramLocations.h"
#include "tests/support/TestDir.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace Vacuola;
using Vacuola::Test::TestDir;

class TestProgramLocations final : public QObject
{
    Q_OBJECT

private slots:
    void locations_data();
    void locations();
    void foldersMadeForTheUserAlone();
};

namespace {

// "@" in a row stands for the scratch folder.
QString at(const TestDir &dir, const QString &text)
{
    QString expanded = text;
    return expanded.replace(u'@', dir.absolute());
}

void setOrUnset(const char *name, const QString &value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value.toUtf8());
}

} // namespace

void TestProgramLocations::locations_data()
{
    QTest::addColumn<QStringList>("files"); // made before the rule is asked; a "->" row moves a folder
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("configHome");
    QTest::addColumn<QString>("stateHome");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QStringList>("expected"); // settings file, log folder, help file

    const QString unset;
    const QStringList prefix{QStringLiteral("usr/bin/vacuola"),
                             QStringLiteral("usr/share/vacuola/installed")};
    QTest::newRow("build tree") << QStringList{QStringLiteral("build/vacuola")}
                                << QStringLiteral("@/build/vacuola") << QStringLiteral("@/xdg") << unset
                                << false
                                << QStringList{QStringLiteral("@/build/vacuola.ini"),
                                               QStringLiteral("@/build"),
                                               QStringLiteral("@/build/vacuola.hlp")};
    QTest::newRow("portable copy renamed")
        << QStringList{QStringLiteral("tools/v.1/vacuola.bin"),
                       QStringLiteral("tools/share/vacuola/vacuola.hlp")}
        << QStringLiteral("@/tools/v.1/vacuola.bin") << unset << unset << false
        << QStringList{QStringLiteral("@/tools/v.1/vacuola.ini"), QStringLiteral("@/tools/v.1"),
                       QStringLiteral("@/tools/v.1/vacuola.hlp")};
    QTest::newRow("marker that is a folder")
        << QStringList{QStringLiteral("p/bin/vacuola"), QStringLiteral("p/share/vacuola/installed/")}
        << QStringLiteral("@/p/bin/vacuola") << unset << unset << false
        << QStringList{QStringLiteral("@/p/bin/vacuola.ini"), QStringLiteral("@/p/bin"),
                       QStringLiteral("@/p/bin/vacuola.hlp")};
    QTest::newRow("installed, XDG unset")
        << prefix << QStringLiteral("@/usr/bin/vacuola") << unset << unset << true
        << QStringList{QStringLiteral("@/home/.config/vacuola/vacuola.ini"),
                       QStringLiteral("@/home/.local/state/vacuola"),
                       QStringLiteral("@/usr/share/vacuola/vacuola.hlp")};
    QTest::newRow("installed, XDG set")
        << prefix << QStringLiteral("@/usr/bin/vacuola") << QStringLiteral("@/cfg/")
        << QStringLiteral("@/state") << true
        << QStringList{QStringLiteral("@/cfg/vacuola/vacuola.ini"), QStringLiteral("@/state/vacuola"),
                       QStringLiteral("@/usr/share/vacuola/vacuola.hlp")};
    QTest::newRow("installed, XDG empty or relative")
        << prefix << QStringLiteral("@/usr/bin/vacuola") << QString(QLatin1String(""))
        << QStringLiteral("state") << true
        << QStringList{QStringLiteral("@/home/.config/vacuola/vacuola.ini"),
                       QStringLiteral("@/home/.local/state/vacuola"),
                       QStringLiteral("@/usr/share/vacuola/vacuola.hlp")};
    QTest::newRow("moved prefix") << (prefix + QStringList{QStringLiteral("usr->opt/moved")})
                                  << QStringLiteral("@/opt/moved/bin/vacuola") << QStringLiteral("@/cfg")
                                  << QStringLiteral("@/state") << true
                                  << QStringList{QStringLiteral("@/cfg/vacuola/vacuola.ini"),
                                                 QStringLiteral("@/state/vacuola"),
                                                 QStringLiteral("@/opt/moved/share/vacuola/vacuola.hlp")};
}

void TestProgramLocations::locations()
{
    QFETCH(QStringList, files);
    QFETCH(QString, executable);
    QFETCH(QString, configHome);
    QFETCH(QString, stateHome);
    QFETCH(bool, installed);
    QFETCH(QStringList, expected);

    TestDir dir;
    for (const QString &file : std::as_const(files)) {
        if (file.contains(QLatin1String("->"))) {
            const QStringList move = file.split(QStringLiteral("->"));
            dir.createDir(QFileInfo(move.at(1)).path());
            QVERIFY(QDir().rename(dir.absolute(move.at(0)), dir.absolute(move.at(1))));
        } else if (file.endsWith(u'/')) {
            dir.createDir(file);
        } else {
            dir.createFile(file, "x");
        }
    }
    qputenv("HOME", dir.absolute(QStringLiteral("home")).toUtf8());
    setOrUnset("XDG_CONFIG_HOME", at(dir, configHome));
    setOrUnset("XDG_STATE_HOME", at(dir, stateHome));

    const ProgramLocations locations = ProgramLocations::forExecutable(at(dir, executable));
    QCOMPARE(locations.installed, installed);
    QCOMPARE((QStringList{locations.settingsFile, locations.logFolder, locations.helpFile}),
             (QStringList{at(dir, expected.at(0)), at(dir, expected.at(1)), at(dir, expected.at(2))}));
}

void TestProgramLocations::foldersMadeForTheUserAlone()
{
    TestDir dir;
    FileSystem &fs = systemFileSystem();
    const mode_t previous = ::umask(0);
    QCOMPARE(fs.makeFolders(dir.absolute(QStringLiteral("home/.local/state/vacuola"))), 0);
    ::umask(previous);
    for (const char *folder : {"home", "home/.local", "home/.local/state", "home/.local/state/vacuola"}) {
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(dir.absolute(QLatin1String(folder))).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0700));
    }

    // What exists stays as it is, also through a link; a file in the way is refused.
    dir.createDir(QStringLiteral("shared"));
    QVERIFY(QFile::setPermissions(dir.absolute(QStringLiteral("shared")),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                      QFileDevice::ReadOther | QFileDevice::ExeOther));
    dir.createSymlink(QStringLiteral("dotfiles"), dir.absolute(QStringLiteral("shared")));
    QCOMPARE(fs.makeFolders(dir.absolute(QStringLiteral("dotfiles/vacuola"))), 0);
    QCOMPARE(QFileInfo(dir.absolute(QStringLiteral("shared"))).permissions() & QFileDevice::ReadOther,
             QFileDevice::ReadOther);
    QVERIFY(QFileInfo(dir.absolute(QStringLiteral("shared/vacuola"))).isDir());
    dir.createFile(QStringLiteral("file"), "x");
    QCOMPARE(fs.makeFolders(dir.absolute(QStringLiteral("file/vacuola"))), ENOTDIR);
    QCOMPARE(fs.makeFolders(QStringLiteral("relative/vacuola")), ENOENT);
}

QTEST_GUILESS_MAIN(TestProgramLocations)
#include "tst_programlocations.moc"
