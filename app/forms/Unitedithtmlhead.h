// The HTML head editor: the page's title, description, people, rating, content settings,
// robot flags and keywords, kept in the scene's property store and read back by the page
// builder. Keyword lists can be kept apart in keyword-set files (*.met).
#pragma once
#include <functional>
#include <string>
#include <vector>

#include <QDialog>
#include <QTreeWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidgetItem;
class TOpenDialog;
class TPaintBox;
class TSaveDialog;
class XObject;

// The keyword list: a list view whose drags stay inside it. Dragging over and dropping ask
// the form's handlers, and a drop never lets the view move or remove rows by itself.
class TKeywordListView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TKeywordListView(QWidget* parent = nullptr);
  // (source of the drag, point in the view's viewport) -> accept
  std::function<bool(QObject*, const QPoint&)> OnDragOver;
  std::function<void(QObject*, const QPoint&)> OnDragDrop;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

class TFormEditHTMLHead : public QDialog {
  Q_OBJECT
 public:
  explicit TFormEditHTMLHead(QWidget* parent = nullptr);
  ~TFormEditHTMLHead() override;

  // Fills the controls from the store, and the store from the controls (every key).
  void ReadFromStore(XObject& store);
  void WriteToStore(XObject& store);

  // The keyword list's value in the store: "caption=1" or "caption=0" per item, CR LF after
  // each line.
  std::string KeywordsText() const;
  void SetKeywordsText(const std::string& text);
  // Keyword-set files. A missing file reads as empty; write errors raise.
  void LoadKeywordSet(const std::string& fileName, bool append);
  void SaveKeywordSet(const std::string& fileName) const;

  QTreeWidgetItem* AddKeyword(const std::string& caption, bool checked);
  std::string KeywordCaption(const QTreeWidgetItem* item) const;

  void NewKeyword1Click();
  void DeleteKeyword1Click();
  void PopupMenuPopup();
  void ListViewDragOver(QObject* Sender, QObject* Source, const QPoint& pos, bool& Accept);
  void ListViewDragDrop(QObject* Sender, QObject* Source, const QPoint& pos);
  void MenuItemSaveKeywordsClick();
  void MenuItemLoadKeywordsClick();
  void MenuItemAppendKeywordsClick();
  void MenuItemSelectAllClick();
  void MenuItemDeselectAllClick();
  void DeleteSelected1Click();
  void ListViewEdited(QTreeWidgetItem* Item, std::string& S);
  void PaintBox1Paint();

  QTabWidget* PageControl;
  QWidget* TabSheetSettings;
  QWidget* TabSheetKeywords;
  QWidget* TabSheetAdvanced;
  QGroupBox* GroupBoxPersonal;
  QGroupBox* GroupBoxPage;
  QGroupBox* GroupBoxRobots;
  QLineEdit* EditTitle;
  QPlainTextEdit* EditDescription;
  QLineEdit* EditGenerator;
  QLineEdit* EditContent;
  QLineEdit* EditAuthor;
  QLineEdit* EditCopyright;
  QComboBox* EditRating;
  QLineEdit* EditEmail;
  QLineEdit* EditOwner;
  QLineEdit* EditLanguage;
  QLineEdit* EditCharset;
  QCheckBox* CheckBoxNoIndex;
  QCheckBox* CheckBoxNoOrder;
  TKeywordListView* ListView;
  QPushButton* Button3;
  QPushButton* ButtonClearAll;
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
  TPaintBox* PaintBox1;
  QMenu* PopupMenu;
  QAction* NewKeyword1;
  QAction* DeleteKeyword1;
  QAction* MenuItemSelectAll;
  QAction* MenuItemDeselectAll;
  QAction* DeleteSelected1;
  QAction* MenuItemAppendKeywords;
  QAction* MenuItemLoadKeywords;
  QAction* MenuItemSaveKeywords;
  TSaveDialog* SaveDialog;
  TOpenDialog* OpenDialog;

 private:
  std::vector<std::pair<const char*, QWidget*>> TextControls() const;
  struct TShown {
    std::string original;  // the bytes the control was filled from
    QString shown;         // what the control showed right after
  };
  std::string TextOf(QWidget* control) const;
  void SetTextOf(QWidget* control, const std::string& text);
  std::vector<std::pair<QWidget*, TShown>> FShown;
};

extern TFormEditHTMLHead* FormEditHTMLHead;

// Shows the form modally with the store's head settings; on OK writes them all back and
// returns true. On any other close the store is left as it was and the result is false.
bool EditHeader(TFormEditHTMLHead* form, XObject* store);

// Keyword-set files hold at most this many keywords; a larger count in a file is cut to it.
constexpr int MaxKeywordSetItems = 1000;
