#include "app/CommandLine.h"
#include "app/HeadlessRun.h"
#include "app/SingleInstance.h"
#include "app/WindowSession.h"
#include "platform/Console.h"
#include "platform/Display.h"
#include "platform/EndSignals.h"
#include "ui/QtTranslations.h"
#include "ui/TForm1.h"

#include <QApplication>
#include <QIcon>

namespace {

QIcon programIcon()
{
    QIcon icon;
    for (const char *size : {"16", "24", "32", "48", "64", "128", "256"})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(QLatin1String(size)));
    return icon;
}

} // namespace

int main(int argc, char *argv[])
{
    // The toolkit's own warnings say whose they are, as the program's messages do.
    qSetMessagePattern(QStringLiteral("vacuola: %{if-category}%{category}: %{endif}%{message}"));
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    Vacuola::CommandLine command = Vacuola::CommandLine::parse(arguments);
    if (command.mode == Vacuola::CommandLine::Mode::Window) {
        // The toolkit aborts where it finds no display: a plain refusal instead.
        QString display;
        const Vacuola::Display::Reach reach = Vacuola::Display::probe(display);
        if (reach != Vacuola::Display::Reach::Usable)
            command = Vacuola::CommandLine::withoutDisplay(
                reach == Vacuola::Display::Reach::Missing ? QString() : display);
    }
    // The command line is the program's own: the toolkit is given none of it,
    // so that no argument after "--" can be taken for one of its options.
    int toolkitArgc = 1;
    if (command.mode != Vacuola::CommandLine::Mode::Window) {
        // Output that goes away never ends a run before its log is written,
        // and a stop signal is caught before any folder can be touched.
        Vacuola::Console::guardOutput();
        if (command.mode == Vacuola::CommandLine::Mode::Sweep)
            Vacuola::Console::catchStopSignals();
        // No window and no display: a core application only.
        QCoreApplication app(toolkitArgc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Vacuola"));
        return Vacuola::runHeadless(command);
    }

    // Caught before anything is touched: a logout, a closed terminal or a kill
    // ends the window as a close does, its sweep's log and its settings kept.
    const int endSignals = Vacuola::EndSignals::catchIntoPipe();
    QApplication app(toolkitArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Vacuola"));
    QGuiApplication::setDesktopFileName(QStringLiteral(VACUOLA_APP_ID));
    Vacuola::loadQtTranslations();
    QApplication::setWindowIcon(programIcon());

    arguments = command.folder.isEmpty() ? QStringList() : QStringList{command.folder};
    const Vacuola::TForm1Services services = Vacuola::TForm1Services::forExecutable(arguments);
    // One window per settings file: a second start hands its folder to the first.
    Vacuola::SingleInstance instance(services.settingsFile);
    if (instance.handOver(arguments))
        return 0;
    Vacuola::WindowSession session(endSignals, instance);
    Vacuola::TForm1 window(services);
    session.attach(window);
    window.show();
    return QApplication::exec();
}
