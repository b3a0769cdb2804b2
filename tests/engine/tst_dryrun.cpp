#include "engine/DryRun.h"
#include "tests/engine/EngineRig.h"

#include <QRandomGenerator>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

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
    QTest::newRow("seed 1") << 1u;
    QTest::newRow("seed 7") << 7u;
    QTest::newRow("seed 42") << 42u;
}

// The dry run lists exactly the lines the sweep then produces, in the same
// order, and leaves the tree, its times and the log folder as they were.
void TestDryRun::matchesSweep()
{
    QFETCH(quint32, seed);
    EngineRig rig;
    rig.checkNames({QStringLiteral("thumbs.db"), QStringLiteral("desktop.ini")});
    rig.files.add(QStringLiteral("_catalog.vix"), false);
    QStringList entries = makeRandomTree(rig, seed);
    entries.prepend(QString());
    ageTimes(rig, entries);
    const QStringList treeBefore = rig.rootTree();
    const QStringList timesBefore = times(rig, entries);

    DryRun dryRun(rig.window, rig.files, systemFileSystem(), rig.clock, rig.editor, rig.exclusions);
    QStringList heard;
    dryRun.setLineObserver([&heard](const QString &line) { heard << line; });
    dryRun.run(rig.root());

    QCOMPARE(rig.rootTree(), treeBefore);
    QCOMPARE(times(rig, entries), timesBefore);
    QCOMPARE(rig.program.tree(), QStringList());
    QCOMPARE(rig.window.counter, QStringLiteral("0"));
    QVERIFY(rig.window.questions.isEmpty());
    QCOMPARE(heard, dryRun.lines());
    QVERIFY(dryRun.removeCount() > 5);
    QVERIFY(dryRun.lines().filter(QStringLiteral(" - R")).size() > 0);
    QCOMPARE(dryRun.summary(), QStringLiteral("確認終了 %1件削除予定").arg(dryRun.removeCount()));

    // The dry run's Yes to every read-only question, without the questions.
    rig.window.setMarked(OptionMark::DisableReadOnly, true);
    QStringList swept;
    rig.engine.setFolderLineObserver([&swept](const QString &line) { swept << line; });
    rig.sweep();
    QCOMPARE(dryRun.lines(), swept);
    QCOMPARE(rig.engine.delCount(), dryRun.removeCount());
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestDryRun)
#include "tst_dryrun.moc"
