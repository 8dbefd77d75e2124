// The control and menu helpers: placing the page, walking and clicking menu items.
#include "POP/gui/PopControls.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>

#include "POP/gui/PopExtCtrls.h"
#include "POP/gui/PopMenus.h"
#include "POP/gui/PopStdCtrls.h"
#include "platform/Canvas.h"
#include "platform/Graphics.h"
#include "platform/Types.h"

namespace {

// A page in a scroll box: centred while it is smaller than the visible area, pinned to the
// scrolled origin once it is larger.
TEST(PopControls, ControlSetProjectPosition) {
  QScrollArea box;
  box.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box.resize(300, 200);
  box.show();
  QWidget* view = box.viewport();
  QSize client = view->size();
  QWidget page(view);
  struct Case {
    int w, h, hscroll, vscroll;
    QPoint want;
  } cases[] = {
      {100, 50, 0, 0, {(client.width() - 100) / 2, (client.height() - 50) / 2}},
      {client.width(), client.height(), 0, 0, {0, 0}},
      {600, 400, 40, 25, {-40, -25}},
      {600, 50, 70, 0, {-70, (client.height() - 50) / 2}},
  };
  for (const auto& c : cases) {
    page.resize(c.w, c.h);
    box.horizontalScrollBar()->setRange(0, 1000);
    box.verticalScrollBar()->setRange(0, 1000);
    box.horizontalScrollBar()->setValue(c.hscroll);
    box.verticalScrollBar()->setValue(c.vscroll);
    ControlSetProjectPosition(&page);
    EXPECT_EQ(page.pos(), c.want) << c.w << "x" << c.h;
    EXPECT_EQ(page.size(), QSize(c.w, c.h));
  }
  // A control outside any scroll box stays where it is.
  QWidget plain;
  QWidget child(&plain);
  child.move(5, 6);
  ControlSetProjectPosition(&child);
  EXPECT_EQ(child.pos(), QPoint(5, 6));
  ControlSetProjectPosition(nullptr);
}

// The menu bar's "Edit" menu updates its items when it is about to show, as the system's
// menu click handlers do; the log tells what ran in which order.
struct MenuFixture : ::testing::Test {
  QMenuBar bar;
  QMenu* edit = bar.addMenu("&Edit");
  QMenu* arrange = edit->addMenu("&Arrange");
  QAction* front = arrange->addAction("Bring to &Front");
  QAction* paste = edit->addAction("&Paste");
  std::vector<std::string> log;
  bool canPaste = true;
  void SetUp() override {
    QObject::connect(edit, &QMenu::aboutToShow, [this] {
      log.push_back("Edit");
      paste->setEnabled(canPaste);
    });
    QObject::connect(arrange, &QMenu::aboutToShow, [this] { log.push_back("Arrange"); });
    QObject::connect(front, &QAction::triggered, [this] { log.push_back("Front"); });
    QObject::connect(paste, &QAction::triggered, [this] { log.push_back("Paste"); });
  }
};

TEST_F(MenuFixture, ParentsRunFromTheTopDownThenTheItem) {
  MenuItemClick(front);
  EXPECT_EQ(log, (std::vector<std::string>{"Edit", "Arrange", "Front"}));
  EXPECT_EQ(MenuItemParent(front), arrange);
  EXPECT_EQ(MenuItemParent(arrange->menuAction()), edit);
  EXPECT_EQ(MenuItemParent(edit->menuAction()), nullptr);
}

TEST_F(MenuFixture, DisabledItemsAreNotClicked) {
  front->setEnabled(false);
  MenuItemClick(front);
  EXPECT_EQ(log, (std::vector<std::string>{"Edit", "Arrange"}));
  log.clear();
  // The parent's handler disables the item: it is not clicked.
  canPaste = false;
  MenuItemClick(paste);
  EXPECT_EQ(log, (std::vector<std::string>{"Edit"}));
  log.clear();
  canPaste = true;
  paste->setVisible(false);
  MenuItemClick(paste);
  EXPECT_EQ(log, (std::vector<std::string>{"Edit"}));
  MenuItemClick(nullptr);
}

TEST_F(MenuFixture, FindAndCreateSubItems) {
  QAction* again = arrange->addAction("Bring to Front");
  EXPECT_EQ(MenuItemFind(arrange, "bring to front"), again);  // the last match
  EXPECT_EQ(MenuItemFind(arrange, "Send to Back"), nullptr);
  QAction* made = MenuItemFindOrCreate(arrange, "Send to &Back");
  EXPECT_EQ(MenuItemFindOrCreate(arrange, "Send to Back"), made);
  MenuItemChildrenSetEnabled(arrange, false);
  for (QAction* a : arrange->actions()) EXPECT_FALSE(a->isEnabled());
}

// Pictures fitted by the smaller scale and centred in their parent panel.
TEST(PopExtCtrls, ImagePreviewGraphic) {
  struct Case {
    int pw, ph;  // picture
    int aw, ah;  // parent's client area
    QRect want;
  } cases[] = {
      {200, 100, 100, 100, {0, 25, 100, 50}},   // wide picture, square area
      {100, 200, 100, 100, {25, 0, 50, 100}},   // tall picture
      {200, 100, 300, 100, {50, 0, 200, 100}},  // wide picture, wider area: height decides
      {100, 300, 100, 200, {17, 0, 66, 200}},   // tall picture, truncated width
      {50, 50, 80, 40, {20, 0, 40, 40}},        // square picture grows to the shorter side
      {0, 0, 80, 40, {40, 20, 0, 0}},           // empty
  };
  for (const auto& c : cases) {
    TPanel panel;
    panel.setFrameShape(QFrame::NoFrame);
    panel.resize(c.aw, c.ah);
    TImage image(&panel);
    TBitmap picture(c.pw, c.ph);
    ImagePreviewGraphic(&image, &picture);
    EXPECT_EQ(image.geometry(), c.want) << c.pw << "x" << c.ph << " in " << c.aw << "x" << c.ah;
    EXPECT_EQ(panel.Caption(), c.pw ? "" : "Not Avaliable");
    EXPECT_TRUE(image.Stretch);
    EXPECT_FALSE(image.AutoSize);
    EXPECT_EQ(image.Picture().Width(), c.pw);
  }
  // The picture is a copy: the caller's graphic may go away.
  TPanel panel;
  panel.resize(64, 64);
  TImage image(&panel);
  {
    TBitmap picture(4, 4);
    picture.SetPixelColor(1, 1, RGB(255, 0, 0));
    ImagePreviewGraphic(&image, &picture);
  }
  EXPECT_EQ(image.Picture().GetPixelColor(1, 1), RGB(255, 0, 0));
  ImagePreviewGraphic(&image, nullptr);
  EXPECT_EQ(panel.Caption(), "Not Avaliable");
}

TEST(PopExtCtrls, FancyCaptionStrip) {
  QImage strip = FancyCaptionImage(100, "Styles");
  ASSERT_EQ(strip.size(), QSize(100, 16));
  // 32 bands of 3 pixels from the button shadow, then 4 pixels of the button face.
  auto rgb = [](TColor c) {
    c = ColorToRGB(c);
    return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
  };
  EXPECT_EQ(strip.pixel(0, 15) & 0xFFFFFF, rgb(clBtnShadow));
  EXPECT_EQ(strip.pixel(99, 0) & 0xFFFFFF, rgb(clBtnFace));
  EXPECT_EQ(strip.pixel(95, 0) & 0xFFFFFF, rgb(clBtnFace));
  EXPECT_NE(strip.pixel(92, 0) & 0xFFFFFF, rgb(clBtnFace));  // band 30 of 0..31
  // The caption is written in white from x = 3.
  int white = 0, whiteBefore3 = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 60; ++x)
      if ((strip.pixel(x, y) & 0xFFFFFF) == rgb(clBtnHighlight)) (x < 3 ? whiteBefore3 : white)++;
  EXPECT_GT(white, 10);
  EXPECT_EQ(whiteBefore3, 0);
  EXPECT_TRUE(FancyCaptionImage(0, "x").isNull());

  QWidget box;
  box.resize(120, 30);
  box.setToolTip("Library");
  PaintBoxDrawFancy(&box);  // outside a paint event: sets up, paints nothing
  EXPECT_EQ(box.height(), 16);
  EXPECT_TRUE(box.testAttribute(Qt::WA_OpaquePaintEvent));
  // Painted from its paint event, the strip shows on the widget.
  struct Strip : QWidget {
    void paintEvent(QPaintEvent*) override { PaintBoxDrawFancy(this); }
  } shown;
  shown.resize(120, 16);
  shown.setToolTip("Library");
  QImage grabbed = shown.grab().toImage();
  EXPECT_EQ(grabbed.pixel(0, 0) & 0xFFFFFF, rgb(clBtnShadow));
}

TEST(PopStdCtrls, ComboBoxFontList) {
  QComboBox fonts, sizes;
  sizes.setEditable(true);
  QSignalSpy fontChanges(&fonts, &QComboBox::currentIndexChanged);
  ComboBoxFontList(&fonts, &sizes);
  EXPECT_EQ(fontChanges.count(), 0);
  QStringList want = QFontDatabase::families();
  ASSERT_GT(fonts.count(), 0);
  for (int i = 1; i < fonts.count(); ++i)
    EXPECT_LE(fonts.itemText(i - 1).compare(fonts.itemText(i), Qt::CaseInsensitive), 0);
  bool haveTimes = want.contains("Times New Roman", Qt::CaseInsensitive);
  EXPECT_EQ(fonts.currentIndex() >= 0, haveTimes);
  if (haveTimes) EXPECT_EQ(fonts.currentText(), "Times New Roman");
  EXPECT_EQ(fonts.maxVisibleItems(), 12);

  QStringList items;
  for (int i = 0; i < sizes.count(); ++i) items << sizes.itemText(i);
  EXPECT_EQ(items.join(','), "6,7,8,9,10,11,12,14,16,18,20,22,24,26,28,36,48,72");
  EXPECT_EQ(sizes.currentText(), "11");
  EXPECT_EQ(sizes.maxVisibleItems(), 12);
  EXPECT_EQ(sizes.lineEdit()->maxLength(), 3);
  // Filling again replaces the lists.
  ComboBoxFontList(nullptr, &sizes);
  EXPECT_EQ(sizes.count(), 18);
}

TEST(PopStdCtrls, LinksAndQuietSetters) {
  QLabel label("www.varnholt.example");
  LabelHyperLink(&label);
  EXPECT_EQ(label.toolTip(), "[www.varnholt.example]");
  EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_TRUE(label.font().bold());
  EXPECT_TRUE(label.font().underline());
  EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);

  QLineEdit edit;
  QSignalSpy edits(&edit, &QLineEdit::textChanged);
  EditSetText(&edit, "quiet");
  EXPECT_EQ(edit.text(), "quiet");
  EXPECT_EQ(edits.count(), 0);
  QCheckBox check;
  QSignalSpy toggles(&check, &QCheckBox::toggled);
  CheckBoxSetChecked(&check, true);
  EXPECT_TRUE(check.isChecked());
  EXPECT_EQ(toggles.count(), 0);

  QWidget holder;
  QPushButton button(&holder);
  QSignalSpy clicks(&button, &QPushButton::clicked);
  ButtonClick(&button);
  button.setEnabled(false);
  ButtonClick(&button);
  button.setEnabled(true);
  button.hide();
  ButtonClick(&button);
  EXPECT_EQ(clicks.count(), 1);

  QWidget parent;
  QPalette pp = parent.palette();
  pp.setColor(QPalette::Window, QColor(10, 20, 30));
  parent.setPalette(pp);
  QLineEdit inner(&parent);
  EditSetEnabled(&inner, false);
  EXPECT_FALSE(inner.isEnabled());
  EXPECT_EQ(inner.palette().color(QPalette::Disabled, QPalette::Base), QColor(10, 20, 30));
  EditSetEnabled(&inner, true);
  EXPECT_EQ(inner.palette().color(QPalette::Active, QPalette::Base), QColor(255, 255, 255));
}

TEST(PopStdCtrls, ComboBoxAddToMRU) {
  QComboBox box;
  box.setEditable(true);
  box.addItems({"a.htm", "b.htm", "c.htm"});
  struct Case {
    const char* text;
    int old;
    const char* list;
  } cases[] = {
      {"c.htm", 2, "c.htm,a.htm,b.htm"},
      {"new.htm", -1, "new.htm,c.htm,a.htm,b.htm"},
      {"A.HTM", 2, "A.HTM,new.htm,c.htm,b.htm"},
  };
  for (const auto& c : cases) {
    box.setEditText(c.text);
    EXPECT_EQ(ComboBoxAddToMRU(&box), c.old) << c.text;
    QStringList items;
    for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
    EXPECT_EQ(items.join(',').toStdString(), c.list);
    EXPECT_EQ(box.currentText(), c.text);
  }
  EXPECT_EQ(ComboBoxAddToMRU(nullptr), -1);
}

TEST(PopControls, TextBufAndFindClass) {
  QWidget form;
  auto* a = new QLabel("one", &form);
  auto* b = new QLabel("two", &form);
  auto* e = new QLineEdit(&form);
  ControlSetTextBuf(e, "typed");
  EXPECT_EQ(ControlGetTextBuf(e), "typed");
  EXPECT_EQ(ControlGetTextBuf(a), "one");
  EXPECT_EQ(WinControlFindClass(&form, "QLabel"), b);
  EXPECT_EQ(WinControlFindClass(&form, "QFrame"), b);  // a base class counts
  EXPECT_EQ(WinControlFindClass(&form, "QComboBox"), nullptr);
}

TEST(PopControls, RubberBandsInvertAndComeOff) {
  for (TRubberBandShape shape : {rbRectangle, rbEllipse}) {
    TBitmap b(40, 30);
    b.Canvas().Brush.SetColor(RGB(10, 200, 30));
    b.Canvas().FillRect(TRect{0, 0, 40, 30});
    DrawRubberBand(b.Canvas(), TRect{5, 5, 35, 25}, shape);
    int inverted = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x)
        if (b.GetPixelColor(x, y) == RGB(245, 55, 225)) ++inverted;
    EXPECT_GT(inverted, 20) << shape;
    EXPECT_EQ(b.GetPixelColor(20, 15), RGB(10, 200, 30));  // the inside is not filled
    DrawRubberBand(b.Canvas(), TRect{5, 5, 35, 25}, shape);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) ASSERT_EQ(b.GetPixelColor(x, y), RGB(10, 200, 30)) << x << "," << y;
    EXPECT_EQ(b.Canvas().Pen.Mode, pmCopy);
  }
}

TEST(PopControls, ClipCursorHoldsOneControlAtATime) {
  QWidget a, b;
  a.show();
  b.show();
  ControlClipCursor(&a);
  EXPECT_EQ(ClippedCursorControl(), &a);
  ControlClipCursor(&b);
  EXPECT_EQ(ClippedCursorControl(), &b);
  ControlClipCursor(nullptr);
  EXPECT_EQ(ClippedCursorControl(), nullptr);
}

}  // namespace
