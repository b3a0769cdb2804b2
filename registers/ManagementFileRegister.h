#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace Vacuola {

class ManagementFileList;
class WindowServices;

/** The rules of the management file list: typed names, the preset set, marks and deletion. */
class ManagementFileRegister final
{
    Q_DISABLE_COPY_MOVE(ManagementFileRegister)

public:
    ManagementFileRegister(ManagementFileList &list, WindowServices &window);

    static QString invalidChars();  // \/:,;*?"<>|
    static QStringList presetSet(); // desktop.ini, thumbs.db, _thumbnl.sue, _catalog.vix

    /** Registers a lower-cased name with its mark on, or reports the duplicate. */
    void AddIgnoreFile(const QString &name);
    /** The input loop: asks for a name until it is valid or the user cancels. */
    void IgnoreFileAddExecute();
    void IgnoreFileSetAddExecute();
    void IgnoreFileAllOnExecute();
    void IgnoreFileAllOffExecute();
    void IgnoreFileDelExecute();
    void IgnoreListDblClick();

    /** True when a typed name is acceptable: not empty, no invalid character, storable in the settings file.
     */
    static bool isValidTypedName(const QString &name);
    /** True when the settings file can carry the name unchanged: code page 932, no control character. */
    static bool isStorableName(const QString &name);

    // For the settings file
    void loadStored(const QString &name); // lower-cased, checked, no test
    QStringList names() const;

private:
    ManagementFileList &m_list;
    WindowServices &m_window;
};

} // namespace Vacuola
