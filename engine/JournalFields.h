#pragma once

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <charconv>

namespace Vacuola::JournalFields {

// A journal is lines of tab-separated fields. Names and paths are UTF-8 with
// "%" and every control byte (tabs and line ends among them) written as %XX.

/** Appends the text, encoded. */
void appendEncoded(QByteArray &out, QStringView text);
QString decoded(QByteArrayView field);

template <typename Number>
void appendNumber(QByteArray &out, Number number, int base = 10)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number, base).ptr;
    out.append(digits, end - digits);
}

/** Appends a folder's mode, owner, group and times, each after a tab. */
void appendMeta(QByteArray &out, const FolderMeta &meta);

/** The fields of one line; a line of more than MaxFields has its excess in the last one. */
constexpr qsizetype MaxFields = 12;
struct Fields
{
    std::array<QByteArrayView, MaxFields> at;
    qsizetype count = 0;
};
Fields split(QByteArrayView line);
/** Reads the seven fields that appendMeta wrote, from `from` on. */
bool readMeta(const Fields &fields, qsizetype from, FolderMeta &meta);

} // namespace Vacuola::JournalFields
