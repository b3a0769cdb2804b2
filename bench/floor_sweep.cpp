// The least a single thread can do to remove a tree's empty folders safely,
// as a yardstick for sweep_bench: one openat2 per folder relative to its
// parent (no link followed, no mount crossed), getdents64 into a 256 KiB
// buffer, unlinkat(AT_REMOVEDIR) bottom-up. No log, no journal, no questions,
// no event loop.
//
//   floor_sweep [--rmdir-first] [--mode-check] FOLDER
//
// --rmdir-first: a subfolder is tried with rmdir before it is opened, so that an
// empty leaf costs one call. --mode-check: each subfolder's mode is read
// (statx, not following) before that try, as the sweep reads it for its
// read-only check. Prints "removed N seconds S".

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool g_rmdirFirst = false;
bool g_modeCheck = false;
long g_removed = 0;
std::vector<char> g_buffer(256 * 1024);

int openBelow(int parent, const char *name)
{
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_XDEV | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return int(::syscall(SYS_openat2, parent, name, &how, sizeof how));
}

bool removeFolder(int parent, const std::string &name)
{
    if (::unlinkat(parent, name.c_str(), AT_REMOVEDIR) != 0)
        return false;
    ++g_removed;
    return true;
}

// Sweeps the folder open as `fd`; true when it held nothing but folders that went.
bool sweep(int fd)
{
    std::vector<std::string> folders;
    bool other = false;
    for (;;) {
        const long read = ::syscall(SYS_getdents64, fd, g_buffer.data(), g_buffer.size());
        if (read <= 0) {
            other = other || read < 0;
            break;
        }
        for (long offset = 0; offset < read;) {
            const auto *d = reinterpret_cast<const dirent64 *>(g_buffer.data() + offset);
            offset += d->d_reclen;
            if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
                continue;
            if (d->d_type == DT_DIR)
                folders.emplace_back(d->d_name);
            else
                other = true;
        }
    }
    bool left = false;
    for (const std::string &name : folders) {
        if (g_rmdirFirst) {
            struct statx stx;
            if (g_modeCheck && ::statx(fd, name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_MODE, &stx) != 0) {
                left = true;
                continue;
            }
            if (removeFolder(fd, name))
                continue;
        }
        const int child = openBelow(fd, name.c_str());
        if (child < 0) {
            left = true;
            continue;
        }
        const bool empty = sweep(child);
        ::close(child);
        left = !(empty && removeFolder(fd, name)) || left;
    }
    return !other && !left;
}

} // namespace

int main(int argc, char *argv[])
{
    const char *folder = nullptr;
    bool usage = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rmdir-first") == 0)
            g_rmdirFirst = true;
        else if (std::strcmp(argv[i], "--mode-check") == 0)
            g_modeCheck = true;
        else if (!folder && argv[i][0] != '-')
            folder = argv[i];
        else
            usage = true;
    }
    if (!folder || usage) {
        std::fprintf(stderr, "usage: floor_sweep [--rmdir-first] [--mode-check] FOLDER\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(folder);
        return 1;
    }
    sweep(fd);
    ::close(fd);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("removed %ld seconds %.3f\n", g_removed, seconds.count());
    return 0;
}
