#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixSweepTree.h"
#include "tests/support/TestDir.h"
#include "tests/support/TestHelpers.h"

#include <QFile>
#include <QScopeGuard>
#include <QTest>

#include <cerrno>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Vacuola::Test {

namespace {

using Resolver = PosixFileSystem::Resolver;

} // namespace

// Nothing outside the swept folder is reached: not by a path that leaves it,
// not through a folder swapped for a link, not past a mount point, and not by
// running out of descriptors in a chain deeper than any path.
class TestSweepTreeConfinement final : public QObject
{
    Q_OBJECT

private slots:
    void pathsOutsideTheRootFail_data();
    void pathsOutsideTheRootFail();
    void swappedForLinkNeverRedirects_data();
    void swappedForLinkNeverRedirects();
    void deepChainIsRemovedCompletely_data();
    void deepChainIsRemovedCompletely();
    void mountPointIsNeverEntered_data();
    void mountPointIsNeverEntered();
    void unopenableRootFailsEveryCall();
    void emptyFolderListedAheadHoldsNoDescriptor();
};

void TestSweepTreeConfinement::pathsOutsideTheRootFail_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<int>("error");
    QTest::newRow("sibling with the root as prefix") << QStringLiteral("rootless") << EXDEV;
    QTest::newRow("the parent") << QString() << EXDEV;
    QTest::newRow("dot-dot component") << QStringLiteral("root/sub/../../outside") << EXDEV;
    QTest::newRow("dot component") << QStringLiteral("root/./sub") << EXDEV;
    QTest::newRow("trailing slash") << QStringLiteral("root/sub/") << EXDEV;
    QTest::newRow("doubled slash") << QStringLiteral("root//sub") << EXDEV;
}

void TestSweepTreeConfinement::pathsOutsideTheRootFail()
{
    QFETCH(QString, relative);
    QFETCH(int, error);
    TestDir dir;
    dir.createDir(QStringLiteral("root/sub"));
    dir.createDir(QStringLiteral("rootless"));
    dir.createDir(QStringLiteral("outside"));
    const QStringList before = dir.tree();
    auto tree = systemFileSystem().openTree(dir.absolute(QStringLiteral("root")));
    const QString path = dir.absolute(relative);
    bool readOnly = false;
    QCOMPARE(listing(*tree, path).size(), 0);
    int result = -1;
    listing(*tree, path, &result);
    QCOMPARE(result, error);
    QCOMPARE(tree->folderReadOnly(path, readOnly), error);
    QCOMPARE(tree->clearReadOnly(path), error);
    QCOMPARE(tree->removeFolder(path), error);
    QCOMPARE(tree->deleteFile(path, QStringLiteral("x")), error);
    QCOMPARE(dir.tree(), before);
}

void TestSweepTreeConfinement::swappedForLinkNeverRedirects_data()
{
    QTest::addColumn<Resolver>("resolver");
    QTest::addColumn<bool>("ahead");
    QTest::addColumn<bool>("filesOnly");
    QTest::addColumn<bool>("forFolder");
    QTest::newRow("openat2") << Resolver::Automatic << false << false << false;
    QTest::newRow("component walk") << Resolver::Walk << false << false << false;
    // A worker listed the folder before the swap: its listing is refused.
    QTest::newRow("openat2, listed ahead") << Resolver::Automatic << true << false << false;
    // Nothing in it is entered: its listing is taken, and refused before the first change.
    QTest::newRow("openat2, listed ahead, files only") << Resolver::Automatic << true << true << false;
    QTest::newRow("openat2, listed ahead, files only, for a folder")
        << Resolver::Automatic << true << true << true;
}

// A folder swapped for a link to an outside folder (or another folder) while
// the sweep runs: every operation through it fails and nothing outside changes.
void TestSweepTreeConfinement::swappedForLinkNeverRedirects()
{
    QFETCH(Resolver, resolver);
    QFETCH(bool, ahead);
    QFETCH(bool, filesOnly);
    QFETCH(bool, forFolder);
    TestDir dir;
    if (filesOnly)
        dir.createFile(QStringLiteral("root/victim/thumbs.db"));
    else
        dir.createDir(QStringLiteral("root/victim/inner"));
    dir.createFile(QStringLiteral("outside/canary"), "alive");
    dir.createDir(QStringLiteral("outside/inner"));
    dir.setReadOnly(QStringLiteral("outside/inner"), true);
    PosixFileSystem fs(resolver);
    auto tree = fs.openTree(dir.absolute(QStringLiteral("root")));
    const auto *posixTree = dynamic_cast<const Posix::PosixSweepTree *>(tree.get());
    QVERIFY(posixTree != nullptr);
    if (ahead) {
        tree->setJobs(2);
        QCOMPARE(listing(*tree, dir.absolute(QStringLiteral("root"))).size(), 1);
        // The workers list the folder, and the folder inside it next.
        QTRY_COMPARE(posixTree->listingsAhead(), quint64(filesOnly ? 1 : 2));
    } else {
        QCOMPARE(listing(*tree, dir.absolute(QStringLiteral("root/victim"))).size(), 1);
    }

    QVERIFY(QDir(dir.absolute(QStringLiteral("root/victim"))).removeRecursively());
    if (forFolder)
        dir.createFile(QStringLiteral("root/victim/report.txt"), "kept");
    else
        dir.createSymlink(QStringLiteral("root/victim"), dir.absolute(QStringLiteral("outside")));
    const QStringList before = dir.tree();

    const QString victim = dir.absolute(QStringLiteral("root/victim"));
    const QString inner = victim + QStringLiteral("/inner");
    int error = 0;
    if (filesOnly) {
        QCOMPARE(listing(*tree, victim, &error).keys(), QStringList{QStringLiteral("thumbs.db")});
        QCOMPARE(error, 0);
        QCOMPARE(posixTree->listingsRefused(), quint64(0));
        QCOMPARE(tree->deleteFile(victim, QStringLiteral("thumbs.db")), ESTALE);
    } else {
        QCOMPARE(listing(*tree, victim, &error).size(), 0);
        QVERIFY(error != 0);
    }
    QCOMPARE(posixTree->listingsRefused(), quint64(ahead ? 1 : 0));
    bool readOnly = false;
    QVERIFY(tree->folderReadOnly(inner, readOnly) != 0);
    QVERIFY(tree->clearReadOnly(inner) != 0);
    QVERIFY(tree->clearReadOnly(victim) != 0);
    QVERIFY(tree->deleteFile(victim, QStringLiteral("canary")) != 0);
    QVERIFY(tree->removeFolder(inner) != 0);
    QVERIFY(tree->removeFolder(victim) != 0);

    QCOMPARE(dir.tree(), before);
    QCOMPARE(readTestFile(dir.absolute(QStringLiteral("outside/canary"))), QByteArray("alive"));
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(dir.absolute(QStringLiteral("outside/inner"))).constData(), &st), 0);
    QCOMPARE(st.st_mode & S_IWUSR, 0u);
}

void TestSweepTreeConfinement::unopenableRootFailsEveryCall()
{
    TestDir dir;
    dir.createFile(QStringLiteral("plain"));
    auto missing = systemFileSystem().openTree(dir.absolute(QStringLiteral("missing")));
    QVERIFY(missing != nullptr);
    QCOMPARE(missing->removeFolder(dir.absolute(QStringLiteral("missing"))), ENOENT);
    auto file = systemFileSystem().openTree(dir.absolute(QStringLiteral("plain")));
    bool readOnly = false;
    QCOMPARE(file->folderReadOnly(dir.absolute(QStringLiteral("plain")), readOnly), ENOTDIR);
    QCOMPARE(file->removeFolder(dir.absolute(QStringLiteral("plain"))), ENOTDIR);
    QVERIFY(dir.exists(QStringLiteral("plain")));
}

// A worker lets an empty folder's descriptor go: taking its listing leaves
// the chain holding nothing for it, instead of a level counted but not open.
void TestSweepTreeConfinement::emptyFolderListedAheadHoldsNoDescriptor()
{
    TestDir dir;
    dir.createDir(QStringLiteral("root/empty"));
    auto tree = systemFileSystem().openTree(dir.absolute(QStringLiteral("root")));
    const auto *posixTree = dynamic_cast<const Posix::PosixSweepTree *>(tree.get());
    QVERIFY(posixTree != nullptr);
    tree->setJobs(2);
    QCOMPARE(listing(*tree, dir.absolute(QStringLiteral("root"))).size(), 1);
    QTRY_COMPARE(posixTree->listingsAhead(), quint64(1));
    int error = -1;
    QCOMPARE(listing(*tree, dir.absolute(QStringLiteral("root/empty")), &error).size(), 0);
    QCOMPARE(error, 0);
    QCOMPARE(posixTree->descriptorsHeld(), 0);
    QCOMPARE(tree->removeFolder(dir.absolute(QStringLiteral("root/empty"))), 0);
    QCOMPARE(dir.tree(), QStringList{QStringLiteral("root/")});
}

void TestSweepTreeConfinement::deepChainIsRemovedCompletely_data()
{
    QTest::addColumn<Resolver>("resolver");
    QTest::addColumn<int>("descriptors");
    QTest::newRow("openat2") << Resolver::Automatic << 64;
    QTest::newRow("component walk") << Resolver::Walk << 64;
    QTest::newRow("openat2, 24 descriptors") << Resolver::Automatic << 24;
}

// 5,000 levels: the paths run far past PATH_MAX, and the process may hold
// only a few descriptors. The tree lists every level on the way down and
// removes them all on the way up, as a sweep does, opening each level a few
// times at most, however few descriptors it may hold.
void TestSweepTreeConfinement::deepChainIsRemovedCompletely()
{
    QFETCH(Resolver, resolver);
    QFETCH(int, descriptors);
    constexpr int Depth = 5000;
    TestDir dir;
    dir.createDir(QStringLiteral("root"));
    int fd =
        ::open(QFile::encodeName(dir.absolute(QStringLiteral("root"))).constData(), O_DIRECTORY | O_RDONLY);
    QVERIFY(fd >= 0);
    for (int level = 0; level < Depth; ++level) {
        QCOMPARE(::mkdirat(fd, "d", 0755), 0);
        const int next = ::openat(fd, "d", O_DIRECTORY | O_RDONLY);
        ::close(fd);
        fd = next;
        QVERIFY(fd >= 0);
    }
    ::close(fd);

    const DescriptorLimit limit(descriptors);
    QVERIFY(limit.active());

    PosixFileSystem fs(resolver);
    auto tree = fs.openTree(dir.absolute(QStringLiteral("root")));
    const auto *posixTree = dynamic_cast<const Posix::PosixSweepTree *>(tree.get());
    QVERIFY(posixTree != nullptr);
    QString path = dir.absolute(QStringLiteral("root"));
    for (int level = 0; level <= Depth; ++level) {
        int error = 0;
        const auto entries = listing(*tree, path, &error);
        QCOMPARE(error, 0);
        QCOMPARE(entries.size(), level < Depth ? 1 : 0);
        if (level < Depth)
            path += QStringLiteral("/d");
    }
    for (int level = Depth; level >= 0; --level) {
        QCOMPARE(tree->removeFolder(path), 0);
        path.chop(2);
    }
    QCOMPARE(dir.tree(), QStringList());
    QVERIFY2(posixTree->foldersOpened() <= 4 * Depth,
             qPrintable(QString::number(posixTree->foldersOpened())));
}

void TestSweepTreeConfinement::mountPointIsNeverEntered_data()
{
    QTest::addColumn<Resolver>("resolver");
    QTest::addColumn<bool>("bind");
    QTest::newRow("openat2, another file system") << Resolver::Automatic << false;
    QTest::newRow("component walk, another file system") << Resolver::Walk << false;
    // A bind mount of a folder of the same file system has the same device number.
    QTest::newRow("openat2, bind mount") << Resolver::Automatic << true;
    QTest::newRow("component walk, bind mount") << Resolver::Walk << true;
}

void TestSweepTreeConfinement::mountPointIsNeverEntered()
{
    QFETCH(Resolver, resolver);
    QFETCH(bool, bind);
    TestDir dir;
    const QString mountPoint = dir.createDir(QStringLiteral("root/mnt"));
    const QString outside = dir.createDir(QStringLiteral("outside"));
    const int mounted =
        bind ? ::mount(QFile::encodeName(outside).constData(), QFile::encodeName(mountPoint).constData(),
                       nullptr, MS_BIND, nullptr)
             : ::mount("vacuola-test", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, nullptr);
    if (mounted != 0)
        QSKIP("mounting needs privileges this machine does not give");
    const auto unmount =
        qScopeGuard([&] { ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH); });
    dir.createFile(QStringLiteral("root/mnt/other-fs"), "keep");
    dir.createDir(QStringLiteral("root/mnt/empty"));
    QVERIFY(systemFileSystem().isMountRoot(mountPoint));

    PosixFileSystem fs(resolver);
    auto tree = fs.openTree(dir.absolute(QStringLiteral("root")));
    QCOMPARE(listing(*tree, dir.absolute(QStringLiteral("root"))).value(QStringLiteral("mnt")),
             EntryKind::Folder);
    int error = 0;
    listing(*tree, mountPoint, &error);
    QCOMPARE(error, EXDEV);
    QCOMPARE(tree->removeFolder(mountPoint + QStringLiteral("/empty")), EXDEV);
    QCOMPARE(tree->deleteFile(mountPoint, QStringLiteral("other-fs")), EXDEV);
    QCOMPARE(tree->clearReadOnly(mountPoint), EXDEV);
    QCOMPARE(tree->removeFolder(mountPoint), EBUSY);
    QVERIFY(dir.exists(QStringLiteral("root/mnt/empty")));
    QCOMPARE(readTestFile(mountPoint + QStringLiteral("/other-fs")), QByteArray("keep"));
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestSweepTreeConfinement)
#include "tst_sweeptreeconfinement.moc"
