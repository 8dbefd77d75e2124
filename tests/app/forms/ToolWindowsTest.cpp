// The style tool window and the template library window: their controls, the forwarding of
// every control to the main window, the colour panels' dialog, docking and closing, the
// list in name order, and a picture of the main window with both docked.
#include <cstdlib>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>

#include "POP/gui/PopExtCtrls.h"
#include "engine/XImage.h"
#include "engine/XImageCache.h"
#include "platform/gui/QtImage.h"
#include "tests/support/StyleFixture.h"

namespace {

TColor PanelColour(QWidget* panel) { return QColorToTColor(panel->palette().color(QPalette::Window)); }

TEST(ToolWindow, ControlsAtTheirPlacesWithTheirItems) {
  TFormTools tools;
  EXPECT_EQ(tools.objectName(), "FormTools");
  EXPECT_EQ(tools.windowTitle(), "Properties");
  EXPECT_EQ(tools.Client->size(), QSize(145, 517));
  struct Place {
    QWidget* control;
    QWidget* parent;
    int left, top, width;
  } places[] = {
      {tools.PaintBox1, tools.Client, 0, 0, 145},
      {tools.GroupBox1, tools.Client, 0, 16, 145},
      {tools.ComboOverlay, tools.GroupBox1, 8, 20, 129},
      {tools.XColorPanel1, tools.GroupBox1, 8, 48, 25},
      {tools.XColorPanel4, tools.GroupBox1, 80, 48, 25},
      {tools.FlipColors, tools.GroupBox1, 112, 48, 25},
      {tools.PaintBox3, tools.Client, 0, 104, 145},
      {tools.GroupBox2, tools.Client, 0, 120, 145},
      {tools.CurveSize, tools.GroupBox2, 96, 16, 41},
      {tools.PenWidth, tools.GroupBox2, 96, 40, 41},
      {tools.XColorPanel5, tools.GroupBox2, 96, 64, 41},
      {tools.CheckAntialias, tools.GroupBox2, 8, 92, 129},
      {tools.CheckTransparent, tools.GroupBox2, 8, 108, 129},
      {tools.PaintBox2, tools.Client, 0, 256, 145},
      {tools.GroupBox3, tools.Client, 0, 272, 145},
      {tools.XColorPanel0, tools.GroupBox3, 104, 16, 33},
      {tools.ButtonLoadTexture, tools.GroupBox3, 8, 48, 129},
      {tools.ComboTextureMode, tools.GroupBox3, 8, 80, 129},
      {tools.Panel1, tools.GroupBox3, 8, 104, 129},
  };
  for (const Place& p : places) {
    SCOPED_TRACE(p.control->objectName().toStdString());
    EXPECT_EQ(p.control->parentWidget(), p.parent);
    EXPECT_EQ(p.control->geometry().topLeft(), QPoint(p.left, p.top));
    EXPECT_EQ(p.control->width(), p.width);
  }
  EXPECT_EQ(tools.Panel1->height(), 129);
  EXPECT_EQ(tools.Image->parentWidget(), tools.Panel1);

  ASSERT_EQ(tools.ComboOverlay->count(), 25);
  EXPECT_EQ(tools.ComboOverlay->itemText(0), "None");
  EXPECT_EQ(tools.ComboOverlay->itemText(5), "Round Rectangle");
  EXPECT_EQ(tools.ComboOverlay->itemText(23), "Text Area");
  EXPECT_EQ(tools.ComboOverlay->itemText(24), "HTML Snippet");
  QStringList modes, curves, pens;
  for (int i = 0; i < tools.ComboTextureMode->count(); ++i) modes << tools.ComboTextureMode->itemText(i);
  for (int i = 0; i < tools.CurveSize->count(); ++i) curves << tools.CurveSize->itemText(i);
  for (int i = 0; i < tools.PenWidth->count(); ++i) pens << tools.PenWidth->itemText(i);
  EXPECT_EQ(modes.join(","), "Stretched,Tiled,Centered,Bilinear Filtered,Button Skin");
  EXPECT_EQ(curves.join(","), "0,1,2,3,4,6,8,10,12,14,16,20,24,28,32,36,40");
  EXPECT_EQ(pens.join(","), "0,1,2,3,4,6,8,10,12,14,16");
  // The lists are plain lists: nothing can be typed.
  for (QComboBox* box : {tools.ComboOverlay, tools.CurveSize, tools.PenWidth, tools.ComboTextureMode})
    EXPECT_FALSE(box->isEditable());

  // Disabled until the main window shows a focused object.
  for (QWidget* c : std::initializer_list<QWidget*>{tools.ComboOverlay, tools.FlipColors,
                                                    tools.CheckAntialias, tools.CheckTransparent,
                                                    tools.ButtonLoadTexture, tools.ComboTextureMode})
    EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
  EXPECT_EQ(PanelColour(tools.XColorPanel0), clMaroon);
  EXPECT_EQ(tools.PaintBox1->toolTip(), "Border Style");
  EXPECT_EQ(tools.PaintBox2->toolTip(), "Texture Settings");
  EXPECT_EQ(tools.PaintBox3->toolTip(), "Border Settings");
  EXPECT_EQ(tools.Label6->text(), "Curve Size:");
  EXPECT_EQ(tools.Label2->text(), "Background Color:");
  EXPECT_EQ(tools.ButtonLoadTexture->text(), "Load Image...");
}

TEST(ToolWindow, EachColourPanelReachesItsOwnColour) {
  StyleWindows s;
  s.Select({0, 1});
  TColor answer = 0;
  bool ok = true;
  DialogAnswers dialogs([&](TCommonDialog& d) {
    static_cast<TColorDialog&>(d).Color = answer;
    return ok;
  });
  TPanel* panels[] = {s.tools->XColorPanel0, s.tools->XColorPanel1, s.tools->XColorPanel2,
                      s.tools->XColorPanel3, s.tools->XColorPanel4, s.tools->XColorPanel5};
  TColor before[2][6];
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 6; ++j) before[k][j] = s.Obj(k)->Style->Color(j);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    answer = 0x010101 * TColor(i + 1);
    QTest::mouseClick(panels[i], Qt::LeftButton);
    EXPECT_EQ(PanelColour(panels[i]), answer);
    // The panels clicked so far gave their colours to both selected objects; the others
    // are as they were.
    for (int k = 0; k < 2; ++k)
      for (int j = 0; j < 6; ++j)
        EXPECT_EQ(s.Obj(k)->Style->Color(j), j <= i ? 0x010101 * TColor(j + 1) : before[k][j])
            << k << " " << j;
  }
  EXPECT_EQ(s.Obj(2)->Style->Color1, 3u);
  // A cancelled dialog changes neither the panel nor the objects.
  ok = false;
  const int count = s.w->ChangeCount;
  answer = 0xABCDEF;
  QTest::mouseClick(s.tools->XColorPanel2, Qt::LeftButton);
  EXPECT_EQ(PanelColour(s.tools->XColorPanel2), 0x030303u);
  EXPECT_EQ(s.Obj(0)->Style->Color2, 0x030303u);
  EXPECT_EQ(s.w->ChangeCount, count);
}

TEST(ToolWindow, TextureControlsForwardToTheMainWindow) {
  StyleWindows s;
  s.Select({2, 0});
  // "Load Image..." starts at the focused object's texture and gives both the new one.
  const std::string wood = s.home.dir.File("Images/wood.bmp");
  s.Obj(0)->Style->Texture = ImageCache().GetEntry(wood);
  s.Select({2, 0});
  std::string offered;
  DialogAnswers dialogs([&](TCommonDialog& d) {
    auto& f = static_cast<TOpenDialog&>(d);
    offered = f.FileName;
    f.FileName = s.home.dir.File("Images/marble.bmp");
    return true;
  });
  QTest::mouseClick(s.tools->ButtonLoadTexture, Qt::LeftButton);
  EXPECT_EQ(offered, wood);
  EXPECT_EQ(dialogs.kinds, std::vector<std::string>{"TOpenPictureDialog"});
  for (int i : {0, 2}) {
    ASSERT_NE(s.Obj(i)->Style->Texture, nullptr);
    EXPECT_EQ(s.Obj(i)->Style->TextureFileName, "marble.bmp");
  }
  EXPECT_EQ(s.Obj(1)->Style->Texture, nullptr);
  // A picture already in the Images folder is used where it is.
  EXPECT_EQ(s.Obj(0)->Style->Texture->FileName, s.home.dir.File("Images/marble.bmp"));
  EXPECT_NE(s.w->ChangeCount, 0);
  // Now with a texture, its mode can be chosen; the preview shows it.
  ASSERT_TRUE(s.tools->ComboTextureMode->isEnabled());
  EXPECT_GT(s.tools->Image->width(), 0);
  s.tools->ComboTextureMode->setCurrentIndex(3);
  emit s.tools->ComboTextureMode->activated(3);
  EXPECT_EQ(s.Obj(0)->Style->TextureMode, 4);
  EXPECT_EQ(s.Obj(2)->Style->TextureMode, 4);
  EXPECT_EQ(s.Obj(1)->Style->TextureMode, 1);
}

TEST(ToolWindow, DockingAndClosing) {
  StyleWindows s;
  TFormTools* tools = s.tools;
  // The start leaves it floating and hidden; it can be docked into the free left site.
  EXPECT_TRUE(tools->isFloating());
  EXPECT_FALSE(tools->isVisible());
  s.w->DockSites->ManualDock(tools, TFormMain::PanelDockSite1);
  QCoreApplication::processEvents();
  EXPECT_FALSE(tools->isFloating());
  EXPECT_EQ(s.w->dockWidgetArea(tools), Qt::LeftDockWidgetArea);
  // Undocked, it fits its controls again.
  tools->setFloating(true);
  QCoreApplication::processEvents();
  EXPECT_EQ(tools->widget()->size(), tools->widget()->sizeHint());
  EXPECT_GE(tools->width(), 155);
  // Closed while docked: shown again, it floats.
  s.w->DockSites->ManualDock(tools, TFormMain::PanelDockSite1);
  tools->close();
  EXPECT_FALSE(tools->isVisible());
  tools->show();
  EXPECT_TRUE(tools->isFloating());

  TFormLibrary* library = s.library;
  EXPECT_FALSE(library->isFloating());
  EXPECT_EQ(s.w->dockWidgetArea(library), Qt::RightDockWidgetArea);
  library->close();
  library->show();
  EXPECT_TRUE(library->isFloating());
}

// A textured red ellipse beside the plain objects.
std::vector<StyleObj> WithATexturedObject() {
  std::vector<StyleObj> objects = kStyleObjects;
  objects.push_back({"T", 160, 120, 240, 160,
                     "Shape=5\nCurveSize=12\nPenWidth=3\nColor0=255\nTextureFileName=marble.bmp\n"
                     "TextureMode=2\nIsAntialiased=1\nIsTransparent=1\n"});
  return objects;
}

// With nothing selected the window shows nothing of the object shown before: no texture, no
// background colour, no shape or sizes, no ticks.
TEST(ToolWindow, WithNothingSelectedItShowsItsEmptyState) {
  StyleWindows s(WithATexturedObject());
  s.Select({3});
  ASSERT_GT(s.tools->Image->Picture().Width(), 0);
  ASSERT_EQ(PanelColour(s.tools->Panel1), 255u);
  ASSERT_TRUE(s.tools->CheckAntialias->isChecked());
  s.w->MISelectNone->trigger();
  ASSERT_EQ(s.w->Scene->Current, nullptr);
  EXPECT_EQ(s.tools->Image->Picture().Width(), 0);
  EXPECT_EQ(PanelColour(s.tools->Panel1), PanelColour(s.tools->XColorPanel0));
  EXPECT_NE(PanelColour(s.tools->Panel1), 255u);
  for (QComboBox* box :
       {s.tools->ComboOverlay, s.tools->ComboTextureMode, s.tools->CurveSize, s.tools->PenWidth}) {
    EXPECT_EQ(box->currentIndex(), -1) << box->objectName().toStdString();
    EXPECT_FALSE(box->isEnabled()) << box->objectName().toStdString();
  }
  EXPECT_FALSE(s.tools->CheckAntialias->isChecked());
  EXPECT_FALSE(s.tools->CheckTransparent->isChecked());
  // Selected again, it shows the object once more.
  s.Select({3});
  EXPECT_GT(s.tools->Image->Picture().Width(), 0);
  EXPECT_EQ(s.tools->ComboOverlay->currentIndex(), 5);
}

// A new background colour replaces the texture: the preview shows the colour alone at once.
TEST(ToolWindow, ThePreviewFollowsANewBackgroundColour) {
  StyleWindows s(WithATexturedObject());
  s.Select({3});
  ASSERT_GT(s.tools->Image->Picture().Width(), 0);
  ASSERT_TRUE(s.tools->ComboTextureMode->isEnabled());
  DialogAnswers dialogs([](TCommonDialog& d) {
    static_cast<TColorDialog&>(d).Color = 0xFF0000;  // blue
    return true;
  });
  QTest::mouseClick(s.tools->XColorPanel0, Qt::LeftButton);
  EXPECT_EQ(s.Obj(3)->Style->Color0, 0xFF0000u);
  EXPECT_EQ(s.Obj(3)->Style->Texture, nullptr);
  EXPECT_EQ(PanelColour(s.tools->Panel1), 0xFF0000u);
  EXPECT_EQ(s.tools->Image->Picture().Width(), 0);
  EXPECT_FALSE(s.tools->ComboTextureMode->isEnabled());
}

// Shown from the Window menu, the floating window opens beside the page, inside the window's
// editing area and clear of the menus, not at the screen's corner; moved by the user, it comes
// back where it was left.
TEST(ToolWindow, ShownFromTheMenuItOpensBesideThePage) {
  StyleWindows s;
  s.w->showNormal();
  s.w->setGeometry(40, 40, 1100, 760);
  QCoreApplication::processEvents();
  ASSERT_TRUE(s.tools->isFloating());
  ASSERT_FALSE(s.tools->isVisible());
  s.w->TBShowTools->trigger();
  QCoreApplication::processEvents();
  ASSERT_TRUE(s.tools->isVisible());
  ASSERT_TRUE(s.tools->isFloating());
  const QRect tools = s.tools->frameGeometry();
  const QRect page(s.w->PanelScene->mapToGlobal(QPoint(0, 0)), s.w->PanelScene->size());
  const QRect area(s.w->ScrollBox->viewport()->mapToGlobal(QPoint(0, 0)), s.w->ScrollBox->viewport()->size());
  const QRect menus(s.w->menuBar()->mapToGlobal(QPoint(0, 0)), s.w->menuBar()->size());
  EXPECT_FALSE(tools.intersects(menus));
  EXPECT_TRUE(area.contains(tools)) << "outside the editing area";
  EXPECT_FALSE(tools.intersects(page)) << "over the page";
  EXPECT_GE(tools.left(), page.right());
  EXPECT_LE(tools.left() - page.right(), 40);

  // Moved, hidden and shown again: where it was left.
  s.tools->move(tools.topLeft() + QPoint(-30, 50));
  const QPoint moved = s.tools->pos();
  s.w->TBShowTools->trigger();
  EXPECT_FALSE(s.tools->isVisible());
  s.w->TBShowTools->trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(s.tools->pos(), moved);
}

TEST(LibraryWindow, TheListShowsTheTemplatesByName) {
  StyleWindows s;
  TFormLibrary* library = s.library;
  EXPECT_EQ(library->windowTitle(), "Library");
  EXPECT_EQ(library->minimumWidth(), 130);
  EXPECT_EQ(library->maximumWidth(), 130);
  QListWidget* list = library->ListTemplates;
  ASSERT_EQ(list->count(), 2);
  // "Zinc" comes first in the file.
  EXPECT_EQ(list->item(0)->text(), "Amber");
  EXPECT_EQ(list->item(1)->text(), "Zinc");
  auto* t = static_cast<TZLMButton*>(list->item(1)->data(Qt::UserRole).value<void*>());
  EXPECT_EQ(t, s.w->TemplateLibrary->Button(0));
  EXPECT_TRUE(list->dragEnabled());
  // A double click with nothing selected on the page changes nothing.
  s.PickTemplate("Zinc");
  library->ListTemplatesDblClick(list);
  EXPECT_EQ(s.w->ChangeCount, 0);
  EXPECT_EQ(s.Obj(0)->Style->Shape, 1);
  s.Select({2});
  library->ListTemplatesDblClick(list);
  EXPECT_EQ(s.Obj(2)->Style->Shape, 5);
  EXPECT_EQ(s.Obj(2)->StyleName, "Zinc");
}

// The list is sorted as the platform's sorted list box sorted it: by name, letter case
// ignored, whatever the order of the file.
TEST(LibraryWindow, TheListIgnoresLetterCaseInItsOrder) {
  StyleWindows s;
  const std::string file = s.home.dir.File("mixed.zlm");
  std::string text = "[Heading]\nNumOfButtons=6\n";
  const char* names[] = {"Zinc", "apple", "Banana", "APRICOT", "cherry", "banana"};
  for (int i = 0; i < 6; ++i)
    text += "[Button" + std::to_string(i) + "]\nButtonText=" + names[i] +
            "\nRectLeft=0\nRectTop=0\nRectRight=40\nRectBottom=20\n";
  WriteAll(file, text);
  s.w->LoadTemplateLibrary(file);
  QListWidget* list = s.library->ListTemplates;
  std::vector<std::string> shown;
  for (int i = 0; i < list->count(); ++i) shown.push_back(list->item(i)->text().toStdString());
  EXPECT_EQ(shown, (std::vector<std::string>{"apple", "APRICOT", "Banana", "banana", "cherry", "Zinc"}));
  // Each entry still names its own template.
  for (int i = 0; i < list->count(); ++i) {
    auto* t = static_cast<TZLMButton*>(list->item(i)->data(Qt::UserRole).value<void*>());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Text, shown[size_t(i)]);
  }
}

TEST(ToolWindows, PictureOfTheMainWindowWithBothDocked) {
  StyleWindows s;
  s.w->resize(1100, 720);
  s.w->DockSites->ManualDock(s.tools, TFormMain::PanelDockSite1);
  s.Obj(0)->Style->Texture = ImageCache().GetEntry(s.home.dir.File("Images/gold.bmp"));
  s.Select({1, 0});
  s.PickTemplate("Zinc");
  s.w->RedrawScene(true);
  QCoreApplication::processEvents();
  // The labels beside the panels are not cut off.
  EXPECT_LE(s.tools->Label2->x() + s.tools->Label2->sizeHint().width(), s.tools->XColorPanel0->x());
  EXPECT_LE(s.tools->Label1->x() + s.tools->Label1->sizeHint().width(), s.tools->XColorPanel5->x());
  QImage shot = s.w->grab().toImage();
  ASSERT_FALSE(shot.isNull());
  // Both windows are on it, beside the page: the tool window left, the library right.
  QPoint toolsAt = s.tools->mapTo(s.w.get(), QPoint(0, 0));
  QPoint libraryAt = s.library->mapTo(s.w.get(), QPoint(0, 0));
  EXPECT_LT(toolsAt.x(), s.w->ScrollBox->mapTo(s.w.get(), QPoint(0, 0)).x());
  EXPECT_GT(libraryAt.x(), s.w->ScrollBox->mapTo(s.w.get(), QPoint(0, 0)).x());
  // The focused object's colour panels are not the button face.
  EXPECT_NE(PanelColour(s.tools->XColorPanel1), ColorToRGB(clBtnFace));
  // With nothing focused the panels show the button face.
  s.w->SyncControlsFromButton(nullptr);
  QImage idle = s.tools->grab().toImage();
  const QPoint panel = s.tools->XColorPanel2->mapTo(s.tools, QPoint(12, 12));
  EXPECT_EQ(QColorToTColor(idle.pixelColor(panel)), ColorToRGB(clBtnFace));
  if (const char* dir = std::getenv("ZELMORA_GRAB_DIR"); dir && *dir) {
    shot.save(QString(dir) + "/main-with-docks.png");
    idle.save(QString(dir) + "/tools-idle.png");
  }
}

TEST(ToolWindows, FreedInTheProgramsOrder) {
  // The main window goes first and takes the windows docked into it along; the globals of
  // the tool windows follow, and what is left is freed once.
  ProgramHome home;
  auto* main = new TFormMain;
  FormTools = new TFormTools;
  FormLibrary = new TFormLibrary;
  main->show();
  QCoreApplication::processEvents();
  ASSERT_EQ(FormLibrary->parentWidget(), main);
  EXPECT_TRUE(FormLibrary->isVisible());
  delete main;
  EXPECT_EQ(FormLibrary, nullptr);
  EXPECT_EQ(FormTools, nullptr);
  delete FormLibrary;
  delete FormTools;
  // A tool window that was never docked is freed on its own.
  FormTools = new TFormTools;
  delete FormTools;
  EXPECT_EQ(FormTools, nullptr);
}

}  // namespace
