#include "PopMenus.h"

#include <QAction>
#include <QMenu>

#include "platform/gui/QtServices.h"

QMenu* MenuItemParent(QAction* item) {
  if (!item) return nullptr;
  for (QObject* o : item->associatedObjects())
    if (auto* menu = qobject_cast<QMenu*>(o))
      if (menu->actions().contains(item)) return menu;
  return nullptr;
}

namespace {
void Click(QAction* item) {
  if (QMenu* sub = item->menu())
    emit sub->aboutToShow();
  else
    item->trigger();
}

void ClickFromTop(QAction* item, int depth) {
  if (!item || depth > 32) return;
  if (QMenu* parent = MenuItemParent(item)) ClickFromTop(parent->menuAction(), depth + 1);
  if (item->isEnabled() && item->isVisible()) Click(item);
}

QString Plain(const QString& caption) {
  QString s = caption;
  s.remove('&');
  return s;
}
}  // namespace

void MenuItemClick(QAction* item) { ClickFromTop(item, 0); }

QAction* MenuItemFind(QMenu* menu, const std::string& caption) {
  if (!menu) return nullptr;
  QString want = Plain(ToQString(caption));
  QAction* found = nullptr;
  for (QAction* a : menu->actions())
    if (Plain(a->text()).compare(want, Qt::CaseInsensitive) == 0) found = a;
  return found;
}

QAction* MenuItemFindOrCreate(QMenu* menu, const std::string& caption) {
  if (!menu) return nullptr;
  if (QAction* a = MenuItemFind(menu, caption)) return a;
  return menu->addAction(ToQString(caption));
}

void MenuItemChildrenSetEnabled(QMenu* menu, bool enabled) {
  if (!menu) return;
  for (QAction* a : menu->actions()) a->setEnabled(enabled);
}
