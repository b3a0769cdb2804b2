#include "ui/FormWiring.h"

#include "engine/SweepEngine.h"
#include "registers/ExclusionRegister.h"
#include "registers/ManagementFileRegister.h"
#include "registers/SearchFolderRegister.h"
#include "registers/SettingsFile.h"
#include "ui/ControlLists.h"
#include "ui/FormPlacement.h"

namespace Vacuola {

FormWiring::FormWiring(const TForm1Services &services, QWidget &window, WindowServices &windowServices,
                       const RegisterControls &controls)
    : m_services(services), m_windowServices(windowServices),
      m_searchList(std::make_unique<ComboSearchFolderList>(controls.searchDir)),
      m_ignoreEntries(std::make_unique<CheckListManagementFileList>(controls.ignoreList, controls.rowHeight)),
      m_searchRegister(
          std::make_unique<SearchFolderRegister>(*m_searchList, windowServices, *services.fileSystem)),
      m_ignoreRegister(std::make_unique<ManagementFileRegister>(*m_ignoreEntries, windowServices)),
      m_exclusions(std::make_unique<ExclusionRegister>(services.systemFolders)),
      m_settings(std::make_unique<SettingsFile>(services.settingsFile, *services.fileSystem)),
      m_placement(std::make_unique<FormPlacement>(window))
{}

FormWiring::~FormWiring() = default;

const TForm1Services &FormWiring::services() const
{
    return m_services;
}

ComboSearchFolderList &FormWiring::searchList() const
{
    return *m_searchList;
}

CheckListManagementFileList &FormWiring::ignoreEntries() const
{
    return *m_ignoreEntries;
}

SearchFolderRegister &FormWiring::searchRegister() const
{
    return *m_searchRegister;
}

ManagementFileRegister &FormWiring::ignoreRegister() const
{
    return *m_ignoreRegister;
}

ExclusionRegister &FormWiring::exclusions() const
{
    return *m_exclusions;
}

SettingsFile &FormWiring::settings() const
{
    return *m_settings;
}

FormPlacement &FormWiring::placement() const
{
    return *m_placement;
}

void FormWiring::createSweep()
{
    m_sweep = std::make_unique<SweepEngine>(
        SweepContext{m_windowServices, *m_searchRegister, *m_ignoreEntries, *m_services.fileSystem,
                     *m_services.clock, *m_services.textEditor, m_services.logFolder, *m_exclusions});
}

SweepEngine *FormWiring::sweep() const
{
    return m_sweep.get();
}

void FormWiring::destroySweep()
{
    m_sweep.reset();
}

} // namespace Vacuola
