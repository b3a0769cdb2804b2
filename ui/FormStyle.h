#pragma once

#include <QFont>

class QComboBox;
class QLabel;
class QListWidget;
class QStatusBar;
class QWidget;

namespace Vacuola {

/** The controls that carry the window's designed colours and fonts. */
struct StyledControls
{
    QWidget *window = nullptr;
    QWidget *client = nullptr;
    QLabel *delCounter = nullptr;
    QLabel *label1 = nullptr;
    QLabel *label2 = nullptr;
    QComboBox *searchDir = nullptr;
    QListWidget *ignoreList = nullptr;
    QStatusBar *status = nullptr;
};

/** The window's designed look. */
namespace FormStyle {

/** The window's typeface at a pixel size. */
QFont font(int pixelSize, bool bold = false);
/** Teal window, money green lists, counter and status bar with teal text, aqua labels, the fonts. */
void apply(const StyledControls &controls, int textPixels, int labelPixels);

} // namespace FormStyle

} // namespace Vacuola
