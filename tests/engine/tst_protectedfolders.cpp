#include "engine/DryRun.h"
#include "tests/engine/EngineRig.h"

#include <QtTest>

namespace Vacuola::Test {

class ProtectedFoldersTest final : public QObject
{
    Q_OBJECT

private slots:
    void protectedFoldersStay_data();
    void protectedFoldersStay();
};

void ProtectedFoldersTest::protectedFoldersStay_data()
{
    QTest::addColumn<QStringList>("dirs");
    QTest::addColumn<QStringList>("patterns"); // added to the defaults; {root} and {area} as paths
    QTest::addColumn<QString>("userDirs");     // the home's .config/user-dirs.dirs
    QTest::addColumn<QString>("fstab");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<bool>("rootKept");
    QTest::addColumn<bool>("caseBlind"); // the swept folder's file system ignores letter case

    const QStringList none;
    QTest::newRow("git working copy after gc, lost+found, empty folder beside")
        << QStringList{QStringLiteral("proj/.git/refs/heads"), QStringLiteral("proj/.git/refs/tags"),
                       QStringLiteral("proj/.git/branches"), QStringLiteral("proj/empty"),
                       QStringLiteral("lost+found")}
        << none << QString() << QString()
        << QStringList{QStringLiteral("lost+found/"),         QStringLiteral("proj/"),
                       QStringLiteral("proj/.git/"),          QStringLiteral("proj/.git/branches/"),
                       QStringLiteral("proj/.git/refs/"),     QStringLiteral("proj/.git/refs/heads/"),
                       QStringLiteral("proj/.git/refs/tags/")}
        << true << false;
    QTest::newRow("name pattern with * and ?, letter case kept")
        << QStringList{QStringLiteral("build-01/x"), QStringLiteral("build-1"), QStringLiteral("Build-01"),
                       QStringLiteral("a/.Trash-1000/files"), QStringLiteral("a/.trash-1000")}
        << QStringList{QStringLiteral("build-??*")} << QString() << QString()
        << QStringList{QStringLiteral("a/"), QStringLiteral("a/.Trash-1000/"),
                       QStringLiteral("a/.Trash-1000/files/"), QStringLiteral("build-01/"),
                       QStringLiteral("build-01/x/")}
        << true << false;
    QTest::newRow("absolute path, trailing slash")
        << QStringList{QStringLiteral("keep/me/x"), QStringLiteral("keep/other"), QStringLiteral("me")}
        << QStringList{QStringLiteral("{root}/keep/me/")} << QString() << QString()
        << QStringList{QStringLiteral("keep/"), QStringLiteral("keep/me/"), QStringLiteral("keep/me/x/")}
        << true << false;
    QTest::newRow("XDG folders and the trash of the home, not the home itself")
        << QStringList{QStringLiteral("Templates"), QStringLiteral("Public Share"), QStringLiteral("Music"),
                       QStringLiteral(".local/share/Trash/files")}
        << none
        << QStringLiteral(
               "# xdg-user-dirs\nXDG_DESKTOP_DIR=\"$HOME/\"\nXDG_TEMPLATES_DIR=\"$HOME/Templates\"\n"
               "XDG_PUBLICSHARE_DIR=\"{root}/Public Share\"\nXDG_MUSIC_DIR=\"$HOME\"\n")
        << QString()
        << QStringList{QStringLiteral(".config/"),
                       QStringLiteral(".config/user-dirs.dirs"),
                       QStringLiteral(".local/"),
                       QStringLiteral(".local/share/"),
                       QStringLiteral(".local/share/Trash/"),
                       QStringLiteral(".local/share/Trash/files/"),
                       QStringLiteral("Public Share/"),
                       QStringLiteral("Templates/")}
        << true << false;
    QTest::newRow("fstab mount points, none and swap skipped")
        << QStringList{QStringLiteral("mnt/backup disk"), QStringLiteral("mnt/other")} << none << QString()
        << QStringLiteral("# <file system> <mount point> <type>\nUUID=1 / ext4 defaults 0 1\n"
                          "/dev/sdb1\t{root}/mnt/backup\\040disk  ext4 noauto 0 2\n/swap none swap sw 0 0\n"
                          "#/dev/sdc1 {root}/mnt/other ext4 noauto 0 2\n")
        << QStringList{QStringLiteral("mnt/"), QStringLiteral("mnt/backup disk/")} << true << false;
    QTest::newRow("letter case ignored where the file system ignores it")
        << QStringList{QStringLiteral("p/.GIT/refs"), QStringLiteral("Lost+Found"), QStringLiteral("cvs"),
                       QStringLiteral("gone")}
        << none << QString() << QString()
        << QStringList{QStringLiteral("Lost+Found/"), QStringLiteral("cvs/"), QStringLiteral("p/"),
                       QStringLiteral("p/.GIT/"), QStringLiteral("p/.GIT/refs/")}
        << true << true;
    QTest::newRow("swept folder protected: its empty folders go, it stays")
        << QStringList{QStringLiteral("a/b")} << QStringList{QStringLiteral("root")} << QString() << QString()
        << none << true << false;
    QTest::newRow("swept folder inside a protected one is swept")
        << QStringList{QStringLiteral("a/b")} << QStringList{QStringLiteral("{area}")} << QString()
        << QString() << none << false << false;
}

void ProtectedFoldersTest::protectedFoldersStay()
{
    QFETCH(QStringList, dirs);
    QFETCH(QStringList, patterns);
    QFETCH(QString, userDirs);
    QFETCH(QString, fstab);
    QFETCH(QStringList, remaining);
    QFETCH(bool, rootKept);
    QFETCH(bool, caseBlind);

    EngineRig rig;
    if (caseBlind)
        rig.fs.caseBlind << rig.root();
    const auto paths = [&rig](QString text) {
        return text.replace(QStringLiteral("{root}"), rig.root())
            .replace(QStringLiteral("{area}"), rig.area.absolute());
    };
    for (const QString &pattern : std::as_const(patterns))
        rig.exclusions.append(paths(pattern));
    for (const QString &dir : std::as_const(dirs))
        rig.area.createDir(QStringLiteral("root/") + dir);
    if (!userDirs.isEmpty())
        rig.area.createFile(QStringLiteral("root/.config/user-dirs.dirs"), paths(userDirs).toUtf8());
    if (!fstab.isEmpty())
        rig.area.createFile(QStringLiteral("fstab"), paths(fstab).toUtf8());

    DryRun dryRun(rig.window, rig.files, rig.fs, rig.clock, rig.editor, rig.exclusions);
    dryRun.run(rig.root());
    QStringList swept;
    rig.engine.setFolderLineObserver([&swept](const QString &line) { swept << line; });
    rig.sweep();

    QCOMPARE(rig.rootTree(), remaining);
    QCOMPARE(rig.area.exists(QStringLiteral("root")), rootKept);
    QCOMPARE(rig.engine.errCount(), 0);
    QCOMPARE(dryRun.lines(), swept);
    QVERIFY(rig.window.informations.isEmpty());
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::ProtectedFoldersTest)
#include "tst_protectedfolders.moc"
