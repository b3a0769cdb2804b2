#pragma once

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

namespace Vacuola::Test {

/** A scratch folder that removes itself. Paths given to the helpers are relative to it. */
class TestDir final : public QTemporaryDir
{
public:
    TestDir();

    /** Absolute path of a relative one ("" is the folder itself); no trailing slash. */
    QString absolute(const QString &relative = QString()) const;
    /** Creates the folder and its parents; returns its absolute path. */
    QString createDir(const QString &relative) const;
    /** Creates a file (and its parent folders) with the given bytes; sets the modification time when valid.
     */
    QString createFile(const QString &relative, const QByteArray &content = QByteArray(),
                       const QDateTime &mtime = QDateTime()) const;
    /** Creates a symbolic link at `relative` pointing to `target`. */
    QString createSymlink(const QString &relative, const QString &target) const;
    bool exists(const QString &relative) const;
    /** Sets or clears the owner-write bit of an entry. */
    void setReadOnly(const QString &relative, bool readOnly) const;
    /** Every entry below the folder, relative, sorted; folders end in "/". */
    QStringList tree() const;
};

} // namespace Vacuola::Test
