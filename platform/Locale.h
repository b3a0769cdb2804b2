#pragma once

#include <QCollator>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Locale-dependent text operations. They follow QLocale() (the default locale),
// which is the user's locale in the program and a fixed one in tests.
namespace Vacuola::Locale {

/** Collation of the locale with case ignored: <0, 0, >0. Used to sort log lines and management file names. */
int compareIgnoreCase(const QString &a, const QString &b);

/** compareIgnoreCase for many comparisons in a row: the locale's collator is looked up once. */
class IgnoreCaseOrder final
{
public:
    IgnoreCaseOrder();
    int compare(QStringView a, QStringView b) const;

private:
    const QCollator *m_collator;
};

/**
 * Sorts by compareIgnoreCase. Lines that compare equal keep no defined order.
 * Each line's collation key is made once, so a sweep's thousands of log lines
 * sort in a fraction of the time that pairwise comparisons would take.
 */
void sortIgnoreCase(QStringList &lines);

/** Collation of the locale with case respected (the version test). */
int compareCaseSensitive(const QString &a, const QString &b);

/** The locale's short date form. */
QString shortDate(const QDate &date);

/** The locale's long time form, without any time-zone field. */
QString longTime(const QTime &time);

/** A start moment: short date, and unless the time is 00:00:00, a blank and the long time. */
QString startMoment(const QDateTime &moment);

/** An elapsed time as a time of day in the long time form; whole days are dropped. */
QString elapsed(qint64 milliseconds);

} // namespace Vacuola::Locale

namespace Vacuola::Locale {

/** The order of the management file list: compareIgnoreCase, ties broken by code points, so the order is
 * total. */
int compareNames(const QString &a, const QString &b);

} // namespace Vacuola::Locale
