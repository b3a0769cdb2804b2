#include "platform/ProfileFile.h"

#include "platform/Cp932.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <limits>
#include <optional>

namespace Vacuola {

namespace {

bool isBlank(QChar c)
{
    // Only ASCII blanks: an ideographic space belongs to the value.
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.sliced(begin, end - begin);
}

bool isQuoted(QStringView text)
{
    return text.size() >= 2 && text.front() == u'"' && text.back() == u'"';
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The section name of a header line; nothing for any other line.
std::optional<QStringView> headerName(const QString &line)
{
    const QStringView text = trimBlanks(line);
    if (!text.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = text.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    return trimBlanks(text.sliced(1, close - 1));
}

struct Entry
{
    bool isKey = false;
    QStringView key;
    QStringView value;
};

Entry splitEntry(const QString &line)
{
    Entry entry;
    const QStringView text = trimBlanks(line);
    if (text.isEmpty() || text.startsWith(u';'))
        return entry;
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0)
        return entry;
    entry.key = trimBlanks(text.first(equals));
    entry.value = trimBlanks(text.sliced(equals + 1));
    entry.isKey = !entry.key.isEmpty();
    return entry;
}

QString valueAsRead(QStringView raw)
{
    QStringView value = isQuoted(raw) ? raw.sliced(1, raw.size() - 2) : raw;
    if (value.size() > ProfileFile::MaxValueLength) {
        qsizetype cut = ProfileFile::MaxValueLength;
        // Never leave half of a surrogate pair behind.
        if (value.at(cut - 1).isHighSurrogate())
            --cut;
        value = value.first(cut);
    }
    return value.toString();
}

QString valueAsWritten(const QString &value)
{
    QString text = value;
    text.replace(u'\r', u'?');
    text.replace(u'\n', u'?');
    const bool needsQuotes =
        (!text.isEmpty() && (isBlank(text.front()) || isBlank(text.back()))) || isQuoted(text);
    if (needsQuotes)
        return u'"' + text + u'"';
    return text;
}

QString keyLine(const QString &key, const QString &value)
{
    return key + u'=' + valueAsWritten(value);
}

} // namespace

ProfileFile::ProfileFile() = default;

int ProfileFile::load(FileSystem &fileSystem, const QString &path)
{
    m_lines.clear();
    QByteArray bytes;
    const int error = fileSystem.readFile(path, bytes);
    if (error == ENOENT)
        return 0;
    if (error != 0)
        return error;
    parse(bytes);
    return 0;
}

int ProfileFile::save(FileSystem &fileSystem, const QString &path) const
{
    return fileSystem.replaceFile(path, toBytes());
}

void ProfileFile::parse(QByteArrayView bytes)
{
    m_lines.clear();
    if (bytes.isEmpty())
        return;
    // CR and LF never occur inside a double-byte character, so the bytes can be
    // split into lines before decoding.
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        QByteArrayView line = bytes.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        m_lines.append(Line{Cp932::decode(line), line.toByteArray()});
        start = next;
    }
}

QByteArray ProfileFile::toBytes() const
{
    QByteArray bytes;
    for (const Line &line : m_lines) {
        bytes += line.bytes ? *line.bytes : Cp932::encode(line.text);
        bytes += "\r\n";
    }
    return bytes;
}

QStringList ProfileFile::lines() const
{
    QStringList texts;
    texts.reserve(m_lines.size());
    for (const Line &line : m_lines)
        texts << line.text;
    return texts;
}

qsizetype ProfileFile::findSection(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const std::optional<QStringView> name = headerName(m_lines.at(i).text);
        if (name && sameName(*name, trimBlanks(section)))
            return i;
    }
    return -1;
}

qsizetype ProfileFile::sectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < m_lines.size() && !headerName(m_lines.at(i).text))
        ++i;
    return i;
}

ProfileFile::KeyLine ProfileFile::findKey(const QString &section, const QString &key) const
{
    KeyLine found;
    const qsizetype header = findSection(section);
    if (header < 0)
        return found;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const Entry entry = splitEntry(m_lines.at(i).text);
        if (entry.isKey && sameName(entry.key, trimBlanks(key))) {
            found.line = i;
            found.value = valueAsRead(entry.value);
            return found;
        }
    }
    return found;
}

bool ProfileFile::hasKey(const QString &section, const QString &key) const
{
    return findKey(section, key).line >= 0;
}

QString ProfileFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const KeyLine found = findKey(section, key);
    return found.line >= 0 ? found.value : defaultValue;
}

int ProfileFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const KeyLine found = findKey(section, key);
    return found.line >= 0 ? parseInteger(found.value, defaultValue) : defaultValue;
}

bool ProfileFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const qsizetype header = findSection(section);
    if (header < 0) {
        m_lines.append(Line{u'[' + section + u']', std::nullopt});
        m_lines.append(Line{keyLine(key, value), std::nullopt});
        return;
    }
    const KeyLine found = findKey(section, key);
    if (found.line >= 0) {
        // Keep the key as the file spells it.
        const Entry entry = splitEntry(m_lines.at(found.line).text);
        m_lines[found.line] = Line{keyLine(entry.key.toString(), value), std::nullopt};
        return;
    }
    // After the last non-blank line of the section, so that blank lines that
    // separate it from the next one stay where they are.
    qsizetype insertAt = sectionEnd(header);
    while (insertAt > header + 1 && trimBlanks(m_lines.at(insertAt - 1).text).isEmpty())
        --insertAt;
    m_lines.insert(insertAt, Line{keyLine(key, value), std::nullopt});
}

void ProfileFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void ProfileFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

int ProfileFile::parseInteger(QStringView text, int defaultValue)
{
    const QStringView number = trimBlanks(text);
    qsizetype pos = 0;
    int base = 10;
    bool negative = false;
    if (number.startsWith(u"0x") || number.startsWith(u"0X")) {
        base = 16;
        pos = 2;
    } else if (number.startsWith(u'$')) {
        base = 16;
        pos = 1;
    } else if (number.startsWith(u'-') || number.startsWith(u'+')) {
        negative = number.front() == u'-';
        pos = 1;
    }
    if (pos >= number.size())
        return defaultValue;

    // One beyond the largest magnitude allowed still fits, for the negative limit.
    const qint64 limit =
        negative ? qint64(std::numeric_limits<int>::max()) + 1 : std::numeric_limits<int>::max();
    qint64 magnitude = 0;
    for (; pos < number.size(); ++pos) {
        const char16_t c = number.at(pos).unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0)
            return defaultValue;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return defaultValue;
    }
    return int(negative ? -magnitude : magnitude);
}

} // namespace Vacuola
