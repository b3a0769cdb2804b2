// The desktop's trash, as every file manager reads it: a file goes into the
// trash's files folder by one rename relative to descriptors, after a
// .trashinfo beside it in the info folder has been made, so that the file
// manager can put it back. Nothing is ever copied across file systems.

#include "platform/posix/TrashCan.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdio>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace Vacuola::Posix {

namespace {

bool sameMount(const MountKey &a, const MountKey &b)
{
    return a.hasId && b.hasId ? a.id == b.id : a.device == b.device;
}

// The folder a descriptor stands for, without links.
bool pathOf(int fd, QByteArray &path)
{
    char buffer[PATH_MAX];
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(proc.constData(), buffer, sizeof buffer);
    if (length <= 0 || length >= ssize_t(sizeof buffer) || buffer[0] != '/')
        return false;
    path = QByteArray(buffer, length);
    return true;
}

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

QByteArray joined(const QByteArray &folder, const QByteArray &name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

int openPath(const QByteArray &path, Fd &fd)
{
    fd.reset(::open(path.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return fd.valid() ? 0 : lastError();
}

// A folder of the trash, made for the user alone when missing; never a link.
int openFolder(int parent, const char *name, Fd &fd)
{
    if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
        return lastError();
    fd.reset(::openat(parent, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return fd.valid() ? 0 : lastError();
}

// A folder of the user's own: a real folder that belongs to them.
bool ownFolder(int fd)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

bool inMemory(int fd)
{
    struct statfs fs;
    return ::fstatfs(fd, &fs) == 0 && (fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC);
}

int writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? lastError() : EIO;
        done += written;
    }
    return 0;
}

} // namespace

TrashCan::TrashCan(const QString &dataHome) : m_dataHome(QFile::encodeName(dataHome)) {}

TrashCan::~TrashCan() = default;

int TrashCan::moveToTrash(int folderFd, const QByteArray &name, const QDateTime &when, QString &trashedAs)
{
    MountKey mount;
    if (const int error = mountKey(folderFd, mount))
        return error;
    // Without the folder's own path no .trashinfo could say where the file was.
    QByteArray folderPath;
    if (!pathOf(folderFd, folderPath))
        return EXDEV;
    for (Bin &bin : placeOf(mount, folderPath).bins) {
        QByteArray original = joined(folderPath, name);
        if (!bin.topdir.isEmpty()) {
            original = original.mid(bin.topdir.size());
            while (original.startsWith('/'))
                original.remove(0, 1);
        }
        const int error = moveInto(bin, folderFd, name, original, when, trashedAs);
        if (error != EXDEV)
            return error;
    }
    return EXDEV;
}

TrashCan::Place &TrashCan::placeOf(const MountKey &mount, const QByteArray &folderPath)
{
    for (Place &place : m_places) {
        if (sameMount(place.mount, mount) && place.mount.device == mount.device)
            return place;
    }
    Place place;
    place.mount = mount;
    Bin home;
    if (homeBin(mount, home))
        place.bins.push_back(std::move(home));
    Bin top;
    if (topBin(mount, folderPath, top))
        place.bins.push_back(std::move(top));
    m_places.push_back(std::move(place));
    return m_places.back();
}

// The home trash, for files on its device. The data folder is the user's own
// choice and may be reached through links; the trash below it is not.
bool TrashCan::homeBin(const MountKey &mount, Bin &bin) const
{
    if (!m_dataHome.startsWith('/'))
        return false;
    const QByteArray trash = joined(m_dataHome, "Trash");
    // Where the trash is, or will be made.
    QByteArray probe = trash;
    struct stat st;
    while (::stat(probe.constData(), &st) != 0) {
        if (errno != ENOENT || probe == "/")
            return false;
        probe = parentOf(probe);
    }
    if (st.st_dev != mount.device)
        return false;
    for (qsizetype slash = m_dataHome.indexOf('/', 1); slash > 0; slash = m_dataHome.indexOf('/', slash + 1))
        ::mkdir(m_dataHome.left(slash).constData(), 0700);
    ::mkdir(m_dataHome.constData(), 0700);
    Fd home(::open(m_dataHome.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    Fd folder;
    if (!home.valid() || openFolder(home.get(), "Trash", folder) != 0 ||
        openFolder(folder.get(), "files", bin.files) != 0 || openFolder(folder.get(), "info", bin.info) != 0)
        return false;
    if (::fstat(bin.files.get(), &st) != 0 || st.st_dev != mount.device)
        return false;
    bin.path = trash;
    return true;
}

// The trash at the top of the file's mount. None on a file system kept in
// memory: what went there would be gone at the next start.
bool TrashCan::topBin(const MountKey &mount, const QByteArray &folderPath, Bin &bin) const
{
    QByteArray top = folderPath;
    while (top != "/") {
        Fd here;
        Fd parent;
        MountKey key;
        MountKey parentKey;
        if (openPath(top, here) != 0 || mountKey(here.get(), key) != 0 || key.mountRoot)
            break;
        if (openPath(parentOf(top), parent) != 0 || mountKey(parent.get(), parentKey) != 0 ||
            !sameMount(parentKey, mount))
            break;
        top = parentOf(top);
    }
    Fd topFd;
    MountKey topKey;
    if (openPath(top, topFd) != 0 || mountKey(topFd.get(), topKey) != 0 || !sameMount(topKey, mount) ||
        inMemory(topFd.get()))
        return false;

    const QByteArray uid = QByteArray::number(qulonglong(::geteuid()));
    Fd user;
    // The administrator's .Trash: a real folder with the sticky bit, in which
    // each user has a folder of their own.
    Fd shared(::openat(topFd.get(), ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (shared.valid() && ::fstat(shared.get(), &st) == 0 && (st.st_mode & S_ISVTX) != 0 &&
        openFolder(shared.get(), uid.constData(), user) == 0 && ownFolder(user.get())) {
        bin.path = joined(top, ".Trash/" + uid);
    } else {
        const QByteArray own = ".Trash-" + uid;
        if (openFolder(topFd.get(), own.constData(), user) != 0 || !ownFolder(user.get()))
            return false;
        bin.path = joined(top, own);
    }
    if (openFolder(user.get(), "files", bin.files) != 0 || openFolder(user.get(), "info", bin.info) != 0)
        return false;
    bin.topdir = top;
    return true;
}

int TrashCan::moveInto(Bin &bin, int folderFd, const QByteArray &name, const QByteArray &originalPath,
                       const QDateTime &when, QString &trashedAs)
{
    const QByteArray info = "[Trash Info]\nPath=" + originalPath.toPercentEncoding("/") +
                            "\nDeletionDate=" + when.toString(u"yyyy-MM-dd'T'HH:mm:ss").toLatin1() + '\n';
    // A name taken in the trash gets a number: name.2, name.3, ...
    for (int number = 1; number < 10000; ++number) {
        const QByteArray entry = number == 1 ? name : name + '.' + QByteArray::number(number);
        const QByteArray infoName = entry + ".trashinfo";
        if (infoName.size() > NAME_MAX)
            return ENAMETOOLONG;
        Fd infoFd(::openat(bin.info.get(), infoName.constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!infoFd.valid()) {
            const int error = lastError();
            if (error == EEXIST)
                continue;
            return error;
        }
        int error = writeAll(infoFd.get(), info);
        if (const int closed = infoFd.close(); error == 0)
            error = closed;
        if (error != 0) {
            ::unlinkat(bin.info.get(), infoName.constData(), 0);
            return error;
        }
        if (::renameat2(folderFd, name.constData(), bin.files.get(), entry.constData(), RENAME_NOREPLACE) ==
            0) {
            trashedAs = QFile::decodeName(joined(bin.path, "files/" + entry));
            return 0;
        }
        error = lastError();
        ::unlinkat(bin.info.get(), infoName.constData(), 0);
        if (error == EEXIST)
            continue;
        // A file system that cannot rename without replacing has no trash for us.
        return error == EINVAL ? EXDEV : error;
    }
    return EEXIST;
}

} // namespace Vacuola::Posix
