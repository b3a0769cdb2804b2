#pragma once

#include <QtGlobal>

namespace Vacuola::Posix {

/** The error number of the system call that just failed (EIO when errno is 0). */
int lastError();

/** A file descriptor, closed when it goes out of scope. */
class Fd final
{
    Q_DISABLE_COPY(Fd)

public:
    Fd() = default;
    explicit Fd(int fd);
    Fd(Fd &&other) noexcept;
    Fd &operator=(Fd &&other) noexcept;
    ~Fd();

    int get() const;
    bool valid() const;
    /** Closes the held descriptor (if any) and takes `fd`. */
    void reset(int fd = -1);
    /** Gives up the descriptor without closing it. */
    int release();
    /** Closes the descriptor now and reports the failure of close, which can be a late write error. */
    int close();

private:
    int m_fd = -1;
};

} // namespace Vacuola::Posix
