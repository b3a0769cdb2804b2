#include "engine/LogLines.h"

#include "platform/Cp932.h"
#include "platform/Locale.h"

#include <algorithm>
#include <cstring>

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

/**
 * The tails of two lines as text for one comparison of a sort. Only the tails
 * are decoded: in a deep tree the lines run to hundreds of characters, and what
 * two lines share is never looked at again.
 */
class DecodedTails final
{
public:
    /** The text of `bytes` from byte `from` on (a character boundary), in slot 0 or 1. */
    QStringView text(int slot, QByteArrayView bytes, bool ascii, qsizetype from)
    {
        QString &text = m_slots[slot];
        const QByteArrayView tail = bytes.sliced(from);
        if (ascii) {
            text.resize(tail.size());
            widen(tail.data(), tail.size(), reinterpret_cast<char16_t *>(text.data()));
        } else {
            text = QString::fromUtf8(tail);
        }
        return text;
    }

private:
    QString m_slots[2];
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

void LogLines::append(std::initializer_list<QStringView> pieces, quint32 folder)
{
    Line line{quint32(m_bytes.size()), 0, 1, folder};
    for (const QStringView piece : pieces) {
        if (isAscii(piece)) {
            const qsizetype at = m_bytes.size();
            m_bytes.resize(at + piece.size());
            char *out = m_bytes.data() + at;
            for (const QChar c : piece)
                *out++ = char(c.unicode());
        } else {
            line.ascii = 0;
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

void LogLines::sort(const std::vector<quint32> &places)
{
    const Locale::IgnoreCaseOrder order;
    DecodedTails decoded;
    const auto less = [&](const Line &a, const Line &b) {
        const QByteArrayView x = bytes(a);
        const QByteArrayView y = bytes(b);
        // What the two lines share up to the last "/" before their first
        // difference collates alike in both, so only what follows is compared.
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
        const QStringView left = decoded.text(0, x, a.ascii, from);
        const QStringView right = decoded.text(1, y, b.ascii, from);
        return order.compare(left, right) < 0;
    };

    if (!places.empty()) {
        const auto place = [&places](const Line &line) {
            return line.folder < places.size() ? places[line.folder] : NoFolder;
        };
        std::sort(m_lines.begin(), m_lines.end(),
                  [&place](const Line &a, const Line &b) { return place(a) < place(b); });
    }
    // A merge of the runs already in order: one run needs one comparison per line.
    std::vector<size_t> runs{0};
    for (size_t i = 1; i < m_lines.size(); ++i) {
        if (less(m_lines[i], m_lines[i - 1]))
            runs.push_back(i);
    }
    runs.push_back(m_lines.size());
    while (runs.size() > 2) {
        std::vector<size_t> merged{0};
        for (size_t run = 0; run + 1 < runs.size(); run += 2) {
            const size_t end = qMin(run + 2, runs.size() - 1);
            if (end == run + 2)
                std::inplace_merge(m_lines.begin() + qsizetype(runs[run]),
                                   m_lines.begin() + qsizetype(runs[run + 1]),
                                   m_lines.begin() + qsizetype(runs[end]), less);
            merged.push_back(runs[end]);
        }
        runs.swap(merged);
    }
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
