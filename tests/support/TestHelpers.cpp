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

DescriptorLimit::DescriptorLimit(rlim_t limit)
{
    if (::getrlimit(RLIMIT_NOFILE, &m_saved) != 0)
        return;
    struct rlimit low = m_saved;
    low.rlim_cur = limit;
    m_active = ::setrlimit(RLIMIT_NOFILE, &low) == 0;
}

DescriptorLimit::~DescriptorLimit()
{
    if (m_active)
        ::setrlimit(RLIMIT_NOFILE, &m_saved);
}

bool DescriptorLimit::active() const
{
    return m_active;
}

} // namespace Vacuola::Test
