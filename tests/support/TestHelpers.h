#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Vacuola {
class ManagementFileList;
}

namespace Vacuola::Test {

/** The user's locale of the tests: Japanese (Japan), for dates, times and the order of names. */
void useJapaneseLocale();

/** The bytes of a file; empty when it cannot be read. */
QByteArray readTestFile(const QString &path);

/** Each entry of a management file list in order: its name when checked, "-" and its name when not. */
QStringList marks(const ManagementFileList &list);

} // namespace Vacuola::Test
