#include "core/IoError.h"

#include <cerrno>

namespace Vacuola {

IoError::IoError(int number) : IoError(number, textForNumber(number)) {}

IoError::IoError(int number, const QString &text) : m_number(number), m_text(text), m_what(text.toUtf8()) {}

int IoError::number() const noexcept
{
    return m_number;
}

QString IoError::text() const
{
    return m_text;
}

const char *IoError::what() const noexcept
{
    return m_what.constData();
}

IoError IoError::fromErrno(int error)
{
    switch (error) {
    case ENOENT:
        return IoError(2);
    case ENAMETOOLONG:
        return IoError(3);
    case EMFILE:
        return IoError(4);
    case EACCES:
    case EPERM:
    case EROFS:
        return IoError(5);
    case ENOSPC:
        return IoError(101);
    default:
        return IoError(error, QStringLiteral("I/O error %1").arg(error));
    }
}

QString IoError::textForNumber(int number)
{
    switch (number) {
    case 2:
        return QStringLiteral("File not found");
    case 3:
        return QStringLiteral("Invalid filename");
    case 4:
        return QStringLiteral("Too many open files");
    case 5:
        return QStringLiteral("File access denied");
    case 100:
        return QStringLiteral("Read beyond end of file");
    case 101:
        return QStringLiteral("Disk full");
    case 106:
        return QStringLiteral("Invalid numeric input");
    default:
        return QStringLiteral("I/O error %1").arg(number);
    }
}

} // namespace Vacuola
