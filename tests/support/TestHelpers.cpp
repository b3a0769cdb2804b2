#include "tests/support/TestHelpers.h"

#include "core/RegisterLists.h"

#include <QDirIterator>
#include <QFile>
#include <QLocale>

#include <unistd.h>

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

QMap<QString, EntryKind> listing(SweepTree &tree, const QString &path, int *error)
{
    QMap<QString, EntryKind> entries;
    const int result = tree.listFolder(
        path,
        [&](const FolderEntry &entry) {
            entries.insert(entry.name, entry.kind);
            return true;
        },
        nullptr);
    if (error != nullptr)
        *error = result;
    return entries;
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

bool actAsNobody(const QStringList &folders)
{
    constexpr uid_t nobody = 65534;
    // An entry that cannot be handed over leaves the test without its ordinary user.
    bool handedOver = true;
    for (const QString &folder : folders) {
        QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        for (QString entry = folder; !entry.isEmpty(); entry = it.hasNext() ? it.next() : QString())
            handedOver = ::lchown(QFile::encodeName(entry).constData(), nobody, nobody) == 0 && handedOver;
    }
    return handedOver && ::geteuid() == 0 && ::seteuid(nobody) == 0;
}

} // namespace Vacuola::Test
