#include "platform/posix/Fd.h"

#include <cerrno>

#include <unistd.h>

namespace Vacuola::Posix {

int lastError()
{
    return errno != 0 ? errno : EIO;
}

Fd::Fd(int fd) : m_fd(fd) {}

Fd::Fd(Fd &&other) noexcept : m_fd(other.release()) {}

Fd &Fd::operator=(Fd &&other) noexcept
{
    if (this != &other)
        reset(other.release());
    return *this;
}

Fd::~Fd()
{
    reset();
}

int Fd::get() const
{
    return m_fd;
}

bool Fd::valid() const
{
    return m_fd >= 0;
}

void Fd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int Fd::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

int Fd::close()
{
    const int fd = release();
    if (fd >= 0 && ::close(fd) != 0)
        return lastError();
    return 0;
}

} // namespace Vacuola::Posix
