#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace Vacuola {

/**
 * An input/output error that no command handles: it ends the step that raised it
 * and is shown by the application's default error report.
 */
class IoError final : public std::exception
{
public:
    /** A file error; `number` selects the text ("File not found", "Disk full", ...). */
    explicit IoError(int number);
    /** An error with its own text (the settings file's "%s に書き込めません"). */
    IoError(int number, const QString &text);

    int number() const noexcept;
    QString text() const;
    const char *what() const noexcept override;

    /**
     * The error for a failed file call: ENOENT gives 2, ENAMETOOLONG 3, EMFILE 4,
     * EACCES, EPERM and EROFS 5, ENOSPC 101; any other errno keeps its number and
     * reads "I/O error" with it.
     */
    static IoError fromErrno(int error);
    /** The text for a number: 2 "File not found", ... , otherwise "I/O error %d". */
    static QString textForNumber(int number);

private:
    int m_number;
    QString m_text;
    QByteArray m_what;
};

} // namespace Vacuola
