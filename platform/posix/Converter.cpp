#include "platform/posix/Converter.h"

namespace Vacuola::Posix {

Converter::Converter(const char *to, const char *from) : m_cd(::iconv_open(to, from)) {}

Converter::~Converter()
{
    if (valid())
        ::iconv_close(m_cd);
}

bool Converter::valid() const
{
    return m_cd != reinterpret_cast<iconv_t>(-1);
}

std::size_t Converter::convert(char **in, std::size_t *inLeft, char **out, std::size_t *outLeft)
{
    return ::iconv(m_cd, in, inLeft, out, outLeft);
}

} // namespace Vacuola::Posix
