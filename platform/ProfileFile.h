#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace Vacuola {

class FileSystem;

/**
 * A private profile (INI) file held in memory as its lines. On disk it is code
 * page 932 text with CR LF line ends; LF-only files are read too.
 *
 * Section and key names match without regard to case. Writing a key that exists
 * replaces its value in place; a new key goes after the last line of its
 * section, a new section at the end of the file. Blank and unknown lines are
 * kept. Reading trims blanks around keys and values and cuts a value at 2047
 * characters. A value with blanks at either end, or one that is itself
 * enclosed in double quotes, is written in double quotes, and one pair of
 * enclosing quotes is removed on reading, so every value reads back as written.
 * Lines that are not written keep their bytes exactly as read (only their line
 * end becomes CR LF), even where they are no valid code page 932 text.
 */
class ProfileFile final
{
    Q_DISABLE_COPY_MOVE(ProfileFile)

public:
    static constexpr int MaxValueLength = 2047;

    ProfileFile();

    /** Reads the file; a missing file reads as empty (returns 0). Otherwise 0 or the error number. */
    int load(FileSystem &fileSystem, const QString &path);
    /** Replaces the file atomically with the lines held. 0 or the error number. */
    int save(FileSystem &fileSystem, const QString &path) const;

    /** Replaces the lines with those of the given code page 932 bytes. */
    void parse(QByteArrayView bytes);
    /** The lines as code page 932 bytes, each ended by CR LF; lines as read keep their own bytes. */
    QByteArray toBytes() const;
    QStringList lines() const;

    bool hasKey(const QString &section, const QString &key) const;
    /** The value, or `defaultValue` when the key is missing (a present empty value reads as empty). */
    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    /** Decimal, or hexadecimal after "0x", "0X" or "$"; see parseInteger. */
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    /** Read as an integer: non-zero is true. */
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    /** CR and LF in a value would split its line: they are written as "?". */
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

    /**
     * The whole text as a 32-bit integer: an optional sign and decimal digits,
     * or "0x", "0X" or "$" and hexadecimal digits. Surrounding blanks are
     * ignored. Anything else, and any number outside the 32-bit signed range,
     * gives `defaultValue`.
     */
    static int parseInteger(QStringView text, int defaultValue);

private:
    struct Line
    {
        QString text;
        /** The bytes as read, without the line end; none for a line written since. */
        std::optional<QByteArray> bytes;
    };
    /** A header line and the lines up to the next header. */
    struct Section
    {
        Line header;
        QList<Line> body;
        /** Case-folded key name to the body index of its first line. */
        QHash<QString, qsizetype> keys;
    };

    /** The first section of that name, or nullptr. */
    const Section *findSection(const QString &section) const;
    /** The body index of the key's first line in the section, or -1. */
    static qsizetype findKey(const Section &section, const QString &key);
    void appendLine(Line line);

    QList<Line> m_preamble; // the lines before the first header
    QList<Section> m_sections;
    /** Case-folded section name to the index of its first section. */
    QHash<QString, qsizetype> m_sectionIndex;
};

} // namespace Vacuola
