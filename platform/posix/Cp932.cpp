#include "platform/Cp932.h"

#include "platform/posix/Converter.h"

#include <cerrno>
#include <cwchar>

namespace Vacuola::Cp932 {

namespace {

constexpr char32_t Replacement = 0xFFFD;

// One conversion descriptor per direction and thread, opened on first use.
using Posix::Converter;

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

// C0, DEL and C1: every character of the Unicode control category.
bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isTrailByte(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Writes the code page 932 form of one code point (at most two bytes) and
// moves `out` past it; false when the code point has none.
bool encodeOne(char32_t codePoint, char *&out)
{
    Converter &converter = encoder();
    if (!converter.valid())
        return false;
    wchar_t wide = static_cast<wchar_t>(codePoint);
    char bytes[8];
    char *in = reinterpret_cast<char *>(&wide);
    size_t inLeft = sizeof wide;
    char *outPtr = bytes;
    size_t outLeft = sizeof bytes;
    converter.convert(nullptr, nullptr, nullptr, nullptr);
    if (converter.convert(&in, &inLeft, &outPtr, &outLeft) == size_t(-1) || inLeft != 0 || outPtr - bytes > 2)
        return false;
    for (const char *b = bytes; b != outPtr; ++b)
        *out++ = *b;
    return true;
}

// Encodes text; a character without a form (or a lone surrogate) becomes "?"
// and `lossless` turns false. ASCII, nearly all of a log, is copied directly:
// a log block can hold a line for each of a hundred thousand folders.
QByteArray encodeText(QStringView text, bool replaceControls, bool &lossless)
{
    lossless = true;
    // A UTF-16 unit never takes more than two bytes.
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    char *p = out.data();
    const char16_t *units = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            const bool kept =
                !replaceControls || !isControl(unit) || unit == '\t' || unit == '\r' || unit == '\n';
            *p++ = kept ? static_cast<char>(unit) : '?';
            continue;
        }
        char32_t codePoint = unit;
        if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1])) {
            codePoint = QChar::surrogateToUcs4(unit, units[i + 1]);
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            *p++ = '?';
            lossless = false;
            continue;
        }
        if (!encodeOne(codePoint, p)) {
            *p++ = '?';
            lossless = false;
        }
    }
    out.truncate(p - out.data());
    return out;
}

} // namespace

bool canStore(QStringView text)
{
    for (const QChar c : text) {
        if (isControl(c.unicode()))
            return false;
    }
    bool lossless = false;
    const QByteArray bytes = encodeText(text, false, lossless);
    // Several characters share one code (the yen sign and the backslash, for
    // one); only text that comes back unchanged can be stored and read again.
    return lossless && decode(bytes) == text;
}

QByteArray encode(QStringView text)
{
    bool lossless = false;
    return encodeText(text, true, lossless);
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
