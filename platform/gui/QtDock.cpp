#include "platform/gui/QtDock.h"

#include <QDockWidget>

static const Qt::DockWidgetArea kSites[] = {Qt::LeftDockWidgetArea, Qt::RightDockWidgetArea};

bool IsDockedIn(const QMainWindow* window, const QDockWidget* client, Qt::DockWidgetArea site) {
  return client && !client->isFloating() && !client->isHidden() &&
         window->dockWidgetArea(const_cast<QDockWidget*>(client)) == site;
}

TDockSites::TDockSites(QMainWindow* window, TGetSiteInfo getSiteInfo)
    : QObject(window), FGetSiteInfo(std::move(getSiteInfo)) {
  window->setDockOptions(QMainWindow::AnimatedDocks);
  // The sites run the full height beside the page, under the tool bars.
  window->setCorner(Qt::TopLeftCorner, Qt::LeftDockWidgetArea);
  window->setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);
  window->setCorner(Qt::TopRightCorner, Qt::RightDockWidgetArea);
  window->setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);
}

QMainWindow* TDockSites::Window() const { return qobject_cast<QMainWindow*>(parent()); }

std::vector<QDockWidget*> TDockSites::Clients() const {
  std::vector<QDockWidget*> clients;
  for (const auto& c : FClients)
    if (auto* dock = qobject_cast<QDockWidget*>(c.data())) clients.push_back(dock);
  return clients;
}

void TDockSites::Add(QDockWidget* client) {
  QMainWindow* window = Window();
  if (!client || !window) return;
  for (QDockWidget* c : Clients())
    if (c == client) return;
  FClients.emplace_back(client);
  // A window that the main window does not hold yet becomes one of its dock windows,
  // floating and as visible as it was, so that the user can drag it into a site later.
  if (window->dockWidgetArea(client) == Qt::NoDockWidgetArea) {
    const bool visible = client->isVisible();
    window->addDockWidget(Qt::LeftDockWidgetArea, client);
    client->setFloating(true);
    client->setVisible(visible);
  }
  client->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                      QDockWidget::DockWidgetFloatable);
  connect(client, &QDockWidget::topLevelChanged, this, &TDockSites::Refresh);
  connect(client, &QDockWidget::dockLocationChanged, this, &TDockSites::Refresh);
  connect(client, &QDockWidget::visibilityChanged, this, &TDockSites::Refresh);
  connect(client, &QObject::destroyed, this, &TDockSites::Refresh);
  Refresh();
}

void TDockSites::ManualDock(QDockWidget* client, Qt::DockWidgetArea site) {
  QMainWindow* window = Window();
  if (!client || !window) return;
  Add(client);
  client->setAllowedAreas(client->allowedAreas() | site);
  window->addDockWidget(site, client);
  client->setFloating(false);
  client->show();
  Refresh();
}

void TDockSites::ManualFloat(QDockWidget* client) {
  if (!client) return;
  if (!client->isFloating()) {
    QRect g(client->mapToGlobal(QPoint(0, 0)), client->size());
    client->setFloating(true);
    client->setGeometry(g);
  }
  Refresh();
}

QDockWidget* TDockSites::DockClient(Qt::DockWidgetArea site) const {
  QMainWindow* window = Window();
  if (!window) return nullptr;
  for (QDockWidget* c : Clients())
    if (IsDockedIn(window, c, site)) return c;
  return nullptr;
}

void TDockSites::Refresh() {
  QMainWindow* window = Window();
  if (FRefreshing || !window) return;
  FRefreshing = true;
  for (QDockWidget* c : Clients()) {
    Qt::DockWidgetAreas allowed;
    for (Qt::DockWidgetArea site : kSites) {
      // A window already in the site may stay there; the site is asked about the others.
      if (IsDockedIn(window, c, site)) {
        allowed |= site;
        continue;
      }
      bool accept = true;
      if (FGetSiteInfo) FGetSiteInfo(site, c, accept);
      if (accept) allowed |= site;
    }
    c->setAllowedAreas(allowed);
  }
  FRefreshing = false;
}
