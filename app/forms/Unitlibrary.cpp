#include "app/forms/Unitlibrary.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QListWidget>

#include "app/Unitmain.h"

TFormLibrary* FormLibrary = nullptr;

TFormLibrary::TFormLibrary(QWidget* parent) : QDockWidget(parent) {
  FormLibrary = this;
  setObjectName("FormLibrary");
  setWindowTitle("Library");
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
              QDockWidget::DockWidgetFloatable);
  setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  setMinimumWidth(130);
  setMaximumWidth(130);
  resize(130, 373);

  ListTemplates = new QListWidget(this);
  ListTemplates->setObjectName("ListTemplates");
  // The entries are shown by name, whatever their order in the library.
  ListTemplates->setSortingEnabled(true);
  ListTemplates->setSelectionMode(QAbstractItemView::SingleSelection);
  // An entry can be dragged onto the page; the list itself takes no drops.
  ListTemplates->setDragEnabled(true);
  ListTemplates->setDragDropMode(QAbstractItemView::DragOnly);
  ListTemplates->setDefaultDropAction(Qt::CopyAction);
  setWidget(ListTemplates);
  connect(ListTemplates, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem*) { ListTemplatesDblClick(ListTemplates); });
}

TFormLibrary::~TFormLibrary() {
  if (FormLibrary == this) FormLibrary = nullptr;
}

void TFormLibrary::ListTemplatesDblClick(QObject* Sender) {
  if (FormMain) FormMain->ApplyStyleClick(Sender);
}

void TFormLibrary::closeEvent(QCloseEvent* e) {
  FormClose(this);
  QDockWidget::closeEvent(e);
}

void TFormLibrary::FormClose(QObject*) {
  // A window closed while docked comes back floating when it is shown again.
  if (!isFloating()) setFloating(true);
}
