#include "POP/gui/PopComCtrls.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QTreeWidget>

#include "platform/Classes.h"
#include "platform/gui/QtServices.h"

bool TreeNodeInheritsFrom(const QTreeWidgetItem* node, const QTreeWidgetItem* ancestor) {
  for (; node; node = node->parent())
    if (node == ancestor) return true;
  return false;
}

std::string TreeNodeGetPath(const QTreeWidgetItem* node) {
  std::vector<std::string> parts;
  for (; node; node = node->parent()) parts.push_back(FromQString(node->text(0)));
  std::string path;
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
    path += *it;
    if (path.empty() || path.back() != '/') path += '/';
  }
  return path;
}

void TreeViewExplore(QTreeWidgetItem* node) {
  if (!node) return;
  for (QTreeWidgetItem* child : node->takeChildren()) delete child;
  std::vector<std::string> folders;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(TreeNodeGetPath(node), ec))
    if (e.is_directory(ec) && e.path().filename().string()[0] != '.')
      folders.push_back(e.path().filename().string());
  std::sort(folders.begin(), folders.end());
  for (const auto& f : folders) new QTreeWidgetItem(node, QStringList(ToQString(f)));
}

void StatusBarExplorer(QStatusBar* bar, const QTreeWidget* listView) {
  if (!bar || !listView) return;
  int selected = int(listView->selectedItems().size());
  std::string text = selected > 0 ? std::to_string(selected) + " object(s) selected"
                                  : std::to_string(listView->topLevelItemCount()) + " object(s)";
  StatusBarSetSimpleText(bar, text);
}

void StatusBarResize(QStatusBar* bar) {
  if (!bar) return;
  QList<QWidget*> parts;
  for (QWidget* w : bar->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (!w->isHidden()) parts.append(w);
  if (parts.isEmpty()) return;
  int share = bar->width() / int(parts.size());
  for (int i = 0; i < parts.size(); ++i) {
    int w = i + 1 < parts.size() ? share : bar->width() - share * (int(parts.size()) - 1);
    parts[i]->setFixedWidth(std::max(0, w));
  }
}

void TrackBarSetPosition(QSlider* trackBar, int position) {
  if (!trackBar) return;
  QSignalBlocker block(trackBar);
  trackBar->setValue(position);
}

bool ListViewCanSelectAll(const QTreeWidget* listView) {
  if (!listView || listView->topLevelItemCount() == 0) return false;
  auto mode = listView->selectionMode();
  return mode == QAbstractItemView::MultiSelection || mode == QAbstractItemView::ExtendedSelection;
}

void ListItemClearSubItems(QTreeWidgetItem* item) {
  if (!item) return;
  for (int c = 1; c < item->columnCount(); ++c) item->setText(c, QString());
}

void ListViewClearSubItems(QTreeWidget* listView) {
  if (!listView) return;
  for (int i = 0; i < listView->topLevelItemCount(); ++i) ListItemClearSubItems(listView->topLevelItem(i));
}

void ListViewPopulate(QTreeWidget* listView, const std::string& folder) {
  if (!listView) return;
  listView->clear();
  std::vector<std::filesystem::directory_entry> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec))
    if (e.is_regular_file(ec) && e.path().filename().string()[0] != '.') files.push_back(e);
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
    return a.path().filename().string() < b.path().filename().string();
  });
  for (const auto& f : files) {
    QStringList columns(ToQString(f.path().filename().string()));
    if (listView->columnCount() > 1) columns << QString::number(qulonglong(f.file_size(ec)));
    new QTreeWidgetItem(listView, columns);
  }
}

void ListViewSaveToFile(const QTreeWidget* listView, const std::string& fileName) {
  if (!listView) return;
  std::string text;
  for (int i = 0; i < listView->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = listView->topLevelItem(i);
    QStringList columns;
    for (int c = 0; c < item->columnCount(); ++c) columns << item->text(c);
    text += FromQString(columns.join('\t')) + "\n";
  }
  TMemoryStream s;
  if (!text.empty()) s.WriteBuffer(text.data(), int64_t(text.size()));
  s.SaveToFile(fileName);
}

void ListViewOpenFromFile(QTreeWidget* listView, const std::string& fileName) {
  if (!listView) return;
  TMemoryStream s;
  s.LoadFromFile(fileName);
  QStringList lines = ToQString(s.DataAsString()).split('\n');
  listView->clear();
  for (QString line : lines) {
    if (line.endsWith('\r')) line.chop(1);
    if (line.isEmpty()) continue;
    new QTreeWidgetItem(listView, line.split('\t'));
  }
}
