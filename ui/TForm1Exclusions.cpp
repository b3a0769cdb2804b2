// 設定 → 除外フォルダ: the exclusion list, edited in its dialog. The next sweep,
// dry run and preview take the list as it then stands; the settings file keeps it.

#include "registers/ExclusionRegister.h"
#include "ui/Dialogs.h"
#include "ui/FormWiring.h"
#include "ui/TForm1.h"

namespace Vacuola {

void TForm1::ExclusionsClick()
{
    ExclusionRegister &exclusions = m_wiring->exclusions();
    QStringList patterns = exclusions.patterns();
    if (m_services.dialogs->exclusions(this, patterns))
        exclusions.setPatterns(patterns);
}

} // namespace Vacuola
