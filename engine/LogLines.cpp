#include "engine/LogLines.h"

#include "platform/Cp932.h"
#include "platform/Locale.h"

#include <algorithm>
#include <cstring>

namespace Vacuola {

namespace {

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// The text of UTF-8 bytes, in a buffer that the caller reuses.
QStringView decode(QByteArrayView bytes, bool ascii, QString &buffer)
{
    if (!ascii) {
        buffer = QString::fromUtf8(bytes);
        return buffer;
    }
    buffer.resize(bytes.size());
    char16_t *out = reinterpret_cast<char16_t *>(buffer.data());
    for (const char c : bytes)
        *out++ = char16_t(static_cast<unsigned char>(c));
    return buffer;
}

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
    QString left;
    QString right;
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
        return order.compare(decode(x.sliced(from), a.ascii, left), decode(y.sliced(from), b.ascii, right)) <
               0;
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
