#pragma once

#include <QString>
#include <QStringList>

namespace Vacuola {

class FileSystem;

/** Where the folders that other programs rely on are read from. */
struct SystemFolderSources
{
    QString home;       // the user's home, no trailing slash; empty when unknown
    QString dataHome;   // $XDG_DATA_HOME, by default ~/.local/share
    QString configHome; // $XDG_CONFIG_HOME, by default ~/.config
    QString fstab;      // the table of file systems, /etc/fstab

    /** The sources of the user running this process, from its environment. */
    static SystemFolderSources ofThisUser();
};

/**
 * The folders other programs rely on, absolute and cleaned: the user's trash
 * (dataHome + "/Trash"), the folders named in configHome + "/user-dirs.dirs"
 * (the home itself not counting), and the mount points of the fstab (its
 * second field with octal escapes such as "\040" undone; "none" and "swap"
 * skipped). A file that is missing or cannot be read adds nothing.
 */
QStringList systemProtectedFolders(const SystemFolderSources &sources, FileSystem &fileSystem);

/** The mount points of an fstab's text, in the order they are listed. */
QStringList fstabMountPoints(QByteArrayView text);

/** The XDG user folders named in a user-dirs.dirs text, "$HOME" standing for `home`; the home itself left
 * out. */
QStringList xdgUserFolders(QByteArrayView text, const QString &home);

} // namespace Vacuola
