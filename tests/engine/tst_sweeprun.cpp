#include "platform/posix/PosixFileSystem.h"
#include "tests/engine/EngineRig.h"
#include "tests/support/TestHelpers.h"

#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Vacuola::Test {

namespace {

const QString placeholder = QStringLiteral("検索フォルダを選択して下さい");

// Builds a chain of `depth` folders named "d" below `base` without ever using a
// path longer than one component, so the depth is not limited by PATH_MAX.
bool makeDeepChain(const QString &base, int depth)
{
    int fd = ::open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    for (int i = 0; i < depth; ++i) {
        if (::mkdirat(fd, "d", 0755) != 0 && errno != EEXIST)
            break;
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        ::close(fd);
        if (next < 0)
            return false;
        fd = next;
    }
    ::close(fd);
    return true;
}

// Removes whatever is left of such a chain, deepest first, again one component at a time.
void removeDeepChain(const QString &base)
{
    std::vector<int> fds;
    int fd = ::open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY);
    while (fd >= 0) {
        fds.push_back(fd);
        fd = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    }
    while (!fds.empty()) {
        const int parent = fds.back();
        fds.pop_back();
        ::unlinkat(parent, "d", AT_REMOVEDIR);
        ::close(parent);
    }
}

} // namespace

class SweepRunTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    // The walk
    void emptyFolderIsItselfRemoved_data();
    void emptyFolderIsItselfRemoved();
    void treeShapes_data();
    void treeShapes();
    void fifoIsContent();
    void deepTreeSweepsWithoutRecursion();

    // Start, refusal and finish
    void startAndFinishOrder();
    void refusedStartKeepsPreviousCounters();
    void summaryForms_data();
    void summaryForms();
    void statusShowsEachFolder();

    // Folders swapped under the sweep
    void folderSwappedForLinkLeavesOutsideAlone_data();
    void folderSwappedForLinkLeavesOutsideAlone();
    void unlistableFolderIsReportedAndCounted();
    void folderMovedOutIsLeft();
};

void SweepRunTest::init()
{
    useJapaneseLocale();
}

void SweepRunTest::emptyFolderIsItselfRemoved_data()
{
    QTest::addColumn<bool>("otherFolder");
    QTest::newRow("only folder registered") << false;
    QTest::newRow("another folder registered") << true;
}

void SweepRunTest::emptyFolderIsItselfRemoved()
{
    QFETCH(bool, otherFolder);
    EngineRig rig;
    if (otherFolder)
        rig.searchFolders.appendStored(rig.area.createDir(QStringLiteral("other")));
    rig.sweep();

    QVERIFY(!rig.area.exists(QStringLiteral("root")));
    QCOMPARE(rig.engine.delCount(), 1);
    QCOMPARE(rig.window.status, QStringLiteral("検索終了 1件削除しました"));
    QVERIFY(!rig.searchList.items.contains(rig.root()));
    QCOMPARE(rig.searchList.items.first(), placeholder);
    QCOMPARE(rig.searchList.selected, 0);
    QCOMPARE(rig.searchList.hintText, placeholder);
    QVERIFY(!rig.window.startEnabled);
    QCOMPARE(rig.window.delFolderEnabled, otherFolder);
    QVERIFY(!rig.engine.running());
    QVERIFY(!rig.engine.busy());
}

void SweepRunTest::treeShapes_data()
{
    QTest::addColumn<QStringList>("dirs");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("unchecked");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<int>("removed");

    const QStringList none;
    QTest::newRow("nested empty folders go bottom-up, root last")
        << QStringList{QStringLiteral("a/b/c"), QStringLiteral("a/d"), QStringLiteral("e")} << none << none
        << none << 5 + 1;
    QTest::newRow("content file keeps its ancestors, empties below still go")
        << QStringList{QStringLiteral("a/b/x"), QStringLiteral("a/c")}
        << QStringList{QStringLiteral("a/b/keep.txt")} << none
        << QStringList{QStringLiteral("a/"), QStringLiteral("a/b/"), QStringLiteral("a/b/keep.txt")} << 2;
    QTest::newRow("checked management files at any depth")
        << QStringList{QStringLiteral("a/b")}
        << QStringList{QStringLiteral("a/thumbs.db"), QStringLiteral("a/b/desktop.ini"),
                       QStringLiteral("desktop.ini")}
        << none << none << 3;
    QTest::newRow("unchecked management file is content")
        << none << QStringList{QStringLiteral("a/thumbs.db")} << QStringList{QStringLiteral("thumbs.db")}
        << QStringList{QStringLiteral("a/"), QStringLiteral("a/thumbs.db")} << 0;
    QTest::newRow("name matched after lower-casing")
        << none << QStringList{QStringLiteral("a/Thumbs.DB"), QStringLiteral("a/thumbs.db")} << none << none
        << 2;
    QTest::newRow("hidden file is content")
        << none << QStringList{QStringLiteral("a/.hidden")} << none
        << QStringList{QStringLiteral("a/"), QStringLiteral("a/.hidden")} << 0;
    QTest::newRow("folder named like a management file is walked")
        << QStringList{QStringLiteral("thumbs.db")} << none << none << none << 2;
    QTest::newRow("content file after subfolders still found")
        << QStringList{QStringLiteral("a/s1"), QStringLiteral("a/s2")}
        << QStringList{QStringLiteral("a/z.txt")} << none
        << QStringList{QStringLiteral("a/"), QStringLiteral("a/z.txt")} << 2;
    // A waiting folder counts up to 30 subfolders; one with more is listed again.
    QStringList thirty;
    for (int i = 0; i < 30; ++i)
        thirty.append(QStringLiteral("a/s%1").arg(i, 2, 10, QLatin1Char('0')));
    QTest::newRow("30 subfolders counted off, the folder removed at once")
        << thirty << none << none << none << 30 + 1 + 1;
    QTest::newRow("31 subfolders, one kept: listed again, kept")
        << (thirty << QStringLiteral("a/s30")) << QStringList{QStringLiteral("a/s30/keep.txt")} << none
        << QStringList{QStringLiteral("a/"), QStringLiteral("a/s30/"), QStringLiteral("a/s30/keep.txt")}
        << 30;
    QTest::newRow("names beyond Latin-1 between ASCII and Latin-1 ones")
        << QStringList{QStringLiteral("a/表示/bcd/日本"), QStringLiteral("é/表"), QStringLiteral("é/abc/示"),
                       QStringLiteral("é/def/x")}
        << QStringList{QStringLiteral("a/表示/keep.txt")} << none
        << QStringList{QStringLiteral("a/"), QStringLiteral("a/表示/"), QStringLiteral("a/表示/keep.txt")}
        << 8;
}

void SweepRunTest::treeShapes()
{
    QFETCH(QStringList, dirs);
    QFETCH(QStringList, files);
    QFETCH(QStringList, unchecked);
    QFETCH(QStringList, remaining);
    QFETCH(int, removed);

    EngineRig rig;
    rig.checkNames({QStringLiteral("desktop.ini"), QStringLiteral("thumbs.db")});
    for (const QString &name : unchecked)
        rig.files.setChecked(rig.indexOf(name), false);
    for (const QString &dir : dirs)
        rig.area.createDir(QStringLiteral("root/") + dir);
    for (const QString &file : files)
        rig.area.createFile(QStringLiteral("root/") + file, "x");
    rig.sweep();

    QCOMPARE(rig.rootTree(), remaining);
    QCOMPARE(rig.engine.delCount(), removed);
    QCOMPARE(rig.engine.errCount(), 0);
    QCOMPARE(rig.area.exists(QStringLiteral("root")), !remaining.isEmpty());
    QCOMPARE(rig.window.counter, QString::number(removed));
    QVERIFY(rig.window.informations.isEmpty());
}

void SweepRunTest::fifoIsContent()
{
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a"));
    QCOMPARE(::mkfifo(QFile::encodeName(rig.at(QStringLiteral("a/pipe"))).constData(), 0644), 0);
    rig.area.createSymlink(QStringLiteral("root/b/dangling"), QStringLiteral("/nonexistent/target"));
    rig.sweep();
    QCOMPARE(rig.rootTree(), (QStringList{QStringLiteral("a/"), QStringLiteral("a/pipe"),
                                          QStringLiteral("b/"), QStringLiteral("b/dangling")}));
    QCOMPARE(rig.engine.delCount(), 0);
}

void SweepRunTest::deepTreeSweepsWithoutRecursion()
{
    EngineRig rig;
    rig.window.setMarked(OptionMark::NonStop, true);
    rig.window.setMarked(OptionMark::DisableReadOnly, true);
    constexpr int depth = 5000;
    QVERIFY(makeDeepChain(rig.root(), depth));
    // Whatever a failure leaves must go before the scratch folder can.
    const auto cleanUp = qScopeGuard([&] { removeDeepChain(rig.root()); });
    // The process may hold only 64 descriptors: the walk keeps within its bound.
    {
        const DescriptorLimit limit(64);
        QVERIFY(limit.active());
        rig.sweep();
    }
    // Paths run far past the system's path-length limit; every folder is
    // reached from its parent, so the whole chain goes, the root last.
    QCOMPARE(rig.window.status, QStringLiteral("検索終了 5001件削除しました"));
    QCOMPARE(rig.engine.errCount(), 0);
    QVERIFY(!rig.area.exists(QStringLiteral("root")));
    QVERIFY(!rig.engine.busy());
}

void SweepRunTest::startAndFinishOrder()
{
    EngineRig rig;
    rig.area.createFile(QStringLiteral("root/keep.txt"));
    rig.window.events.clear();
    rig.sweep();

    const QStringList expected{
        QStringLiteral("caption:中止(&P)"),
        QStringLiteral("lock:on"),
        QStringLiteral("counter:0"),
        QStringLiteral("pump"),
        QStringLiteral("status:") + rig.root(),
        QStringLiteral("status:検索終了 0件削除しました"),
        QStringLiteral("caption:開始(&S)"),
        QStringLiteral("start:on"),
        QStringLiteral("lock:off"),
    };
    QCOMPARE(rig.window.events, expected);
    QCOMPARE(rig.searchList.selected, 1);
    // Nothing removed and nothing failed: no log file at all.
    QVERIFY(rig.logBytes(rig.clock.now().date()).isEmpty());
}

void SweepRunTest::refusedStartKeepsPreviousCounters()
{
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a"));
    rig.area.createDir(QStringLiteral("root/b"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.sweep();
    QCOMPARE(rig.engine.delCount(), 2);

    const QString gone = rig.area.createDir(QStringLiteral("gone"));
    rig.searchFolders.appendStored(gone);
    rig.searchList.select(int(rig.searchList.items.indexOf(gone)));
    QVERIFY(QDir(gone).removeRecursively());
    rig.window.events.clear();
    rig.engine.VacuolaExecute();

    QCOMPARE(rig.window.status, QStringLiteral("フォルダが存在しません"));
    QVERIFY(!rig.searchList.items.contains(gone));
    QCOMPARE(rig.searchList.selected, 0);
    QVERIFY(!rig.window.startEnabled);
    QVERIFY(!rig.window.events.contains(QStringLiteral("caption:中止(&P)")));
    QCOMPARE(rig.engine.delCount(), 2);
    QCOMPARE(rig.window.counter, QStringLiteral("2"));
    // LogList still holds the block of the sweep before.
    const LogBlock block = parseLogBlock(rig.engine.logList());
    QVERIFY(block.complete);
    QCOMPARE(block.folders, (QStringList{rig.at(QStringLiteral("a")), rig.at(QStringLiteral("b"))}));
}

void SweepRunTest::summaryForms_data()
{
    QTest::addColumn<bool>("stop");
    QTest::addColumn<bool>("fail");
    QTest::addColumn<QString>("summary");

    QTest::newRow("finished") << false << false << QStringLiteral("検索終了 2件削除しました");
    QTest::newRow("finished with errors") << false << true << QStringLiteral("検索終了 削除1件、エラー1件");
    QTest::newRow("stopped") << true << false << QStringLiteral("検索中止 2件削除しました");
    QTest::newRow("stopped with errors") << true << true << QStringLiteral("検索中止 削除1件、エラー1件");
}

void SweepRunTest::summaryForms()
{
    QFETCH(bool, stop);
    QFETCH(bool, fail);
    QFETCH(QString, summary);

    EngineRig rig;
    rig.window.setMarked(OptionMark::NonStop, true);
    // root holds a/ and b/ (both empty) and keep/x; a stop after both are
    // handled keeps root's pending entry and keep/ from being visited twice.
    rig.area.createDir(QStringLiteral("root/a"));
    rig.area.createDir(QStringLiteral("root/b"));
    if (fail)
        rig.fs.fail(FsOp::RemoveFolder, rig.at(QStringLiteral("b")), EBUSY);
    rig.area.createFile(QStringLiteral("root/c/keep"));
    int handled = 0;
    rig.window.onPump = [&] {
        handled = rig.engine.delCount() + rig.engine.errCount();
        if (stop && handled == 2 && rig.engine.running())
            rig.engine.VacuolaExecute();
    };
    rig.sweep();
    QCOMPARE(rig.window.status, summary);
    QCOMPARE(rig.area.exists(QStringLiteral("root")), true);
}

void SweepRunTest::statusShowsEachFolder()
{
    EngineRig rig;
    rig.area.createDir(QStringLiteral("root/a/b"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.sweep();
    const QStringList &history = rig.window.statusHistory;
    QVERIFY(history.contains(rig.root()));
    QVERIFY(history.contains(rig.at(QStringLiteral("a"))));
    QVERIFY(history.contains(rig.at(QStringLiteral("a/b"))));
    // The second phase shows the folder it tests again.
    QCOMPARE(history.count(rig.at(QStringLiteral("a"))), 2);
}

void SweepRunTest::folderSwappedForLinkLeavesOutsideAlone_data()
{
    QTest::addColumn<bool>("walk");
    QTest::addColumn<QString>("swapped");
    QTest::addColumn<bool>("asking");
    for (const bool walk : {false, true}) {
        const char *resolver = walk ? "component walk" : "openat2";
        QTest::addRow("%s, the folder itself", resolver) << walk << QStringLiteral("a/b") << false;
        QTest::addRow("%s, its parent", resolver) << walk << QStringLiteral("a") << false;
    }
    // No read-only question for what is no folder: its removal fails.
    QTest::addRow("openat2, the folder itself, question on") << false << QStringLiteral("a/b") << true;
}

void SweepRunTest::folderSwappedForLinkLeavesOutsideAlone()
{
    QFETCH(bool, walk);
    QFETCH(QString, swapped);
    QFETCH(bool, asking);
    PosixFileSystem real(walk ? PosixFileSystem::Resolver::Walk : PosixFileSystem::Resolver::Automatic);
    EngineRig rig(real);
    rig.checkNames({QStringLiteral("thumbs.db")});
    rig.window.setMarked(OptionMark::NonStop, true);
    rig.window.setMarked(OptionMark::DisableReadOnly, !asking);
    rig.area.createDir(QStringLiteral("root/a/b"));
    rig.area.createFile(QStringLiteral("root/keep"));
    // The outside folder looks like what it replaces: the sweep would find b and its thumbs.db there.
    rig.area.createFile(QStringLiteral("outside/thumbs.db"), "thumbnail");
    rig.area.createFile(QStringLiteral("outside/b/thumbs.db"), "thumbnail");
    rig.area.createFile(QStringLiteral("outside/canary"), "alive");
    const QString outside = rig.area.absolute(QStringLiteral("outside"));
    const QStringList before = rig.area.tree();

    bool swappedNow = false;
    rig.window.onPump = [&] {
        // a is listed, b is not yet: b, or a that holds it, becomes a link to the outside folder.
        if (rig.window.status == rig.at(QStringLiteral("a")) && !swappedNow) {
            swappedNow = true;
            QVERIFY(QDir(rig.at(swapped)).removeRecursively());
            rig.area.createSymlink(QStringLiteral("root/") + swapped, outside);
        }
    };
    rig.sweep();

    QCOMPARE(rig.area.tree().filter(QStringLiteral("outside")), before.filter(QStringLiteral("outside")));
    QVERIFY(QFileInfo(rig.at(swapped)).isSymLink());
    QCOMPARE(readTestFile(rig.area.absolute(QStringLiteral("outside/canary"))), QByteArray("alive"));
    // b failed (it is no longer a folder of the tree); the link keeps its folder.
    QVERIFY(rig.engine.errCount() >= 1);
    QVERIFY(rig.area.exists(QStringLiteral("root/a")));
    if (asking) {
        QVERIFY(rig.window.questions.isEmpty());
        QCOMPARE(
            parseLogBlock(rig.engine.logList()).folders,
            (QStringList{rig.at(QStringLiteral("a")) +
                             QStringLiteral(" ◆ フォルダ削除エラー：(39)Directory not empty"),
                         rig.at(swapped) + QStringLiteral(" ◆ フォルダ削除エラー：(20)Not a directory")}));
    }
}

void SweepRunTest::unlistableFolderIsReportedAndCounted()
{
    EngineRig rig;
    rig.area.createFile(QStringLiteral("root/a/content"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.fs.fail(FsOp::ListFolder, rig.at(QStringLiteral("a")), EACCES);
    rig.sweep();
    // The listing failed, so a counts as empty; its removal fails on the content.
    QVERIFY(rig.area.exists(QStringLiteral("root/a/content")));
    QCOMPARE(rig.engine.errCount(), 1);
    QCOMPARE(rig.window.informations.size(), 1);
    QVERIFY(rig.window.informations.first().startsWith(QStringLiteral("フォルダを削除しようとしましたが")));
}

void SweepRunTest::folderMovedOutIsLeft()
{
    EngineRig rig;
    rig.engine.setMoveCheckInterval(0);
    rig.window.setMarked(OptionMark::NonStop, true);
    rig.area.createDir(QStringLiteral("root/a/b/c"));
    rig.area.createDir(QStringLiteral("root/a/e"));
    rig.area.createFile(QStringLiteral("root/keep"));
    rig.area.createDir(QStringLiteral("outside"));
    bool moved = false;
    rig.window.onPump = [&] {
        // The walk pauses with a listed and held, before anything below it: a goes elsewhere.
        if (!moved && rig.window.status == rig.at(QStringLiteral("a"))) {
            moved = true;
            QVERIFY(
                QDir().rename(rig.at(QStringLiteral("a")), rig.area.absolute(QStringLiteral("outside/a"))));
        }
    };
    rig.sweep();
    QVERIFY(moved);
    QCOMPARE(
        rig.area.tree().filter(QStringLiteral("outside")),
        (QStringList{QStringLiteral("outside/"), QStringLiteral("outside/a/"), QStringLiteral("outside/a/b/"),
                     QStringLiteral("outside/a/b/c/"), QStringLiteral("outside/a/e/")}));
    QCOMPARE(parseLogBlock(rig.engine.logList()).folders,
             QStringList{rig.at(QStringLiteral("a")) +
                         QStringLiteral(" ◆ フォルダ削除エラー：(2)No such file or directory")});
    QCOMPARE(rig.window.status, QStringLiteral("検索終了 削除0件、エラー1件"));
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::SweepRunTest)
#include "tst_sweeprun.moc"
