#include "platform/Display.h"

#include <cstdlib>
#include <cstring>

#include <dlfcn.h>

namespace Vacuola::Display {

namespace {

enum class Answer
{
    Yes,
    No,
    Unknown
};

// The client libraries are loaded only to ask: the program itself never
// links them, and where one is missing the toolkit has the last word.
class Library final
{
public:
    explicit Library(const char *name) : m_handle(::dlopen(name, RTLD_LAZY | RTLD_LOCAL)) {}
    ~Library()
    {
        if (m_handle)
            ::dlclose(m_handle);
    }
    Q_DISABLE_COPY_MOVE(Library)

    template <typename Function>
    Function *function(const char *name) const
    {
        return m_handle ? reinterpret_cast<Function *>(::dlsym(m_handle, name)) : nullptr;
    }

private:
    void *m_handle;
};

Answer x11Answers()
{
    using Connect = void *(const char *, int *);
    using HasError = int(void *);
    using Disconnect = void(void *);
    const Library xcb("libxcb.so.1");
    Connect *connect = xcb.function<Connect>("xcb_connect");
    HasError *hasError = xcb.function<HasError>("xcb_connection_has_error");
    Disconnect *disconnect = xcb.function<Disconnect>("xcb_disconnect");
    if (!connect || !hasError || !disconnect)
        return Answer::Unknown;
    // xcb_connect never returns null: a failed connection is an object in an error state.
    void *connection = connect(nullptr, nullptr);
    const bool open = hasError(connection) == 0;
    disconnect(connection);
    return open ? Answer::Yes : Answer::No;
}

Answer waylandAnswers()
{
    using Connect = void *(const char *);
    using Disconnect = void(void *);
    const Library wayland("libwayland-client.so.0");
    Connect *connect = wayland.function<Connect>("wl_display_connect");
    Disconnect *disconnect = wayland.function<Disconnect>("wl_display_disconnect");
    if (!connect || !disconnect)
        return Answer::Unknown;
    void *display = connect(nullptr);
    if (!display)
        return Answer::No;
    disconnect(display);
    return Answer::Yes;
}

QString variable(const char *name)
{
    const char *value = std::getenv(name);
    return value ? QString::fromLocal8Bit(value) : QString();
}

} // namespace

Reach probe(QString &name)
{
    // A platform chosen by hand that is neither X nor Wayland (offscreen,
    // vnc, a framebuffer) needs no display of the session.
    const QString platform = variable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")) &&
        !platform.startsWith(QLatin1String("wayland")))
        return Reach::Usable;

    const QString x11 = variable("DISPLAY");
    const QString wayland = variable("WAYLAND_DISPLAY");
    name = x11.isEmpty() ? wayland : x11;
    if (x11.isEmpty() && wayland.isEmpty())
        return Reach::Missing;
    const Answer x11Answer = x11.isEmpty() ? Answer::No : x11Answers();
    const Answer waylandAnswer = wayland.isEmpty() ? Answer::No : waylandAnswers();
    return x11Answer == Answer::No && waylandAnswer == Answer::No ? Reach::Unreachable : Reach::Usable;
}

} // namespace Vacuola::Display
