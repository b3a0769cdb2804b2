#pragma once

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

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

/** What a folder of a sweep tree lists, name by name; `error` gets the listing's result. */
QMap<QString, EntryKind> listing(SweepTree &tree, const QString &path, int *error = nullptr);

/** Lowers how many descriptors the process may hold open, for as long as it lives. */
class DescriptorLimit final
{
public:
    explicit DescriptorLimit(rlim_t limit);
    ~DescriptorLimit();
    DescriptorLimit(const DescriptorLimit &) = delete;
    DescriptorLimit &operator=(const DescriptorLimit &) = delete;

    /** Whether the limit was lowered. */
    bool active() const;

private:
    struct rlimit m_saved;
    bool m_active = false;
};

/** Gives the folders, with all they hold, to the ordinary user nobody and acts as them (root only). */
bool actAsNobody(const QStringList &folders);

} // namespace Vacuola::Test
