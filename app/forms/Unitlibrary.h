// The template library window "Library": the list of the library's templates, by name. A
// double click applies a template's style to the selected objects; an entry dragged onto
// the page becomes a new object there. The main window fills the list and handles both.
#pragma once
#include <QDockWidget>

class QListWidget;

class TFormLibrary : public QDockWidget {
  Q_OBJECT
 public:
  explicit TFormLibrary(QWidget* parent = nullptr);
  ~TFormLibrary() override;

  // Each entry carries its template (a page object of the main window's template library)
  // as a pointer in Qt::UserRole.
  QListWidget* ListTemplates;

  void ListTemplatesDblClick(QObject* Sender);
  void FormClose(QObject* Sender);

 protected:
  void closeEvent(QCloseEvent* e) override;
};

extern TFormLibrary* FormLibrary;
