#pragma once

#include "platform/posix/Fd.h"
#include "platform/posix/FolderChain.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

namespace Vacuola::Posix {

/**
 * The desktop's trash (the freedesktop.org trash layout) for the files of
 * one sweep: the home trash for a file on the home trash's device, else the
 * trash at the top of the file's own mount ($topdir/.Trash/$uid when the
 * administrator made a sticky .Trash there, else $topdir/.Trash-$uid). A file
 * is only ever renamed into it, relative to descriptors; where no trash can be
 * used on the file's file system, moving fails with EXDEV and nothing is done.
 */
class TrashCan final
{
    Q_DISABLE_COPY_MOVE(TrashCan)

public:
    /** `dataHome`: $XDG_DATA_HOME (by default ~/.local/share); empty when the user has none. */
    explicit TrashCan(const QString &dataHome);
    ~TrashCan();

    /**
     * Moves the entry `name` of the folder `folderFd` into the trash with a
     * .trashinfo of the deletion date `when` (local time). `trashedAs` gets the
     * path the file has in the trash's files folder; its .trashinfo is the entry
     * of the same name and ".trashinfo" in the trash's info folder.
     */
    int moveToTrash(int folderFd, const QByteArray &name, const QDateTime &when, QString &trashedAs);

private:
    // One trash folder: its path, its files and info folders, and the folder that
    // the Path of its .trashinfo files is relative to (empty: absolute paths).
    struct Bin
    {
        QByteArray path;
        QByteArray topdir;
        Fd files;
        Fd info;
    };
    // The trash folders a mount's files may go to, in the order they are tried.
    struct Place
    {
        MountKey mount;
        std::vector<Bin> bins;
    };
    Place &placeOf(const MountKey &mount, const QByteArray &folderPath);
    bool homeBin(const MountKey &mount, Bin &bin) const;
    bool topBin(const MountKey &mount, const QByteArray &folderPath, Bin &bin) const;
    static int moveInto(Bin &bin, int folderFd, const QByteArray &name, const QByteArray &originalPath,
                        const QDateTime &when, QString &trashedAs);

    QByteArray m_dataHome;
    std::vector<Place> m_places;
};

} // namespace Vacuola::Posix
