#include "platform/Cp932.h"

#include <QList>

#include <cerrno>
#include <cwchar>

#include <iconv.h>

namespace Vacuola::Cp932 {

namespace {

constexpr char32_t Replacement = 0xFFFD;

// One conversion descriptor per direction and thread, opened on first use:
// opening one loads the converter module, far too slow for every log line.
class Converter final
{
    Q_DISABLE_COPY_MOVE(Converter)

public:
    Converter(const char *to, const char *from);
    ~Converter();

    bool valid() const;
    /** Restarts the conversion state and converts; returns iconv's answer with errno. */
    size_t convert(char **in, size_t *inLeft, char **out, size_t *outLeft);

private:
    iconv_t m_cd;
};

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

size_t Converter::convert(char **in, size_t *inLeft, char **out, size_t *outLeft)
{
    return ::iconv(m_cd, in, inLeft, out, outLeft);
}

Converter &encoder()
{
    thread_local Converter converter("CP932", "WCHAR_T");
    return converter;
}

Converter &decoder()
{
    thread_local Converter converter("WCHAR_T", "CP932");
    return converter;
}

bool isControl(char32_t c)
{
    return c < 0x20 || c == 0x7F;
}

bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isTrailByte(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Encodes code points one conversion at a time; a code point without a form
// becomes `substitute`, and `lossless` turns false.
QByteArray encodeCodePoints(const QList<uint> &codePoints, bool &lossless)
{
    lossless = true;
    QByteArray out;
    out.reserve(codePoints.size() * 2);
    Converter &converter = encoder();
    for (const uint codePoint : codePoints) {
        if (codePoint < 0x80) {
            out.append(static_cast<char>(codePoint));
            continue;
        }
        wchar_t wide = static_cast<wchar_t>(codePoint);
        char bytes[8];
        char *in = reinterpret_cast<char *>(&wide);
        size_t inLeft = sizeof wide;
        char *outPtr = bytes;
        size_t outLeft = sizeof bytes;
        converter.convert(nullptr, nullptr, nullptr, nullptr);
        const bool ok = converter.valid() &&
                        converter.convert(&in, &inLeft, &outPtr, &outLeft) != size_t(-1) && inLeft == 0;
        if (ok) {
            out.append(bytes, outPtr - bytes);
        } else {
            out.append('?');
            lossless = false;
        }
    }
    return out;
}

} // namespace

bool canStore(QStringView text)
{
    const QList<uint> codePoints = text.toUcs4();
    for (const uint codePoint : codePoints) {
        if (isControl(codePoint) || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
    }
    bool lossless = false;
    const QByteArray bytes = encodeCodePoints(codePoints, lossless);
    // Several characters share one code (the yen sign and the backslash, for
    // one); only text that comes back unchanged can be stored and read again.
    return lossless && decode(bytes) == text;
}

QByteArray encode(QStringView text)
{
    QList<uint> codePoints = text.toUcs4();
    for (uint &codePoint : codePoints) {
        if (isControl(codePoint) && codePoint != '\t' && codePoint != '\r' && codePoint != '\n')
            codePoint = '?';
    }
    bool lossless = false;
    return encodeCodePoints(codePoints, lossless);
}

QString decode(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    Converter &converter = decoder();
    converter.convert(nullptr, nullptr, nullptr, nullptr);
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const unsigned char b = data[i];
        if (b < 0x80) {
            text.append(QLatin1Char(static_cast<char>(b)));
            ++i;
            continue;
        }
        // One character at a time: a single or a double byte code.
        const qsizetype length = isLeadByte(b) && i + 1 < size && isTrailByte(data[i + 1]) ? 2 : 1;
        char in[2] = {static_cast<char>(data[i]), length == 2 ? static_cast<char>(data[i + 1]) : '\0'};
        char *inPtr = in;
        size_t inLeft = static_cast<size_t>(length);
        wchar_t wide[4];
        char *outPtr = reinterpret_cast<char *>(wide);
        size_t outLeft = sizeof wide;
        converter.convert(nullptr, nullptr, nullptr, nullptr);
        const bool ok = converter.valid() &&
                        converter.convert(&inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1) && inLeft == 0 &&
                        outPtr != reinterpret_cast<char *>(wide);
        if (ok) {
            const auto count = (reinterpret_cast<wchar_t *>(outPtr) - wide);
            for (qsizetype k = 0; k < count; ++k) {
                const char32_t c = static_cast<char32_t>(wide[k]);
                if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
                    text.append(QChar(Replacement));
                else
                    text.append(QString::fromUcs4(&c, 1));
            }
        } else {
            text.append(QChar(Replacement));
        }
        i += length;
    }
    return text;
}

} // namespace Vacuola::Cp932
