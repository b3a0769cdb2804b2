#include "platform/posix/PathBytes.h"

#include <QFile>

#include <algorithm>

#include <sys/stat.h>

namespace Vacuola::Posix {

namespace {

bool isAscii(const char *name, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(name[i]) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

bool pathBytes(QStringView path, QByteArray &bytes)
{
    if (path.isEmpty())
        return false;
    // Most paths are plain ASCII, whose bytes need no check; this runs several
    // times for every folder of a sweep, so the bytes go into the caller's buffer.
    const bool ascii = std::all_of(path.begin(), path.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        bytes.resize(path.size());
        char *out = bytes.data();
        for (const QChar c : path)
            *out++ = static_cast<char>(c.unicode());
        return true;
    }
    bytes = path.toUtf8();
    return QString::fromUtf8(bytes) == path;
}

bool decodeName(const char *raw, std::size_t length, QString &name)
{
    if (isAscii(raw, length)) {
        // Refills the caller's string in place: a listing reuses one buffer for
        // all its names unless a visitor kept one.
        name.resize(static_cast<qsizetype>(length));
        QChar *out = name.data();
        for (std::size_t i = 0; i < length; ++i)
            out[i] = QLatin1Char(raw[i]);
        return true;
    }
    const QByteArray bytes = QByteArray::fromRawData(raw, static_cast<qsizetype>(length));
    name = QFile::decodeName(bytes);
    return QFile::encodeName(name) == bytes;
}

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

EntryKind kindOfMode(mode_t mode)
{
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    if (S_ISREG(mode))
        return EntryKind::File;
    return EntryKind::Other;
}

} // namespace Vacuola::Posix
