#include "ui/TForm1.h"

namespace Vacuola {

TForm1::TForm1(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Vacuola V1.13A"));
}

TForm1::~TForm1() = default;

} // namespace Vacuola
