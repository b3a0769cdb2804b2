#include "platform/FileSystem.h"

namespace Vacuola {

int FileSystem::appendToFile(const QString &path, const QByteArray &bytes)
{
    return appendToFile(path, QList<QByteArrayView>{QByteArrayView(bytes)});
}

} // namespace Vacuola
