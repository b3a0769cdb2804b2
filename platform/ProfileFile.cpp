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

// Section and key names match without regard to case or surrounding blanks.
QString foldedName(QStringView name)
{
    return trimBlanks(name).toString().toCaseFolded();
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
    parse(QByteArrayView());
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

void ProfileFile::appendLine(Line line)
{
    const std::optional<QStringView> header = headerName(line.text);
    if (header) {
        const QString name = foldedName(*header);
        if (!m_sectionIndex.contains(name))
            m_sectionIndex.insert(name, m_sections.size());
        m_sections.append(Section{std::move(line), {}, {}});
        return;
    }
    if (m_sections.isEmpty()) {
        m_preamble.append(std::move(line));
        return;
    }
    Section &section = m_sections.last();
    const Entry entry = splitEntry(line.text);
    if (entry.isKey) {
        const QString key = foldedName(entry.key);
        if (!section.keys.contains(key))
            section.keys.insert(key, section.body.size());
    }
    section.body.append(std::move(line));
}

void ProfileFile::parse(QByteArrayView bytes)
{
    m_preamble.clear();
    m_sections.clear();
    m_sectionIndex.clear();
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
        appendLine(Line{Cp932::decode(line), line.toByteArray()});
        start = next;
    }
}

QByteArray ProfileFile::toBytes() const
{
    QByteArray bytes;
    const auto add = [&bytes](const Line &line) {
        bytes += line.bytes ? *line.bytes : Cp932::encode(line.text);
        bytes += "\r\n";
    };
    for (const Line &line : m_preamble)
        add(line);
    for (const Section &section : m_sections) {
        add(section.header);
        for (const Line &line : section.body)
            add(line);
    }
    return bytes;
}

QStringList ProfileFile::lines() const
{
    QStringList texts;
    for (const Line &line : m_preamble)
        texts << line.text;
    for (const Section &section : m_sections) {
        texts << section.header.text;
        for (const Line &line : section.body)
            texts << line.text;
    }
    return texts;
}

const ProfileFile::Section *ProfileFile::findSection(const QString &section) const
{
    const auto found = m_sectionIndex.constFind(foldedName(section));
    return found == m_sectionIndex.constEnd() ? nullptr : &m_sections.at(found.value());
}

qsizetype ProfileFile::findKey(const Section &section, const QString &key)
{
    return section.keys.value(foldedName(key), -1);
}

bool ProfileFile::hasKey(const QString &section, const QString &key) const
{
    const Section *found = findSection(section);
    return found != nullptr && findKey(*found, key) >= 0;
}

QString ProfileFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const Section *found = findSection(section);
    const qsizetype line = found != nullptr ? findKey(*found, key) : -1;
    if (line < 0)
        return defaultValue;
    return valueAsRead(splitEntry(found->body.at(line).text).value);
}

int ProfileFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    if (!hasKey(section, key))
        return defaultValue;
    return parseInteger(readString(section, key, QString()), defaultValue);
}

bool ProfileFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const auto sectionAt = m_sectionIndex.constFind(foldedName(section));
    if (sectionAt == m_sectionIndex.constEnd()) {
        appendLine(Line{u'[' + section + u']', std::nullopt});
        appendLine(Line{keyLine(key, value), std::nullopt});
        return;
    }
    Section &target = m_sections[sectionAt.value()];
    const qsizetype line = findKey(target, key);
    if (line >= 0) {
        // Keep the key as the file spells it.
        const Entry entry = splitEntry(target.body.at(line).text);
        target.body[line] = Line{keyLine(entry.key.toString(), value), std::nullopt};
        return;
    }
    // After the last non-blank line of the section, so that blank lines that
    // separate it from the next one stay where they are. Every key line lies
    // before that place, so the body indexes of the keys stay valid.
    qsizetype insertAt = target.body.size();
    while (insertAt > 0 && trimBlanks(target.body.at(insertAt - 1).text).isEmpty())
        --insertAt;
    target.body.insert(insertAt, Line{keyLine(key, value), std::nullopt});
    target.keys.insert(foldedName(key), insertAt);
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
