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
    QWidget *execButton = nullptr;
    QWidget *exitButton = nullptr;
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
/**
 * Every colour of the window fixed, whatever the desktop's theme: teal window,
 * money green lists and counter with teal text, aqua labels, black text on the
 * money green status bar; and the fonts.
 */
void apply(const StyledControls &controls, int textPixels, int labelPixels);
/** The window's menus in the same fixed colours as its menu bar, whatever the desktop's theme. */
void applyToMenus(const QWidget &window);

} // namespace FormStyle

} // namespace Vacuola
