#include "tests/support/TestDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace Vacuola::Test {

TestDir::TestDir() : QTemporaryDir(QDir::tempPath() + QStringLiteral("/vacuola-test-XXXXXX"))
{
    if (!isValid())
        qFatal("cannot create a scratch folder: %s", qPrintable(errorString()));
}

QString TestDir::absolute(const QString &relative) const
{
    // Canonical, so that paths compare equal to what the program builds.
    const QString base = QFileInfo(path()).canonicalFilePath();
    return relative.isEmpty() ? base : base + QLatin1Char('/') + relative;
}

QString TestDir::createDir(const QString &relative) const
{
    const QString full = absolute(relative);
    QDir().mkpath(full);
    return full;
}

QString TestDir::createFile(const QString &relative, const QByteArray &content, const QDateTime &mtime) const
{
    const QString full = absolute(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(content);
        file.flush(); // a later flush would set the modification time again
        if (mtime.isValid())
            file.setFileTime(mtime, QFileDevice::FileModificationTime);
        file.close();
    }
    return full;
}

QString TestDir::createSymlink(const QString &relative, const QString &target) const
{
    const QString full = absolute(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(full).constData()) != 0)
        qWarning("symlink failed");
    return full;
}

bool TestDir::exists(const QString &relative) const
{
    struct stat st;
    return ::lstat(QFile::encodeName(absolute(relative)).constData(), &st) == 0;
}

void TestDir::setReadOnly(const QString &relative, bool readOnly) const
{
    const QByteArray name = QFile::encodeName(absolute(relative));
    struct stat st;
    if (::lstat(name.constData(), &st) != 0)
        return;
    const mode_t mode = readOnly ? (st.st_mode & ~S_IWUSR) : (st.st_mode | S_IWUSR);
    ::chmod(name.constData(), mode & 07777);
}

QStringList TestDir::tree() const
{
    QStringList entries;
    const QString base = absolute();
    QDirIterator it(base, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        QString rel = info.absoluteFilePath().mid(base.size() + 1);
        if (info.isDir() && !info.isSymLink())
            rel += QLatin1Char('/');
        entries << rel;
    }
    entries.sort();
    return entries;
}

} // namespace Vacuola::Test
