// The main window's insert and style commands: new objects, templates and the tool window's
// style controls.
#include "app/Unitmain.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>

#include "POP/PopSysUtils.h"
#include "POP/gui/PopExtCtrls.h"
#include "app/Unitmain_p.h"
#include "app/forms/Unitimageacquire.h"
#include "app/forms/Unitimagemap.h"
#include "engine/XDraw.h"
#include "engine/XImageCache.h"
#include "engine/XZLMButtonStyle.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtControlEvents.h"
#include "platform/gui/QtImage.h"

// --- Insert and style commands ---

// The acquisition dialog is optional here: without it the texture is chosen with the
// picture-open dialog.

static QListWidget* TemplateList(const TFormMain& w) {
  QDockWidget* library = w.LibraryWindow();
  return library ? library->findChild<QListWidget*>("ListTemplates") : nullptr;
}

template <class F>
void TFormMain::ChangeSelectedStyle(F set) {
  TakeStyleSnapshot();
  ForEachSelected(*Scene, set);
  RedrawScene(false);
}

template <class F>
void TFormMain::StyleControlChange(F set) {
  if (!UpdatingControls) ChangeSelectedStyle(set);
}

static TColor PanelColor(const QWidget* panel) {
  return panel ? QColorToTColor(panel->palette().color(QPalette::Window)) : clBtnFace;
}

static void SetPanelColor(QWidget* panel, TColor color) {
  if (!panel) return;
  QPalette pal = panel->palette();
  pal.setColor(QPalette::Window, TColorToQColor(color));
  panel->setPalette(pal);
  panel->setAutoFillBackground(true);
}

// The combo box entry whose text is exactly the value, or none.
static void SelectEntryOfValue(QComboBox* box, int value) {
  if (box) box->setCurrentIndex(box->findText(QString::number(value), Qt::MatchExactly));
}

// A file name as the value of a double-quoted HTML attribute.
static std::string QuotedAttribute(const std::string& value) {
  return "\"" + StringReplaceAll(value, "\"", "&quot;") + "\"";
}

void TFormMain::TakeStyleSnapshot() {
  TakeUndoSnapshot();
  if (ChangeCount == 0) ChangeCount = 1;
}

TZLMButton* TFormMain::SelectedTemplate() const {
  QListWidget* list = TemplateList(*this);
  QListWidgetItem* item = list ? list->currentItem() : nullptr;
  if (!item || !item->isSelected()) return nullptr;
  auto* t = static_cast<TZLMButton*>(item->data(Qt::UserRole).value<void*>());
  // Only a template that is still in the library (the list may outlive a reload).
  return t && TemplateLibrary->IndexOf(t) >= 0 ? t : nullptr;
}

void TFormMain::SetColorPanelState(QWidget* panel, TColor color, bool active) {
  auto* frame = qobject_cast<QFrame*>(panel);
  if (!frame) return;
  if (active) {
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Plain);
    frame->setLineWidth(1);
    frame->setMidLineWidth(0);
  } else {
    // A raised inner and a lowered outer bevel: a sunken frame around a raised middle.
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setLineWidth(1);
    frame->setMidLineWidth(0);
    color = clBtnFace;
  }
  SetPanelColor(panel, color);
  SetClickEnabled(panel, active);
}

void TFormMain::SyncControlsFromButton(TZLMButton* button) {
  // The controls show another object (or the same one anew): an edit of a box starts afresh.
  EndEditRun();
  Scene->Current = button;
  UpdatingControls = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{UpdatingControls};
  const bool has = button != nullptr;

  auto* overlay = ToolControl<QComboBox>(*this, "ComboOverlay");
  auto* textureMode = ToolControl<QComboBox>(*this, "ComboTextureMode");
  auto* penWidth = ToolControl<QComboBox>(*this, "PenWidth");
  auto* curveSize = ToolControl<QComboBox>(*this, "CurveSize");
  auto* transparent = ToolControl<QCheckBox>(*this, "CheckTransparent");
  auto* antialias = ToolControl<QCheckBox>(*this, "CheckAntialias");
  if (button) {
    ZStyle& st = *button->Style;
    if (QListWidget* list = TemplateList(*this)) {
      for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == Q(button->StyleName)) {
          list->setCurrentRow(i);
          break;
        }
    }
    EditURL->setText(Q(button->LinkAddress));
    FontDialog()->Font.Assign(*st.Font);
    XImage* texture = nullptr;
    if (st.Texture) {
      // By the page's rule: a picture left out of the page for want of room is not read in
      // full for the preview, nor does the preview push out a picture the page shows.
      try {
        texture = st.Texture->GetGraphicIfItFits();
      } catch (const std::exception&) { texture = nullptr; }
    }
    ImagePreviewGraphic(ToolControl<TImage>(*this, "Image"), texture);
    SetPanelColor(ToolControl<QWidget>(*this, "Panel1"), st.Color0);
    if (textureMode)
      textureMode->setCurrentIndex(st.TextureMode - 1 < textureMode->count() ? st.TextureMode - 1 : -1);
    if (overlay) overlay->setCurrentIndex(st.Shape < overlay->count() ? st.Shape : -1);
    ComboFontName->setEditText(Q(st.Font->Name));
    ComboFontSize->setEditText(QString::number(st.Font->Size()));
    SelectEntryOfValue(penWidth, st.PenWidth);
    SelectEntryOfValue(curveSize, st.CurveSize);
    if (transparent) transparent->setChecked(st.IsTransparent);
    if (antialias) antialias->setChecked(st.IsAntialiased);
    ToolButtonLeft->setChecked(st.Alignment == 0);
    ToolButtonRight->setChecked(st.Alignment == 1);
    ToolButtonCentre->setChecked(st.Alignment == 2);
    ToolButtonBold->setChecked(st.Font->Style & fsBold);
    ToolButtonItalic->setChecked(st.Font->Style & fsItalic);
    ToolButtonUnderlined->setChecked(st.Font->Style & fsUnderline);
    ToolButtonStrikeOut->setChecked(st.Font->Style & fsStrikeOut);
  } else {
    // Nothing focused: the style window shows nothing of the object shown before.
    ImagePreviewGraphic(ToolControl<TImage>(*this, "Image"), nullptr);
    SetPanelColor(ToolControl<QWidget>(*this, "Panel1"), clBtnFace);
    for (QComboBox* box : {overlay, textureMode, penWidth, curveSize})
      if (box) box->setCurrentIndex(-1);
    for (QCheckBox* box : {transparent, antialias})
      if (box) box->setChecked(false);
  }

  for (int i = 0; i < 6; ++i) {
    QWidget* panel = ToolControl<QWidget>(*this, ("XColorPanel" + std::to_string(i)).c_str());
    SetColorPanelState(panel, has ? button->Style->Color(i) : clBtnFace, has);
  }

  for (QAction* a :
       {MIButtonResize, MIChangeFont, MIExportImage, ToolButtonLeft, ToolButtonCentre, ToolButtonRight,
        ToolButtonBringToFront, ToolButtonSendToBack, ToolButtonChangeFont, ToolButtonBold, ToolButtonItalic,
        ToolButtonUnderlined, ToolButtonStrikeOut, ToolButtonDelete, ToolButtonTextColor})
    a->setEnabled(has);
  for (QWidget* c : std::initializer_list<QWidget*>{
           ToolControl<QWidget>(*this, "ButtonLoadTexture"), ToolControl<QWidget>(*this, "FlipColors"),
           transparent, antialias, overlay, EditURL, ComboFontName, ComboFontSize})
    if (c) c->setEnabled(has);
  if (textureMode) textureMode->setEnabled(has && button->Style->Texture);
  if (curveSize) curveSize->setEnabled(has && button->Style->Shape == scRoundRect);
  if (penWidth) penWidth->setEnabled(has && IsOutlineShape(button->Style->Shape));

  MenuItemSelectAll1->setEnabled(Scene->Count() > 0);
  const bool selected = Scene->SelectedCount() > 0;
  for (QAction* a : {MenuItemDuplicate1, MenuItemCut1, MenuItemCopy1, MenuItemDelete1, MenuItemSendToBack1,
                     MenuItemBringToFront1, MenuItemAlignToGrid1, MenuItemAlignToGrid2})
    a->setEnabled(selected);
}

void TFormMain::SelectButton(TZLMButton* button, bool shift) {
  Scene->Select(button, shift, false);
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
}

// --- New objects ---

TZLMButton* TFormMain::AddNewObject(const std::string& text, const std::string& link, int left, int top,
                                    int width, int height) {
  auto* o = new TZLMButton(text, Scene.get(), TRect(left, top, left + width, top + height), link);
  return o;
}

void TFormMain::PopNewButtonClick(QObject* Sender) {
  TakeStyleSnapshot();
  // The Insert menu places at a fixed point; the page's menu and a drop at the mouse.
  const TPoint at = Sender == TBNewButton ? Scene->SnapPoint(TPoint{200, 100}) : LastPoint;
  TZLMButton* o = AddNewObject("New Button", "index.htm", at.X, at.Y, 96, 24);
  if (TZLMButton* t = SelectedTemplate()) {
    o->AssignStyle(*t);
    o->Text = t->Text;
    o->Bounds = TRect(at.X, at.Y, at.X + t->Bounds.Width(), at.Y + t->Bounds.Height());
  }
  Scene->SnapLayer(o);
  SelectButton(o, false);
  RedrawScene(false);
}

void TFormMain::PopNewTextClick(QObject* Sender) {
  TakeStyleSnapshot();
  const TPoint at = Sender == TBNewText ? Scene->SnapPoint(TPoint{100, 100}) : LastPoint;
  TZLMButton* o = AddNewObject("New Text", "", at.X, at.Y, 96, 24);
  o->Style->Shape = fkPlain;
  o->Style->Font->Color = 0xFFFFFF;
  o->Style->IsTransparent = true;
  Scene->SnapLayer(o);
  SelectButton(o, false);
  RedrawScene(false);
}

void TFormMain::PopNewFrameClick(QObject* Sender) {
  TakeStyleSnapshot();
  const TPoint at = Sender == TBNewFrame ? Scene->SnapPoint(TPoint{100, 100}) : LastPoint;
  TZLMButton* o = AddNewObject("", "", at.X, at.Y, 240, 160);
  Scene->SnapLayer(o);
  SelectButton(o, false);
  RedrawScene(false);
}

void TFormMain::TBInsertPictureClick(QObject*) {
  TOpenPictureDialog* dialog = OpenPictureDialog();
  dialog->Title = "Insert Image";
  if (!dialog->Execute()) return;
  const std::string file = dialog->FileName;
  // The picture is read before anything changes: one that cannot be read is reported and
  // leaves the page, the undo snapshot and the image folder as they were.
  try {
    XImage probe;
    probe.LoadFromFile(file);
    if (probe.Empty()) throw Exception("It holds no picture.");
  } catch (const std::exception& ex) {
    Say("The picture " + file + " could not be read:\n" + ex.what(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  TakeStyleSnapshot();
  TZLMButton* o = AddNewObject("", "", 10, 10, 100, 100);
  o->Style->Shape = fkPlain;
  o->Style->Font->Color = 0xFFFFFF;
  o->Style->IsTransparent = false;
  Scene->SnapLayer(o);
  // Selected alone first, so that the picture goes to this object only.
  SelectButton(o, false);
  std::string error, unreadable;
  try {
    unreadable = ApplyTextureFile(file);
  } catch (const std::exception& ex) { error = ex.what(); }
  if (o->Style->Texture) {
    XImage* picture = o->Style->Texture->GetGraphic();
    o->Bounds = TRect(10, 10, 10 + picture->Width(), 10 + picture->Height());
    o->Changed = true;
  }
  RedrawScene(false);
  if (!error.empty())
    Say("The picture " + file + " could not be used:\n" + error, MB_OK | MB_ICONEXCLAMATION);
  else if (!o->Style->Texture)
    Say("The picture " + file + " could not be read:\n" + unreadable, MB_OK | MB_ICONEXCLAMATION);
}

void TFormMain::InsertHTMLObject(const std::string& text) {
  TakeStyleSnapshot();
  TZLMButton* o = AddNewObject(text, "", 10, 10, 100, 100);
  o->Style->Shape = scHTMLSnippet;
  o->Style->Font->Color = 0x000000;
  o->Style->IsTransparent = false;
  Scene->SnapLayer(o);
  SelectButton(o, false);
  RedrawScene(false);
}

void TFormMain::TBInsertHTMLSnippetClick(QObject*) { InsertHTMLObject("<P>Insert HTML Code Here</P>"); }

void TFormMain::TBInsertExternalHTMLFileClick(QObject*) {
  TOpenDialog* dialog = OpenDialog();
  dialog->Title = "Insert External HTML File";
  dialog->Filter = kFilterHTML;
  dialog->FileName.clear();
  if (!dialog->Execute()) return;
  InsertHTMLObject("<IFRAME src=" + QuotedAttribute(dialog->FileName) + " width=100% height=100%></IFRAME>");
}

void TFormMain::ExternalImageFile1Click(QObject*) {
  TOpenPictureDialog* dialog = OpenPictureDialog();
  dialog->Title = "Insert External Image File";
  if (!dialog->Execute()) return;
  InsertHTMLObject("<IMG src=" + QuotedAttribute(dialog->FileName) + " width=100% height=100% border=0>");
}

// --- Templates ---

void TFormMain::PaintBoxDragOver(QObject*, QObject* Source, int, int, bool& Accept) {
  QListWidget* list = TemplateList(*this);
  Accept = list && (Source == list || Source == list->viewport()) && SelectedTemplate();
}

void TFormMain::PaintBoxDragDrop(QObject*, QObject* Source, int X, int Y) {
  bool accept = false;
  PaintBoxDragOver(PaintBox, Source, X, Y, accept);
  if (!accept) return;
  TZLMButton* t = SelectedTemplate();
  LastPoint = Scene->SnapPoint(TPoint{X - t->Bounds.Width() / 2, Y - t->Bounds.Height() / 2});
  PopNewButtonClick(PopNewButton);
}

void TFormMain::ApplyStyleClick(QObject*) {
  if (UpdatingControls) return;
  TZLMButton* t = SelectedTemplate();
  if (!t || Scene->SelectedCount() == 0) return;
  TakeStyleSnapshot();
  TZLMButton* first = nullptr;
  ForEachSelected(*Scene, [&](TZLMButton& o) {
    // The object keeps its own font face and size.
    const std::string name = o.Style->Font->Name;
    const int height = o.Style->Font->Height();
    o.Style->Assign(*t->Style);
    o.Style->Font->Name = name;
    o.Style->Font->SetHeight(height);
    o.StyleName = Trim(t->Text);
    if (!first) first = &o;
  });
  SyncControlsFromButton(first);
  RedrawScene(false);
}

// --- Style controls ---

// Typing in a font box is one change however many keys it takes: the first key takes the
// snapshot, and the page follows every key.
void TFormMain::ComboFontNameChange(QObject*) {
  if (UpdatingControls) return;
  const std::string name = ComboFontName->currentText().toStdString();
  TakeRunSnapshot(ComboFontName);
  ForEachSelected(*Scene, [&](TZLMButton& o) { o.Style->Font->Name = name; });
  RedrawScene(false);
}

void TFormMain::ComboFontSizeChange(QObject*) {
  if (UpdatingControls) return;
  const int size = StrToIntDef(ComboFontSize->currentText().toStdString(), 12);
  TakeRunSnapshot(ComboFontSize);
  ForEachSelected(*Scene, [&](TZLMButton& o) { o.Style->Font->SetSize(size); });
  RedrawScene(false);
}

void TFormMain::SetFontStyleBit(QAction* button, uint8_t bit) {
  const bool down = button->isChecked();
  StyleControlChange([&](TZLMButton& o) {
    TFontStyles& s = o.Style->Font->Style;
    s = down ? TFontStyles(s | bit) : TFontStyles(s & ~bit);
  });
}

void TFormMain::ButtonBoldTextClick(QObject*) { SetFontStyleBit(ToolButtonBold, fsBold); }
void TFormMain::ButtonItalicTextClick(QObject*) { SetFontStyleBit(ToolButtonItalic, fsItalic); }
void TFormMain::ButtonUnderlinedTextClick(QObject*) { SetFontStyleBit(ToolButtonUnderlined, fsUnderline); }
void TFormMain::ButtonStrikeOutTextClick(QObject*) { SetFontStyleBit(ToolButtonStrikeOut, fsStrikeOut); }

void TFormMain::SetAlignment(int8_t alignment) {
  StyleControlChange([&](TZLMButton& o) { o.Style->Alignment = alignment; });
}

void TFormMain::ButtonAlignLeftClick(QObject*) { SetAlignment(0); }
void TFormMain::ButtonAlignCnterClick(QObject*) { SetAlignment(2); }
void TFormMain::ButtonAlignRightClick(QObject*) { SetAlignment(1); }

// Whether the tool window's check box of that name is checked (false without one).
static bool ToolBoxChecked(const TFormMain& w, const char* name) {
  auto* box = ToolControl<QCheckBox>(w, name);
  return box && box->isChecked();
}

// The tool window's size box of that name as a number in [0, most] (0 without one).
static int ToolBoxSize(const TFormMain& w, const char* name, int most) {
  auto* box = ToolControl<QComboBox>(w, name);
  return std::clamp(StrToIntDef(box ? box->currentText().toStdString() : "", 0), 0, most);
}

void TFormMain::CheckAntialiasClick(QObject*) {
  const bool on = ToolBoxChecked(*this, "CheckAntialias");
  StyleControlChange([&](TZLMButton& o) { o.Style->IsAntialiased = on; });
}

void TFormMain::CheckTransparentClick(QObject*) {
  const bool on = ToolBoxChecked(*this, "CheckTransparent");
  StyleControlChange([&](TZLMButton& o) { o.Style->IsTransparent = on; });
}

void TFormMain::PenWidthChange(QObject*) {
  const int value = ToolBoxSize(*this, "PenWidth", 32);
  StyleControlChange([&](TZLMButton& o) { o.Style->PenWidth = value; });
}

void TFormMain::CurveSizeChange(QObject*) {
  const int value = ToolBoxSize(*this, "CurveSize", 64);
  StyleControlChange([&](TZLMButton& o) { o.Style->CurveSize = value; });
}

void TFormMain::ComboOverlayChange(QObject*) {
  if (UpdatingControls) return;
  TakeStyleSnapshot();
  auto* box = ToolControl<QComboBox>(*this, "ComboOverlay");
  const int index = box ? box->currentIndex() : -1;
  if (index < 0) {
    Services().MessageBox("No overlay is selected", ApplicationTitle(), MB_OK);
    return;
  }
  ForEachSelected(*Scene, [&](TZLMButton& o) { o.Style->Shape = int8_t(index); });
  // The shape decides which border controls apply.
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  RedrawScene(false);
}

void TFormMain::ComboTextureModeChange(QObject*) {
  if (UpdatingControls) return;
  TakeStyleSnapshot();
  auto* box = ToolControl<QComboBox>(*this, "ComboTextureMode");
  const int index = box ? box->currentIndex() : -1;
  if (index < 0) return;
  ForEachSelected(*Scene, [&](TZLMButton& o) { o.Style->TextureMode = index + 1; });
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  RedrawScene(false);
}

void TFormMain::XColorPanel0Change(QObject* Sender) {
  const TColor c =
      PanelColor(qobject_cast<QWidget*>(Sender ? Sender : ToolControl<QWidget>(*this, "XColorPanel0")));
  // A background colour replaces the texture.
  ChangeSelectedStyle([&](TZLMButton& o) {
    o.Style->Color0 = c;
    o.Style->TextureFileName.clear();
    o.Style->Texture = nullptr;
  });
  // The preview shows the colour without the texture, and the texture's mode goes with it.
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
}

void TFormMain::SetShapeColor(int index, QObject* panel) {
  if (!panel) panel = ToolControl<QWidget>(*this, ("XColorPanel" + std::to_string(index)).c_str());
  const TColor c = PanelColor(qobject_cast<QWidget*>(panel));
  ChangeSelectedStyle([&](TZLMButton& o) { o.Style->Color(index) = c; });
}

void TFormMain::XColorPanel1Change(QObject* Sender) { SetShapeColor(1, Sender); }
void TFormMain::XColorPanel2Change(QObject* Sender) { SetShapeColor(2, Sender); }
void TFormMain::XColorPanel3Change(QObject* Sender) { SetShapeColor(3, Sender); }
void TFormMain::XColorPanel4Change(QObject* Sender) { SetShapeColor(4, Sender); }
void TFormMain::XColorPanel5Change(QObject* Sender) { SetShapeColor(5, Sender); }

void TFormMain::FlipColorsClick(QObject*) {
  TakeStyleSnapshot();
  QWidget* p[5] = {nullptr};
  for (int i = 1; i <= 4; ++i)
    p[i] = ToolControl<QWidget>(*this, ("XColorPanel" + std::to_string(i)).c_str());
  if (!p[1] || !p[2] || !p[3] || !p[4]) return;
  const TColor c1 = PanelColor(p[1]), c2 = PanelColor(p[2]), c3 = PanelColor(p[3]), c4 = PanelColor(p[4]);
  SetPanelColor(p[1], c4);
  SetPanelColor(p[4], c1);
  SetPanelColor(p[2], c3);
  SetPanelColor(p[3], c2);
  ForEachSelected(*Scene, [&](TZLMButton& o) {
    for (int i = 1; i <= 4; ++i) o.Style->Color(i) = PanelColor(p[i]);
  });
  RedrawScene(false);
}

void TFormMain::LinkAddressChange(QObject*) {
  if (UpdatingControls) return;
  if (Scene->SelectedCount() == 0) return;
  const std::string link = EditURL->text().toStdString();
  // Typing an address is one change, undone as a whole.
  TakeRunSnapshot(EditURL);
  for (int i = 0; i < Scene->Count(); ++i) {
    TZLMButton* o = Scene->Button(i);
    if (o->IsSelected) o->LinkAddress = link;
  }
  // The link does not show on the page, so nothing is redrawn.
}

void TFormMain::PanelColor10DblClick(QObject*) {
  TColorDialog* dialog = ColorDialog();
  if (auto* c = static_cast<TZLMButton*>(Scene->Current)) dialog->Color = c->Style->Font->Color;
  if (!dialog->Execute()) return;
  const TColor color = dialog->Color;
  FontDialog()->Font.Color = color;
  ChangeSelectedStyle([&](TZLMButton& o) { o.Style->Font->Color = color; });
}

void TFormMain::MenuItemChangeFont1Click(QObject*) {
  TFontDialog* dialog = FontDialog();
  if (auto* c = static_cast<TZLMButton*>(Scene->Current)) {
    // The dialog opens on the object's own face, style and size.
    dialog->Font.Assign(*c->Style->Font);
  } else {
    dialog->Font.SetSize(StrToIntDef(ComboFontSize->currentText().toStdString(), 12));
    dialog->Font.Name = ComboFontName->currentText().toStdString();
  }
  if (!dialog->Execute()) return;
  // A font that every selected object has already is no change.
  bool differs = false;
  for (int i = 0; i < Scene->Count() && !differs; ++i)
    differs = Scene->Button(i)->IsSelected && !(*Scene->Button(i)->Style->Font == dialog->Font);
  if (!differs) return;
  TakeStyleSnapshot();
  {
    UpdatingControls = true;
    ComboFontSize->setEditText(QString::number(dialog->Font.Size()));
    ComboFontName->setEditText(Q(dialog->Font.Name));
    UpdatingControls = false;
  }
  const TFont font = dialog->Font;
  ForEachSelected(*Scene, [&](TZLMButton& o) { o.Style->Font->Assign(font); });
  RedrawScene(false);
}

void TFormMain::ButtonLoadTextureClick(QObject*) {
  auto* c = static_cast<TZLMButton*>(Scene->Current);
  std::string file;
  // The image-acquisition dialog, starting with the current texture.
  if (FormImageAcquire) {
    XImage& picture = FormImageAcquire->Picture();
    if (c && c->Style->Texture) {
      XImage* current = nullptr;
      try {
        current = c->Style->Texture->GetGraphic();
      } catch (const std::exception&) {}
      if (current && !current->Empty()) picture.Assign(current);
      else picture.FileName = c->Style->Texture->FileName;
    }
    if (!FormImageAcquire->Execute()) return;
    file = picture.FileName;
  } else {
    // Without the acquisition dialog the picture-open dialog chooses, starting at the
    // current texture.
    TOpenPictureDialog* dialog = OpenPictureDialog();
    dialog->Title = "Load Button Texture";
    if (c && c->Style->Texture) dialog->FileName = c->Style->Texture->FileName;
    if (!dialog->Execute()) return;
    file = dialog->FileName;
  }
  if (file.empty()) return;
  TakeStyleSnapshot();
  const std::string unreadable = ApplyTextureFile(file);
  if (!unreadable.empty())
    Say("The picture " + file + " could not be read:\n" + unreadable, MB_OK | MB_ICONEXCLAMATION);
}

std::string TFormMain::ApplyTextureFile(const std::string& file) {
  const std::string cached = FileNameAddToCache(file, "Images");
  XImageCacheObject* entry = ImageCache().GetEntry(cached);
  // Chosen by the user: read now, even when it failed before.
  if (!entry->Loaded) entry->Retry();
  XImage* picture = nullptr;
  std::string error;
  try {
    picture = entry->GetGraphic();
  } catch (const std::exception& ex) {
    picture = nullptr;
    error = ex.what();
  }
  if (!picture || picture->Empty()) {
    entry = nullptr;
    if (error.empty()) error = "It holds no picture.";
  }
  ForEachSelected(*Scene, [&](TZLMButton& o) {
    o.Style->Texture = entry;
    o.Style->TextureFileName = ExtractFileName(cached);
  });
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  RedrawScene(false);
  return error;
}

void TFormMain::ComboFontNameDrawItem(TCanvas& canvas, int index, const TRect& rect, uint32_t state) {
  auto* box = ComboFontName;
  if (index < 0 || index >= box->count()) return;
  DrawListItemCaption(canvas, box->itemText(index).toStdString(), rect, state);
}
