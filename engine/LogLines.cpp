#include "engine/LogLines.h"

#include "platform/Cp932.h"
#include "platform/Locale.h"

#include <algorithm>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Vacuola {

namespace {

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Widens ASCII bytes to UTF-16, sixteen at a time where the processor allows.
void widen(const char *in, qsizetype size, char16_t *out)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= size; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_unpackhi_epi8(bytes, zero));
    }
#endif
    for (; i < size; ++i)
        out[i] = char16_t(static_cast<unsigned char>(in[i]));
}

// UTF-16 code units of the UTF-8 bytes: one for each sequence, two for one of four bytes.
qsizetype utf16Length(QByteArrayView bytes)
{
    qsizetype units = 0;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80)
            ++units;
        if (b >= 0xF0)
            ++units;
    }
    return units;
}

/**
 * Lines as text for the comparisons of a sort. A sort compares one line (its
 * pivot) with many others in a row, so the last two lines decoded are kept.
 */
class DecodedLines final
{
public:
    /** The text of the line's bytes from byte `from` on. */
    QStringView text(quint32 start, QByteArrayView bytes, bool ascii, qsizetype from)
    {
        // The slot not used last is the one replaced: a view handed out for the
        // other line of the same comparison stays valid.
        const int index = m_slots[0].start == start ? 0 : (m_slots[1].start == start ? 1 : m_next);
        Slot &slot = m_slots[index];
        m_next = 1 - index;
        if (slot.start != start) {
            slot.start = start;
            if (ascii) {
                slot.text.resize(bytes.size());
                widen(bytes.data(), bytes.size(), reinterpret_cast<char16_t *>(slot.text.data()));
            } else {
                slot.text = QString::fromUtf8(bytes);
            }
        }
        const qsizetype at = ascii ? from : utf16Length(bytes.first(from));
        return QStringView(slot.text).sliced(at);
    }

private:
    struct Slot
    {
        quint32 start = std::numeric_limits<quint32>::max();
        QString text;
    };
    Slot m_slots[2];
    int m_next = 0;
};

} // namespace

LogLines::LogLines() = default;

LogLines::~LogLines() = default;

void LogLines::clear()
{
    m_bytes = QByteArray();
    std::vector<Line>().swap(m_lines);
}

qsizetype LogLines::size() const
{
    return qsizetype(m_lines.size());
}

bool LogLines::isEmpty() const
{
    return m_lines.empty();
}

void LogLines::append(std::initializer_list<QStringView> pieces)
{
    Line line{quint32(m_bytes.size()), 0, true};
    for (const QStringView piece : pieces) {
        if (isAscii(piece)) {
            const qsizetype at = m_bytes.size();
            m_bytes.resize(at + piece.size());
            char *out = m_bytes.data() + at;
            for (const QChar c : piece)
                *out++ = char(c.unicode());
        } else {
            line.ascii = false;
            m_bytes += piece.toUtf8();
        }
    }
    line.size = quint32(m_bytes.size()) - line.start;
    m_bytes += "\r\n";
    m_lines.push_back(line);
}

void LogLines::insertFirst(QStringView line)
{
    append({line});
    std::rotate(m_lines.begin(), m_lines.end() - 1, m_lines.end());
}

QByteArrayView LogLines::bytes(const Line &line) const
{
    return QByteArrayView(m_bytes.constData() + line.start, line.size);
}

QString LogLines::at(qsizetype index) const
{
    return QString::fromUtf8(bytes(m_lines[size_t(index)]));
}

QStringList LogLines::toStringList() const
{
    QStringList lines;
    lines.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        lines.append(at(i));
    return lines;
}

void LogLines::sort()
{
    const Locale::IgnoreCaseOrder order;
    DecodedLines decoded;
    std::sort(m_lines.begin(), m_lines.end(), [&](const Line &a, const Line &b) {
        const QByteArrayView x = bytes(a);
        const QByteArrayView y = bytes(b);
        // Lines sorted next to each other share most of their path. What they
        // share collates alike in both, so only what follows the last "/"
        // before their first difference is compared.
        const qsizetype shared = qMin(x.size(), y.size());
        qsizetype differ = 0;
        while (differ + 16 <= shared && std::memcmp(x.data() + differ, y.data() + differ, 16) == 0)
            differ += 16;
        while (differ < shared && x[differ] == y[differ])
            ++differ;
        qsizetype from = differ;
        while (from > 0 && x[from - 1] != '/')
            --from;
        from = from > 0 ? from - 1 : 0;
        const QStringView left = decoded.text(a.start, x, a.ascii, from);
        const QStringView right = decoded.text(b.start, y, b.ascii, from);
        return order.compare(left, right) < 0;
    });
}

QList<QByteArrayView> LogLines::block(QByteArray &encoded) const
{
    // Text beyond ASCII is encoded first, so that the pieces can point into a buffer that no longer grows.
    std::vector<qsizetype> ends;
    encoded.clear();
    for (const Line &line : m_lines) {
        if (!line.ascii) {
            encoded += Cp932::encode(QString::fromUtf8(bytes(line)));
            encoded += "\r\n";
            ends.push_back(encoded.size());
        }
    }
    QList<QByteArrayView> pieces;
    pieces.reserve(size());
    qsizetype from = 0;
    size_t next = 0;
    for (const Line &line : m_lines) {
        if (line.ascii) {
            pieces.append(QByteArrayView(m_bytes.constData() + line.start, line.size + 2));
        } else {
            pieces.append(QByteArrayView(encoded.constData() + from, ends[next] - from));
            from = ends[next++];
        }
    }
    return pieces;
}

} // namespace Vacuola
