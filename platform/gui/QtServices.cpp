#include "QtServices.h"

#include <QApplication>
#include <QMainWindow>
#include <QPrinter>
#include <QStatusBar>

void InstallQtServices() {}

QMessageBox::StandardButtons MessageBoxButtons(uint32_t) { return QMessageBox::Ok; }
QMessageBox::Icon MessageBoxIcon(uint32_t) { return QMessageBox::NoIcon; }
QMessageBox::StandardButton MessageBoxDefaultButton(uint32_t) { return QMessageBox::Ok; }
int MessageBoxResult(uint32_t flags, QMessageBox::StandardButton) { return DefaultButton(flags); }
QStringList QtNameFilters(const std::string&) { return {}; }
QString ToQString(const std::string& s) { return QString::fromStdString(s); }
std::string FromQString(const QString& s) { return s.toStdString(); }
QPrinter& SharedPrinter() {
  static QPrinter printer;
  return printer;
}
static QWidget* gMainForm = nullptr;
void SetApplicationMainForm(QWidget* form) { gMainForm = form; }
QWidget* ApplicationMainForm() { return gMainForm; }
QStatusBar* MainFormStatusBar() { return nullptr; }
std::string StatusBarSimpleText(const QStatusBar*) { return {}; }
void StatusBarSetSimpleText(QStatusBar*, const std::string&) {}

std::string TQtFormGeometry::Name() const { return FForm->objectName().toStdString(); }
int TQtFormGeometry::Left() const { return FForm->x(); }
int TQtFormGeometry::Top() const { return FForm->y(); }
int TQtFormGeometry::Width() const { return FForm->width(); }
int TQtFormGeometry::Height() const { return FForm->height(); }
void TQtFormGeometry::SetBounds(int left, int top, int width, int height) {
  FForm->move(left, top);
  FForm->resize(width, height);
}
TWindowState TQtFormGeometry::WindowState() const { return wsNormal; }
void TQtFormGeometry::SetWindowState(TWindowState) {}
void TQtFormGeometry::SetPosition(TPosition) {}
void TQtFormGeometry::SetCaption(const std::string& caption) {
  FForm->setWindowTitle(ToQString(caption));
}
