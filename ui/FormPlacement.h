#pragma once

#include "registers/SettingsFile.h"

#include <QRect>

class QWidget;

namespace Vacuola {

/** The window's placement as the settings file sees it: the client geometry, without the frame. */
class FormPlacement final : public SettingsWindow
{
    Q_DISABLE_COPY_MOVE(FormPlacement)

public:
    explicit FormPlacement(QWidget &window);
    ~FormPlacement() override;

    Placement placement() const override;
    double logicalDpi() const override;
    QSize screenSize() const override;
    void setMinimumSize(int width, int height) override;
    void setPlacement(const Placement &placement) override;

    /** The placement of the normal window, also while it is maximised or minimised. */
    QRect normalPlacement() const;

private:
    QWidget &m_window;
};

} // namespace Vacuola
