#pragma once

#include "ui/TForm1Services.h"

#include <QtGlobal>

#include <memory>

class QComboBox;
class QListWidget;
class QWidget;

namespace Vacuola {

class CheckListManagementFileList;
class ExclusionRegister;
class ComboSearchFolderList;
class FormPlacement;
class ManagementFileRegister;
class SearchFolderRegister;
class SettingsFile;
class SweepEngine;
class WindowServices;

/** The window's two controls that hold the registers. */
struct RegisterControls
{
    QComboBox &searchDir;
    QListWidget &ignoreList;
    /** The height of one row of the list in pixels. */
    int rowHeight;
};

/**
 * What the window's commands work on, wired to the window: the two lists kept
 * in the controls, the two registers on them, the settings file, the window's
 * placement and, from the creation step to the destruction step, the sweep.
 */
class FormWiring final
{
    Q_DISABLE_COPY_MOVE(FormWiring)

public:
    /** `services` must be complete (TForm1Services::completed). */
    FormWiring(const TForm1Services &services, QWidget &window, WindowServices &windowServices,
               const RegisterControls &controls);
    ~FormWiring();

    const TForm1Services &services() const;
    ComboSearchFolderList &searchList() const;
    CheckListManagementFileList &ignoreEntries() const;
    SearchFolderRegister &searchRegister() const;
    ManagementFileRegister &ignoreRegister() const;
    ExclusionRegister &exclusions() const;
    SettingsFile &settings() const;
    FormPlacement &placement() const;

    /** Creates the sweep, with its empty ScanList and LogList. */
    void createSweep();
    /** Null before createSweep and after destroySweep. */
    SweepEngine *sweep() const;
    void destroySweep();

private:
    TForm1Services m_services;
    WindowServices &m_windowServices;
    std::unique_ptr<ComboSearchFolderList> m_searchList;
    std::unique_ptr<CheckListManagementFileList> m_ignoreEntries;
    std::unique_ptr<SearchFolderRegister> m_searchRegister;
    std::unique_ptr<ManagementFileRegister> m_ignoreRegister;
    std::unique_ptr<ExclusionRegister> m_exclusions;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<FormPlacement> m_placement;
    std::unique_ptr<SweepEngine> m_sweep;
};

} // namespace Vacuola
