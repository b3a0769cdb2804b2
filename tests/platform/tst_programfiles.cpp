#include "platform/posix/PosixFileSystem.h"
#include "tests/support/TestDir.h"
#include "tests/support/TestHelpers.h"

#include <QFile>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Vacuola::Test {

namespace {

constexpr int Blocked = -1;

// Runs a call in a child process, so that a call that blocks fails the test
// (after ten seconds) instead of hanging it. The child's exit status is the error.
int inChild(const std::function<int()> &call)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(call());
    for (int waited = 0; waited < 1000; ++waited) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : Blocked;
        QThread::msleep(10);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return Blocked;
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

void setAge(const QString &path, int seconds)
{
    const struct timespec times[2] = {{::time(nullptr) - seconds, 0}, {::time(nullptr) - seconds, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, encoded(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

} // namespace

class TestProgramFiles final : public QObject
{
    Q_OBJECT

private slots:
    void hostileFiles_data();
    void hostileFiles();
    void saveThroughLinkKeepsTheLink();
    void staleTemporariesRemoved();
    void appendNeverTruncates();
    void concurrentAppendsLandWhole();
    void replaceFileIsAtomic();
    void readFileMissing();
    void folderAndEntryExistence();
    void listFilesReportsModeAndTime();
};

// Each row lays down "vacuola.ini" and "day.log" as the same kind of entry.
void TestProgramFiles::hostileFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("readError");
    QTest::addColumn<int>("appendError");
    QTest::addColumn<int>("saveError"); // -1: not saved
    QTest::newRow("fifo") << "fifo" << EACCES << EACCES << -1;
    QTest::newRow("link to a fifo") << "link to fifo" << EACCES << EACCES << -1;
    QTest::newRow("link to /dev/zero") << "link to zero" << EACCES << EACCES << -1;
    QTest::newRow("dangling link") << "dangling" << EACCES << EACCES << -1;
    QTest::newRow("folder") << "folder" << EISDIR << EISDIR << -1;
    QTest::newRow("16 MiB and one byte") << "huge" << EFBIG << 0 << -1;
    QTest::newRow("link to a regular file: read, never appended") << "link" << 0 << EACCES << -1;
    QTest::newRow("link planted by another user") << "foreign link" << EACCES << EACCES << EACCES;
    QTest::newRow("own link in a folder others may write") << "shared folder" << EACCES << EACCES << EACCES;
}

void TestProgramFiles::hostileFiles()
{
    QFETCH(QString, kind);
    QFETCH(int, readError);
    QFETCH(int, appendError);
    QFETCH(int, saveError);
    TestDir dir;
    const QString elsewhere = dir.createFile(QStringLiteral("elsewhere/target"), "kept\r\n");
    QCOMPARE(::mkfifo(encoded(dir.absolute(QStringLiteral("elsewhere/fifo"))).constData(), 0600), 0);
    for (const QString &name : {QStringLiteral("vacuola.ini"), QStringLiteral("day.log")}) {
        const QString path = dir.absolute(name);
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(encoded(path).constData(), 0600), 0);
        else if (kind == u"link to fifo")
            dir.createSymlink(name, dir.absolute(QStringLiteral("elsewhere/fifo")));
        else if (kind == u"link to zero")
            dir.createSymlink(name, QStringLiteral("/dev/zero"));
        else if (kind == u"dangling")
            dir.createSymlink(name, dir.absolute(QStringLiteral("elsewhere/") + name));
        else if (kind == u"folder")
            dir.createDir(name);
        else if (kind == u"huge")
            dir.createFile(name, QByteArray(16 * 1024 * 1024 + 1, 'x'));
        else
            dir.createSymlink(name, elsewhere);
        if (kind == u"foreign link")
            QCOMPARE(::lchown(encoded(path).constData(), 4242, 4242), 0);
    }
    if (kind == u"shared folder")
        QCOMPARE(::chmod(encoded(dir.path()).constData(), 01777), 0);
    const QStringList before = dir.tree();

    FileSystem &fs = systemFileSystem();
    const QString ini = dir.absolute(QStringLiteral("vacuola.ini"));
    const QString log = dir.absolute(QStringLiteral("day.log"));
    QCOMPARE(inChild([&] {
                 QByteArray bytes;
                 const int error = fs.readFile(ini, bytes);
                 return error == 0 && bytes != "kept\r\n" ? 255 : error;
             }),
             readError);
    // Read a piece at a time: the same refusals, and no limit to the length.
    const qsizetype length = kind == u"huge" ? 16 * 1024 * 1024 + 1 : 6;
    QCOMPARE(inChild([&] {
                 qsizetype size = 0;
                 const int error = fs.readFilePieces(ini, [&size](QByteArrayView piece) {
                     size += piece.size();
                     return true;
                 });
                 return error == 0 && size != length ? 255 : error;
             }),
             kind == u"huge" ? 0 : readError);
    QCOMPARE(inChild([&] { return fs.appendToFile(log, "block\r\n"); }), appendError);
    if (saveError >= 0)
        QCOMPARE(inChild([&] { return fs.replaceFile(ini, "new\r\n"); }), saveError);

    // Nothing was written through a link, nothing created where a link points.
    QCOMPARE(readTestFile(elsewhere), QByteArray("kept\r\n"));
    QCOMPARE(dir.tree(), before);
}

void TestProgramFiles::saveThroughLinkKeepsTheLink()
{
    // Settings kept in a dotfiles folder: the link stays, what it names is replaced.
    TestDir dir;
    const QString target = dir.createFile(QStringLiteral("dotfiles/vacuola.ini"), "old");
    const QString link = dir.createSymlink(QStringLiteral("config/vacuola.ini"), target);
    QCOMPARE(systemFileSystem().replaceFile(link, "new"), 0);
    QCOMPARE(QFile::symLinkTarget(link), target);
    QCOMPARE(readTestFile(target), QByteArray("new"));
    QCOMPARE(dir.tree(), QStringList({QStringLiteral("config/"), QStringLiteral("config/vacuola.ini"),
                                      QStringLiteral("dotfiles/"), QStringLiteral("dotfiles/vacuola.ini")}));
}

void TestProgramFiles::staleTemporariesRemoved()
{
    // Only old regular files of the save's own pattern go; a link among them is
    // never followed, and a young one may belong to a save under way.
    TestDir dir;
    const QString ini = dir.createFile(QStringLiteral("vacuola.ini"), "old");
    setAge(dir.createFile(QStringLiteral(".vacuola.ini.tmp-1f2e"), "interrupted"), 3600);
    dir.createFile(QStringLiteral(".vacuola.ini.tmp-young"), "under way");
    const QString outside = dir.createFile(QStringLiteral("outside"), "kept");
    setAge(outside, 3600);
    setAge(dir.createSymlink(QStringLiteral(".vacuola.ini.tmp-link"), outside), 3600);
    setAge(dir.createFile(QStringLiteral(".other.ini.tmp-1f2e")), 3600);
    QCOMPARE(systemFileSystem().replaceFile(ini, "new"), 0);
    QCOMPARE(dir.tree(),
             QStringList({QStringLiteral(".other.ini.tmp-1f2e"), QStringLiteral(".vacuola.ini.tmp-link"),
                          QStringLiteral(".vacuola.ini.tmp-young"), QStringLiteral("outside"),
                          QStringLiteral("vacuola.ini")}));
    QCOMPARE(readTestFile(outside), QByteArray("kept"));
}

void TestProgramFiles::appendNeverTruncates()
{
    TestDir dir;
    const QString path = dir.createFile(QStringLiteral("day.log"), "first\r\n");
    FileSystem &fs = systemFileSystem();
    QCOMPARE(fs.appendToFile(path, "second\r\n"), 0);
    QCOMPARE(fs.appendToFile(path, QByteArray()), 0);
    QCOMPARE(readTestFile(path), QByteArray("first\r\nsecond\r\n"));
    const QString fresh = dir.absolute(QStringLiteral("fresh.log"));
    QCOMPARE(fs.appendToFile(fresh, "one"), 0);
    QCOMPARE(readTestFile(fresh), QByteArray("one"));
    QCOMPARE(fs.appendToFile(dir.absolute(QStringLiteral("no/such/folder.log")), "x"), ENOENT);
    QCOMPARE(fs.appendToFile(dir.absolute(), "x"), EISDIR);
}

void TestProgramFiles::concurrentAppendsLandWhole()
{
    TestDir dir;
    const QString path = dir.createFile(QStringLiteral("day.log"));
    FileSystem &fs = systemFileSystem();
    std::unique_ptr<FileAppend> held;
    QCOMPARE(fs.openAppend(path, held), 0);
    const int probe = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC);
    QCOMPARE(::flock(probe, LOCK_EX | LOCK_NB), -1); // held for the whole append
    held.reset();
    ::close(probe);
    // Blocks of 5,000 lines, written in several calls each, by two writers at once.
    int errors[2] = {0, 0};
    const auto writer = [&](char letter) {
        const QByteArray line = QByteArray(60, letter) + "\r\n";
        const QList<QByteArrayView> block(5000, QByteArrayView(line));
        for (int i = 0; i < 4; ++i)
            errors[letter - 'a'] |= fs.appendToFile(path, block);
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    QCOMPARE(errors[0] | errors[1], 0);
    const QByteArray bytes = readTestFile(path);
    QCOMPARE(bytes.size(), 8 * 5000 * 62);
    for (qsizetype at = 0; at < bytes.size(); at += 5000 * 62)
        QCOMPARE(bytes.mid(at, 5000 * 62), (QByteArray(60, bytes.at(at)) + "\r\n").repeated(5000));
}

void TestProgramFiles::replaceFileIsAtomic()
{
    TestDir dir;
    const QString path = dir.createFile(QStringLiteral("vacuola.ini"), "old");
    ::chmod(QFile::encodeName(path).constData(), 0640);
    FileSystem &fs = systemFileSystem();
    QCOMPARE(fs.replaceFile(path, "new content"), 0);
    QCOMPARE(readTestFile(path), QByteArray("new content"));
    QCOMPARE(dir.tree(), QStringList{QStringLiteral("vacuola.ini")});
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, 0640u);

    // A folder in the way of the rename: the write fails, nothing is left behind.
    const QString blocked = dir.createDir(QStringLiteral("blocked.ini"));
    dir.createFile(QStringLiteral("blocked.ini/inside"));
    QVERIFY(fs.replaceFile(blocked, "x") != 0);
    QCOMPARE(dir.tree(), QStringList({QStringLiteral("blocked.ini/"), QStringLiteral("blocked.ini/inside"),
                                      QStringLiteral("vacuola.ini")}));
    QCOMPARE(fs.replaceFile(dir.absolute(QStringLiteral("missing/x.ini")), "x"), ENOENT);
}

void TestProgramFiles::readFileMissing()
{
    TestDir dir;
    QByteArray bytes("stale");
    QCOMPARE(systemFileSystem().readFile(dir.absolute(QStringLiteral("none")), bytes), ENOENT);
    QVERIFY(bytes.isEmpty());
    QByteArray big(300000, 'a');
    const QString path = dir.createFile(QStringLiteral("big"), big);
    QCOMPARE(systemFileSystem().readFile(path, bytes), 0);
    QCOMPARE(bytes, big);
}

void TestProgramFiles::folderAndEntryExistence()
{
    TestDir dir;
    dir.createDir(QStringLiteral("folder"));
    dir.createFile(QStringLiteral("file"));
    dir.createSymlink(QStringLiteral("dangling"), dir.absolute(QStringLiteral("nowhere")));
    dir.createSymlink(QStringLiteral("to-folder"), dir.absolute(QStringLiteral("folder")));
    FileSystem &fs = systemFileSystem();
    QVERIFY(fs.folderExists(dir.absolute(QStringLiteral("folder"))));
    QVERIFY(fs.folderExists(dir.absolute(QStringLiteral("to-folder"))));
    QVERIFY(!fs.folderExists(dir.absolute(QStringLiteral("file"))));
    QVERIFY(!fs.folderExists(dir.absolute(QStringLiteral("nowhere"))));
    QVERIFY(!fs.folderExists(QString()));
    QVERIFY(fs.entryExists(dir.absolute(QStringLiteral("dangling"))));
    QVERIFY(!fs.entryExists(dir.absolute(QStringLiteral("nowhere"))));
    QVERIFY(fs.isMountRoot(QStringLiteral("/")));
    QVERIFY(!fs.isMountRoot(dir.absolute(QStringLiteral("folder"))));
    QVERIFY(fs.isMountRoot(QStringLiteral("/proc")));
    QVERIFY(!fs.isOpticalDisc(dir.absolute()));
}

void TestProgramFiles::listFilesReportsModeAndTime()
{
    TestDir dir;
    const QDateTime stamp(QDate(2023, 5, 6), QTime(7, 8, 9));
    dir.createFile(QStringLiteral("Vacuola-20230506.log"), "x", stamp);
    dir.createFile(QStringLiteral("locked.log"));
    dir.setReadOnly(QStringLiteral("locked.log"), true);
    dir.createDir(QStringLiteral("folder.log"));
    dir.createSymlink(QStringLiteral("link.log"), dir.absolute(QStringLiteral("locked.log")));
    QMap<QString, FileInfo> seen;
    QCOMPARE(systemFileSystem().listFiles(dir.absolute(),
                                          [&](const FileInfo &info) { seen.insert(info.name, info); }),
             0);
    QCOMPARE(seen.size(), 4);
    const FileInfo log = seen.value(QStringLiteral("Vacuola-20230506.log"));
    QCOMPARE(log.kind, EntryKind::File);
    QVERIFY(!log.readOnly);
    QCOMPARE(log.lastWrite, stamp);
    QCOMPARE(log.lastWrite.timeSpec(), Qt::LocalTime);
    QVERIFY(seen.value(QStringLiteral("locked.log")).readOnly);
    QCOMPARE(seen.value(QStringLiteral("folder.log")).kind, EntryKind::Folder);
    QCOMPARE(seen.value(QStringLiteral("link.log")).kind, EntryKind::Other);
    QCOMPARE(systemFileSystem().listFiles(dir.absolute(QStringLiteral("missing")), [](const FileInfo &) {}),
             ENOENT);
}

} // namespace Vacuola::Test

QTEST_GUILESS_MAIN(Vacuola::Test::TestProgramFiles)
#include "tst_programfiles.moc"
