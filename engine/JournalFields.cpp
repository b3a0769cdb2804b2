#include "engine/JournalFields.h"

#include <algorithm>

namespace Vacuola::JournalFields {

void appendEncoded(QByteArray &out, QStringView text)
{
    // Most names are printable ASCII, which stands for itself.
    const auto plain = [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() < 0x7F && c != u'%';
    };
    if (std::all_of(text.begin(), text.end(), plain)) {
        const qsizetype at = out.size();
        out.resize(at + text.size());
        std::transform(text.begin(), text.end(), out.data() + at, [](QChar c) { return char(c.unicode()); });
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    const auto special = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || c == '%';
    };
    if (std::none_of(utf8.cbegin(), utf8.cend(), special)) {
        out += utf8;
        return;
    }
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (const char c : utf8) {
        if (special(c)) {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += Hex[byte >> 4];
            out += Hex[byte & 0xF];
        } else {
            out += c;
        }
    }
}

QString decoded(QByteArrayView field)
{
    if (!field.contains('%'))
        return QString::fromUtf8(field);
    return QString::fromUtf8(QByteArray::fromPercentEncoding(field.toByteArray()));
}

void appendMeta(QByteArray &out, const FolderMeta &meta)
{
    // Made in place and appended at once: a journal holds one of these for
    // nearly every folder a sweep removes.
    std::array<char, 7 * 24> text;
    char *const end = text.data() + text.size();
    char *at = text.data();
    const auto field = [&at, end](auto number, int base = 10) {
        // Seven fields of at most 20 digits and a sign always fit.
        if (at < end)
            *at++ = '\t';
        at = std::to_chars(at, end, number, base).ptr;
    };
    field(meta.mode, 8);
    field(meta.owner);
    field(meta.group);
    field(meta.accessSeconds);
    field(meta.accessNanoseconds);
    field(meta.modifySeconds);
    field(meta.modifyNanoseconds);
    out.append(text.data(), at - text.data());
}

Fields split(QByteArrayView line)
{
    Fields fields;
    for (;;) {
        const qsizetype tab = fields.count + 1 < MaxFields ? line.indexOf('\t') : -1;
        fields.at[size_t(fields.count++)] = tab < 0 ? line : line.first(tab);
        if (tab < 0)
            return fields;
        line = line.sliced(tab + 1);
    }
}

bool readMeta(const Fields &fields, qsizetype from, FolderMeta &meta)
{
    if (fields.count < from + 7)
        return false;
    const auto at = [&fields, from](qsizetype i) {
        return fields.at[size_t(from + i)];
    };
    bool ok[7] = {};
    meta.mode = at(0).toUInt(&ok[0], 8) & 07777;
    meta.owner = at(1).toUInt(&ok[1]);
    meta.group = at(2).toUInt(&ok[2]);
    meta.accessSeconds = at(3).toLongLong(&ok[3]);
    meta.accessNanoseconds = at(4).toInt(&ok[4]);
    meta.modifySeconds = at(5).toLongLong(&ok[5]);
    meta.modifyNanoseconds = at(6).toInt(&ok[6]);
    return std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; });
}

} // namespace Vacuola::JournalFields
