// The main window's editing surface: hit test, mouse, paint, selection marks, the in-place
// editor and the scroll box.
#include "app/Unitmain.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

#include <QApplication>
#include <QFontMetricsF>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextEdit>
#include <QWheelEvent>

#include "POP/gui/PopControls.h"
#include "POP/gui/PopMenus.h"
#include "app/Unitmain_p.h"
#include "engine/XImageCache.h"
#include "engine/XRender.h"
#include "platform/SysUtils.h"
#include "platform/TextRender.h"

// --- Editing surface ---

THandleCode TFormMain::HitTestHandles(ZButtonList& scene, TZLMButton** hit, int x, int y) {
  if (hit) *hit = nullptr;
  // Near an edge means 4 pixels or less away.
  auto near = [](int a, int b) { return std::abs(a - b) < 5; };
  for (int i = 0; i < scene.Count(); ++i) {
    TZLMButton* o = scene.Button(i);
    if (!o->IsSelected) continue;
    const TRect& r = o->Bounds;
    THandleCode code = hcNone;
    if (near(x, r.Left) && near(y, r.Top)) code = hcTopLeft;
    else if (near(x, r.Left) && near(y, r.Bottom)) code = hcBottomLeft;
    else if (near(x, r.Right) && near(y, r.Top)) code = hcTopRight;
    else if (near(x, r.Right) && near(y, r.Bottom)) code = hcBottomRight;
    if (code != hcNone) {
      if (hit) *hit = o;
      return code;
    }
  }
  auto* o = static_cast<TZLMButton*>(scene.LayerAtPoint(TPoint{x, y}));
  if (hit) *hit = o;
  return o ? hcBody : hcNone;
}

void TFormMain::PaintBoxMouseDown(QObject*, TMouseButton, TShiftState Shift, int X, int Y) {
  if (IgnoreNextMouseDown) {
    IgnoreNextMouseDown = false;
    return;
  }
  if (MouseIsDown) return;
  ScrollBox->setFocus(Qt::MouseFocusReason);
  UndoTakenInDrag = false;
  MouseIsDown = true;
  LastPoint = Scene->SnapPoint(TPoint{X, Y});
  for (int i = 0; i < Scene->Count(); ++i) {
    TZLMButton* o = Scene->Button(i);
    o->DragStartBounds = o->Bounds;
    o->PrevBounds = o->Bounds;
  }
  TZLMButton* hit = nullptr;
  THandleCode code = HitTestHandles(*Scene, &hit, X, Y);
  DragHandle = code;
  if (code == hcNone) {
    BandActive = true;
    PrevBandRect = BandRect;
    BandRect = TRect(X, Y, X, Y);
    Scene->Select(nullptr, false, false);
  } else if (code == hcBody) {
    Scene->Select(hit, Shift & ssShift, Shift & ssCtrl);
  } else {
    Scene->Select(hit, false, false);
  }
  SyncControlsFromButton(static_cast<TZLMButton*>(Scene->Current));
  RedrawScene(false);
}

void TFormMain::PaintBoxMouseMove(QObject*, TShiftState, int X, int Y) {
  Qt::CursorShape shape = Qt::ArrowCursor;
  switch (HitTestHandles(*Scene, nullptr, X, Y)) {
    case hcTopLeft:
    case hcBottomRight: shape = Qt::SizeFDiagCursor; break;
    case hcBottomLeft:
    case hcTopRight: shape = Qt::SizeBDiagCursor; break;
    case hcBody: shape = Qt::SizeAllCursor; break;
    default: break;
  }
  if (PaintBox->cursor().shape() != shape) PaintBox->setCursor(shape);
  TPoint p = Scene->SnapPoint(TPoint{X, Y});
  int x = p.X, y = p.Y;
  auto scrollIntoView = [this](int px, int py) {
    PanelMousePos->setGeometry(px, py, 0, 0);
    ScrollBox->ensureVisible(px, py, 0, 0);
  };

  if (BandActive) {
    scrollIntoView(x, y);
    PrevBandRect = BandRect;
    BandRect.Right = x;
    BandRect.Bottom = y;
    TRect band(std::min(BandRect.Left, BandRect.Right), std::min(BandRect.Top, BandRect.Bottom),
               std::max(BandRect.Left, BandRect.Right), std::max(BandRect.Top, BandRect.Bottom));
    int selected = 0;
    for (int i = 0; i < Scene->Count(); ++i) {
      TZLMButton* o = Scene->Button(i);
      TRect common;
      bool inside = IntersectRect(common, o->Bounds, band) && common == o->Bounds;
      if (inside != o->IsSelected) {
        o->Changed = true;
        o->IsSelected = inside;
        if (inside) SyncControlsFromButton(o);
      }
      if (o->IsSelected) ++selected;
    }
    if (selected == 0) SyncControlsFromButton(nullptr);
    RedrawScene(false);
  }

  int dx = 0, dy = 0;
  auto* current = static_cast<TZLMButton*>(Scene->Current);
  if (DragHandle == hcNone || !current) {
    LastPoint = TPoint{x, y};
    return;
  }
  scrollIntoView(x, y);
  const bool moving = DragHandle & hbMove;
  const bool corner = !moving && (DragHandle & hbResize);
  const TRect& c = current->Bounds;
  if (moving) {
    dx = x - LastPoint.X;
    dy = y - LastPoint.Y;
  } else if (corner) {
    dx = (DragHandle & hbRight) ? std::max(x, c.Left + 8) - c.Right : std::min(x, c.Right - 8) - c.Left;
    dy = (DragHandle & hbBottom) ? std::max(y, c.Top + 8) - c.Bottom : std::min(y, c.Bottom - 8) - c.Top;
  }
  const bool bottomMoves = moving || (corner && (DragHandle & hbBottom));
  const bool topMoves = moving || (corner && !(DragHandle & hbBottom));
  const bool rightMoves = moving || (corner && (DragHandle & hbRight));
  const bool leftMoves = moving || (corner && !(DragHandle & hbRight));
  // No selected object leaves the page; the mouse point is corrected with the delta so the
  // next step starts from the edge.
  const int wantX = dx, wantY = dy;
  LimitSelectionOffset(dx, dy, leftMoves, topMoves, rightMoves, bottomMoves);
  x -= wantX - dx;
  y -= wantY - dy;
  if (dx != 0 || dy != 0) {
    if (!UndoTakenInDrag) {
      UndoTakenInDrag = true;
      TakeUndoSnapshot();
      // The snapshot counts the change; a count that came back to zero through an earlier
      // undo must still not read "saved".
      if (ChangeCount == 0) ChangeCount = 1;
    }
    for (int i = 0; i < Scene->Count(); ++i) {
      TZLMButton* o = Scene->Button(i);
      if (!o->IsSelected) continue;
      TRect& r = o->Bounds;
      if (moving) {
        r.Left += dx;
        r.Right += dx;
        r.Top += dy;
        r.Bottom += dy;
      } else {
        if (DragHandle & hbRight) r.Right = std::max(r.Right + dx, r.Left + 8);
        else r.Left = std::min(r.Left + dx, r.Right - 8);
        if (DragHandle & hbBottom) r.Bottom = std::max(r.Bottom + dy, r.Top + 8);
        else r.Top = std::min(r.Top + dy, r.Bottom - 8);
      }
      o->Changed = true;
    }
    RedrawScene(false);
  }
  LastPoint = TPoint{x, y};
}

// One offset for the whole selection: each moving edge of each selected object may go towards
// the page's edge as far as that edge and no further, and it may always come back towards
// the page. So an object already beyond an edge stops a move that way for all, rather than
// being pulled back by an offset that would push the others off the page.
void TFormMain::LimitSelectionOffset(int& dx, int& dy, bool left, bool top, bool right, bool bottom) const {
  const int W = Scene->Page->Width(), H = Scene->Page->Height();
  int loX = INT_MIN, hiX = INT_MAX, loY = INT_MIN, hiY = INT_MAX;
  for (int i = 0; i < Scene->Count(); ++i) {
    const TZLMButton* o = Scene->Button(i);
    if (!o->IsSelected) continue;
    const TRect& r = o->Bounds;
    if (left) loX = std::max(loX, std::min(0, -r.Left));
    if (right) hiX = std::min(hiX, std::max(0, W - r.Right));
    if (top) loY = std::max(loY, std::min(0, -r.Top));
    if (bottom) hiY = std::min(hiY, std::max(0, H - r.Bottom));
  }
  dx = std::clamp(dx, loX, hiX);
  dy = std::clamp(dy, loY, hiY);
}

void TFormMain::PaintBoxMouseUp(QObject*, TMouseButton, TShiftState, int X, int Y) {
  if (!MouseIsDown) return;
  // Take the band off the screen.
  PrevBandRect = BandRect;
  BandRect = TRect(-100, -100, -100, -100);
  RedrawScene(false);
  PrevBandRect = BandRect;
  BandActive = false;
  MouseIsDown = false;
  DragHandle = hcNone;
  LastPoint = Scene->SnapPoint(TPoint{X, Y});
  // What moved is rendered at its new place and its old place is repainted.
  for (int i = 0; i < Scene->Count(); ++i) {
    TZLMButton* o = Scene->Button(i);
    o->PrevBounds = o->DragStartBounds;
    if (o->PrevBounds != o->Bounds) o->Changed = true;
  }
  RedrawScene(false);
}

bool TFormMain::MemoOpen() const { return Memo->width() > 0; }

void TFormMain::CommitMemo() {
  if (MemoOpen() && !FClosingMemo) RedrawScene(false);
}

void TFormMain::CancelMemo() {
  if (!MemoOpen() || FClosingMemo) return;
  Memo->document()->setModified(false);
  RedrawScene(false);
}

TZLMButton* TFormMain::MemoObject() const {
  if (!MemoTarget) return nullptr;
  // The object may have left the page (cut, deleted, a new project) while the editor was open.
  for (int i = 0; i < Scene->Count(); ++i)
    if (Scene->Button(i) == MemoTarget) return MemoTarget;
  return nullptr;
}

void TFormMain::CountChange() {
  if (++ChangeCount == 0) ChangeCount = 1;
}

static QString TextToMemo(const std::string& text) {
  QString t = Q(text);
  t.replace("\r\n", "\n");
  t.replace('\r', '\n');
  return t;
}

static std::string MemoToText(const QString& text) {
  QString t = text;
  t.replace("\n", "\r\n");
  return t.toStdString();
}

namespace {
constexpr int kMaxDirtyRects = 256;
}  // namespace

void TFormMain::RedrawScene(bool whole) {
  // 1: the in-place editor commits into its object and closes.
  if (MemoOpen() && !FClosingMemo) {
    FClosingMemo = true;
    TZLMButton* target = MemoObject();
    if (Memo->document()->isModified() && target) {
      TakeUndoSnapshot();
      if (ChangeCount == 0) ChangeCount = 1;
      target->Changed = true;
      target->Text = MemoToText(Memo->toPlainText());
    }
    Scene->Current = nullptr;
    MemoTarget = nullptr;
    PanelMemo->setGeometry(0, 0, 0, 0);
    Memo->setGeometry(0, 0, 0, 0);
    Memo->clear();
    Memo->document()->setModified(false);
    // Keys must not go on into a memo that cannot be seen.
    if (Memo->hasFocus()) ScrollBox->setFocus(Qt::OtherFocusReason);
    FClosingMemo = false;
  }

  XImage& page = *Scene->Page;
  const int W = page.Width(), H = page.Height();
  if (page.PixelFormat() != pf32bit) page.SetPixelFormat(pf32bit);
  // 2, 3, 4: the region to repaint.
  if (whole) {
    RegionSet(DirtyRegion, 0, 0, W, H);
  } else {
    RegionClear(DirtyRegion);
    for (int i = 0; i < Scene->Count(); ++i) {
      TZLMButton* o = Scene->Button(i);
      if (!o->Changed) continue;
      const TRect& b = o->Bounds;
      const TRect& p = o->PrevBounds;
      RegionAdd(DirtyRegion, b.Left - 2, b.Top - 2, b.Right + 2, b.Bottom + 2);
      RegionAdd(DirtyRegion, p.Left - 2, p.Top - 2, p.Right + 2, p.Bottom + 2);
      // An edit of thousands of objects repaints the box around them, not each piece.
      RegionLimit(DirtyRegion, kMaxDirtyRects);
      o->PrevBounds = o->Bounds;
      o->Changed = false;
    }
  }
  if (BandActive) RegionAdd(DirtyRegion, BandRect.Left, BandRect.Top, BandRect.Right, BandRect.Bottom);
  RegionAdd(DirtyRegion, PrevBandRect.Left, PrevBandRect.Top, PrevBandRect.Right, PrevBandRect.Bottom);
  RegionClip(DirtyRegion, 0, 0, W, H);
  // 5: while a button is held nothing is rendered; only the marks follow the mouse.
  if (!MouseIsDown) {
    TakeAntialiasSkipped();
    RenderScene(*Scene, page, DirtyRegion);
    // Objects too large to be smoothed are drawn plain; the user is told, not left to wonder.
    if (int plain = TakeAntialiasSkipped(); plain > 0)
      StatusBar->showMessage(Q(IntToStr(plain) + (plain == 1 ? " object is" : " objects are") +
                               " too large for antialiasing and drawn without it."));
  }
  PaintBoxPaint(PaintBox);
  RegionSet(DirtyRegion, 0, 0, W, H);
  if (!MouseIsDown) RedrawPicturesThatFitNow();
}

void TFormMain::RedrawPicturesThatFitNow() {
  XImageCache& cache = ImageCache();
  bool leftOut = false;
  for (int i = 0; i < cache.Count() && !leftOut; ++i) leftOut = cache.Entry(i)->DidNotFit;
  if (!leftOut) return;
  // The page's pictures as a drawing of it counts them: they keep their room.
  const std::vector<XImageCacheObject*> pictures = PagePictures(*Scene);
  cache.BeginPass(pictures);
  std::unordered_set<XImageCacheObject*> back;
  for (XImageCacheObject* e : pictures) {
    if (!e->DidNotFit || e->Loaded) continue;
    try {
      e->GetGraphicIfItFits();
    } catch (const std::exception&) {
      // An unreadable file is told when its object is drawn.
    }
    if (e->Loaded) back.insert(e);
  }
  if (back.empty()) return;
  for (int i = 0; i < Scene->Count(); ++i) {
    TZLMButton* o = Scene->Button(i);
    if (o->Style && back.count(o->Style->Texture)) o->Changed = true;
  }
  // The pictures now loaded are not left out again: this redraw ends the round.
  RedrawScene(false);
}

// A selection of 100,000 objects is painted in strips: each strip draws only the marks that
// can reach it, found through bands of page rows, not by a walk over every object per strip.
struct TFormMain::TMarkIndex {
  static constexpr int kBandRows = 64;
  // Marks that reach over more bands than this are met by every strip instead.
  static constexpr int kMaxBandsOfOne = 32;
  struct TMark {
    TRect bounds;
    bool current;
  };
  std::vector<TMark> marks;             // in z order
  std::vector<std::vector<int>> bands;  // mark numbers by band of page rows
  std::vector<int> tall;                // marks too tall for the bands
  std::vector<int> seen;                // the strip a mark was last taken for
  std::vector<int> picked;
  int strip = 0;

  TMarkIndex(const TLayerList& scene, int pageHeight) {
    // Objects with the same bounds get their marks once: inverted twice they would cancel,
    // and a pasted copy lying on its original would show no selection at all. The first
    // in z order is the one drawn.
    struct RectHash {
      size_t operator()(const TRect& r) const {
        uint64_t h = uint32_t(r.Left) * 0x9E3779B97F4A7C15ull;
        h ^= uint32_t(r.Top) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
        h ^= uint32_t(r.Right) + 0x94D049BB133111EBull + (h << 6) + (h >> 2);
        h ^= uint32_t(r.Bottom) + 0xBF58476D1CE4E5B9ull + (h << 6) + (h >> 2);
        return size_t(h);
      }
    };
    std::unordered_set<TRect, RectHash> drawn;
    const int bandCount = std::max(1, (pageHeight + kBandRows - 1) / kBandRows);
    bands.resize(size_t(bandCount));
    for (int i = 0; i < scene.Count(); ++i) {
      const TLayer* o = scene.Layer(i);
      if (!o->IsSelected || !drawn.insert(o->Bounds).second) continue;
      const int n = int(marks.size());
      marks.push_back({o->Bounds, o == scene.Current});
      // The marks reach 2 pixels (the handles 3) beyond the bounds.
      const int64_t top = int64_t(o->Bounds.Top) - 3, bottom = int64_t(o->Bounds.Bottom) + 3;
      if (bottom <= 0 || top >= pageHeight) continue;
      const int first = int(std::max<int64_t>(top, 0) / kBandRows);
      const int last = int(std::min<int64_t>(bottom - 1, pageHeight - 1) / kBandRows);
      if (last - first >= kMaxBandsOfOne) {
        tall.push_back(n);
        continue;
      }
      for (int b = first; b <= last; ++b) bands[size_t(b)].push_back(n);
    }
    seen.assign(marks.size(), -1);
  }

  // The marks that may meet page rows [top, bottom), in z order.
  const std::vector<int>& Near(int top, int bottom) {
    ++strip;
    picked.clear();
    auto take = [&](int n) {
      if (seen[size_t(n)] == strip) return;
      seen[size_t(n)] = strip;
      picked.push_back(n);
    };
    const int first = std::max(0, top / kBandRows);
    const int last = std::min(int(bands.size()) - 1, (bottom - 1) / kBandRows);
    for (int b = first; b <= last; ++b)
      for (int n : bands[size_t(b)]) take(n);
    for (int n : tall) take(n);
    std::sort(picked.begin(), picked.end());
    return picked;
  }
};

void TFormMain::PaintBoxPaint(QObject*) {
  XImage& page = *Scene->Page;
  const int W = page.Width(), H = page.Height();
  if (page.PixelFormat() != pf32bit) page.SetPixelFormat(pf32bit);
  if (PaintBox->width() != W || PaintBox->height() != H) PaintBox->SetSurfaceSize(W, H);
  // The marks are inverted pixels drawn over a copy of the page, one strip of a dirty
  // rectangle at a time, so that they never touch the page bitmap itself and a large page
  // needs no second page-sized bitmap.
  const int rowsPerStrip = std::max(1, (1 << 20) / std::max(W, 1));
  if (FMarks.PixelFormat() != pf32bit) FMarks.SetPixelFormat(pf32bit);
  TMarkIndex marks(*Scene, H);
  for (TRegionRect* region = DirtyRegion; region; region = region->Next) {
    TRect c;
    if (!IntersectRect(c, region->Rect, TRect(0, 0, W, H))) continue;
    for (int top = c.Top; top < c.Bottom; top += rowsPerStrip) {
      const TRect strip(c.Left, top, c.Right, std::min(c.Bottom, top + rowsPerStrip));
      const int sw = strip.Width(), sh = strip.Height();
      if (FMarks.Width() < sw || FMarks.Height() < sh)
        FMarks.SetSize(std::max(FMarks.Width(), sw), std::max(FMarks.Height(), sh));
      for (int y = 0; y < sh; ++y)
        std::memcpy(FMarks.ScanLine(y), page.ScanLine(strip.Top + y) + size_t(strip.Left) * 4,
                    size_t(sw) * 4);
      PaintMarks(FMarks.Canvas(), marks, strip.Left, strip.Top, TRect(0, 0, sw, sh));
      PaintBox->CopyFromBitmap(FMarks, TRect(0, 0, sw, sh), strip.Left, strip.Top);
    }
  }
}

void TFormMain::PaintMarks(TCanvas& canvas, TMarkIndex& marks, int ox, int oy, const TRect& area) {
  auto meets = [&](int l, int t, int r, int b) {
    return l < area.Right && r > area.Left && t < area.Bottom && b > area.Top;
  };
  for (int n : marks.Near(oy + area.Top, oy + area.Bottom)) {
    const TMarkIndex::TMark& m = marks.marks[size_t(n)];
    // The marks reach 2 pixels (the handles 3) beyond the bounds.
    const TRect b(m.bounds.Left - ox, m.bounds.Top - oy, m.bounds.Right - ox, m.bounds.Bottom - oy);
    if (!meets(b.Left - 3, b.Top - 3, b.Right + 3, b.Bottom + 3)) continue;
    DrawSelectionFrame(canvas, b.Left, b.Top, b.Right, b.Bottom, true, m.current);
  }
  if (!BandActive) return;
  // The band's outline, dotted, as a rectangle with a clear brush draws it; as four lines
  // that each touch only their own pixels, so a large band costs no more than its edges.
  const int l = std::min(BandRect.Left, BandRect.Right) - ox,
            r = std::max(BandRect.Left, BandRect.Right) - 1 - ox;
  const int t = std::min(BandRect.Top, BandRect.Bottom) - oy,
            b = std::max(BandRect.Top, BandRect.Bottom) - 1 - oy;
  if (r < l || b < t || !meets(l, t, r + 1, b + 1)) return;
  TPen pen = canvas.Pen;
  canvas.Pen.Width = 1;
  canvas.Pen.Style = psDot;
  canvas.Pen.Mode = pmNot;
  canvas.MoveTo(l, t);
  if (r == l) {
    canvas.LineTo(l, b + 1);
  } else if (b == t) {
    canvas.LineTo(r + 1, t);
  } else {
    canvas.LineTo(r, t);
    canvas.LineTo(r, b);
    canvas.LineTo(l, b);
    canvas.LineTo(l, t);
  }
  canvas.Pen = pen;
}

void TFormMain::DrawSelectionFrame(TCanvas& canvas, int left, int top, int right, int bottom, bool handles,
                                   bool) {
  TPen pen = canvas.Pen;
  TBrush brush = canvas.Brush;
  canvas.Pen.Width = 1;
  canvas.Pen.Mode = pmNot;
  const int r = right - 1, b = bottom - 1;
  if (handles) {
    canvas.Pen.Style = psSolid;
    canvas.Brush.Style = bsSolid;
    for (TPoint p :
         {TPoint{left - 2, top - 2}, TPoint{r - 2, top - 2}, TPoint{r - 2, b - 2}, TPoint{left - 2, b - 2}})
      canvas.Rectangle(p.X, p.Y, p.X + 5, p.Y + 5);
  }
  canvas.Pen.Style = psDot;
  canvas.Brush.Style = bsClear;
  canvas.MoveTo(left + 6, top - 2);
  canvas.LineTo(r - 6, top - 2);
  canvas.MoveTo(left + 6, b + 2);
  canvas.LineTo(r - 6, b + 2);
  canvas.MoveTo(left - 2, top + 6);
  canvas.LineTo(left - 2, b - 6);
  canvas.MoveTo(r + 2, top + 6);
  canvas.LineTo(r + 2, b - 6);
  canvas.Pen = pen;
  canvas.Brush = brush;
}

// A control is entered and left when the focus moves between controls of the window; a menu
// opening over it (the menu bar's or a context menu) or another window taking the activation
// leaves it where it was.
static bool MovesBetweenControls(QEvent* e) {
  Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
  return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

bool TFormMain::eventFilter(QObject* watched, QEvent* e) {
  if (watched == ScrollBox || watched == ScrollBox->viewport()) {
    switch (e->type()) {
      case QEvent::FocusIn:
        if (watched == ScrollBox && MovesBetweenControls(e)) ScrollBoxEnter(ScrollBox);
        break;
      case QEvent::FocusOut:
        if (watched == ScrollBox && MovesBetweenControls(e)) ScrollBoxExit(ScrollBox);
        break;
      case QEvent::Resize: ScrollBoxResize(ScrollBox); break;
      case QEvent::MouseButtonRelease:
        if (watched == ScrollBox->viewport()) ScrollBoxClick(ScrollBox);
        break;
      case QEvent::Wheel:
        if (watched == ScrollBox->viewport()) {
          auto* wheel = static_cast<QWheelEvent*>(e);
          int delta = wheel->angleDelta().y();
          FWheelAngle = delta;
          bool handled = false;
          if (delta < 0) ScrollBoxMouseWheelDown(ScrollBox, handled);
          if (delta > 0) ScrollBoxMouseWheelUp(ScrollBox, handled);
          if (handled) return true;
        }
        break;
      default: break;
    }
  } else if (watched == Memo) {
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent*>(e)->modifiers() == Qt::NoModifier) {
      CancelMemo();
      return true;
    }
    // Its own context menu leaves the editor open.
    if ((e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut) && MovesBetweenControls(e)) {
      if (e->type() == QEvent::FocusIn) MemoEnter(Memo);
      if (e->type() == QEvent::FocusOut) MemoExit(Memo);
    }
  }
  // A run of arrow presses on the page ends with any other key or a press of the mouse.
  if (FRunSource == ScrollBox) {
    if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) {
      EndEditRun();
    } else if (e->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(e)->key();
      if (key != Qt::Key_Left && key != Qt::Key_Right && key != Qt::Key_Up && key != Qt::Key_Down)
        EndEditRun();
    }
  }
  if (e->type() == QEvent::KeyPress) {
    bool handled = false;
    ApplicationEventsMessage(watched, e, handled);
    if (handled) return true;
  }
  return QMainWindow::eventFilter(watched, e);
}

void TFormMain::ApplicationEventsMessage(QObject*, QEvent* message, bool& handled) {
  if (message->type() != QEvent::KeyPress) return;
  if (QApplication::activeWindow() != this || focusWidget() != ScrollBox || !ScrollBox->hasFocus()) return;
  auto* key = static_cast<QKeyEvent*>(message);
  int dx = 0, dy = 0;
  switch (key->key()) {
    case Qt::Key_PageUp:
      MenuItemClick(MenuItemBringToFront1);
      handled = true;
      return;
    case Qt::Key_PageDown:
      MenuItemClick(MenuItemSendToBack1);
      handled = true;
      return;
    case Qt::Key_Left: dx = -2; break;
    case Qt::Key_Up: dy = -2; break;
    case Qt::Key_Right: dx = 2; break;
    case Qt::Key_Down: dy = 2; break;
    default:
      if (key->text() == "+") {
        MenuItemClick(MenuItemBringToFront1);
        handled = true;
      } else if (key->text() == "-") {
        MenuItemClick(MenuItemSendToBack1);
        handled = true;
      }
      return;
  }
  // The arrows move the selection by 2 pixels, without snapping, as far as a drag may. A run
  // of presses is one move: its first press takes the undo snapshot.
  LimitSelectionOffset(dx, dy, true, true, true, true);
  if ((dx != 0 || dy != 0) && Scene->SelectedCount() > 0) {
    TakeRunSnapshot(ScrollBox);
    for (int i = 0; i < Scene->Count(); ++i) {
      TZLMButton* o = Scene->Button(i);
      if (o->IsSelected) o->OffsetBy(dx, dy);
    }
  }
  RedrawScene(false);
  handled = true;
}

void TFormMain::PaintBoxDblClick(QObject*) {
  IgnoreNextMouseDown = true;
  auto* c = static_cast<TZLMButton*>(Scene->Current);
  if (!c) return;
  MemoTarget = c;
  Memo->clear();
  QFont font = QFontOfFont(*c->Style->Font);
  if (int h = std::abs(c->Style->Font->Height())) font.setPixelSize(h);
  // The faces the page draws the caption in, so that the editor does not take a face the
  // page refuses (a dingbat face fontconfig offers for a name that is not installed); Qt
  // shapes the text and finds faces of its own for letters typed that these lack.
  try {
    QStringList families;
    for (const TFontMatch& m : FacesForText(*c->Style->Font, c->Text)) families << Q(m.Family);
    font.setFamilies(families);
  } catch (const std::exception&) {
    // No face installed at all: Qt's own choice.
  }
  Memo->setFont(font);
  // A Tab advances as eight spaces, as on the page.
  Memo->setTabStopDistance(8 * QFontMetricsF(font).horizontalAdvance(' '));
  QPalette pal = Memo->palette();
  pal.setColor(QPalette::Text, Qt::black);
  Memo->setPalette(pal);
  Memo->document()->setDocumentMargin(0);
  Memo->setPlainText(TextToMemo(c->Text));
  Memo->document()->setModified(false);
  Memo->setFocus(Qt::OtherFocusReason);
  Memo->selectAll();
  MemoChange(Memo);
}

void TFormMain::MemoChange(QObject*) {
  TZLMButton* c = MemoObject();
  if (!c || FClosingMemo) return;
  const TRect& r = c->Bounds;
  PanelMemo->setGeometry(r.Left, r.Top, r.Width(), r.Height());
  int lines = std::max(1, Memo->document()->blockCount());
  int textHeight = lines * QFontMetrics(Memo->font()).lineSpacing();
  int offset = std::max(0, (r.Height() - textHeight) / 2);
  Memo->setGeometry(r.Left, r.Top + offset, r.Width(), r.Height() - offset);
  Qt::Alignment align = c->Style->Alignment == 0   ? Qt::AlignLeft
                        : c->Style->Alignment == 1 ? Qt::AlignRight
                                                   : Qt::AlignHCenter;
  QTextOption option = Memo->document()->defaultTextOption();
  if (option.alignment() != align) {
    option.setAlignment(align);
    Memo->document()->setDefaultTextOption(option);
  }
  PanelMemo->raise();
  Memo->raise();
}

void TFormMain::MemoEnter(QObject*) { ScrollBoxExit(ScrollBox); }

void TFormMain::MemoExit(QObject*) {
  ScrollBoxEnter(ScrollBox);
  RedrawScene(false);
}

void TFormMain::ScrollBoxEnter(QObject*) {
  MIUndo->setShortcut(QKeySequence("Ctrl+Z"));
  MICut->setShortcut(QKeySequence("Ctrl+X"));
  MICopy->setShortcut(QKeySequence("Ctrl+C"));
  MIPaste->setShortcut(QKeySequence("Ctrl+V"));
  MIDelete->setShortcut(QKeySequence("Del"));
  MISelectAll->setShortcut(QKeySequence("Ctrl+A"));
  SetStandardKeys(MISelectNone, QKeySequence::Deselect, "Ctrl+Shift+A");
  MIDuplicate->setShortcut(QKeySequence("Ctrl+D"));
}

void TFormMain::ScrollBoxExit(QObject*) {
  for (QAction* a : {MIUndo, MICut, MICopy, MIPaste, MIDelete, MISelectAll, MISelectNone, MIDuplicate})
    a->setShortcut(QKeySequence());
}

void TFormMain::ScrollBoxClick(QObject*) { MenuItemClick(MISelectNone); }

// A notch of the wheel scrolls by the desktop's step: its number of lines, each line the
// scroll bar's own step, as every other scrolled view of the desktop does, and at most a page.
// A finer wheel's part of a notch scrolls that part of the step.
static int WheelStep(const QScrollBar* bar, int angle) {
  const int notch = std::abs(angle) > 0 ? std::abs(angle) : 120;
  const int step = notch * QApplication::wheelScrollLines() * bar->singleStep() / 120;
  return std::clamp(step, 1, std::max(1, bar->pageStep()));
}

void TFormMain::ScrollBoxMouseWheelDown(QObject*, bool& handled) {
  QScrollBar* bar = ScrollBox->verticalScrollBar();
  bar->setValue(bar->value() + WheelStep(bar, FWheelAngle));
  handled = true;
}

void TFormMain::ScrollBoxMouseWheelUp(QObject*, bool& handled) {
  QScrollBar* bar = ScrollBox->verticalScrollBar();
  bar->setValue(bar->value() - WheelStep(bar, FWheelAngle));
  handled = true;
}

void TFormMain::ScrollBoxResize(QObject*) { ControlSetProjectPosition(PanelScene); }
