#include "tests/engine/EngineRig.h"

#include "platform/Clock.h"
#include "platform/Cp932.h"

#include "tests/support/TestHelpers.h"

namespace Vacuola::Test {

EngineRig::EngineRig(FileSystem &real)
    : fs(real), searchFolders(searchList, window, fs),
      exclusions(SystemFolderSources{
          area.absolute(QStringLiteral("root")), area.absolute(QStringLiteral("root/.local/share")),
          area.absolute(QStringLiteral("root/.config")), area.absolute(QStringLiteral("fstab"))}),
      engine(SweepContext{window, searchFolders, files, fs, clock, editor, program.absolute(), exclusions})
{
    area.createDir(QStringLiteral("root"));
    searchFolders.resetToPlaceholder();
    searchList.select(0);
}

QString EngineRig::root() const
{
    return area.absolute(QStringLiteral("root"));
}

QString EngineRig::at(const QString &relative) const
{
    return relative.isEmpty() ? root() : root() + QLatin1Char('/') + relative;
}

QStringList EngineRig::rootTree() const
{
    QStringList result;
    const QString prefix = QStringLiteral("root/");
    for (const QString &entry : area.tree()) {
        if (entry.startsWith(prefix) && entry.size() > prefix.size())
            result << entry.mid(prefix.size());
    }
    return result;
}

void EngineRig::selectRoot()
{
    if (!searchList.items.contains(root()))
        searchFolders.appendStored(root());
    searchList.select(int(searchList.items.indexOf(root())));
}

void EngineRig::checkNames(const QStringList &names)
{
    for (const QString &name : names)
        files.add(name, true);
}

int EngineRig::indexOf(const QString &name) const
{
    for (int i = 0; i < files.count(); ++i) {
        if (files.name(i) == name)
            return i;
    }
    return -1;
}

void EngineRig::sweep()
{
    selectRoot();
    engine.VacuolaExecute();
}

QByteArray EngineRig::logBytes(const QDate &day) const
{
    return readTestFile(engine.logFilePath(QDateTime(day, QTime(12, 0))));
}

QString EngineRig::logText(const QDate &day) const
{
    return Cp932::decode(logBytes(day));
}

LogBlock EngineRig::logBlock(const QDate &day) const
{
    return parseLogBlock(logText(day).split(QStringLiteral("\r\n")));
}

QStringList folderLines(const SweepEngine &engine)
{
    return parseLogBlock(engine.logList()).folders;
}

QString detail(int error)
{
    return QStringLiteral("エラー内容\t(") + QString::number(error) + QLatin1Char(')') + errorMessage(error) +
           QStringLiteral("\r\n");
}

} // namespace Vacuola::Test
