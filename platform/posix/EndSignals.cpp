#include "platform/EndSignals.h"

#include <cerrno>
#include <csignal>
#include <initializer_list>

#include <fcntl.h>
#include <unistd.h>

namespace Vacuola::EndSignals {

namespace {

volatile std::sig_atomic_t g_writeEnd = -1;

void notePipe(int signal)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe already holds a request to end: this one may be dropped.
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &number, 1);
    errno = savedErrno;
}

} // namespace

int catchIntoPipe()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    g_writeEnd = ends[1];
    struct sigaction action = {};
    action.sa_handler = notePipe;
    sigemptyset(&action.sa_mask);
    // Restarted calls keep the sweep's own I/O unaware; the reset lets a second
    // signal end a program that no longer answers.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(signal, &action, nullptr);
    return ends[0];
}

int takeFromPipe(int pipe)
{
    unsigned char number = 0;
    for (;;) {
        const ssize_t got = ::read(pipe, &number, 1);
        if (got == 1)
            return number;
        if (got < 0 && errno == EINTR)
            continue;
        return 0;
    }
}

} // namespace Vacuola::EndSignals
