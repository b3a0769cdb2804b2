#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestDir.h"
#include "tests/support/TestHelpers.h"

#include <QTest>

#include <cerrno>

namespace Vacuola::Test {

class TestFaultyFileSystem final : public QObject
{
    Q_OBJECT

private slots:
    void rulesCountDownAndMatchPaths();
    void treeCallsAreWrappedAndRecorded();
    void partialAppendIsCutBack();
    void overridesOfPlatformAnswers();
};

void TestFaultyFileSystem::rulesCountDownAndMatchPaths()
{
    TestDir dir;
    const QString a = dir.createFile(QStringLiteral("a"), "A");
    const QString b = dir.createFile(QStringLiteral("b"), "B");
    FaultyFileSystem fs;
    fs.fail(FsOp::ReadFile, a, EIO, 2);
    fs.failAll(FsOp::DeleteFile, EACCES);
    QByteArray bytes;
    QCOMPARE(fs.readFile(a, bytes), EIO);
    QCOMPARE(fs.readFile(b, bytes), 0);
    QCOMPARE(bytes, QByteArray("B"));
    QCOMPARE(fs.readFile(a, bytes), EIO);
    QCOMPARE(fs.readFile(a, bytes), 0);
    QCOMPARE(bytes, QByteArray("A"));
    QCOMPARE(fs.deleteFile(a), EACCES);
    QCOMPARE(fs.deleteFile(b), EACCES);
    QVERIFY(dir.exists(QStringLiteral("a")));
    fs.clearFaults();
    QCOMPARE(fs.deleteFile(b), 0);
    QVERIFY(!dir.exists(QStringLiteral("b")));
    QCOMPARE(fs.calls, QStringList({QStringLiteral("ReadFile ") + a, QStringLiteral("ReadFile ") + b,
                                    QStringLiteral("ReadFile ") + a, QStringLiteral("ReadFile ") + a,
                                    QStringLiteral("DeleteFile ") + a, QStringLiteral("DeleteFile ") + b,
                                    QStringLiteral("DeleteFile ") + b}));
}

void TestFaultyFileSystem::treeCallsAreWrappedAndRecorded()
{
    TestDir dir;
    dir.createFile(QStringLiteral("root/sub/thumbs.db"));
    dir.createDir(QStringLiteral("root/empty"));
    const QString root = dir.absolute(QStringLiteral("root"));
    const QString sub = dir.absolute(QStringLiteral("root/sub"));
    const QString empty = dir.absolute(QStringLiteral("root/empty"));
    FaultyFileSystem fs;
    fs.fail(FsOp::DeleteInFolder, sub + QStringLiteral("/thumbs.db"), EBUSY, 1);
    fs.fail(FsOp::RemoveFolder, empty, EPERM);
    fs.fail(FsOp::FolderReadOnly, empty, EIO);
    auto tree = fs.openTree(root);

    QCOMPARE(tree->deleteFile(sub, QStringLiteral("thumbs.db")), EBUSY);
    QVERIFY(dir.exists(QStringLiteral("root/sub/thumbs.db")));
    QCOMPARE(tree->deleteFile(sub, QStringLiteral("thumbs.db")), 0);
    QCOMPARE(tree->removeFolder(empty), EPERM);
    QVERIFY(dir.exists(QStringLiteral("root/empty")));
    bool readOnly = false;
    QCOMPARE(tree->folderReadOnly(empty, readOnly), EIO);
    QVERIFY(readOnly);
    int listed = 0;
    QCOMPARE(tree->listFolder(
                 root, [&](const FolderEntry &) { return ++listed > 0; }, nullptr),
             0);
    QCOMPARE(listed, 2);
    QCOMPARE(fs.calls,
             QStringList({QStringLiteral("DeleteInFolder ") + sub + QStringLiteral("/thumbs.db"),
                          QStringLiteral("DeleteInFolder ") + sub + QStringLiteral("/thumbs.db"),
                          QStringLiteral("RemoveFolder ") + empty, QStringLiteral("FolderReadOnly ") + empty,
                          QStringLiteral("ListFolder ") + root}));
}

void TestFaultyFileSystem::partialAppendIsCutBack()
{
    TestDir dir;
    const QString log = dir.createFile(QStringLiteral("day.log"), "old\r\n");
    FaultyFileSystem fs;
    fs.failAppendAfter(3, ENOSPC);
    QCOMPARE(fs.appendToFile(log, "abcdef"), ENOSPC);
    QCOMPARE(fs.appendToFile(log, "XY"), 0);
    QCOMPARE(readTestFile(log), QByteArray("old\r\nXY"));
}

void TestFaultyFileSystem::overridesOfPlatformAnswers()
{
    TestDir dir;
    FaultyFileSystem fs;
    QVERIFY(!fs.isMountRoot(dir.absolute()));
    fs.mountRoots << dir.absolute();
    fs.opticalDiscs << dir.absolute();
    QVERIFY(fs.isMountRoot(dir.absolute()));
    QVERIFY(fs.isOpticalDisc(dir.absolute()));
    QVERIFY(fs.calls.isEmpty());
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestFaultyFileSystem)
#include "tst_faultyfilesystem.moc"
