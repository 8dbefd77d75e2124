#include "app/forms/Unitedithtmlhead.h"

#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabWidget>

#include "POP/PopForms.h"
#include "POP/PopStrUtils.h"
#include "POP/gui/PopDialogs.h"
#include "app/AppEnvironment.h"
#include "app/forms/Unitglobal.h"
#include "engine/XObject.h"
#include "platform/IniFiles.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtFixedDialog.h"
#include "platform/gui/QtServices.h"

TFormEditHTMLHead* FormEditHTMLHead = nullptr;

namespace {

// Each item keeps the caption bytes it was made with and the text it first showed, so a
// caption the user did not touch is written back byte for byte (texts of old files need
// not be UTF-8).
constexpr int RoleOriginal = Qt::UserRole;
constexpr int RoleShown = Qt::UserRole + 1;

const char* const MetFilter = "Meta Project Files (*.met)|*.met";

// A value of an INI line cannot hold a line break: it would end the value and start lines
// of its own in the file.
std::string IniValue(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

// The memo shows line breaks as LF; the page text keeps them as CR LF.
std::string MemoText(const QPlainTextEdit* memo) {
  return StringReplaceAll(FromQString(memo->toPlainText()), "\n", "\r\n");
}

// The in-place editor of the keyword list hands its text to the form's handler first.
class TKeywordDelegate : public QStyledItemDelegate {
 public:
  TKeywordDelegate(TFormEditHTMLHead* form, QTreeWidget* view)
      : QStyledItemDelegate(view), FForm(form), FView(view) {}
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (!edit) return QStyledItemDelegate::setModelData(editor, model, index);
    std::string s = FromQString(edit->text());
    FForm->ListViewEdited(FView->itemFromIndex(index), s);
    model->setData(index, ToQString(s), Qt::DisplayRole);
  }

 private:
  TFormEditHTMLHead* FForm;
  QTreeWidget* FView;
};

// Enter in the description memo does not break the line (and, the dialog having no default
// button, does nothing else either).
class TNoReturnFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        event->ignore();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int left, int top, QWidget* buddy) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->move(left, top + 3);
  l->adjustSize();
  l->setBuddy(buddy);
  return l;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int left, int top, int width) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setGeometry(left, top, width, 21);
  return e;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top,
                        int width) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setGeometry(left, top, width, 25);
  // No button is the default: Enter in a field does not close the dialog.
  b->setAutoDefault(false);
  return b;
}

QAction* MakeItem(QMenu* menu, const char* name, const char* caption) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(name);
  return a;
}

}  // namespace

// ---- keyword list view --------------------------------------------------------------------

TKeywordListView::TKeywordListView(QWidget* parent) : QTreeWidget(parent) {
  setDragEnabled(true);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setDropIndicatorShown(false);
}

void TKeywordListView::dragEnterEvent(QDragEnterEvent* event) {
  if (event->source() == this) event->acceptProposedAction();
  else event->ignore();
}

void TKeywordListView::dragMoveEvent(QDragMoveEvent* event) {
  // The view's own handling scrolls a long list near its edges; the answer is the form's.
  QTreeWidget::dragMoveEvent(event);
  bool accept = OnDragOver && OnDragOver(event->source(), event->position().toPoint());
  if (accept) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

// The handler moves the row itself; a copy action keeps the view from removing the dragged
// row once the drag ends.
void TKeywordListView::dropEvent(QDropEvent* event) {
  stopAutoScroll();
  setState(NoState);
  QPoint pos = event->position().toPoint();
  if (OnDragOver && OnDragOver(event->source(), pos)) {
    if (OnDragDrop) OnDragDrop(event->source(), pos);
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

// ---- the form -----------------------------------------------------------------------------

TFormEditHTMLHead::TFormEditHTMLHead(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("FormEditHTMLHead");
  setWindowTitle("HTML Header Editor");
  MakeFixedSizeDialog(this, QSize(369, 358));
  // The places below are laid out for the small dialog font.
  QFont small = font();
  small.setPointSize(8);
  setFont(small);

  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  PageControl->setGeometry(8, 8, 353, 306);

  // Settings
  TabSheetSettings = new QWidget;
  TabSheetSettings->setObjectName("TabSheetSettings");
  PageControl->addTab(TabSheetSettings, "Settings");
  GroupBoxPersonal = new QGroupBox("Personal Information", TabSheetSettings);
  GroupBoxPersonal->setObjectName("GroupBoxPersonal");
  GroupBoxPersonal->setGeometry(8, 6, 329, 100);
  EditOwner = MakeEdit(GroupBoxPersonal, "EditOwner", 92, 20, 225);
  EditAuthor = MakeEdit(GroupBoxPersonal, "EditAuthor", 92, 46, 225);
  EditEmail = MakeEdit(GroupBoxPersonal, "EditEmail", 92, 72, 225);
  MakeLabel(GroupBoxPersonal, "LabelOwner", "Owner:", 12, 20, EditOwner);
  MakeLabel(GroupBoxPersonal, "LabelAuthor", "Author:", 12, 46, EditAuthor);
  MakeLabel(GroupBoxPersonal, "LabelEmail", "Email:", 12, 72, EditEmail);

  GroupBoxPage = new QGroupBox("Page Information", TabSheetSettings);
  GroupBoxPage->setObjectName("GroupBoxPage");
  GroupBoxPage->setGeometry(8, 112, 329, 164);
  EditTitle = MakeEdit(GroupBoxPage, "EditTitle", 92, 20, 225);
  EditDescription = new QPlainTextEdit(GroupBoxPage);
  EditDescription->setObjectName("EditDescription");
  EditDescription->setGeometry(92, 46, 225, 56);
  EditDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  EditDescription->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  EditDescription->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  EditDescription->setTabChangesFocus(true);
  EditDescription->installEventFilter(new TNoReturnFilter(EditDescription));
  EditRating = new QComboBox(GroupBoxPage);
  EditRating->setObjectName("EditRating");
  EditRating->setEditable(true);
  EditRating->setInsertPolicy(QComboBox::NoInsert);
  EditRating->addItem("General");
  EditRating->setGeometry(92, 108, 225, 21);
  EditCopyright = MakeEdit(GroupBoxPage, "EditCopyright", 92, 134, 225);
  MakeLabel(GroupBoxPage, "LabelTitle", "Title:", 12, 20, EditTitle);
  MakeLabel(GroupBoxPage, "LabelDescription", "Description:", 12, 46, EditDescription);
  MakeLabel(GroupBoxPage, "LabelRating", "Rating:", 12, 108, EditRating);
  MakeLabel(GroupBoxPage, "LabelCopyright", "Copyright:", 12, 134, EditCopyright);

  // Keywords
  TabSheetKeywords = new QWidget;
  TabSheetKeywords->setObjectName("TabSheetKeywords");
  PageControl->addTab(TabSheetKeywords, "Keywords");
  ListView = new TKeywordListView(TabSheetKeywords);
  ListView->setObjectName("ListView");
  ListView->setGeometry(8, 8, 329, 234);
  ListView->setColumnCount(1);
  ListView->setHeaderLabels({"Keywords"});
  ListView->setColumnWidth(0, 180);
  ListView->setHeaderHidden(true);
  ListView->setRootIsDecorated(false);
  ListView->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  ListView->setItemDelegate(new TKeywordDelegate(this, ListView));
  ListView->setContextMenuPolicy(Qt::CustomContextMenu);
  ListView->OnDragOver = [this](QObject* source, const QPoint& pos) {
    bool accept = false;
    ListViewDragOver(ListView, source, pos, accept);
    return accept;
  };
  ListView->OnDragDrop = [this](QObject* source, const QPoint& pos) {
    ListViewDragDrop(ListView, source, pos);
  };
  Button3 = MakeButton(TabSheetKeywords, "Button3", "Select All", 8, 250, 90);
  ButtonClearAll = MakeButton(TabSheetKeywords, "ButtonClearAll", "Delete Selected", 104, 250, 100);
  connect(Button3, &QPushButton::clicked, this, [this] { MenuItemSelectAllClick(); });
  connect(ButtonClearAll, &QPushButton::clicked, this, [this] { DeleteSelected1Click(); });

  // Advanced
  TabSheetAdvanced = new QWidget;
  TabSheetAdvanced->setObjectName("TabSheetAdvanced");
  PageControl->addTab(TabSheetAdvanced, "Advanced");
  EditGenerator = MakeEdit(TabSheetAdvanced, "EditGenerator", 100, 14, 229);
  EditContent = MakeEdit(TabSheetAdvanced, "EditContent", 100, 40, 229);
  EditLanguage = MakeEdit(TabSheetAdvanced, "EditLanguage", 100, 66, 229);
  EditCharset = MakeEdit(TabSheetAdvanced, "EditCharset", 100, 92, 229);
  MakeLabel(TabSheetAdvanced, "LabelGenerator", "Generator:", 16, 14, EditGenerator);
  MakeLabel(TabSheetAdvanced, "LabelContent", "Content Type:", 16, 40, EditContent);
  MakeLabel(TabSheetAdvanced, "LabelLanguage", "Language:", 16, 66, EditLanguage);
  MakeLabel(TabSheetAdvanced, "LabelCharset", "Charset:", 16, 92, EditCharset);
  GroupBoxRobots = new QGroupBox("Robot Settings", TabSheetAdvanced);
  GroupBoxRobots->setObjectName("GroupBoxRobots");
  GroupBoxRobots->setGeometry(8, 128, 329, 72);
  CheckBoxNoIndex = new QCheckBox("No Index", GroupBoxRobots);
  CheckBoxNoIndex->setObjectName("CheckBoxNoIndex");
  CheckBoxNoIndex->setGeometry(12, 20, 200, 20);
  CheckBoxNoOrder = new QCheckBox("No Follow", GroupBoxRobots);
  CheckBoxNoOrder->setObjectName("CheckBoxNoOrder");
  CheckBoxNoOrder->setGeometry(12, 44, 200, 20);

  PageControl->setCurrentWidget(TabSheetSettings);

  ButtonOK = MakeButton(this, "ButtonOK", "OK", 206, 327, 75);
  ButtonCancel = MakeButton(this, "ButtonCancel", "Cancel", 286, 327, 75);
  connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

  PaintBox1 = new TPaintBox(this);
  PaintBox1->setObjectName("PaintBox1");
  PaintBox1->setGeometry(0, 358 - 38, 369, 38);
  PaintBox1->OnPaint = [this] { PaintBox1Paint(); };
  PaintBox1->lower();

  PopupMenu = new QMenu(this);
  PopupMenu->setObjectName("PopupMenu");
  NewKeyword1 = MakeItem(PopupMenu, "NewKeyword1", "New Keyword");
  DeleteKeyword1 = MakeItem(PopupMenu, "DeleteKeyword1", "Delete Keyword");
  PopupMenu->addSeparator()->setObjectName("N1");
  MenuItemSelectAll = MakeItem(PopupMenu, "MenuItemSelectAll", "Select All");
  MenuItemDeselectAll = MakeItem(PopupMenu, "MenuItemDeselectAll", "Deselect All");
  PopupMenu->addSeparator()->setObjectName("N2");
  DeleteSelected1 = MakeItem(PopupMenu, "DeleteSelected1", "Delete Selected");
  PopupMenu->addSeparator()->setObjectName("N3");
  MenuItemAppendKeywords = MakeItem(PopupMenu, "MenuItemAppendKeywords", "Append Keywords...");
  MenuItemLoadKeywords = MakeItem(PopupMenu, "MenuItemLoadKeywords", "Load Keywords...");
  MenuItemSaveKeywords = MakeItem(PopupMenu, "MenuItemSaveKeywords", "Save Keywords...");
  connect(PopupMenu, &QMenu::aboutToShow, this, [this] { PopupMenuPopup(); });
  connect(NewKeyword1, &QAction::triggered, this, [this] { NewKeyword1Click(); });
  connect(DeleteKeyword1, &QAction::triggered, this, [this] { DeleteKeyword1Click(); });
  connect(MenuItemSelectAll, &QAction::triggered, this, [this] { MenuItemSelectAllClick(); });
  connect(MenuItemDeselectAll, &QAction::triggered, this, [this] { MenuItemDeselectAllClick(); });
  connect(DeleteSelected1, &QAction::triggered, this, [this] { DeleteSelected1Click(); });
  connect(MenuItemAppendKeywords, &QAction::triggered, this, [this] { MenuItemAppendKeywordsClick(); });
  connect(MenuItemLoadKeywords, &QAction::triggered, this, [this] { MenuItemLoadKeywordsClick(); });
  connect(MenuItemSaveKeywords, &QAction::triggered, this, [this] { MenuItemSaveKeywordsClick(); });
  connect(ListView, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu->popup(ListView->viewport()->mapToGlobal(pos)); });

  // A save asks before it replaces a file and names the file .met when no extension is
  // typed; a load takes only a file that exists, so a mistyped name does not empty the list.
  SaveDialog = new TSaveDialog;
  SaveDialog->Title = "Save Meta Project";
  SaveDialog->Filter = MetFilter;
  SaveDialog->DefaultExt = "met";
  SaveDialog->Options |= ofOverwritePrompt;
  OpenDialog = new TOpenDialog;
  OpenDialog->Title = "Open Meta Project";
  OpenDialog->Filter = MetFilter;
  OpenDialog->Options |= ofFileMustExist;
  // The shipped keyword sets lie in the program folder's Keywords folder.
  std::string sets = LocalFile("Keywords");
  if (DirectoryExists(sets)) SaveDialog->InitialDir = OpenDialog->InitialDir = sets;
}

TFormEditHTMLHead::~TFormEditHTMLHead() {
  delete SaveDialog;
  delete OpenDialog;
  if (FormEditHTMLHead == this) FormEditHTMLHead = nullptr;
}

// ---- texts of the controls ----------------------------------------------------------------

std::string TFormEditHTMLHead::TextOf(QWidget* control) const {
  QString shown;
  if (auto* e = qobject_cast<QLineEdit*>(control)) shown = e->text();
  else if (auto* m = qobject_cast<QPlainTextEdit*>(control)) shown = m->toPlainText();
  else if (auto* c = qobject_cast<QComboBox*>(control)) shown = c->currentText();
  for (const auto& [w, s] : FShown)
    if (w == control && s.shown == shown) return s.original;
  if (auto* m = qobject_cast<QPlainTextEdit*>(control)) return MemoText(m);
  return FromQString(shown);
}

void TFormEditHTMLHead::SetTextOf(QWidget* control, const std::string& text) {
  QString shown;
  if (auto* e = qobject_cast<QLineEdit*>(control)) {
    e->setText(ToQString(text));
    shown = e->text();
  } else if (auto* m = qobject_cast<QPlainTextEdit*>(control)) {
    m->setPlainText(ToQString(text));
    shown = m->toPlainText();
  } else if (auto* c = qobject_cast<QComboBox*>(control)) {
    c->setEditText(ToQString(text));
    shown = c->currentText();
  }
  for (auto& [w, s] : FShown)
    if (w == control) {
      s = {text, shown};
      return;
    }
  FShown.push_back({control, {text, shown}});
}

// ---- the store ----------------------------------------------------------------------------

// The text keys and their controls in the order they are read and written.
std::vector<std::pair<const char*, QWidget*>> TFormEditHTMLHead::TextControls() const {
  return {{"Tit", EditTitle},  {"Des", EditDescription}, {"Gen", EditGenerator}, {"Con", EditContent},
          {"Aut", EditAuthor}, {"Cop", EditCopyright},   {"Rat", EditRating},    {"Ema", EditEmail},
          {"Own", EditOwner},  {"Lan", EditLanguage},    {"Cha", EditCharset}};
}

void TFormEditHTMLHead::ReadFromStore(XObject& store) {
  for (const auto& [key, control] : TextControls()) SetTextOf(control, store.ReadString(key));
  CheckBoxNoIndex->setChecked(store.ReadBool("NoI"));
  CheckBoxNoOrder->setChecked(store.ReadBool("NoF"));
  SetKeywordsText(store.ReadString("Key"));
}

void TFormEditHTMLHead::WriteToStore(XObject& store) {
  for (const auto& [key, control] : TextControls()) store.WriteString(key, TextOf(control));
  store.WriteBool("NoI", CheckBoxNoIndex->isChecked());
  store.WriteBool("NoF", CheckBoxNoOrder->isChecked());
  store.WriteString("Key", KeywordsText());
}

bool EditHeader(TFormEditHTMLHead* form, XObject* store) {
  if (!form || !store) return false;
  form->ReadFromStore(*store);
  if (form->exec() != QDialog::Accepted) return false;
  form->WriteToStore(*store);
  return true;
}

// ---- keywords -----------------------------------------------------------------------------

QTreeWidgetItem* TFormEditHTMLHead::AddKeyword(const std::string& caption, bool checked) {
  auto* item = new QTreeWidgetItem(ListView);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEditable |
                 Qt::ItemIsDragEnabled);
  QString shown = ToQString(caption);
  item->setText(0, shown);
  item->setData(0, RoleOriginal, QByteArray::fromStdString(caption));
  item->setData(0, RoleShown, shown);
  item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
  return item;
}

std::string TFormEditHTMLHead::KeywordCaption(const QTreeWidgetItem* item) const {
  if (item->text(0) == item->data(0, RoleShown).toString())
    return item->data(0, RoleOriginal).toByteArray().toStdString();
  return FromQString(item->text(0));
}

std::string TFormEditHTMLHead::KeywordsText() const {
  std::string out;
  for (int i = 0; i < ListView->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = ListView->topLevelItem(i);
    out += KeywordCaption(item) + (item->checkState(0) == Qt::Checked ? "=1" : "=0") + "\r\n";
  }
  return out;
}

// A line without "=" has no caption; its whole text is then the switch, and anything but
// a number 0 switches the keyword on.
void TFormEditHTMLHead::SetKeywordsText(const std::string& text) {
  ListView->clear();
  for (const std::string& line : SplitLines(text)) {
    std::string caption, value;
    KeywordLineSplit(line, caption, value);
    AddKeyword(caption, StrToIntDef(value, 1) != 0);
  }
}

void TFormEditHTMLHead::NewKeyword1Click() { AddKeyword("New Keyword", true); }

void TFormEditHTMLHead::DeleteKeyword1Click() {
  QList<QTreeWidgetItem*> selected = ListView->selectedItems();
  if (!selected.isEmpty()) delete selected.front();
}

void TFormEditHTMLHead::PopupMenuPopup() {
  DeleteKeyword1->setEnabled(!ListView->selectedItems().isEmpty());
  bool any = ListView->topLevelItemCount() > 0;
  MenuItemSelectAll->setEnabled(any);
  MenuItemDeselectAll->setEnabled(any);
}

void TFormEditHTMLHead::MenuItemSelectAllClick() {
  for (int i = ListView->topLevelItemCount() - 1; i >= 0; --i)
    ListView->topLevelItem(i)->setCheckState(0, Qt::Checked);
}

void TFormEditHTMLHead::MenuItemDeselectAllClick() {
  for (int i = ListView->topLevelItemCount() - 1; i >= 0; --i)
    ListView->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
}

void TFormEditHTMLHead::DeleteSelected1Click() {
  for (int i = ListView->topLevelItemCount() - 1; i >= 0; --i)
    if (ListView->topLevelItem(i)->checkState(0) == Qt::Checked) delete ListView->topLevelItem(i);
}

void TFormEditHTMLHead::ListViewEdited(QTreeWidgetItem*, std::string& S) { S = Trim(S); }

void TFormEditHTMLHead::ListViewDragOver(QObject*, QObject* Source, const QPoint&, bool& Accept) {
  Accept = Source == ListView && !ListView->selectedItems().isEmpty();
}

// The dragged keyword moves before the one it is dropped on; a drop below the last item
// changes nothing.
void TFormEditHTMLHead::ListViewDragDrop(QObject*, QObject*, const QPoint& pos) {
  QList<QTreeWidgetItem*> selected = ListView->selectedItems();
  QTreeWidgetItem* target = ListView->itemAt(pos);
  if (selected.isEmpty() || !target) return;
  QTreeWidgetItem* moving = selected.front();
  if (moving == target) return;
  QTreeWidgetItem* copy = moving->clone();
  ListView->insertTopLevelItem(ListView->indexOfTopLevelItem(target), copy);
  delete moving;
  ListView->setCurrentItem(copy);
}

// ---- keyword-set files --------------------------------------------------------------------

void TFormEditHTMLHead::LoadKeywordSet(const std::string& fileName, bool append) {
  TIniFile ini(fileName);
  if (!append) {
    SetTextOf(EditTitle, ini.ReadString("Header", "Title", ""));
    SetTextOf(EditDescription, ini.ReadString("Header", "Description", ""));
  }
  int count = ini.ReadInteger("Header", "ItemCount", 0);
  count = std::clamp(count, 0, MaxKeywordSetItems);
  if (!append) ListView->clear();
  for (int n = 0; n < count; ++n) {
    std::string section = AppendNumber("Item", n);
    AddKeyword(ini.ReadString(section, "Caption", "NA"), ini.ReadBool(section, "Checked", false));
  }
}

// The file is written whole and then put in place of the old one, so it holds only this
// set and a failed write leaves the old file as it was.
void TFormEditHTMLHead::SaveKeywordSet(const std::string& fileName) const {
  std::string text = "[Header]\r\n";
  text += "Title=" + IniValue(TextOf(EditTitle)) + "\r\n";
  text += "Description=" + IniValue(TextOf(EditDescription)) + "\r\n";
  text += "ItemCount=" + IntToStr(ListView->topLevelItemCount()) + "\r\n";
  for (int n = 0; n < ListView->topLevelItemCount(); ++n) {
    const QTreeWidgetItem* item = ListView->topLevelItem(n);
    text += "[" + AppendNumber("Item", n) + "]\r\n";
    text += "Caption=" + IniValue(KeywordCaption(item)) + "\r\n";
    text += std::string("Checked=") + (item->checkState(0) == Qt::Checked ? "1" : "0") + "\r\n";
  }
  WriteFileAtomic(fileName, text);
}

void TFormEditHTMLHead::MenuItemSaveKeywordsClick() {
  if (!SaveDialog->Execute()) return;
  SaveKeywordSet(SaveDialog->FileName);
}

void TFormEditHTMLHead::MenuItemLoadKeywordsClick() {
  if (!OpenDialog->Execute()) return;
  LoadKeywordSet(OpenDialog->FileName, false);
}

void TFormEditHTMLHead::MenuItemAppendKeywordsClick() {
  if (!OpenDialog->Execute()) return;
  LoadKeywordSet(OpenDialog->FileName, true);
}

void TFormEditHTMLHead::PaintBox1Paint() { TFormGlobal::PaintBanner(PaintBox1); }
