#include "platform/Locale.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <QTime>

#include <algorithm>
#include <vector>

namespace Vacuola::Locale {

namespace {

constexpr qint64 MillisecondsPerDay = 24 * 60 * 60 * 1000;

// Building a collator loads the locale's rules; log sorting compares thousands
// of lines, so one collator per locale and case mode is kept for the whole run.
QCollator &collator(Qt::CaseSensitivity sensitivity)
{
    static QHash<QString, QCollator> insensitive;
    static QHash<QString, QCollator> sensitive;
    QHash<QString, QCollator> &cache = sensitivity == Qt::CaseInsensitive ? insensitive : sensitive;
    const QLocale locale;
    const QString key = locale.name();
    auto it = cache.find(key);
    if (it == cache.end()) {
        QCollator made(locale);
        made.setCaseSensitivity(sensitivity);
        it = cache.insert(key, made);
    }
    return it.value();
}

int sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

bool isSeparator(QChar c)
{
    return c.isSpace() || c.isPunct() || c.isSymbol();
}

// A format string as the locale gives it, split into pieces: a run of one
// pattern letter, a quoted literal (quotes kept), or one other character.
QStringList tokens(const QString &format)
{
    QStringList pieces;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        qsizetype end = i + 1;
        if (c == QLatin1Char('\'')) {
            while (end < format.size()) {
                if (format.at(end) == QLatin1Char('\'')) {
                    if (end + 1 < format.size() && format.at(end + 1) == QLatin1Char('\'')) {
                        end += 2;
                        continue;
                    }
                    ++end;
                    break;
                }
                ++end;
            }
        } else if (c.isLetter()) {
            while (end < format.size() && format.at(end) == c)
                ++end;
        }
        pieces << format.mid(i, end - i);
        i = end;
    }
    return pieces;
}

bool isZoneField(const QString &piece)
{
    return !piece.isEmpty() && piece.at(0) == QLatin1Char('t');
}

bool isSeparatorPiece(const QString &piece)
{
    return piece.size() == 1 && isSeparator(piece.at(0));
}

// An elapsed time must read as a duration, so every time-zone field goes,
// together with the blank or punctuation that only served to set it apart.
QString withoutZone(const QString &format)
{
    QStringList pieces = tokens(format);
    for (qsizetype i = 0; i < pieces.size();) {
        if (!isZoneField(pieces.at(i))) {
            ++i;
            continue;
        }
        qsizetype first = i;
        qsizetype last = i;
        while (first > 0 && isSeparatorPiece(pieces.at(first - 1)))
            --first;
        while (last + 1 < pieces.size() && isSeparatorPiece(pieces.at(last + 1)))
            ++last;
        const bool textBefore = first > 0;
        const bool textAfter = last + 1 < pieces.size();
        if (textBefore && textAfter) {
            // Between two fields: keep the separator in front, drop the one behind.
            first = i;
        }
        pieces.remove(first, last - first + 1);
        i = first;
    }
    return pieces.join(QString());
}

QString longTimeFormat()
{
    static QHash<QString, QString> formats;
    const QLocale locale;
    const QString key = locale.name();
    auto it = formats.find(key);
    if (it == formats.end())
        it = formats.insert(key, withoutZone(locale.timeFormat(QLocale::LongFormat)));
    return it.value();
}

} // namespace

int compareIgnoreCase(const QString &a, const QString &b)
{
    return sign(collator(Qt::CaseInsensitive).compare(a, b));
}

IgnoreCaseOrder::IgnoreCaseOrder() : m_collator(&collator(Qt::CaseInsensitive)) {}

int IgnoreCaseOrder::compare(QStringView a, QStringView b) const
{
    return sign(m_collator->compare(a, b));
}

void sortIgnoreCase(QStringList &lines)
{
    const QCollator &sorter = collator(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(lines.size()));
    for (const QString &line : std::as_const(lines))
        keys.push_back(sorter.sortKey(line));
    // Indexes move, keys stay: a merge sort of plain integers.
    std::vector<qsizetype> order(keys.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = qsizetype(i);
    std::stable_sort(order.begin(), order.end(), [&keys](qsizetype a, qsizetype b) {
        return keys[size_t(a)].compare(keys[size_t(b)]) < 0;
    });
    QStringList sorted;
    sorted.reserve(lines.size());
    for (const qsizetype index : order)
        sorted.append(lines.at(index));
    lines.swap(sorted);
}

int compareCaseSensitive(const QString &a, const QString &b)
{
    return sign(collator(Qt::CaseSensitive).compare(a, b));
}

int compareNames(const QString &a, const QString &b)
{
    const int collated = compareIgnoreCase(a, b);
    if (collated != 0)
        return collated;
    return sign(QString::compare(a, b, Qt::CaseSensitive));
}

QString shortDate(const QDate &date)
{
    const QLocale locale;
    return locale.toString(date, locale.dateFormat(QLocale::ShortFormat));
}

QString longTime(const QTime &time)
{
    return QLocale().toString(time, longTimeFormat());
}

QString startMoment(const QDateTime &moment)
{
    const QString date = shortDate(moment.date());
    const QTime time = moment.time();
    // Fractions of a second do not count: a start at 00:00:00.5 shows no time.
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return date;
    return date + QLatin1Char(' ') + longTime(time);
}

QString elapsed(qint64 milliseconds)
{
    // A clock set back during a sweep gives a negative span; it reads as zero.
    const qint64 clamped = milliseconds < 0 ? 0 : milliseconds % MillisecondsPerDay;
    return longTime(QTime::fromMSecsSinceStartOfDay(static_cast<int>(clamped)));
}

} // namespace Vacuola::Locale
