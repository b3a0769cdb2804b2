#pragma once

#include "platform/FileSystem.h"
#include "platform/posix/Fd.h"

#include <QByteArray>
#include <QString>

#include <vector>

#include <sys/types.h>

namespace Vacuola::Posix {

// Where a descriptor lies: its mount, and whether it is itself the root of a
// mount. A bind mount of a folder of the same file system keeps the device
// number, so the device alone cannot tell that a walk left the swept mount.
struct MountKey
{
    quint64 id = 0;
    bool hasId = false;
    dev_t device = 0;
    bool mountRoot = false;
};

/**
 * The swept folder and everything below it. Every folder below the root is
 * opened relative to the root's descriptor without following a symbolic link
 * and without entering another mount; nothing outside the root is reachable.
 */
class PosixSweepTree final : public SweepTree
{
    Q_DISABLE_COPY_MOVE(PosixSweepTree)

public:
    /** `walk`: resolve by the component walk even where openat2 exists. */
    PosixSweepTree(const QString &root, bool walk);
    ~PosixSweepTree() override;

    int listFolder(const QString &path, const FolderVisitor &visit, FolderStatus *status) override;
    int folderReadOnly(const QString &path, bool &readOnly) override;
    int clearReadOnly(const QString &path) override;
    int deleteFile(const QString &folder, const QString &name) override;
    int removeFolder(const QString &path) override;

private:
    int relativePath(const QString &path, QByteArray &relative) const;
    int openFolder(const char *relative, Fd &fd, int extraFlags = 0);
    int openByWalk(const char *relative, Fd &fd, int extraFlags);
    /** Opens the parent of a relative path; `relative` is cut at its last slash and `name` points into it. */
    int openParent(QByteArray &relative, Fd &parent, const char *&name);
    int removeRoot();

    QString m_root;
    QByteArray m_rootBytes;
    Fd m_rootFd;
    int m_rootError = 0;
    dev_t m_rootDev = 0;
    ino_t m_rootIno = 0;
    MountKey m_rootMount;
    bool m_walk;
    std::vector<char> m_buffer;
    // Scratch for the path below the root, reused to spare an allocation per
    // call; every call is done with it before it hands control to a visitor.
    QByteArray m_relative;
    bool m_noAtime = true;
};

} // namespace Vacuola::Posix
