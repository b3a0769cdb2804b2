#pragma once

#include <QDateTime>
#include <QSize>
#include <QString>
#include <QtGlobal>

#include <functional>

namespace Vacuola {

class ExclusionRegister;
class FileSystem;
class ManagementFileRegister;
class OptionMarks;
class SearchFolderRegister;

/** The window's placement in pixels, independent of the window frame. */
struct Placement
{
    int top = 0;
    int left = 0;
    int height = 0;
    int width = 0;

    friend bool operator==(const Placement &, const Placement &) = default;
};

/**
 * What the settings file needs of the main window: its placement, the screen
 * and the minimum size. The window implements it; tests keep it in memory.
 */
class SettingsWindow
{
public:
    virtual ~SettingsWindow() = default;

    /** The current placement of the normal window (its built-in one before loading). */
    virtual Placement placement() const = 0;
    /** Logical pixels per inch of the window's screen (96 at the normal setting). */
    virtual double logicalDpi() const = 0;
    /** The primary screen's full size, task bar included. */
    virtual QSize screenSize() const = 0;
    virtual void setMinimumSize(int width, int height) = 0;
    /**
     * Sets top, left, width and height in that order. The size may be below the
     * minimum set before; the window then keeps its minimum.
     */
    virtual void setPlacement(const Placement &placement) = 0;
};

/**
 * The settings file: registered folders, management file names, the three
 * options and the window's placement, carried from one run to the next.
 * Start-up calls load, placeWindow, applyLogOption and, at its end,
 * applyOldLayoutRule and versionNotesDue; shut-down calls save.
 */
class SettingsFile final
{
    Q_DISABLE_COPY_MOVE(SettingsFile)

public:
    /** What loading read and later start-up steps need. */
    struct Loaded
    {
        QString version;     // empty when missing
        int logOption = 2;   // as stored; values outside 0..3 change nothing
        Placement placement; // as stored, the window's current values as defaults
        int readError = 0;   // the error number when the file exists but could not be read
    };

    SettingsFile(const QString &path, FileSystem &fileSystem);

    /** The version this release writes: ProgramVersion. */
    static QString currentVersion();

    QString path() const;

    /**
     * Reads the file into the two registers, the exclusion list and the marks of
     * DisableReadOnly, NonStop and MoveToTrash. Expects the search folder list to hold its
     * placeholder only and the management file list to be empty. A missing or
     * unreadable file gives the defaults; nothing is reported. A file without
     * an exclusion list leaves the register's defaults.
     */
    Loaded load(SearchFolderRegister &folders, ManagementFileRegister &names, ExclusionRegister &exclusions,
                OptionMarks &marks, const SettingsWindow &window) const;

    /** Sets the minimum size from the logical dpi and places the window within the screen. */
    void placeWindow(const Loaded &loaded, SettingsWindow &window) const;

    /** Marks the stored log option; options 1 and 2 purge logs older than a week or two. */
    void applyLogOption(const Loaded &loaded, OptionMarks &marks,
                        const std::function<void(const QDateTime &cutOff)> &purge,
                        const QDateTime &now) const;

    /**
     * Deletes the file when it was written by V1.12 or older (or has no version);
     * the result is not checked. A file that could not be read is kept: its
     * version is unknown, not empty.
     */
    void applyOldLayoutRule(const Loaded &loaded) const;

    /** True when the version notes are to be shown: the stored version is not exactly this release's. */
    bool versionNotesDue(const Loaded &loaded) const;

    /**
     * Writes the folders, names, options and placement, and the exclusion list
     * when it is not the defaults or the file holds one already. The file is replaced
     * whole and atomically, so on failure the previous file stays as it was.
     * Throws IoError(number, "<path> に書き込めません") when it cannot be written.
     */
    void save(const SearchFolderRegister &folders, const ManagementFileRegister &names,
              const ExclusionRegister &exclusions, const OptionMarks &marks,
              const Placement &placement) const;

    // Pure parts, exposed for tests.
    /** round(dpi × 2.23) and round(dpi × 1.8), halves to even: 214 × 173 at 96 dpi. */
    static QSize minimumSize(double dpi);
    /** The placement the window gets for a stored one on a screen of the given size. */
    static Placement clampedPlacement(const Placement &stored, QSize minimum, QSize screen);

private:
    QString m_path;
    FileSystem &m_fileSystem;
};

} // namespace Vacuola
