#include "engine/DryRun.h"
#include "tests/engine/EngineRig.h"

#include "tests/support/TestHelpers.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Vacuola::Test {

namespace {

// A random tree below the rig's root: content files, checked management files
// in any case, an unchecked one, read-only folders, and folders that hold only
// folders, so that both phases, the R flag and the kept parents all occur.
QStringList makeRandomTree(EngineRig &rig, quint32 seed)
{
    QRandomGenerator random(seed);
    QStringList made;
    QStringList folders{QString()};
    for (qsizetype i = 0; i < folders.size() && folders.size() < 120; ++i) {
        const QString folder = folders.at(i);
        const int depth = int(folder.count(QLatin1Char('/')));
        for (int c = 0, n = folder.isEmpty() ? 4 : depth < 4 ? int(random.bounded(4)) : 0; c < n; ++c) {
            const QString child = (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) +
                                  QStringLiteral("f%1").arg(folders.size());
            rig.area.createDir(QStringLiteral("root/") + child);
            folders << child;
            made << child;
        }
        const QString prefix = QStringLiteral("root/") + (folder.isEmpty() ? QString() : folder + u'/');
        const int roll = int(random.bounded(20));
        if (roll < 2)
            made << rig.area.createFile(prefix + QStringLiteral("keep.txt"), "x");
        else if (roll < 7)
            made << rig.area.createFile(prefix + QStringLiteral("Thumbs.db"), "x");
        else if (roll < 9)
            made << rig.area.createFile(prefix + QStringLiteral("desktop.ini"), "x");
        else if (roll < 10)
            made << rig.area.createFile(prefix + QStringLiteral("_catalog.vix"), "x");
    }
    for (const QString &folder : std::as_const(folders)) {
        if (!folder.isEmpty() && random.bounded(10) == 0)
            rig.area.setReadOnly(QStringLiteral("root/") + folder, true);
    }
    return made;
}

// Every entry of the tree with its access and modification times, to the nanosecond.
QStringList times(const EngineRig &rig, const QStringList &entries)
{
    QStringList result;
    for (QString entry : entries) {
        if (!entry.startsWith(u'/'))
            entry = rig.at(entry);
        struct stat st;
        if (::lstat(QFile::encodeName(entry).constData(), &st) != 0) {
            result << entry + QStringLiteral(" missing");
            continue;
        }
        result << entry + QStringLiteral(" %1.%2 %3.%4")
                              .arg(st.st_atim.tv_sec)
                              .arg(st.st_atim.tv_nsec)
                              .arg(st.st_mtim.tv_sec)
                              .arg(st.st_mtim.tv_nsec);
    }
    return result;
}

// Old times with the access after the modification, so that any listing that
// is allowed to write an access time does (relatime included).
void ageTimes(const EngineRig &rig, const QStringList &entries)
{
    const struct timespec old[2] = {{1600000000, 0}, {1500000000, 0}};
    for (QString entry : entries) {
        if (!entry.startsWith(u'/'))
            entry = rig.at(entry);
        ::utimensat(AT_FDCWD, QFile::encodeName(entry).constData(), old, AT_SYMLINK_NOFOLLOW);
    }
}

} // namespace

class TestDryRun final : public QObject
{
    Q_OBJECT

private slots:
    void matchesSweep_data();
    void matchesSweep();
};

void TestDryRun::matchesSweep_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<QString>("twist");
    QTest::newRow("seed 1") << 1u << QString();
    QTest::newRow("seed 7") << 7u << QString();
    QTest::newRow("seed 42") << 42u << QString();
    // Failures the dry run foresees, printed where the sweep prints them.
    QTest::newRow("immutable and append-only folders") << 7u << QStringLiteral("attributes");
    QTest::newRow("as a user, with folders of root's") << 42u << QStringLiteral("user");
    QTest::newRow("a read-only mount") << 1u << QStringLiteral("read-only mount");
}

// The dry run lists exactly the lines the sweep then produces, in the same
// order, and leaves the tree, its times and the log folder as they were.
void TestDryRun::matchesSweep()
{
    QFETCH(quint32, seed);
    QFETCH(QString, twist);
    EngineRig rig;
    const QByteArray root = QFile::encodeName(rig.root());
    if (twist == QLatin1String("read-only mount") && ::mount("vacuola-test", root, "tmpfs", 0, nullptr) != 0)
        QSKIP("mounting needs privileges this machine does not give");
    const auto unmount = qScopeGuard([&] { ::umount2(root, twist.contains(u"mount") ? MNT_DETACH : 0); });
    rig.checkNames({QStringLiteral("thumbs.db"), QStringLiteral("desktop.ini")});
    rig.files.add(QStringLiteral("_catalog.vix"), false);
    QStringList entries = makeRandomTree(rig, seed);
    entries.prepend(QString());
    const QStringList folders = entries.filter(QRegularExpression(QStringLiteral("^f")));
    QList<int> flagged; // descriptors of the folders given an attribute, cleared at the end
    const auto clearFlags = qScopeGuard([&] {
        for (const int fd : std::as_const(flagged)) {
            int none = 0;
            ::ioctl(fd, FS_IOC_SETFLAGS, &none);
            ::close(fd);
        }
    });
    for (qsizetype i = 1; twist == QLatin1String("attributes") && i < folders.size(); i += 4) {
        int flags = i % 8 == 1 ? FS_IMMUTABLE_FL : FS_APPEND_FL;
        flagged << ::open(QFile::encodeName(rig.at(folders.at(i))).constData(), O_RDONLY | O_DIRECTORY);
        if (::ioctl(flagged.last(), FS_IOC_SETFLAGS, &flags) != 0)
            QSKIP("this file system keeps no immutable or append-only attribute");
    }
    if (twist == QLatin1String("read-only mount"))
        QCOMPARE(::mount(nullptr, root, nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    ageTimes(rig, entries);
    const QStringList treeBefore = rig.rootTree();
    const QStringList timesBefore = times(rig, entries);
    // As nobody, in a tree of theirs where some folders stay root's: one that
    // holds folders, a sticky one, and read-only ones whose mode nobody may change.
    const bool asUser = twist == QLatin1String("user");
    if (asUser) {
        if (!actAsNobody({rig.area.absolute(), rig.program.absolute()}))
            QSKIP("acting as an ordinary user needs root");
        QCOMPARE(::seteuid(0), 0);
        for (qsizetype i = 2; i < folders.size(); i += 3) {
            const QByteArray folder = QFile::encodeName(rig.at(folders.at(i)));
            QCOMPARE(::lchown(folder.constData(), 0, 0), 0);
            if (i % 9 == 2)
                QCOMPARE(::chmod(folder.constData(), 01777), 0);
        }
        QCOMPARE(::seteuid(65534), 0);
    }
    const auto asRoot = qScopeGuard([asUser] { asUser && ::seteuid(0) == 0; });

    DryRun dryRun(rig.window, rig.files, systemFileSystem(), rig.clock, rig.editor, rig.exclusions);
    QStringList heard;
    dryRun.setLineObserver([&heard](const QString &line) { heard << line; });
    dryRun.run(rig.root());

    QCOMPARE(rig.rootTree(), treeBefore);
    // Listing a folder the user does not own marks it read: the kernel refuses O_NOATIME there.
    if (!asUser)
        QCOMPARE(times(rig, entries), timesBefore);
    QCOMPARE(rig.program.tree(), QStringList());
    QCOMPARE(rig.window.counter, QStringLiteral("0"));
    QVERIFY(rig.window.questions.isEmpty());
    QCOMPARE(heard, dryRun.lines());
    if (twist.isEmpty()) {
        QVERIFY(dryRun.removeCount() > 5);
        QVERIFY(dryRun.lines().filter(QStringLiteral(" - R")).size() > 0);
        QCOMPARE(dryRun.summary(), QStringLiteral("確認終了 %1件削除予定").arg(dryRun.removeCount()));
    } else {
        QVERIFY(dryRun.errorCount() > 0);
        QCOMPARE(dryRun.summary(), QStringLiteral("確認終了 削除予定%1件、エラー%2件")
                                       .arg(dryRun.removeCount())
                                       .arg(dryRun.errorCount()));
    }

    // The dry run's Yes to every read-only question, without the questions.
    rig.window.setMarked(OptionMark::DisableReadOnly, true);
    rig.window.setMarked(OptionMark::NonStop, true);
    QStringList swept;
    rig.engine.setFolderLineObserver([&swept](const QString &line) { swept << line; });
    rig.sweep();
    QCOMPARE(dryRun.lines(), swept);
    QCOMPARE(rig.engine.delCount(), dryRun.removeCount());
    QCOMPARE(rig.engine.errCount(), dryRun.errorCount());
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestDryRun)
#include "tst_dryrun.moc"
