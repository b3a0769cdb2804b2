#include "ui/TForm1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vacuola"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vacuola"));

    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    Vacuola::TForm1 window(Vacuola::TForm1Services::forExecutable(arguments));
    window.show();
    return QApplication::exec();
}
