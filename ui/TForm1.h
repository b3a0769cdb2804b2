#pragma once

#include <QMainWindow>

namespace Vacuola {

/** The program's one window. */
class TForm1 final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TForm1)

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;
};

} // namespace Vacuola
