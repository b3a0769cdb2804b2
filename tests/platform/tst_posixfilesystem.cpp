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

class TestPosixFileSystem final : public QObject
{
    Q_OBJECT

private slots:
    void resolvers_data();
    void listsEntryKinds();
    void listsEntryKinds_data() { resolvers_data(); }
    void listingStopsWhenAsked();
    void listingReadsPastOneBuffer();
    void listingLeavesAccessTimeAlone();
    void readOnlyMappingAndClearing();
    void readOnlyMappingAndClearing_data() { resolvers_data(); }
    void deleteFileOnlyRegularFiles();
    void deleteFileOnlyRegularFiles_data() { resolvers_data(); }
    void removeFolderIsRmdir();
    void removeFolderIsRmdir_data() { resolvers_data(); }
    void removesTheRootItself();
    void unreadableSweptFolderIsStillRemoved_data() { resolvers_data(); }
    void unreadableSweptFolderIsStillRemoved();
    void errorMessageIsTrimmed();
};

void TestPosixFileSystem::resolvers_data()
{
    QTest::addColumn<Resolver>("resolver");
    QTest::newRow("openat2") << Resolver::Automatic;
    QTest::newRow("component walk") << Resolver::Walk;
}

void TestPosixFileSystem::listsEntryKinds()
{
    QFETCH(Resolver, resolver);
    TestDir dir;
    dir.createDir(QStringLiteral("root/sub"));
    dir.createFile(QStringLiteral("root/file.txt"));
    dir.createDir(QStringLiteral("outside"));
    dir.createSymlink(QStringLiteral("root/link"), dir.absolute(QStringLiteral("outside")));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.absolute(QStringLiteral("root/fifo"))).constData(), 0644), 0);
    const QByteArray undecodable = QFile::encodeName(dir.absolute(QStringLiteral("root/"))) + "bad\xff\xfe";
    QCOMPARE(::mkdir(undecodable.constData(), 0755), 0);
    // QTemporaryDir cannot name it to take it away.
    const auto removeUndecodable = qScopeGuard([&] { ::rmdir(undecodable.constData()); });
    dir.createDir(QStringLiteral("root/表示"));

    PosixFileSystem fs(resolver);
    auto tree = fs.openTree(dir.absolute(QStringLiteral("root")));
    int error = -1;
    const auto entries = listing(*tree, dir.absolute(QStringLiteral("root")), &error);
    QCOMPARE(error, 0);
    QCOMPARE(entries.size(), 6);
    QCOMPARE(entries.value(QStringLiteral("sub")), EntryKind::Folder);
    QCOMPARE(entries.value(QStringLiteral("表示")), EntryKind::Folder);
    QCOMPARE(entries.value(QStringLiteral("file.txt")), EntryKind::File);
    QCOMPARE(entries.value(QStringLiteral("link")), EntryKind::Other);
    QCOMPARE(entries.value(QStringLiteral("fifo")), EntryKind::Other);
    // The undecodable folder is content: its name cannot be addressed again.
    int undecodableSeen = 0;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it.key().startsWith(QStringLiteral("bad"))) {
            ++undecodableSeen;
            QCOMPARE(it.value(), EntryKind::Other);
        }
    }
    QCOMPARE(undecodableSeen, 1);
    QCOMPARE(listing(*tree, dir.absolute(QStringLiteral("root/表示")), &error).size(), 0);
    QCOMPARE(error, 0);
    listing(*tree, dir.absolute(QStringLiteral("root/link")), &error);
    QVERIFY2(error == ELOOP || error == ENOTDIR, qPrintable(QString::number(error)));
    listing(*tree, dir.absolute(QStringLiteral("root/missing")), &error);
    QCOMPARE(error, ENOENT);
}

void TestPosixFileSystem::listingStopsWhenAsked()
{
    TestDir dir;
    for (int i = 0; i < 50; ++i)
        dir.createDir(QStringLiteral("d%1").arg(i));
    auto tree = systemFileSystem().openTree(dir.absolute());
    int seen = 0;
    QCOMPARE(tree->listFolder(
                 dir.absolute(), [&](const FolderEntry &) { return ++seen < 3; }, nullptr),
             0);
    QCOMPARE(seen, 3);
}

// Names long enough that the folder takes several reads, the last one short.
void TestPosixFileSystem::listingReadsPastOneBuffer()
{
    TestDir dir;
    const QString stem(240, QLatin1Char('n'));
    for (int i = 0; i < 700; ++i)
        dir.createFile(stem + QString::number(i));
    auto tree = systemFileSystem().openTree(dir.absolute());
    int error = -1;
    QCOMPARE(listing(*tree, dir.absolute(), &error).size(), 700);
    QCOMPARE(error, 0);
}

void TestPosixFileSystem::listingLeavesAccessTimeAlone()
{
    // A sweep lists every folder of a tree; the folders it keeps must not look read.
    TestDir dir;
    const QByteArray folder = QFile::encodeName(dir.createDir(QStringLiteral("kept")));
    const struct timespec times[2] = {{1000000000, 0}, {1500000000, 0}}; // access before modification
    QCOMPARE(::utimensat(AT_FDCWD, folder.constData(), times, 0), 0);
    auto tree = systemFileSystem().openTree(dir.absolute());
    int error = -1;
    listing(*tree, dir.absolute(QStringLiteral("kept")), &error);
    QCOMPARE(error, 0);
    struct stat st;
    QCOMPARE(::stat(folder.constData(), &st), 0);
    QCOMPARE(qint64(st.st_atim.tv_sec), qint64(1000000000));
}

void TestPosixFileSystem::readOnlyMappingAndClearing()
{
    QFETCH(Resolver, resolver);
    TestDir dir;
    dir.createDir(QStringLiteral("locked"));
    dir.createDir(QStringLiteral("open"));
    dir.createFile(QStringLiteral("file"));
    dir.setReadOnly(QStringLiteral("locked"), true);
    PosixFileSystem fs(resolver);
    auto tree = fs.openTree(dir.absolute());

    bool readOnly = false;
    QCOMPARE(tree->folderReadOnly(dir.absolute(QStringLiteral("locked")), readOnly), 0);
    QVERIFY(readOnly);
    QCOMPARE(tree->folderReadOnly(dir.absolute(QStringLiteral("open")), readOnly), 0);
    QVERIFY(!readOnly);
    QCOMPARE(tree->folderReadOnly(dir.absolute(QStringLiteral("file")), readOnly), ENOTDIR);
    QCOMPARE(tree->folderReadOnly(dir.absolute(QStringLiteral("gone")), readOnly), ENOENT);
    QVERIFY(readOnly);

    // A listing reads the same mapping from its own descriptor; a failed one leaves the status alone.
    const auto ignore = [](const FolderEntry &) {
        return true;
    };
    FolderStatus status;
    QCOMPARE(tree->listFolder(dir.absolute(QStringLiteral("locked")), ignore, &status), 0);
    QCOMPARE(status.error, 0);
    QVERIFY(status.readOnly);
    QCOMPARE(tree->listFolder(dir.absolute(QStringLiteral("open")), ignore, &status), 0);
    QVERIFY(!status.readOnly);
    status.error = -1;
    QCOMPARE(tree->listFolder(dir.absolute(QStringLiteral("gone")), ignore, &status), ENOENT);
    QCOMPARE(status.error, -1);

    struct stat before;
    QCOMPARE(::stat(QFile::encodeName(dir.absolute(QStringLiteral("locked"))).constData(), &before), 0);
    QCOMPARE(tree->clearReadOnly(dir.absolute(QStringLiteral("locked"))), 0);
    struct stat after;
    QCOMPARE(::stat(QFile::encodeName(dir.absolute(QStringLiteral("locked"))).constData(), &after), 0);
    QCOMPARE(after.st_mode & 07777, (before.st_mode & 07777) | S_IWUSR);
    QCOMPARE(tree->folderReadOnly(dir.absolute(QStringLiteral("locked")), readOnly), 0);
    QVERIFY(!readOnly);

    // The root itself is read through its own descriptor.
    dir.setReadOnly(QString(), true);
    QCOMPARE(tree->folderReadOnly(dir.absolute(), readOnly), 0);
    QVERIFY(readOnly);
    QCOMPARE(tree->clearReadOnly(dir.absolute()), 0);
    QCOMPARE(tree->folderReadOnly(dir.absolute(), readOnly), 0);
    QVERIFY(!readOnly);
}

void TestPosixFileSystem::deleteFileOnlyRegularFiles()
{
    QFETCH(Resolver, resolver);
    TestDir dir;
    dir.createFile(QStringLiteral("root/sub/Thumbs.db"));
    dir.createDir(QStringLiteral("root/sub/desktop.ini"));
    dir.createFile(QStringLiteral("outside/target"), "keep");
    dir.createSymlink(QStringLiteral("root/sub/link"), dir.absolute(QStringLiteral("outside/target")));
    PosixFileSystem fs(resolver);
    auto tree = fs.openTree(dir.absolute(QStringLiteral("root")));
    const QString sub = dir.absolute(QStringLiteral("root/sub"));

    QCOMPARE(tree->deleteFile(sub, QStringLiteral("desktop.ini")), EISDIR);
    QCOMPARE(tree->deleteFile(sub, QStringLiteral("link")), EPERM);
    QCOMPARE(tree->deleteFile(sub, QStringLiteral("../sub/Thumbs.db")), EINVAL);
    QCOMPARE(tree->deleteFile(sub, QStringLiteral("..")), EINVAL);
    QCOMPARE(tree->deleteFile(sub, QStringLiteral("thumbs.db")), ENOENT);
    QCOMPARE(tree->deleteFile(sub, QStringLiteral("Thumbs.db")), 0);
    QCOMPARE(dir.tree(),
             QStringList({QStringLiteral("outside/"), QStringLiteral("outside/target"),
                          QStringLiteral("root/"), QStringLiteral("root/sub/"),
                          QStringLiteral("root/sub/desktop.ini/"), QStringLiteral("root/sub/link")}));
    QCOMPARE(readTestFile(dir.absolute(QStringLiteral("outside/target"))), QByteArray("keep"));
}

void TestPosixFileSystem::removeFolderIsRmdir()
{
    QFETCH(Resolver, resolver);
    TestDir dir;
    dir.createFile(QStringLiteral("full/a/file"));
    dir.createDir(QStringLiteral("full/empty"));
    dir.createDir(QStringLiteral("full/outside"));
    dir.createSymlink(QStringLiteral("full/linked"), dir.absolute(QStringLiteral("full/outside")));
    PosixFileSystem fs(resolver);
    auto tree = fs.openTree(dir.absolute(QStringLiteral("full")));

    QCOMPARE(tree->removeFolder(dir.absolute(QStringLiteral("full/a"))), ENOTEMPTY);
    QCOMPARE(tree->removeFolder(dir.absolute(QStringLiteral("full/linked"))), ENOTDIR);
    QCOMPARE(tree->removeFolder(dir.absolute(QStringLiteral("full/empty"))), 0);
    QCOMPARE(tree->removeFolder(dir.absolute(QStringLiteral("full/empty"))), ENOENT);
    QVERIFY(dir.exists(QStringLiteral("full/a/file")));
    QVERIFY(dir.exists(QStringLiteral("full/linked")));
    QVERIFY(dir.exists(QStringLiteral("full/outside")));
    QVERIFY(!dir.exists(QStringLiteral("full/empty")));
}

void TestPosixFileSystem::removesTheRootItself()
{
    TestDir dir;
    dir.createDir(QStringLiteral("root"));
    dir.createFile(QStringLiteral("busy/file"));
    auto tree = systemFileSystem().openTree(dir.absolute(QStringLiteral("root")));
    auto busy = systemFileSystem().openTree(dir.absolute(QStringLiteral("busy")));
    QCOMPARE(busy->removeFolder(dir.absolute(QStringLiteral("busy"))), ENOTEMPTY);
    QCOMPARE(tree->removeFolder(dir.absolute(QStringLiteral("root"))), 0);
    QVERIFY(!dir.exists(QStringLiteral("root")));

    // Another folder now bears the root's name: it is not the swept one.
    dir.createDir(QStringLiteral("root"));
    QCOMPARE(tree->removeFolder(dir.absolute(QStringLiteral("root"))), ESTALE);
    QVERIFY(dir.exists(QStringLiteral("root")));
}

void TestPosixFileSystem::unreadableSweptFolderIsStillRemoved()
{
    // As a user who may not read the swept folder: its listing fails, but its
    // mode can be read and it goes like any other folder that cannot be listed.
    QFETCH(Resolver, resolver);
    if (::geteuid() != 0)
        QSKIP("acting as another user needs root");
    TestDir dir;
    const QString top = dir.createDir(QStringLiteral("top"));
    QCOMPARE(::chmod(QFile::encodeName(dir.absolute()).constData(), 0777), 0);
    QCOMPARE(::chmod(QFile::encodeName(top).constData(), 0333), 0);
    const uid_t nobody = 65534;
    QCOMPARE(::seteuid(nobody), 0);
    {
        const auto restore = qScopeGuard([] { QCOMPARE(::seteuid(0), 0); });
        PosixFileSystem fs(resolver);
        auto tree = fs.openTree(top);
        int error = 0;
        listing(*tree, top, &error);
        QCOMPARE(error, EACCES);
        bool readOnly = true;
        QCOMPARE(tree->folderReadOnly(top, readOnly), 0);
        QVERIFY(!readOnly);
        QCOMPARE(tree->removeFolder(top), 0);
    }
    QVERIFY(!dir.exists(QStringLiteral("top")));
}

void TestPosixFileSystem::errorMessageIsTrimmed()
{
    // The user's locale is taken once; the test fixes it before the first message.
    qputenv("LC_ALL", "C.UTF-8");
    QCOMPARE(errorMessage(ENOENT), QStringLiteral("No such file or directory"));
    QCOMPARE(errorMessage(ENOTEMPTY), QStringLiteral("Directory not empty"));
    QVERIFY(errorMessage(123456).size() <= 255);
    QVERIFY(!errorMessage(123456).isEmpty());
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestPosixFileSystem)
#include "tst_posixfilesystem.moc"
