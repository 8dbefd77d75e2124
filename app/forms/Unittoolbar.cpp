#include "app/forms/Unittoolbar.h"

#include <iterator>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "POP/gui/PopDialogs.h"
#include "POP/gui/PopExtCtrls.h"
#include "app/Unitmain.h"
#include "engine/XZLMButtonStyle.h"
#include "platform/gui/QtControlEvents.h"
#include "platform/gui/QtImage.h"

TFormTools* FormTools = nullptr;

namespace {

// The overlay shapes, in the order of the style's shape numbers.
const char* const kOverlays[] = {"None",          "Win32",           "Macintosh",   "Tab",
                                 "Rectangle",     "Round Rectangle", "Ellipse",     "3D Style #1",
                                 "3D Style #2",   "Arrow Left",      "Arrow Right", "Arrow Up",
                                 "Arrow Down",    "Line 1",          "Line 2",      "Horizontal Line",
                                 "Vertical Line", "Star 1",          "Star 2",      "Star 3",
                                 "Star 4",        "Star 5",          "Star 6",      "Text Area",
                                 "HTML Snippet"};
static_assert(std::size(kOverlays) == scHTMLSnippet + 1, "one overlay for every shape number");
const char* const kTextureModes[] = {"Stretched", "Tiled", "Centered", "Bilinear Filtered", "Button Skin"};
const char* const kCurveSizes[] = {"0",  "1",  "2",  "3",  "4",  "6",  "8",  "10", "12",
                                   "14", "16", "20", "24", "28", "32", "36", "40"};
const char* const kPenWidths[] = {"0", "1", "2", "3", "4", "6", "8", "10", "12", "14", "16"};

template <class W>
W* Make(QWidget* parent, const char* name, int left, int top, int width, int height) {
  auto* w = new W(parent);
  w->setObjectName(name);
  w->setGeometry(left, top, width, height);
  return w;
}

QComboBox* MakeList(QWidget* parent, const char* name, int left, int top, int width) {
  auto* box = Make<QComboBox>(parent, name, left, top, width, 22);
  box->setEditable(false);
  return box;
}

TPanel* MakeColorPanel(QWidget* parent, const char* name, int left, int top, int width, int height) {
  auto* panel = Make<TPanel>(parent, name, left, top, width, height);
  panel->setFrameShape(QFrame::Box);
  panel->setFrameShadow(QFrame::Plain);
  panel->setLineWidth(1);
  panel->setAutoFillBackground(true);
  return panel;
}

// The colours of the glyphs: the two colour pairs swapped, and a picture being loaded.
QIcon FlipGlyph() {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.scale(2, 2);
  p.setPen(Qt::black);
  p.setBrush(QColor(0, 0, 128));
  p.drawRect(1, 1, 6, 6);
  p.setBrush(QColor(192, 192, 192));
  p.drawRect(8, 8, 6, 6);
  p.setPen(QPen(QColor(128, 0, 0), 1.5));
  p.drawLine(10, 3, 13, 3);
  p.drawLine(13, 3, 13, 6);
  p.drawLine(3, 10, 3, 13);
  p.drawLine(3, 13, 6, 13);
  p.end();
  pm.setDevicePixelRatio(2);
  return QIcon(pm);
}

QIcon PictureGlyph() {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.scale(2, 2);
  p.setPen(Qt::black);
  p.setBrush(QColor(128, 192, 255));
  p.drawRect(1, 2, 13, 11);
  p.setBrush(QColor(0, 128, 0));
  p.drawPolygon(QPolygon({QPoint(2, 12), QPoint(6, 6), QPoint(10, 12)}));
  p.setBrush(QColor(255, 255, 0));
  p.drawEllipse(QPoint(11, 5), 1, 1);
  p.end();
  pm.setDevicePixelRatio(2);
  return QIcon(pm);
}

}  // namespace

TFormTools::TFormTools(QWidget* parent) : QDockWidget(parent) {
  FormTools = this;
  setObjectName("FormTools");
  setWindowTitle("Properties");
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
              QDockWidget::DockWidgetFloatable);
  setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);

  // The border of 5 pixels around a client of 145 x 517; the window takes the size of its
  // controls.
  auto* outer = new QWidget(this);
  outer->setObjectName("FormToolsBorder");
  auto* layout = new QVBoxLayout(outer);
  layout->setContentsMargins(5, 5, 5, 5);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  Client = new QWidget(outer);
  Client->setObjectName("Client");
  Client->setFixedSize(145, 517);
  // The controls were laid out for a small sans-serif face of 8 points; a wider default face
  // would cut off the labels beside the colour panels.
  {
    QFont font("Arial");
    font.setPixelSize(11);
    Client->setFont(font);
  }
  layout->addWidget(Client);
  setWidget(outer);

  // Overlay and shape colours.
  PaintBox1 = Make<QWidget>(Client, "PaintBox1", 0, 0, 145, 17);
  PaintBox1->setToolTip("Border Style");
  GroupBox1 = Make<QGroupBox>(Client, "GroupBox1", 0, 16, 145, 81);
  ComboOverlay = MakeList(GroupBox1, "ComboOverlay", 8, 20, 129);
  ComboOverlay->setToolTip("Button Overlay Style");
  for (const char* s : kOverlays) ComboOverlay->addItem(s);
  ComboOverlay->setCurrentIndex(-1);
  ComboOverlay->setEnabled(false);
  XColorPanel1 = MakeColorPanel(GroupBox1, "XColorPanel1", 8, 48, 25, 25);
  XColorPanel2 = MakeColorPanel(GroupBox1, "XColorPanel2", 32, 48, 25, 25);
  XColorPanel3 = MakeColorPanel(GroupBox1, "XColorPanel3", 56, 48, 25, 25);
  XColorPanel4 = MakeColorPanel(GroupBox1, "XColorPanel4", 80, 48, 25, 25);
  FlipColors = Make<QToolButton>(GroupBox1, "FlipColors", 112, 48, 25, 25);
  FlipColors->setToolTip("Reverse Color Scheme");
  FlipColors->setIcon(FlipGlyph());
  FlipColors->setAutoRaise(true);
  FlipColors->setEnabled(false);

  // Border.
  PaintBox3 = Make<QWidget>(Client, "PaintBox3", 0, 104, 145, 17);
  PaintBox3->setToolTip("Border Settings");
  GroupBox2 = Make<QGroupBox>(Client, "GroupBox2", 0, 120, 145, 129);
  Label6 = Make<QLabel>(GroupBox2, "Label6", 8, 20, 84, 16);
  Label6->setText("Curve Size:");
  Label5 = Make<QLabel>(GroupBox2, "Label5", 8, 44, 84, 16);
  Label5->setText("Border Width:");
  Label1 = Make<QLabel>(GroupBox2, "Label1", 8, 68, 84, 16);
  Label1->setText("Border Color:");
  CurveSize = MakeList(GroupBox2, "CurveSize", 96, 16, 41);
  for (const char* s : kCurveSizes) CurveSize->addItem(s);
  CurveSize->setCurrentIndex(-1);
  PenWidth = MakeList(GroupBox2, "PenWidth", 96, 40, 41);
  for (const char* s : kPenWidths) PenWidth->addItem(s);
  PenWidth->setCurrentIndex(-1);
  XColorPanel5 = MakeColorPanel(GroupBox2, "XColorPanel5", 96, 64, 41, 21);
  CheckAntialias = Make<QCheckBox>(GroupBox2, "CheckAntialias", 8, 92, 129, 17);
  CheckAntialias->setText("Antialias");
  CheckAntialias->setEnabled(false);
  CheckTransparent = Make<QCheckBox>(GroupBox2, "CheckTransparent", 8, 108, 129, 17);
  CheckTransparent->setText("Transparent");
  CheckTransparent->setEnabled(false);

  // Texture.
  PaintBox2 = Make<QWidget>(Client, "PaintBox2", 0, 256, 145, 17);
  PaintBox2->setToolTip("Texture Settings");
  GroupBox3 = Make<QGroupBox>(Client, "GroupBox3", 0, 272, 145, 245);
  Label2 = Make<QLabel>(GroupBox3, "Label2", 8, 20, 94, 16);
  Label2->setText("Background Color:");
  XColorPanel0 = MakeColorPanel(GroupBox3, "XColorPanel0", 104, 16, 33, 25);
  {
    QPalette pal = XColorPanel0->palette();
    pal.setColor(QPalette::Window, TColorToQColor(clMaroon));
    XColorPanel0->setPalette(pal);
  }
  ButtonLoadTexture = Make<QToolButton>(GroupBox3, "ButtonLoadTexture", 8, 48, 129, 25);
  ButtonLoadTexture->setText("Load Image...");
  ButtonLoadTexture->setToolTip("Load Button Texture");
  ButtonLoadTexture->setIcon(PictureGlyph());
  ButtonLoadTexture->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  ButtonLoadTexture->setEnabled(false);
  ComboTextureMode = MakeList(GroupBox3, "ComboTextureMode", 8, 80, 129);
  ComboTextureMode->setToolTip("Button Overlay Style");
  for (const char* s : kTextureModes) ComboTextureMode->addItem(s);
  ComboTextureMode->setCurrentIndex(-1);
  ComboTextureMode->setEnabled(false);
  Panel1 = Make<TPanel>(GroupBox3, "Panel1", 8, 104, 129, 129);
  Panel1->setFrameShape(QFrame::Box);
  Panel1->setFrameShadow(QFrame::Plain);
  Panel1->setLineWidth(1);
  Panel1->setAutoFillBackground(true);
  Image = Make<TImage>(Panel1, "Image", 2, 2, 125, 125);

  // The events go to the main window; programmatic writes into the controls do not.
  OnUserClick(CheckAntialias, [this] { CheckAntialiasClick(CheckAntialias); });
  OnUserClick(CheckTransparent, [this] { CheckTransparentClick(CheckTransparent); });
  OnUserClick(ButtonLoadTexture, [this] { ButtonLoadTextureClick(ButtonLoadTexture); });
  OnUserChange(ComboOverlay, [this] { ComboOverlayChange(ComboOverlay); });
  OnUserClick(FlipColors, [this] { FlipColorsClick(FlipColors); });
  OnUserChange(CurveSize, [this] { CurveSizeChange(CurveSize); });
  OnUserChange(PenWidth, [this] { PenWidthChange(PenWidth); });
  OnUserChange(ComboTextureMode, [this] { ComboTextureModeChange(ComboTextureMode); });
  for (TPanel* panel : {XColorPanel0, XColorPanel1, XColorPanel2, XColorPanel3, XColorPanel4, XColorPanel5})
    OnUserClick(panel, [this, panel] { XColorPanel1Click(panel); });
  for (QWidget* box : {PaintBox1, PaintBox2, PaintBox3}) {
    box->setAttribute(Qt::WA_OpaquePaintEvent);
    box->installEventFilter(this);
    box->raise();
  }
  connect(this, &QDockWidget::topLevelChanged, this, [this] { FormEndDock(this); });
  adjustSize();
}

TFormTools::~TFormTools() {
  if (FormTools == this) FormTools = nullptr;
}

bool TFormTools::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::Paint && (watched == PaintBox1 || watched == PaintBox2 || watched == PaintBox3)) {
    PaintBox1Paint(watched);
    return true;
  }
  return QDockWidget::eventFilter(watched, e);
}

void TFormTools::PaintBox1Paint(QObject* Sender) { PaintBoxDrawFancy(qobject_cast<QWidget*>(Sender)); }

// The tool window's controls act on the main window's selection, when there is one.
static void ToMainWindow(void (TFormMain::*handler)(QObject*), QObject* sender) {
  if (FormMain) (FormMain->*handler)(sender);
}

void TFormTools::CheckAntialiasClick(QObject* Sender) {
  ToMainWindow(&TFormMain::CheckAntialiasClick, Sender);
}
void TFormTools::CheckTransparentClick(QObject* Sender) {
  ToMainWindow(&TFormMain::CheckTransparentClick, Sender);
}
void TFormTools::ButtonLoadTextureClick(QObject* Sender) {
  ToMainWindow(&TFormMain::ButtonLoadTextureClick, Sender);
}
void TFormTools::ComboOverlayChange(QObject* Sender) { ToMainWindow(&TFormMain::ComboOverlayChange, Sender); }
void TFormTools::FlipColorsClick(QObject* Sender) { ToMainWindow(&TFormMain::FlipColorsClick, Sender); }
void TFormTools::CurveSizeChange(QObject* Sender) { ToMainWindow(&TFormMain::CurveSizeChange, Sender); }
void TFormTools::PenWidthChange(QObject* Sender) { ToMainWindow(&TFormMain::PenWidthChange, Sender); }
void TFormTools::ComboTextureModeChange(QObject* Sender) {
  ToMainWindow(&TFormMain::ComboTextureModeChange, Sender);
}

void TFormTools::XColorPanel1Click(QObject* Sender) {
  auto* panel = qobject_cast<QWidget*>(Sender);
  if (!panel) return;
  TColorDialog* dialog = ColorDialog();
  dialog->Color = QColorToTColor(panel->palette().color(QPalette::Window));
  if (!dialog->Execute()) return;
  QPalette pal = panel->palette();
  pal.setColor(QPalette::Window, TColorToQColor(dialog->Color));
  panel->setPalette(pal);
  if (!FormMain) return;
  // The main window reads the new colour from the panel.
  void (TFormMain::*const handlers[])(QObject*) = {
      &TFormMain::XColorPanel0Change, &TFormMain::XColorPanel1Change, &TFormMain::XColorPanel2Change,
      &TFormMain::XColorPanel3Change, &TFormMain::XColorPanel4Change, &TFormMain::XColorPanel5Change};
  for (int i = 0; i < 6; ++i)
    if (panel->objectName() == QString("XColorPanel%1").arg(i)) {
      (FormMain->*handlers[i])(panel);
      break;
    }
}

void TFormTools::FormEndDock(QObject*) {
  // Docked or floating, the window fits its controls again.
  widget()->adjustSize();
  adjustSize();
}

void TFormTools::closeEvent(QCloseEvent* e) {
  FormClose(this);
  QDockWidget::closeEvent(e);
}

void TFormTools::FormClose(QObject*) {
  // A window closed while docked comes back floating when it is shown again.
  if (!isFloating()) setFloating(true);
}
