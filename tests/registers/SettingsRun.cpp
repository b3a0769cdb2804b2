#include "tests/registers/SettingsRun.h"

#include "platform/ProfileFile.h"
#include "tests/support/TestHelpers.h"

namespace Vacuola::Test {

const Placement BuiltIn{115, 435, 185, 214};
const QDateTime Run::Now = QDateTime(QDate(2026, 12, 8), QTime(10, 0));

Placement MemorySettingsWindow::placement() const
{
    return current;
}

double MemorySettingsWindow::logicalDpi() const
{
    return dpi;
}

QSize MemorySettingsWindow::screenSize() const
{
    return screen;
}

void MemorySettingsWindow::setMinimumSize(int width, int height)
{
    minimum = QSize(width, height);
    calls << QStringLiteral("minimum");
}

void MemorySettingsWindow::setPlacement(const Placement &placement)
{
    current = placement;
    calls << QStringLiteral("place");
}

QByteArray fixture(const QString &name)
{
    return readTestFile(QStringLiteral(VACUOLA_FIXTURES "/") + name);
}

Run::Run(const QString &iniPath, FileSystem &fs)
    : folderReg(folders, window, fs), nameReg(names, window), settings(iniPath, fs)
{
    screen.current = BuiltIn;
    folderReg.resetToPlaceholder();
}

QList<QDateTime> Run::start()
{
    loaded = settings.load(folderReg, nameReg, exclusions, window, screen);
    settings.placeWindow(loaded, screen);
    QList<QDateTime> purges;
    settings.applyLogOption(
        loaded, window, [&](const QDateTime &cutOff) { purges << cutOff; }, Now);
    settings.applyOldLayoutRule(loaded);
    return purges;
}

void Run::save()
{
    settings.save(folderReg, nameReg, exclusions, window, screen.current);
}

QStringList Run::checkedNames() const
{
    return marks(names);
}

QStringList layout(const QByteArray &bytes)
{
    ProfileFile file;
    file.parse(bytes);
    QStringList keys;
    for (const QString &line : file.lines()) {
        const qsizetype equals = line.indexOf(u'=');
        keys << (equals < 0 ? line : line.left(equals + 1));
    }
    return keys;
}

} // namespace Vacuola::Test
