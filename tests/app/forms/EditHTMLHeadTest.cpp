// The HTML head editor: the store's keys in and out of the controls, keyword editing,
// keyword-set files, cancel, and the page head built from what the dialog wrote.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "POP/gui/PopDialogs.h"
#include "app/AppEnvironment.h"
#include "app/forms/Unitedithtmlhead.h"
#include "app/forms/Unitglobal.h"
#include "engine/THTML.h"
#include "engine/XZLMButton.h"
#include "platform/IniFiles.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtServices.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/ShippedHome.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

const char* const AllKeys[] = {"Tit", "Des", "Gen", "Con", "Aut", "Cop", "Rat",
                               "Ema", "Own", "Lan", "Cha", "NoI", "NoF", "Key"};

std::map<std::string, std::string> Snapshot(XObject& store) {
  std::map<std::string, std::string> m;
  for (const char* k : AllKeys) m[k] = store.ReadString(k, "<absent>");
  return m;
}

// Runs `action` inside the modal loop of EditHeader, then closes the dialog with `button`.
bool EditWith(TFormEditHTMLHead& form, XObject& store, std::function<void()> action,
              QPushButton* TFormEditHTMLHead::*button) {
  QTimer::singleShot(0, &form, [&form, action, button] {
    if (!form.isVisible()) return;
    action();
    (form.*button)->click();
  });
  return EditHeader(&form, &store);
}

// Answers the next file dialogs with these names (an empty name cancels).
struct ScriptedFiles {
  std::vector<std::string> names;
  std::vector<std::string> titles;
  ScriptedFiles() {
    SetDialogHook([this](TCommonDialog& d) {
      auto& o = static_cast<TOpenDialog&>(d);
      titles.push_back(o.Title);
      if (names.empty()) return false;
      std::string n = names.front();
      names.erase(names.begin());
      if (n.empty()) return false;
      o.FileName = n;
      return true;
    });
  }
  ~ScriptedFiles() { SetDialogHook(nullptr); }
};

struct Keyword {
  std::string caption;
  bool on;
  bool operator==(const Keyword& o) const { return caption == o.caption && on == o.on; }
};
std::ostream& operator<<(std::ostream& os, const Keyword& k) {
  return os << "{" << k.caption << "," << k.on << "}";
}
std::vector<Keyword> Keywords(const TFormEditHTMLHead& form) {
  std::vector<Keyword> out;
  for (int i = 0; i < form.ListView->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = form.ListView->topLevelItem(i);
    out.push_back({form.KeywordCaption(item), item->checkState(0) == Qt::Checked});
  }
  return out;
}

QString Shown(QWidget* w) {
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* m = qobject_cast<QPlainTextEdit*>(w)) return m->toPlainText();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
  return {};
}

TEST(EditHTMLHead, LayoutAndTexts) {
  TFormEditHTMLHead form;
  EXPECT_EQ(form.windowTitle(), "HTML Header Editor");
  EXPECT_EQ(form.size(), QSize(369, 358));
  EXPECT_EQ(form.PaintBox1->geometry(), QRect(0, 320, 369, 38));
  ASSERT_EQ(form.PageControl->count(), 3);
  EXPECT_EQ(form.PageControl->tabText(0), "Settings");
  EXPECT_EQ(form.PageControl->tabText(1), "Keywords");
  EXPECT_EQ(form.PageControl->tabText(2), "Advanced");
  EXPECT_EQ(form.PageControl->currentWidget(), form.TabSheetSettings);
  EXPECT_EQ(form.EditRating->count(), 1);
  EXPECT_EQ(form.EditRating->itemText(0), "General");
  EXPECT_TRUE(form.EditRating->isEditable());
  EXPECT_TRUE(form.ListView->isHeaderHidden());
  EXPECT_EQ(form.ListView->columnWidth(0), 180);
  EXPECT_EQ(form.ListView->headerItem()->text(0), "Keywords");
  QStringList items;
  for (QAction* a : form.PopupMenu->actions()) items << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(items.join("|"),
            "New Keyword|Delete Keyword|-|Select All|Deselect All|-|Delete Selected|-|"
            "Append Keywords...|Load Keywords...|Save Keywords...");
  EXPECT_EQ(form.SaveDialog->Title, "Save Meta Project");
  EXPECT_EQ(form.OpenDialog->Title, "Open Meta Project");
  EXPECT_EQ(form.OpenDialog->Filter, "Meta Project Files (*.met)|*.met");
  // Every field's page, group and label.
  struct Place {
    QWidget* control;
    QWidget* page;
    const char* group;
  } places[] = {
      {form.EditOwner, form.TabSheetSettings, "Personal Information"},
      {form.EditAuthor, form.TabSheetSettings, "Personal Information"},
      {form.EditEmail, form.TabSheetSettings, "Personal Information"},
      {form.EditTitle, form.TabSheetSettings, "Page Information"},
      {form.EditDescription, form.TabSheetSettings, "Page Information"},
      {form.EditRating, form.TabSheetSettings, "Page Information"},
      {form.EditCopyright, form.TabSheetSettings, "Page Information"},
      {form.EditGenerator, form.TabSheetAdvanced, nullptr},
      {form.CheckBoxNoIndex, form.TabSheetAdvanced, "Robot Settings"},
      {form.CheckBoxNoOrder, form.TabSheetAdvanced, "Robot Settings"},
  };
  for (const Place& p : places) {
    EXPECT_TRUE(p.page->isAncestorOf(p.control)) << p.control->objectName().toStdString();
    if (p.group) {
      auto* g = qobject_cast<QGroupBox*>(p.control->parentWidget());
      ASSERT_NE(g, nullptr);
      EXPECT_EQ(g->title(), p.group);
    }
  }
  EXPECT_EQ(form.CheckBoxNoIndex->text(), "No Index");
  EXPECT_EQ(form.CheckBoxNoOrder->text(), "No Follow");
  EXPECT_EQ(form.Button3->text(), "Select All");
  EXPECT_EQ(form.ButtonClearAll->text(), "Delete Selected");
}

// Every key shows in its control, and OK without a change writes the very bytes back, also
// those that are not UTF-8 and line breaks in the description.
TEST(EditHTMLHead, StoreToControlsAndBackExactly) {
  TFormEditHTMLHead form;
  ZButtonList scene;
  struct Case {
    const char* key;
    QWidget* control;
    std::string value;
    QString shown;
  } cases[] = {
      {"Tit", form.EditTitle, "Caf\xC3\xA9 \"Zelmora\" <home>",
       QString::fromUtf8("Caf\u00e9 \"Zelmora\" <home>")},
      {"Des", form.EditDescription, "line one\r\nline two", "line one\nline two"},
      {"Gen", form.EditGenerator, "Zelmora 1.0", "Zelmora 1.0"},
      {"Con", form.EditContent, "text/html; charset=utf-8", "text/html; charset=utf-8"},
      {"Aut", form.EditAuthor, "  A. Author  ", "  A. Author  "},
      {"Cop", form.EditCopyright, "\xA9 2026 Old Page", QString::fromUtf8("\uFFFD 2026 Old Page")},
      {"Rat", form.EditRating, "Mature", "Mature"},
      {"Ema", form.EditEmail, "me@example.org", "me@example.org"},
      {"Own", form.EditOwner, "Owner & Co", "Owner & Co"},
      {"Lan", form.EditLanguage, "de", "de"},
      {"Cha", form.EditCharset, "iso-8859-1", "iso-8859-1"},
  };
  for (const Case& c : cases) scene.WriteString(c.key, c.value);
  scene.WriteBool("NoI", true);
  scene.WriteBool("NoF", false);
  scene.WriteString("Key", "alpha=1\r\n\xE9t\xE9=0\r\ngamma=1\r\n");
  auto before = Snapshot(scene);

  bool ok = EditWith(
      form, scene,
      [&] {
        for (const Case& c : cases) EXPECT_EQ(Shown(c.control), c.shown) << c.key;
        EXPECT_TRUE(form.CheckBoxNoIndex->isChecked());
        EXPECT_FALSE(form.CheckBoxNoOrder->isChecked());
        EXPECT_EQ(Keywords(form),
                  (std::vector<Keyword>{{"alpha", true}, {"\xE9t\xE9", false}, {"gamma", true}}));
      },
      &TFormEditHTMLHead::ButtonOK);
  EXPECT_TRUE(ok);
  EXPECT_EQ(Snapshot(scene), before);
}

// Edits in every control reach their keys.
TEST(EditHTMLHead, EditsAreWrittenUnderTheirKeys) {
  TFormEditHTMLHead form;
  ZButtonList scene;
  for (const char* k : AllKeys) scene.WriteString(k, "old");
  scene.WriteString("Key", "keep=1\r\ndrop=0\r\n");
  bool ok = EditWith(
      form, scene,
      [&] {
        form.EditTitle->setText("T");
        form.EditDescription->setPlainText("first\nsecond");
        form.EditGenerator->setText("G");
        form.EditContent->setText("C");
        form.EditAuthor->setText("A");
        form.EditCopyright->setText("\u00a9 me");
        form.EditRating->setCurrentIndex(0);
        form.EditEmail->setText("E");
        form.EditOwner->setText("O");
        form.EditLanguage->setText("L");
        form.EditCharset->setText("");
        form.CheckBoxNoIndex->setChecked(false);
        form.CheckBoxNoOrder->setChecked(true);
        form.NewKeyword1Click();
      },
      &TFormEditHTMLHead::ButtonOK);
  ASSERT_TRUE(ok);
  std::map<std::string, std::string> expected = {
      {"Tit", "T"},       {"Des", "first\r\nsecond"},
      {"Gen", "G"},       {"Con", "C"},
      {"Aut", "A"},       {"Cop", "\xC2\xA9 me"},
      {"Rat", "General"}, {"Ema", "E"},
      {"Own", "O"},       {"Lan", "L"},
      {"Cha", ""},        {"NoI", "0"},
      {"NoF", "1"},       {"Key", "keep=1\r\ndrop=0\r\nNew Keyword=1\r\n"}};
  EXPECT_EQ(Snapshot(scene), expected);
}

TEST(EditHTMLHead, EmptyStoreShowsEmptyFieldsAndOkWritesEveryKey) {
  TFormEditHTMLHead form;
  ZButtonList scene;
  // The form still holds the last project's settings.
  form.EditContent->setText("stale");
  form.CheckBoxNoIndex->setChecked(true);
  form.AddKeyword("stale", true);
  bool ok = EditWith(
      form, scene,
      [&] {
        for (QWidget* w : {(QWidget*)form.EditTitle, (QWidget*)form.EditDescription,
                           (QWidget*)form.EditContent, (QWidget*)form.EditRating, (QWidget*)form.EditCharset})
          EXPECT_TRUE(Shown(w).isEmpty()) << w->objectName().toStdString();
        EXPECT_FALSE(form.CheckBoxNoIndex->isChecked());
        EXPECT_FALSE(form.CheckBoxNoOrder->isChecked());
        EXPECT_EQ(form.ListView->topLevelItemCount(), 0);
      },
      &TFormEditHTMLHead::ButtonOK);
  ASSERT_TRUE(ok);
  for (const char* k : AllKeys) {
    std::string expected = std::string(k) == "NoI" || std::string(k) == "NoF" ? "0" : "";
    EXPECT_EQ(scene.ReadString(k, "<absent>"), expected) << k;
  }
}

TEST(EditHTMLHead, KeywordLinesOfTheStore) {
  TFormEditHTMLHead form;
  struct Case {
    const char* line;
    Keyword item;
  } cases[] = {
      {"alpha=1", {"alpha", true}},
      {"beta=0", {"beta", false}},
      {"gamma=-3", {"gamma", true}},
      {"delta=yes", {"delta", true}},  // not a number: on
      {"eps=", {"eps", true}},
      // The switch is after the last "=", so a keyword may hold "=" itself.
      {"a=b=0", {"a=b", false}},
      {"a=b=1", {"a=b", true}},
      {"x==0", {"x=", false}},
      {"lonely", {"", true}},  // no "=": no caption
      {"0", {"", false}},      // ... and off when the line is the number 0
      {"=0", {"", false}},
  };
  for (const Case& c : cases) {
    form.SetKeywordsText(std::string(c.line) + "\r\n");
    ASSERT_EQ(Keywords(form).size(), 1u) << c.line;
    EXPECT_EQ(Keywords(form)[0], c.item) << c.line;
  }
  // Lines may end in CR LF or LF; they come back in order, CR LF after each.
  form.SetKeywordsText("one=1\ntwo=0\r\nthree=1");
  EXPECT_EQ(form.KeywordsText(), "one=1\r\ntwo=0\r\nthree=1\r\n");
  form.SetKeywordsText("");
  EXPECT_EQ(form.KeywordsText(), "");
}

// A keyword holding "=" comes back after OK and reopening as it was typed, switched as it
// was; a keyword set holding such a caption loads it whole.
TEST(EditHTMLHead, KeywordsWithEqualsSignsReadBackExactly) {
  TFormEditHTMLHead form;
  ZButtonList scene;
  ASSERT_TRUE(EditWith(
      form, scene,
      [&] {
        form.AddKeyword("size=large", false);
        form.AddKeyword("a=b=c", true);
        form.AddKeyword("ends=", false);
      },
      &TFormEditHTMLHead::ButtonOK));
  const std::vector<Keyword> typed{{"size=large", false}, {"a=b=c", true}, {"ends=", false}};
  std::vector<Keyword> shown;
  ASSERT_TRUE(EditWith(
      form, scene, [&] { shown = Keywords(form); }, &TFormEditHTMLHead::ButtonOK));
  EXPECT_EQ(shown, typed);

  TempDir dir;
  // Written by an editor that begins the file with a UTF-8 byte-order mark.
  WriteAll(dir.File("eq.met"),
           "\xEF\xBB\xBF[Header]\r\nItemCount=2\r\n[Item0]\r\nCaption=w=h\r\nChecked=0\r\n"
           "[Item1]\r\nCaption = k=v \r\nChecked=1\r\n");
  form.LoadKeywordSet(dir.File("eq.met"), false);
  EXPECT_EQ(Keywords(form), (std::vector<Keyword>{{"w=h", false}, {"k=v", true}}));
  form.SetKeywordsText(form.KeywordsText());
  EXPECT_EQ(Keywords(form), (std::vector<Keyword>{{"w=h", false}, {"k=v", true}}));
  form.SaveKeywordSet(dir.File("again.met"));
  form.ListView->clear();
  form.LoadKeywordSet(dir.File("again.met"), false);
  EXPECT_EQ(Keywords(form), (std::vector<Keyword>{{"w=h", false}, {"k=v", true}}));
}

TEST(EditHTMLHead, KeywordCommands) {
  TFormEditHTMLHead form;
  form.show();
  form.PopupMenuPopup();
  EXPECT_FALSE(form.DeleteKeyword1->isEnabled());
  EXPECT_FALSE(form.MenuItemSelectAll->isEnabled());
  EXPECT_FALSE(form.MenuItemDeselectAll->isEnabled());

  form.SetKeywordsText("a=1\r\nb=0\r\nc=1\r\nd=0\r\n");
  form.PopupMenuPopup();
  EXPECT_FALSE(form.DeleteKeyword1->isEnabled());  // nothing selected
  EXPECT_TRUE(form.MenuItemSelectAll->isEnabled());
  EXPECT_TRUE(form.MenuItemDeselectAll->isEnabled());

  form.ListView->setCurrentItem(form.ListView->topLevelItem(1));
  form.PopupMenuPopup();
  EXPECT_TRUE(form.DeleteKeyword1->isEnabled());
  form.DeleteKeyword1->trigger();
  EXPECT_EQ(form.KeywordsText(), "a=1\r\nc=1\r\nd=0\r\n");

  form.NewKeyword1->trigger();
  EXPECT_EQ(form.KeywordsText(), "a=1\r\nc=1\r\nd=0\r\nNew Keyword=1\r\n");

  form.MenuItemDeselectAll->trigger();
  EXPECT_EQ(form.KeywordsText(), "a=0\r\nc=0\r\nd=0\r\nNew Keyword=0\r\n");
  form.Button3->click();  // "Select All"
  EXPECT_EQ(form.KeywordsText(), "a=1\r\nc=1\r\nd=1\r\nNew Keyword=1\r\n");

  // "Delete Selected" removes the keywords that are switched on.
  form.ListView->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
  form.ListView->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
  form.ButtonClearAll->click();
  EXPECT_EQ(form.KeywordsText(), "a=0\r\nd=0\r\n");
  form.DeleteSelected1->trigger();
  EXPECT_EQ(form.KeywordsText(), "a=0\r\nd=0\r\n");
}

// A caption edited in place loses its surrounding blanks.
TEST(EditHTMLHead, InPlaceEditTrims) {
  TFormEditHTMLHead form;
  form.PageControl->setCurrentWidget(form.TabSheetKeywords);
  form.show();
  QTreeWidgetItem* item = form.AddKeyword("old", true);
  form.ListView->setCurrentItem(item);
  form.ListView->editItem(item);
  auto* editor = form.ListView->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setText("  new words \t");
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();  // the view commits the editor's text queued
  EXPECT_EQ(form.KeywordsText(), "new words=1\r\n");
}

TEST(EditHTMLHead, DraggingMovesAKeywordBeforeTheDropTarget) {
  TFormEditHTMLHead form;
  form.PageControl->setCurrentWidget(form.TabSheetKeywords);
  form.show();
  form.SetKeywordsText("a=1\r\nb=0\r\nc=1\r\n");
  auto at = [&](int i) { return form.ListView->visualItemRect(form.ListView->topLevelItem(i)).center(); };
  bool accept = true;
  form.ListViewDragOver(form.ListView, form.ListView, at(0), accept);
  EXPECT_FALSE(accept);  // nothing selected
  form.ListView->setCurrentItem(form.ListView->topLevelItem(2));
  form.ListViewDragOver(form.ListView, &form, at(0), accept);
  EXPECT_FALSE(accept);  // from elsewhere
  form.ListViewDragOver(form.ListView, form.ListView, at(0), accept);
  EXPECT_TRUE(accept);

  form.ListViewDragDrop(form.ListView, form.ListView, at(0));
  EXPECT_EQ(form.KeywordsText(), "c=1\r\na=1\r\nb=0\r\n");
  // Downwards: before the target, so "c" lands between "a" and "b".
  form.ListView->setCurrentItem(form.ListView->topLevelItem(0));
  form.ListViewDragDrop(form.ListView, form.ListView, at(2));
  EXPECT_EQ(form.KeywordsText(), "a=1\r\nc=1\r\nb=0\r\n");
  // Onto itself, or below the last item: nothing moves.
  form.ListView->setCurrentItem(form.ListView->topLevelItem(1));
  form.ListViewDragDrop(form.ListView, form.ListView, at(1));
  form.ListViewDragDrop(form.ListView, form.ListView, QPoint(5, form.ListView->viewport()->height() - 2));
  EXPECT_EQ(form.KeywordsText(), "a=1\r\nc=1\r\nb=0\r\n");
}

TEST(EditHTMLHead, KeywordSetSaveAndLoad) {
  TempDir dir;
  std::string file = dir.File("set.met");
  TFormEditHTMLHead form;
  ScriptedFiles files;

  // An older, longer set in the file: nothing of it may remain.
  WriteAll(file,
           "[Header]\r\nItemCount=3\r\n[Item0]\r\nCaption=x\r\n[Item1]\r\nCaption=y\r\n"
           "[Item2]\r\nCaption=z\r\n[Other]\r\nk=v\r\n");
  form.EditTitle->setText("My Page");
  form.EditDescription->setPlainText("about\nus");
  form.SetKeywordsText("one=1\r\ntwo=0\r\n");
  files.names = {file};
  form.MenuItemSaveKeywords->trigger();
  EXPECT_EQ(files.titles.back(), "Save Meta Project");
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Header", "Item0", "Item1"}));
  EXPECT_EQ(ini.ReadString("Header", "Title", ""), "My Page");
  // A line break would end the value and start lines of its own in the file.
  EXPECT_EQ(ini.ReadString("Header", "Description", ""), "about  us");
  EXPECT_EQ(ini.ReadInteger("Header", "ItemCount", -1), 2);
  EXPECT_EQ(ini.ReadString("Item1", "Caption", ""), "two");
  EXPECT_EQ(ini.ReadString("Item1", "Checked", ""), "0");
  EXPECT_EQ(ini.ReadString("Item0", "Checked", ""), "1");

  form.EditTitle->clear();
  form.EditDescription->clear();
  form.SetKeywordsText("other=1\r\n");
  files.names = {file};
  form.MenuItemLoadKeywords->trigger();
  EXPECT_EQ(files.titles.back(), "Open Meta Project");
  EXPECT_EQ(form.EditTitle->text(), "My Page");
  EXPECT_EQ(form.EditDescription->toPlainText(), "about  us");
  EXPECT_EQ(Keywords(form), (std::vector<Keyword>{{"one", true}, {"two", false}}));

  // Append keeps title, description and the keywords there are.
  form.EditTitle->setText("Kept");
  files.names = {file};
  form.MenuItemAppendKeywords->trigger();
  EXPECT_EQ(form.EditTitle->text(), "Kept");
  EXPECT_EQ(form.KeywordsText(), "one=1\r\ntwo=0\r\none=1\r\ntwo=0\r\n");

  // A cancelled dialog changes nothing.
  files.names = {""};
  form.MenuItemLoadKeywords->trigger();
  files.names = {""};
  form.MenuItemSaveKeywords->trigger();
  EXPECT_EQ(form.KeywordsText(), "one=1\r\ntwo=0\r\none=1\r\ntwo=0\r\n");
  EXPECT_EQ(TIniFile(file).ReadInteger("Header", "ItemCount", -1), 2);
}

TEST(EditHTMLHead, KeywordSetFilesThatDoNotFit) {
  TempDir dir;
  TFormEditHTMLHead form;
  struct Case {
    const char* name;
    std::string text;
    std::vector<Keyword> items;
    const char* title;
  } cases[] = {
      // More items counted than there are: the missing ones are "NA", off.
      {"short",
       "[Header]\nTitle=T\nItemCount=3\n[Item0]\nCaption=real\nChecked=1\n",
       {{"real", true}, {"NA", false}, {"NA", false}},
       "T"},
      {"negative", "[header]\nitemcount=-5\n[Item0]\nCaption=x\n", {}, ""},
      {"no count", "[Item0]\nCaption=x\nChecked=1\n", {}, ""},
      // Names are case-blind; blanks around values and quotes are dropped.
      {"cases",
       "[HEADER]\nTITLE = \"Quoted\" \nITEMCOUNT=1\n[item0]\ncaption=  spaced  \nchecked=7\n",
       {{"spaced", true}},
       "Quoted"},
  };
  for (const Case& c : cases) {
    std::string file = dir.File(std::string(c.name) + ".met");
    WriteAll(file, c.text);
    form.EditTitle->setText("before");
    form.SetKeywordsText("before=1");
    form.LoadKeywordSet(file, false);
    EXPECT_EQ(Keywords(form), c.items) << c.name;
    EXPECT_EQ(form.EditTitle->text().toStdString(), c.title) << c.name;
  }
  // A missing file reads as empty.
  form.EditDescription->setPlainText("before");
  form.LoadKeywordSet(dir.File("missing.met"), false);
  EXPECT_TRUE(form.EditTitle->text().isEmpty());
  EXPECT_TRUE(form.EditDescription->toPlainText().isEmpty());
  EXPECT_EQ(form.ListView->topLevelItemCount(), 0);
  // A count beyond all reason is cut, so a damaged file cannot hang the program.
  std::string huge = dir.File("huge.met");
  WriteAll(huge, "[Header]\nItemCount=2147483647\n");
  form.LoadKeywordSet(huge, true);
  EXPECT_EQ(form.ListView->topLevelItemCount(), MaxKeywordSetItems);
}

TEST(EditHTMLHead, SaveErrorsAreRaisedAndKeepTheOldFile) {
  TempDir dir;
  TFormEditHTMLHead form;
  form.SetKeywordsText("a=1");
  EXPECT_THROW(form.SaveKeywordSet(dir.File("no/such/folder/x.met")), Exception);
  // A read-only folder: the old set stays whole.
  std::string sub = dir.File("ro");
  fs::create_directory(sub);
  WriteAll(sub + "/old.met", "[Header]\r\nItemCount=0\r\n");
  fs::permissions(sub, fs::perms::owner_read | fs::perms::owner_exec);
  if (access(sub.c_str(), W_OK) != 0) {  // root writes there all the same
    EXPECT_THROW(form.SaveKeywordSet(sub + "/old.met"), Exception);
    EXPECT_EQ(ReadAll(sub + "/old.met"), "[Header]\r\nItemCount=0\r\n");
  }
  fs::permissions(sub, fs::perms::owner_all);
}

TEST(EditHTMLHead, TheShippedKeywordSetsLoad) {
  TFormEditHTMLHead form;
  int sets = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(ZELMORA_DATA) / "Keywords")) {
    if (entry.path().extension() != ".met") continue;
    ++sets;
    form.LoadKeywordSet(entry.path().string(), false);
    std::string name = entry.path().filename().string();
    EXPECT_FALSE(form.EditTitle->text().isEmpty()) << name;
    EXPECT_FALSE(form.EditDescription->toPlainText().isEmpty()) << name;
    std::vector<Keyword> k = Keywords(form);
    EXPECT_GE(k.size(), 5u) << name;
    for (const Keyword& w : k) EXPECT_NE(w.caption, "NA") << name;
  }
  EXPECT_GE(sets, 3);
}

// Cancel (the button, or Escape) leaves the store as it was, whatever was done meanwhile.
TEST(EditHTMLHead, CancelLeavesTheStoreUnchanged) {
  TempDir dir;
  std::string file = dir.File("set.met");
  WriteAll(file, "[Header]\nTitle=Loaded\nItemCount=1\n[Item0]\nCaption=loaded\nChecked=1\n");
  ZButtonList scene;
  scene.WriteString("Tit", "Title");
  scene.WriteString("Key", "kw=1\r\n");
  auto before = Snapshot(scene);
  TFormEditHTMLHead form;
  ScriptedFiles files;
  files.names = {file, file};
  bool ok = EditWith(
      form, scene,
      [&] {
        form.EditOwner->setText("changed");
        form.CheckBoxNoIndex->setChecked(true);
        form.NewKeyword1Click();
        form.MenuItemLoadKeywordsClick();
        form.MenuItemAppendKeywordsClick();
        EXPECT_EQ(form.EditTitle->text(), "Loaded");
      },
      &TFormEditHTMLHead::ButtonCancel);
  EXPECT_FALSE(ok);
  EXPECT_EQ(Snapshot(scene), before);

  QTimer::singleShot(0, &form, [&] {
    form.EditTitle->setText("typed");
    QTest::keyClick(&form, Qt::Key_Escape);
  });
  EXPECT_FALSE(EditHeader(&form, &scene));
  EXPECT_EQ(Snapshot(scene), before);
  // Enter in a field neither breaks the description nor closes the dialog.
  QTimer::singleShot(0, &form, [&] {
    form.EditDescription->setFocus();
    form.EditDescription->setPlainText("one");
    QTest::keyClick(form.EditDescription, Qt::Key_Return);
    QTest::keyClick(form.EditTitle, Qt::Key_Return);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.EditDescription->toPlainText(), "one");
    form.ButtonCancel->click();
  });
  EXPECT_FALSE(EditHeader(&form, &scene));
}

// The page head built from the store shows what was typed in the dialog.
TEST(EditHTMLHead, BuiltPageHeadReflectsTheEdits) {
  ZButtonList scene;
  scene.WriteString("Key", "old=1\r\n");
  TFormEditHTMLHead form;
  bool ok = EditWith(
      form, scene,
      [&] {
        form.EditTitle->setText("Zelmora Page");
        form.EditDescription->setPlainText("Buttons \"for\" all");
        form.EditOwner->setText("Owner");
        form.EditAuthor->setText("Author");
        form.EditEmail->setText("me@example.org");
        form.EditCopyright->setText("(c) 2026");
        form.EditRating->setEditText("General");
        form.EditGenerator->setText("Zelmora");
        form.EditContent->setText("text/html; charset=iso-8859-1");
        form.EditLanguage->setText("en");
        form.EditCharset->setText("utf-8");
        form.CheckBoxNoOrder->setChecked(true);
        form.ListView->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        form.AddKeyword("buttons", true);
        form.AddKeyword("unused", false);
        form.AddKeyword("web", true);
      },
      &TFormEditHTMLHead::ButtonOK);
  ASSERT_TRUE(ok);
  THTML html;
  std::string page = BuildPageHTMLFromTable(html, "", scene, clWhite);
  // The content type typed is the page's one declaration of its charset, first.
  EXPECT_EQ(html.Head->Text(),
            "<HEAD>\r\n"
            "<META HTTP-EQUIV=\"CONTENT-TYPE\" CONTENT=\"text/html; charset=iso-8859-1\">\r\n"
            "<TITLE>Zelmora Page</TITLE>\r\n"
            "<META NAME=\"TITLE\" CONTENT=\"Zelmora Page\">\r\n"
            "<META NAME=\"DESCRIPTION\" CONTENT=\"Buttons &quot;for&quot; all\">\r\n"
            "<META NAME=\"KEYWORDS\" CONTENT=\"\r\n"
            "buttons\r\n"
            ", web\r\n"
            "\">\r\n"
            "<META NAME=\"OWNER\" CONTENT=\"Owner\">\r\n"
            "<META NAME=\"AUTHOR\" CONTENT=\"Author\">\r\n"
            "<META NAME=\"COPYRIGHT\" CONTENT=\"(c) 2026\">\r\n"
            "<META NAME=\"GENERATOR\" CONTENT=\"Zelmora\">\r\n"
            "<META HTTP-EQUIV=\"CONTENT-LANGUAGE\" CONTENT=\"en\">\r\n"
            "<META NAME=\"RATING\" CONTENT=\"General\">\r\n"
            "<META NAME=\"ROBOTS\" CONTENT=\"index, nofollow\">\r\n"
            "<LINK HREF=\"mailto:me@example.org\" REV=MADE>\r\n"
            "</HEAD>\r\n");
  EXPECT_EQ(page.rfind("<HTML>" + html.Head->Text(), 0), 0u);
}

// The dialog drawn offscreen with the shipped files; ZELMORA_GRAB_DIR keeps the pictures.
TEST(EditHTMLHead, Grab) {
  ShippedHome shipped;
  const TempDir& home = shipped.home;
  {
    TFormEditHTMLHead form;
    EXPECT_EQ(form.OpenDialog->InitialDir, home.Path() + "/Keywords");
    ZButtonList scene;
    scene.WriteString("Tit", "Zelmora Buttons");
    scene.WriteString("Des", "Web buttons and small pages, made with Zelmora.");
    scene.WriteString("Own", "Varnholt");
    scene.WriteString("Aut", "A. Designer");
    scene.WriteString("Ema", "designer@example.org");
    scene.WriteString("Rat", "General");
    scene.WriteString("Cop", "(c) 2026");
    scene.WriteString("Key", "buttons=1\r\nweb design=1\r\nnavigation=0\r\n");
    form.ReadFromStore(scene);
    form.show();
    QImage shot = form.grab().toImage();
    std::set<QRgb> colours;
    for (int y = shot.height() - 38; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 20u);
    const char* dir = std::getenv("ZELMORA_GRAB_DIR");
    const char* pages[] = {"edithtmlhead-settings", "edithtmlhead-keywords", "edithtmlhead-advanced"};
    for (int i = 0; i < 3 && dir && *dir; ++i) {
      form.PageControl->setCurrentIndex(i);
      form.grab().save(QString(dir) + "/" + pages[i] + ".png");
    }
  }
  FreeBanner();
  ReleaseEnvironment();
}

}  // namespace
