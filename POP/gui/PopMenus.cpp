#include "POP/gui/PopMenus.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
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
  if (QMenu* sub = item->menu()) emit sub->aboutToShow();
  else item->trigger();
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

namespace {
// Sees every shortcut key of the application before the shortcut map does; lives as long
// as its menu.
class TMenuShortcutGlue : public QObject {
 public:
  explicit TMenuShortcutGlue(QMenu* menu) : QObject(menu), FMenu(menu) {
    setObjectName("MenuShortcutGlue");
    qApp->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::ShortcutOverride) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // The key goes up the parents of the focused control; it is looked at once, there.
    if (!widget || widget->window()->focusWidget() != widget) return false;
    const QKeySequence key(static_cast<QKeyEvent*>(e)->keyCombination());
    for (QAction* a : FMenu->actions()) {
      if (a->menu() || a->shortcut().isEmpty() || a->shortcut() != key) continue;
      // Only keys pressed in the window that holds the menu.
      auto* owner = qobject_cast<QWidget*>(a->parent());
      if (!owner || owner->window() != widget->window()) return false;
      emit FMenu->aboutToShow();
      // Qt disables what it hides; a trigger still honours an item disabled on purpose.
      if (!a->isVisible()) {
        a->trigger();
        e->accept();
        return true;
      }
      return false;
    }
    return false;
  }

 private:
  QMenu* FMenu;
};
}  // namespace

void MenuShortcutsFollowOpenHandler(QMenu* menu) {
  if (menu && !menu->findChild<QObject*>("MenuShortcutGlue", Qt::FindDirectChildrenOnly))
    new TMenuShortcutGlue(menu);
}

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
