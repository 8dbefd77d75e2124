// Helpers for menu items: running a command as a click would, and finding sub-items.
#pragma once
#include <string>

class QAction;
class QMenu;

// Runs a menu command as a click would: first the parent items' click handlers from the
// top down (a menu's click is its aboutToShow, where the system updates the sub-items),
// then, when the item is still enabled and visible, the item itself. nullptr does nothing.
void MenuItemClick(QAction* item);
// Makes the shortcut keys of a menu's items act as the component library's do: the menu's
// click handler (its aboutToShow) runs first, so that the items' enabled states are those
// of the moment, and an item that is enabled but hidden still runs from its key.
void MenuShortcutsFollowOpenHandler(QMenu* menu);
// The last sub-item whose caption matches, accelerator marks ignored, case-blind; nullptr.
QAction* MenuItemFind(QMenu* menu, const std::string& caption);
QAction* MenuItemFindOrCreate(QMenu* menu, const std::string& caption);
void MenuItemChildrenSetEnabled(QMenu* menu, bool enabled);
// The menu an item lies in, or nullptr for an item of a menu bar or of none.
QMenu* MenuItemParent(QAction* item);
