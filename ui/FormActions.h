#pragma once

#include "core/WindowServices.h"

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QPoint;
class QWidget;

namespace Vacuola {

/**
 * The window's actions (ActionList1), the menu items that run a command of
 * their own or carry an option mark, and the two pop-up menus. Every menu item
 * and button that shows an action takes its caption and state from it.
 */
struct FormActions
{
    // ActionList1
    QAction *AddFolder = nullptr;
    QAction *DelFolder = nullptr;
    QAction *SaveExit = nullptr;
    QAction *Vacuola = nullptr;
    QAction *IgnoreFileAdd = nullptr;
    QAction *IgnoreFileDel = nullptr;
    QAction *IgnoreFileAllOn = nullptr;
    QAction *IgnoreFileAllOff = nullptr;
    QAction *IgnoreFileSetAdd = nullptr;

    // The option marks of the settings menu
    QActionGroup *LogGroup = nullptr;
    QAction *Log[4] = {};
    QAction *DisableReadOnly = nullptr;
    QAction *NonStop = nullptr;
    QAction *MoveToTrash = nullptr;

    // Items with a command of their own
    QAction *Preview = nullptr;
    QAction *Undo = nullptr;
    QAction *Exclusions = nullptr;
    QAction *LogView = nullptr;
    QAction *FolderView = nullptr;
    QAction *About1 = nullptr;
    QAction *HomepageCall = nullptr;
    QAction *HelpCall = nullptr;
    /** The key F1, which runs HelpCall's command. */
    QAction *HelpKey = nullptr;

    QMenu *IListMenu = nullptr;
    QMenu *ScanPathMenu = nullptr;

    /** Builds the actions, the main menu (in the window's font) and the pop-up menus on the window. */
    static FormActions build(QMainWindow &window);
    /** The menu item of an option mark. */
    QAction *mark(OptionMark option) const;
    /** Opens a pop-up menu at a point of a control, unless the control is disabled. */
    static void popUp(QMenu *menu, const QWidget *control, const QWidget *area, const QPoint &pos);
};

} // namespace Vacuola
