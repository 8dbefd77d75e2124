// Helpers for tree views, list views (a tree widget with columns), status bars and track
// bars (sliders).
#pragma once
#include <string>

class QSlider;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;

// True when ancestor is the node itself or lies above it.
bool TreeNodeInheritsFrom(const QTreeWidgetItem* node, const QTreeWidgetItem* ancestor);
// The folder path of a node: the texts from the top node down, each ending in "/".
std::string TreeNodeGetPath(const QTreeWidgetItem* node);
// Replaces the node's children with one node per sub-folder of its path, sorted.
void TreeViewExplore(QTreeWidgetItem* node);
// "N object(s)", or "N object(s) selected" while a selection exists, as the bar's text.
void StatusBarExplorer(QStatusBar* bar, const QTreeWidget* listView);
// Gives the bar's widgets equal shares of its width, the last one taking the rest.
void StatusBarResize(QStatusBar* bar);
// Sets the position without firing the change signal.
void TrackBarSetPosition(QSlider* trackBar, int position);
bool ListViewCanSelectAll(const QTreeWidget* listView);
// Empties the texts of every column but the first.
void ListItemClearSubItems(QTreeWidgetItem* item);
void ListViewClearSubItems(QTreeWidget* listView);
// Replaces the items by the files of a folder (hidden ones left out), sorted by name,
// with the size in bytes in the second column when the view has one.
void ListViewPopulate(QTreeWidget* listView, const std::string& folder);
// One line per item, its columns separated by tabs; the file is replaced through a
// temporary file. Opening replaces the items; a missing file raises EFOpenError.
void ListViewSaveToFile(const QTreeWidget* listView, const std::string& fileName);
void ListViewOpenFromFile(QTreeWidget* listView, const std::string& fileName);
