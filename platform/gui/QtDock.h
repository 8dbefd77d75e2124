// Docking glue: the main window's two dock sites are its left and right dock areas, and
// the dockable tool windows are QDockWidgets that float or dock into one of them.
#pragma once
#include <functional>
#include <vector>

#include <QMainWindow>
#include <QObject>
#include <QPointer>

class QDockWidget;

// Asked whether a site takes a window: (site, window, accept), accept starts true.
using TGetSiteInfo = std::function<void(Qt::DockWidgetArea site, QDockWidget* client, bool& accept)>;

class TDockSites : public QObject {
  Q_OBJECT
 public:
  // The window's docking becomes the component library's: one client per site side by side
  // with the page, no tabs and no nesting (Qt would stack or tab a second window into an
  // occupied area; a site here refuses it through getSiteInfo).
  TDockSites(QMainWindow* window, TGetSiteInfo getSiteInfo);

  // Makes a window dockable into the two sites and keeps the sites' answers current; a
  // window not yet in the main window joins it floating.
  void Add(QDockWidget* client);
  // Docks the window into a site and shows it (a manual dock ignores the site's answer, as
  // the component library's does).
  void ManualDock(QDockWidget* client, Qt::DockWidgetArea site);
  // Undocks the window: it floats where it was, keeping its size.
  void ManualFloat(QDockWidget* client);
  // The visible window docked into a site, or nullptr.
  QDockWidget* DockClient(Qt::DockWidgetArea site) const;
  // Asks the sites again for every window (after a change the signals do not report).
  void Refresh();

 private:
  // The main window and the clients while they are whole: a window being torn down (the
  // sites hear of it from its own signals and those of its layout) is none of them any more.
  QMainWindow* Window() const;
  std::vector<QDockWidget*> Clients() const;

  TGetSiteInfo FGetSiteInfo;
  // Kept as objects and seen as dock windows only through qobject_cast, which knows when a
  // client is half destroyed; a QPointer<QDockWidget> would cast it to what it no longer is.
  std::vector<QPointer<QObject>> FClients;
  bool FRefreshing = false;
};

// True when the window is docked (not floating) and shown.
bool IsDockedIn(const QMainWindow* window, const QDockWidget* client, Qt::DockWidgetArea site);
