#include "tests/support/TestHelpers.h"

#include "core/RegisterLists.h"

#include <QFile>
#include <QLocale>

namespace Vacuola::Test {

void useJapaneseLocale()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
}

QByteArray readTestFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList marks(const ManagementFileList &list)
{
    QStringList result;
    for (int i = 0; i < list.count(); ++i)
        result << (list.isChecked(i) ? list.name(i) : u'-' + list.name(i));
    return result;
}

} // namespace Vacuola::Test
