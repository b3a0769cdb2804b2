#pragma once

#include <QtGlobal>

#include <cstddef>

#include <iconv.h>

namespace Vacuola::Posix {

/**
 * An iconv conversion descriptor, closed when it goes out of scope. Opening
 * one loads the converter module, far too slow to repeat for every line, so
 * callers keep theirs.
 */
class Converter final
{
    Q_DISABLE_COPY_MOVE(Converter)

public:
    Converter(const char *to, const char *from);
    ~Converter();

    bool valid() const;
    /** Converts (iconv's arguments); returns iconv's answer with errno. All null: restarts the state. */
    std::size_t convert(char **in, std::size_t *inLeft, char **out, std::size_t *outLeft);

private:
    iconv_t m_cd;
};

} // namespace Vacuola::Posix
