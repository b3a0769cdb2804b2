#include "tests/ui/WindowRig.h"

#include "platform/Cp932.h"

#include <QFile>
#include <QListWidget>

namespace Vacuola::Test {

WindowRig::WindowRig() = default;

WindowRig::~WindowRig()
{
    close();
}

TForm1 &WindowRig::open(const QStringList &arguments)
{
    TForm1Services services;
    services.fileSystem = &fileSystem;
    services.clock = &clock;
    services.textEditor = &editor;
    services.dialogs = &dialogs;
    services.openUrl = [this](const QUrl &url) {
        openedUrls << url;
    };
    services.programFolder = program.absolute();
    services.settingsFile = settingsFile;
    services.logFolder = logFolder;
    services.arguments = arguments;
    window = std::make_unique<TForm1>(services);
    return *window;
}

void WindowRig::close()
{
    window.reset();
}

QString WindowRig::settingsPath() const
{
    return settingsFile.isEmpty() ? program.absolute(QStringLiteral("vacuola.ini")) : settingsFile;
}

QStringList WindowRig::ignoreListMarks() const
{
    const auto *list = find<QListWidget>(QStringLiteral("IgnoreList"));
    QStringList result;
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem *item = list->item(i);
        result << (item->checkState() == Qt::Checked ? item->text() : u'-' + item->text());
    }
    return result;
}

void WindowRig::writeSettings(const QStringList &lines) const
{
    QFile file(settingsPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(Cp932::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
}

} // namespace Vacuola::Test
