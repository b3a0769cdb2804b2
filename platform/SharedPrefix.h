#pragma once

#include <QStringView>

#include <cstring>

namespace Vacuola {

/** How many leading characters two texts share (paths one after the other share most of theirs). */
inline qsizetype sharedPrefix(QStringView a, QStringView b)
{
    const qsizetype size = qMin(a.size(), b.size());
    const char16_t *x = a.utf16();
    const char16_t *y = b.utf16();
    if (x == y)
        return size;
    qsizetype i = 0;
    constexpr qsizetype Block = 32;
    while (i + Block <= size && std::memcmp(x + i, y + i, Block * sizeof(char16_t)) == 0)
        i += Block;
    while (i < size && x[i] == y[i])
        ++i;
    return i;
}

} // namespace Vacuola
