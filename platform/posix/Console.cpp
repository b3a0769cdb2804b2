#include "platform/Console.h"

#include "platform/posix/Converter.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <langinfo.h>
#include <unistd.h>

namespace Vacuola::Console {

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

// The first error of each stream; a stream that failed once is written no more.
int g_outError = 0;
int g_errError = 0;

void noteStopSignal(int signal)
{
    g_stopSignal = signal;
}

// The length of the UTF-8 sequence that a lead byte starts (1 for a stray byte).
qsizetype sequenceLength(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

QByteArray convert(const QByteArray &utf8, const char *charset)
{
    Posix::Converter converter(charset, "UTF-8");
    if (!converter.valid())
        return utf8;
    QByteArray result;
    result.reserve(utf8.size() * 2);
    char buffer[256];
    char *in = const_cast<char *>(utf8.constData());
    size_t inLeft = size_t(utf8.size());
    while (inLeft > 0) {
        char *out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t answer = converter.convert(&in, &inLeft, &out, &outLeft);
        const int error = answer == size_t(-1) ? errno : 0;
        result.append(buffer, qsizetype(out - buffer));
        if (error == EILSEQ || error == EINVAL) {
            // A character the charset has no form for: one "?" in its place.
            const size_t skip = qMin(size_t(sequenceLength(static_cast<unsigned char>(*in))), inLeft);
            in += skip;
            inLeft -= skip;
            result.append('?');
        } else if (error != 0 && error != E2BIG) {
            break;
        }
    }
    return result;
}

void writeLine(std::FILE *stream, int &streamError, const QString &line)
{
    if (streamError != 0)
        return;
    const QByteArray bytes = encode(line + QLatin1Char('\n'));
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) != size_t(bytes.size()) ||
        std::fflush(stream) != 0)
        streamError = errno != 0 ? errno : EIO;
}

} // namespace

QByteArray encode(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    const char *charset = ::nl_langinfo(CODESET);
    // The plain C locale names no character set of the user's: file names are
    // read as UTF-8 then, and written back the same way.
    if (charset == nullptr || std::strcmp(charset, "UTF-8") == 0 ||
        std::strcmp(charset, "ANSI_X3.4-1968") == 0)
        return utf8;
    return convert(utf8, charset);
}

void guardOutput()
{
    ::signal(SIGPIPE, SIG_IGN);
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() takes the lowest free number: this one.
        if (::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) != fd)
            continue;
        if (fd == STDOUT_FILENO)
            g_outError = EBADF;
        else if (fd == STDERR_FILENO)
            g_errError = EBADF;
    }
}

void writeOut(const QString &line)
{
    writeLine(stdout, g_outError, line);
}

void writeError(const QString &line)
{
    writeLine(stderr, g_errError, line);
}

void finishOutput()
{
    errno = 0;
    if (std::fclose(stdout) != 0 && g_outError == 0)
        g_outError = errno != 0 ? errno : EIO;
}

int outputError()
{
    return g_outError;
}

bool outputFailed()
{
    return g_outError != 0 || g_errError != 0;
}

void catchStopSignals()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = noteStopSignal;
    // A second signal of the same kind is not caught again: it ends the
    // program as usual, should the sweep ever fail to notice the first.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGHUP, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int takeStopSignal()
{
    const int signal = g_stopSignal;
    if (signal != 0)
        g_stopSignal = 0;
    return signal;
}

} // namespace Vacuola::Console
