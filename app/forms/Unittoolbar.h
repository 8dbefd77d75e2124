// The style tool window "Properties": the overlay shape, the shape and border colours, the
// border settings and the texture of the selected objects. It keeps no logic of its own:
// each control's event goes to the main window's handler of the same name, and the main
// window fills and enables the controls from the focused object.
#pragma once
#include <QDockWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QToolButton;
class TImage;
class TPanel;

class TFormTools : public QDockWidget {
  Q_OBJECT
 public:
  explicit TFormTools(QWidget* parent = nullptr);
  ~TFormTools() override;

  // The controls at their places (relative to their group box); each one's objectName is
  // its member name.
  QWidget* Client;
  QWidget* PaintBox1;
  QGroupBox* GroupBox1;
  QComboBox* ComboOverlay;
  TPanel* XColorPanel1;
  TPanel* XColorPanel2;
  TPanel* XColorPanel3;
  TPanel* XColorPanel4;
  QToolButton* FlipColors;
  QWidget* PaintBox3;
  QGroupBox* GroupBox2;
  QLabel* Label6;
  QLabel* Label5;
  QLabel* Label1;
  QComboBox* CurveSize;
  QComboBox* PenWidth;
  TPanel* XColorPanel5;
  QCheckBox* CheckAntialias;
  QCheckBox* CheckTransparent;
  QWidget* PaintBox2;
  QGroupBox* GroupBox3;
  QLabel* Label2;
  TPanel* XColorPanel0;
  QToolButton* ButtonLoadTexture;
  QComboBox* ComboTextureMode;
  TPanel* Panel1;
  TImage* Image;

  // The forwarders.
  void CheckAntialiasClick(QObject* Sender);
  void CheckTransparentClick(QObject* Sender);
  void ButtonLoadTextureClick(QObject* Sender);
  void ComboOverlayChange(QObject* Sender);
  void FlipColorsClick(QObject* Sender);
  void CurveSizeChange(QObject* Sender);
  void PenWidthChange(QObject* Sender);
  void ComboTextureModeChange(QObject* Sender);
  // Shared by the six colour panels: the colour dialog, then the main window's handler of
  // the panel clicked.
  void XColorPanel1Click(QObject* Sender);
  // The three caption strips.
  void PaintBox1Paint(QObject* Sender);
  void FormEndDock(QObject* Sender);
  void FormClose(QObject* Sender);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
};

extern TFormTools* FormTools;
