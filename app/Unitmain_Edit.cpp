// The main window's edit commands: undo, the object clipboard, selection, grouping, sizes,
// grid and background.
#include "app/Unitmain.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>

#include "POP/PopBitmap.h"
#include "POP/PopTypes.h"
#include "app/Unitmain_p.h"
#include "app/forms/Uniteditprojectsize.h"
#include "app/forms/Unitgridsize.h"
#include "app/forms/Unitimagemap.h"
#include "app/forms/Unitresize.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"
#include "platform/gui/QtImage.h"

// --- Edit commands ---

// The dialogs are made at start-up by the program; a window without them (a test, a tool)
// makes its own on first use, owned by the window.
template <class Form>
static Form& EditDialog(Form*& global, QWidget* owner) {
  if (!global) global = new Form(owner);
  return *global;
}

void TFormMain::TakeUndoSnapshot() {
  // Text being typed is a change of its own, stored before the change that follows.
  CommitMemo();
  FRunSource = nullptr;
  FUndoFromUnsaved = ChangeCount != 0;
  // The change that follows is unsaved, whatever the count was before (an undo can have
  // brought it below zero).
  CountChange();
  FUndoCount = ChangeCount;
  FUndoFileName = ProjectFileName;
  FUndoFileStamp = FileStampOf(ProjectFileName).Time;
  FUndoProjectStamp = ProjectFileStamp;
  UndoAvailable = true;
  // The page keys go with the objects, so that an undo brings back the page they were on.
  // Written afresh each time, straight into text: the snapshot holds this page alone, not the
  // sections of objects deleted since an earlier one.
  {
    TINITextWriter snapshot;
    snapshot.Text.reserve(UndoText.size() + 4096);
    snapshot.WriteInteger("Heading", "GridX", Scene->GridX);
    snapshot.WriteInteger("Heading", "GridY", Scene->GridY);
    snapshot.WriteInteger("Heading", "ProjectWidth", Scene->Page->Width());
    snapshot.WriteInteger("Heading", "ProjectHeight", Scene->Page->Height());
    Scene->SaveToINI(snapshot);
    UndoText = std::move(snapshot.Text);
  }
  UndoScrollPos = TPoint{ScrollBox->horizontalScrollBar()->value(), ScrollBox->verticalScrollBar()->value()};
}

void TFormMain::TakeRunSnapshot(QObject* source) {
  if (source && source == FRunSource && UndoAvailable) {
    // The run goes on: its snapshot stands, and the page differs from a save made meanwhile.
    if (ChangeCount == 0) ChangeCount = 1;
    return;
  }
  TakeUndoSnapshot();
  if (ChangeCount == 0) ChangeCount = 1;
  FRunSource = source;
}

void TFormMain::MIEditClick(QObject*) {
  PageControl->setCurrentWidget(TabSheetScene);
  ScrollBox->setFocus();
  MIGroup->setVisible(false);
  MIUngroup->setVisible(false);
  // The page is the window's focused control (also while another window is active).
  const bool focused = focusWidget() == ScrollBox && ScrollBox->isEnabled() && ScrollBox->isVisible();
  const int n = Scene->SelectedCount();
  const int count = Scene->Count();
  MIUndo->setEnabled(UndoAvailable && focused);
  for (QAction* a : {MICut, MICopy, MIDelete, MISendToBack, MIBringToFront, MISelectNone})
    a->setEnabled(n > 0 && focused);
  MIPaste->setEnabled(ClipboardDoc->ReadInteger("Heading", "NumOfButtons", 0) > 0 && focused);
  MISelectAll->setEnabled(n < count && focused);
  MISelectInvert->setEnabled(count > 0 && focused);
}

// Undo brings back the page the snapshot was taken from as a whole: its objects with the page
// keys and head settings, and the file it belonged to, with the caption and the count that
// go with it. A snapshot taken before New or Open so goes back under its own file's name,
// never under the name of the page that is open now.
void TFormMain::MIUndoClick(QObject*) {
  if (!UndoAvailable) return;
  FRunSource = nullptr;
  // An open in-place editor stores its text first: the objects it could point at are about
  // to be replaced.
  CommitMemo();
  // Going back to another file's page leaves the page that is open: unsaved work on it is
  // asked about first, as for New and Open.
  if (FUndoFileName != ProjectFileName && ChangeCount != 0) {
    TCloseAction action = caFree;
    FormClose(nullptr, action);
    if (action == caNone) return;
  }
  const int32_t before = ChangeCount;
  TScopedWait wait("Undo", false);
  int gridX, gridY, w, h;
  try {
    TINIDocument undo;
    undo.LoadFromString(UndoText);
    gridX = undo.ReadInteger("Heading", "GridX", Scene->GridX);
    gridY = undo.ReadInteger("Heading", "GridY", Scene->GridY);
    w = std::clamp(undo.ReadInteger("Heading", "ProjectWidth", Scene->Page->Width()), 1, kMaxPageSide);
    h = std::clamp(undo.ReadInteger("Heading", "ProjectHeight", Scene->Page->Height()), 1, kMaxPageSide);
    Scene->ReplaceFromINI(undo);
  } catch (const std::exception& ex) {
    // The scene is as it was; the snapshot cannot be used.
    UndoAvailable = false;
    Say("The last change could not be undone.\n" + std::string(ex.what()), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  UndoAvailable = false;
  UndoText = std::string();
  // The page that comes back is the saved one only when it was saved at the snapshot and its
  // file has not been written since; on the same page, also only when nothing since has
  // counted.
  const bool fileAsThen = !FUndoFromUnsaved && FileStampOf(FUndoFileName).Time == FUndoFileStamp;
  if (ProjectFileName == FUndoFileName) {
    ChangeCount = before - 1;
    if (ChangeCount == 0 && !(fileAsThen && before == FUndoCount)) ChangeCount = -1;
  } else {
    ChangeCount = fileAsThen ? 0 : -1;
  }
  // Back under another file's name, the page has the stamp that file had for this window
  // then (or at its last save here since), so that a Save of it still asks if somebody else
  // wrote it.
  if (ProjectFileName != FUndoFileName) ProjectFileStamp = FUndoProjectStamp;
  ProjectFileName = FUndoFileName;
  FormActivate();
  Scene->GridX = gridX > 0 ? gridX : Scene->GridX;
  Scene->GridY = gridY > 0 ? gridY : Scene->GridY;
  ApplyPageSize(w, h);
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  ScrollBox->horizontalScrollBar()->setValue(UndoScrollPos.X);
  ScrollBox->verticalScrollBar()->setValue(UndoScrollPos.Y);
}

void TFormMain::MICutClick(QObject*) {
  CommitMemo();
  Scene->SaveSelectedToINI(*ClipboardDoc);
  MenuItemDelete1Click(nullptr);
}

void TFormMain::MICopyClick(QObject*) {
  CommitMemo();
  TScopedWait wait("Please Wait", false);
  Scene->SaveSelectedToINI(*ClipboardDoc);
  // The picture of the selection for other programs; with nothing selected there is none.
  const TRect r = Scene->GetBounds(false);
  if (!RectIsVisible(r)) return;
  if (!SelectionFitsOnePicture(r, "copied as a picture")) {
    // Another program must not paste an older picture as if it were this selection.
    QGuiApplication::clipboard()->clear();
    return;
  }
  XImage image;
  BitmapSnagIt(image, *Scene->Page, r);
  QImage picture = BitmapToQImage(image);
  if (!picture.isNull()) QGuiApplication::clipboard()->setImage(picture);
}

// A page holds at most kMaxButtons objects: a file with more is not read whole, so a paste or
// a duplicate that would pass it is refused before anything changes.
bool TFormMain::RoomForObjects(int64_t adding, const std::string& what) {
  const int64_t count = Scene->Count();
  if (count + adding <= kMaxButtons) return true;
  Say(Format("The page holds %d objects, and %s %d more would make more than the %d that a page may "
             "have. Nothing was changed.",
             int(count), what.c_str(), int(adding), kMaxButtons),
      MB_OK | MB_ICONEXCLAMATION);
  return false;
}

void TFormMain::MIPasteClick(QObject*) {
  TScopedWait wait("Please Wait", false);
  if (ClipboardDoc->ReadInteger("Heading", "NumOfButtons", 0) <= 0) return;
  // The clipboard is read whole, on a page of its own, before the page changes: a damaged
  // one changes nothing, and takes no snapshot. Its objects then move onto the page as they
  // are, without a second read.
  ZButtonList pasted;
  try {
    pasted.LoadFromINI(*ClipboardDoc);
    if (pasted.Count() == 0) return;
  } catch (const std::exception& ex) {
    Say("The clipboard could not be pasted.\n" + std::string(ex.what()), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (!RoomForObjects(pasted.Count(), "pasting")) return;
  // A paste is a change of this page, undone on its own.
  TakeUndoSnapshot();
  const TColor background = Scene->BGColor;
  Scene->AppendLoaded(pasted);
  Scene->BGColor = background;
  SyncControlsFromButton(nullptr);
  RedrawScene(false);
}

void TFormMain::MenuItemDuplicate1Click(QObject*) {
  if (!RoomForObjects(Scene->SelectedCount(), "duplicating")) return;
  TakeUndoSnapshot();
  ZButtonList copies;
  for (int i = 0; i < Scene->Count(); ++i) {
    TZLMButton* o = Scene->Button(i);
    if (!o->IsSelected) continue;
    o->IsSelected = false;
    o->Changed = true;
    auto* copy = new TZLMButton(o->Text, &copies, o->Bounds, o->LinkAddress);
    copy->AssignStyle(*o);
    // A copy keeps the name of the template its source was styled from.
    copy->StyleName = o->StyleName;
    copy->OffsetBy(24, 24);
    Scene->SnapLayer(copy);
    // Copies stay on the page as moves do: no further beyond its right or bottom edge than
    // their source lies.
    const int W = Scene->Page->Width(), H = Scene->Page->Height();
    const int dx = std::max(0, copy->Bounds.Right - std::max(W, o->Bounds.Right));
    const int dy = std::max(0, copy->Bounds.Bottom - std::max(H, o->Bounds.Bottom));
    copy->OffsetBy(-std::min(dx, std::max(0, copy->Bounds.Left)),
                   -std::min(dy, std::max(0, copy->Bounds.Top)));
    copy->IsSelected = true;
    copy->Changed = true;
  }
  // All at once: taken one by one from the front, the list of copies would move up once for
  // every copy.
  Scene->TakeObjectsOf(copies);
  RedrawScene(false);
}

void TFormMain::MenuItemDelete1Click(QObject*) {
  TakeUndoSnapshot();
  TScopedWait wait("Deleteing", false);
  // Parked off the page, the objects leave their places to be repainted by the redraw.
  Scene->ParkSelected();
  RedrawScene(false);
  Scene->DeleteSelected();
  SelectButton(nullptr, false);
  // The pictures of the objects deleted may have made room for pictures left out.
  RedrawPicturesThatFitNow();
}

void TFormMain::MenuItemBringToFront1Click(QObject*) {
  TakeUndoSnapshot();
  Scene->BringToFront();
  RedrawScene(false);
}

void TFormMain::MenuItemSendToBack1Click(QObject*) {
  TakeUndoSnapshot();
  Scene->SendToBack();
  RedrawScene(false);
}

void TFormMain::ShowSelectionChange() {
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  PaintBoxPaint(PaintBox);
}

void TFormMain::MISelectAllClick(QObject*) {
  Scene->SelectAll();
  ShowSelectionChange();
}

void TFormMain::MISelectNoneClick(QObject*) {
  Scene->SelectNone();
  ShowSelectionChange();
}

void TFormMain::MISelectInvertClick(QObject*) {
  Scene->InvertSelection();
  ShowSelectionChange();
}

// Groups are kept in the project file: forming or dissolving one is a change of its own.
void TFormMain::MIGroupClick(QObject*) {
  if (Scene->SelectedCount() > 0) TakeUndoSnapshot();
  Scene->GroupSelected();
  ShowSelectionChange();
}

void TFormMain::MIUngroupClick(QObject*) {
  if (Scene->SelectedCount() > 0) TakeUndoSnapshot();
  Scene->UngroupSelected();
  ShowSelectionChange();
}

void TFormMain::MIButtonResizeClick(QObject*) {
  auto* c = static_cast<TZLMButton*>(Scene->Current);
  if (!c) return;
  TFormResize& form = EditDialog(FormResize, this);
  const TRect& r = c->Bounds;
  form.EditLeft->setText(Q(IntToStr(r.Left)));
  form.EditTop->setText(Q(IntToStr(r.Top)));
  form.EditWidth->setText(Q(IntToStr(r.Right - r.Left)));
  form.EditHeight->setText(Q(IntToStr(r.Bottom - r.Top)));
  // The bounds are kept on the page; an object that already reaches beyond it may stay there.
  UnionRect(form.Area, TRect(0, 0, Scene->Page->Width(), Scene->Page->Height()), r);
  if (form.exec() != QDialog::Accepted) return;
  // The object may have gone while the dialog was open.
  if (Scene->Current != c) return;
  auto value = [](QLineEdit* edit, int32_t def) { return StrToIntDef(edit->text().toStdString(), def); };
  // Kept to the coordinates a project file can hold.
  const int32_t height = std::clamp(value(form.EditHeight, 64), 8, kMaxCoordinate);
  const int32_t width = std::clamp(value(form.EditWidth, 64), 8, kMaxCoordinate);
  const int32_t top = std::clamp(value(form.EditTop, 0), -kMaxCoordinate, kMaxCoordinate - height);
  const int32_t left = std::clamp(value(form.EditLeft, 0), -kMaxCoordinate, kMaxCoordinate - width);
  // Bounds that come back as they were are no change.
  if (c->Bounds == TRect(left, top, left + width, top + height)) return;
  TakeUndoSnapshot();
  c->SetBounds(left, top, width, height);
  RedrawScene(false);
}

void TFormMain::MenuItemResize1Click(QObject* Sender) { MIButtonResizeClick(Sender); }

void TFormMain::MenuItemAlignToGrid1Click(QObject*) {
  TakeUndoSnapshot();
  Scene->SnapSelected();
  RedrawScene(false);
}

void TFormMain::MenuItemSnapToGridClick(QObject*) {
  Scene->AlignToGrid = !Scene->AlignToGrid;
  MenuItemSnapToGrid->setChecked(Scene->AlignToGrid);
}

void TFormMain::MenuItemSetGridSizeClick(QObject*) {
  int size = Scene->GridX;
  if (!EditDialog(FormGridSize, this).Execute(size)) return;
  // The grid is kept in the project file and in the undo snapshot: a change of it is a change
  // of its own, so that an undo of an earlier command does not take it back.
  if (size != Scene->GridX || size != Scene->GridY) TakeUndoSnapshot();
  Scene->GridX = Scene->GridY = size;
}

void TFormMain::MISetPageSizeClick(QObject*) {
  int w = Scene->Page->Width(), h = Scene->Page->Height();
  if (!EditDialog(FormEditProjectSize, this).Execute("Enter Page Size", w, h)) return;
  w = std::clamp(w, 1, kMaxPageSide);
  h = std::clamp(h, 1, kMaxPageSide);
  // The page size is kept in the project file; a change of it can be undone.
  if (w != Scene->Page->Width() || h != Scene->Page->Height()) TakeUndoSnapshot();
  ApplyPageSize(w, h);
}

void TFormMain::ApplyPageSize(int w, int h, bool redraw) {
  Scene->Page->SetSize(w, h);
  if (redraw) RedrawScene(true);
  PaintBox->SetSurfaceSize(w, h);
  PanelScene->setFixedSize(w, h);
  ScrollBoxResize(ScrollBox);
}

void TFormMain::MISetBackgroundColorClick(QObject*) {
  TColorDialog* dialog = ColorDialog();
  dialog->Color = Scene->BGColor;
  if (!dialog->Execute()) return;
  TakeUndoSnapshot();
  Scene->BGColor = dialog->Color;
  RedrawScene(true);
}
