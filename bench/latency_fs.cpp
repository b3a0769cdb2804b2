// A passthrough file system that waits a fixed time in every directory
// operation, standing in for a network share whose every call is a round trip.
//
//   latency_fs [--delay-us N] SOURCE MOUNTPOINT [FUSE options...]
//
// SOURCE is shown at MOUNTPOINT. Looking a name up, reading attributes, opening,
// reading and closing a folder, making and removing folders and files, and
// renaming each wait N microseconds (default 200) before they are done; reads
// and writes of file contents do not. Requests are served by several threads
// (libfuse's multithreaded loop), as a share serves several requests at once.
// Nothing is cached by the kernel, so that every call reaches the file system.
// Runs in the foreground; unmount with `fusermount3 -u MOUNTPOINT`.

#define FUSE_USE_VERSION 31

#include <fuse.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

int g_source = -1; // the shown folder, opened once
long g_delayNs = 200000;

void wait()
{
    timespec left{g_delayNs / 1000000000, g_delayNs % 1000000000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// A FUSE path ("/a/b") relative to the source folder ("a/b", or "." for the root).
const char *relative(const char *path)
{
    while (*path == '/')
        ++path;
    return *path ? path : ".";
}

int result(int rc)
{
    return rc < 0 ? -errno : 0;
}

void *on_init(fuse_conn_info *, fuse_config *cfg)
{
    cfg->use_ino = 1; // the source's inode numbers, so that device and inode identify a folder
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    return nullptr;
}

int on_getattr(const char *path, struct stat *st, fuse_file_info *)
{
    wait();
    return result(fstatat(g_source, relative(path), st, AT_SYMLINK_NOFOLLOW));
}

int on_readlink(const char *path, char *buf, size_t size)
{
    wait();
    const ssize_t n = readlinkat(g_source, relative(path), buf, size - 1);
    if (n < 0)
        return -errno;
    buf[n] = '\0';
    return 0;
}

int on_opendir(const char *path, fuse_file_info *fi)
{
    wait();
    const int fd = openat(g_source, relative(path), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    DIR *dir = fdopendir(fd);
    if (!dir) {
        const int e = errno;
        close(fd);
        return -e;
    }
    fi->fh = reinterpret_cast<uint64_t>(dir);
    return 0;
}

int on_readdir(const char *, void *buf, fuse_fill_dir_t fill, off_t, fuse_file_info *fi, fuse_readdir_flags)
{
    wait();
    DIR *dir = reinterpret_cast<DIR *>(fi->fh);
    rewinddir(dir);
    // Everything in one pass: libfuse asks again with an offset only when the
    // filler reports a full buffer, which it never does without offsets.
    errno = 0;
    while (dirent *e = ::readdir(dir)) {
        struct stat st = {};
        st.st_ino = e->d_ino;
        st.st_mode = DTTOIF(e->d_type);
        if (fill(buf, e->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0)))
            break;
    }
    return -errno;
}

int on_releasedir(const char *, fuse_file_info *fi)
{
    wait();
    closedir(reinterpret_cast<DIR *>(fi->fh));
    return 0;
}

int on_mkdir(const char *path, mode_t mode)
{
    wait();
    return result(mkdirat(g_source, relative(path), mode));
}

int on_rmdir(const char *path)
{
    wait();
    return result(unlinkat(g_source, relative(path), AT_REMOVEDIR));
}

int on_unlink(const char *path)
{
    wait();
    return result(unlinkat(g_source, relative(path), 0));
}

int on_symlink(const char *target, const char *path)
{
    wait();
    return result(symlinkat(target, g_source, relative(path)));
}

int on_rename(const char *from, const char *to, unsigned int flags)
{
    wait();
    return result(renameat2(g_source, relative(from), g_source, relative(to), flags));
}

int on_chmod(const char *path, mode_t mode, fuse_file_info *)
{
    wait();
    return result(fchmodat(g_source, relative(path), mode, 0));
}

int on_chown(const char *path, uid_t uid, gid_t gid, fuse_file_info *)
{
    wait();
    return result(fchownat(g_source, relative(path), uid, gid, AT_SYMLINK_NOFOLLOW));
}

int on_utimens(const char *path, const timespec tv[2], fuse_file_info *)
{
    wait();
    return result(utimensat(g_source, relative(path), tv, AT_SYMLINK_NOFOLLOW));
}

int on_create(const char *path, mode_t mode, fuse_file_info *fi)
{
    wait();
    const int fd = openat(g_source, relative(path), fi->flags | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return -errno;
    fi->fh = static_cast<uint64_t>(fd);
    return 0;
}

int on_open(const char *path, fuse_file_info *fi)
{
    const int fd = openat(g_source, relative(path), fi->flags | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    fi->fh = static_cast<uint64_t>(fd);
    return 0;
}

int on_read(const char *, char *buf, size_t size, off_t offset, fuse_file_info *fi)
{
    const ssize_t n = pread(static_cast<int>(fi->fh), buf, size, offset);
    return n < 0 ? -errno : static_cast<int>(n);
}

int on_write(const char *, const char *buf, size_t size, off_t offset, fuse_file_info *fi)
{
    const ssize_t n = pwrite(static_cast<int>(fi->fh), buf, size, offset);
    return n < 0 ? -errno : static_cast<int>(n);
}

int on_truncate(const char *path, off_t size, fuse_file_info *fi)
{
    if (fi)
        return result(ftruncate(static_cast<int>(fi->fh), size));
    const int fd = openat(g_source, relative(path), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    const int rc = result(ftruncate(fd, size));
    close(fd);
    return rc;
}

int on_release(const char *, fuse_file_info *fi)
{
    close(static_cast<int>(fi->fh));
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: latency_fs [--delay-us N] SOURCE MOUNTPOINT [FUSE options...]\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    int i = 1;
    if (i + 1 < argc && std::strcmp(argv[i], "--delay-us") == 0) {
        char *end = nullptr;
        const long us = std::strtol(argv[i + 1], &end, 10);
        if (!*argv[i + 1] || *end || us < 0 || us > 1000000)
            return usage();
        g_delayNs = us * 1000;
        i += 2;
    }
    if (argc - i < 2)
        return usage();
    g_source = ::open(argv[i], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g_source < 0) {
        std::fprintf(stderr, "latency_fs: %s: %s\n", argv[i], std::strerror(errno));
        return 1;
    }

    fuse_operations ops = {};
    ops.init = on_init;
    ops.getattr = on_getattr;
    ops.readlink = on_readlink;
    ops.opendir = on_opendir;
    ops.readdir = on_readdir;
    ops.releasedir = on_releasedir;
    ops.mkdir = on_mkdir;
    ops.rmdir = on_rmdir;
    ops.unlink = on_unlink;
    ops.symlink = on_symlink;
    ops.rename = on_rename;
    ops.chmod = on_chmod;
    ops.chown = on_chown;
    ops.utimens = on_utimens;
    ops.create = on_create;
    ops.open = on_open;
    ops.read = on_read;
    ops.write = on_write;
    ops.truncate = on_truncate;
    ops.release = on_release;

    // The mount point, then the caller's options; always in the foreground and
    // with the default multithreaded loop.
    std::vector<char *> args{argv[0], argv[i + 1], const_cast<char *>("-f")};
    static char defaults[] = "-odefault_permissions,fsname=latency_fs,subtype=latency";
    args.push_back(defaults);
    for (int k = i + 2; k < argc; ++k)
        args.push_back(argv[k]);
    return fuse_main(static_cast<int>(args.size()), args.data(), &ops, nullptr);
}
