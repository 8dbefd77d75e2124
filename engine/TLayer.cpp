#include "engine/TLayer.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <ctime>
#include <map>
#include <vector>

#include "engine/TBitmapCompressor.h"
#include "platform/SysUtils.h"

// ---- TLayer ----

TLayer::TLayer(TObjectList* owner) : XObject(owner), Image(new XImage), Image2(new XImage) {}

TLayer::~TLayer() {
  delete Image2;
  delete Image;
}

void TLayer::SetBounds(int32_t x, int32_t y, int32_t width, int32_t height) {
  TRect r{x, y, x + width, y + height};
  if (r == Bounds) return;
  PrevBounds = Bounds;
  Bounds = r;
  Changed = true;
}

void TLayer::SetSelected(bool value) {
  if (value == IsSelected) return;
  IsSelected = value;
  Changed = true;
}

void TLayer::SetVisible(bool value) {
  if (value == Visible) return;
  Visible = value;
  Changed = true;
}

void TLayer::CommitBounds() {
  PrevBounds = Bounds;
  Changed = false;
}

bool TLayer::ContainsPoint(const TPoint& p) const { return Visible && PtInRect(Bounds, p); }

void TLayer::CenterImage() {
  // Placed relative to the origin, not to the current left and top.
  int32_t x = (Bounds.Width() - Image->Width()) / 2;
  int32_t y = (Bounds.Height() - Image->Height()) / 2;
  SetBounds(x, y, Image->Width(), Image->Height());
}

void TLayer::MoveTo(int32_t x, int32_t y) { SetBounds(x, y, Bounds.Width(), Bounds.Height()); }

void TLayer::OffsetBy(int32_t dx, int32_t dy) { MoveTo(Bounds.Left + dx, Bounds.Top + dy); }

void TLayer::SaveToStream(TStream* stream) {
  WriteInteger("Left", Bounds.Left);
  WriteInteger("Top", Bounds.Top);
  WriteInteger("Right", Bounds.Right);
  WriteInteger("Bottom", Bounds.Bottom);
  WriteInteger("Frames", 1);
  WriteBool("IsSelected", IsSelected);
  XObject::SaveToStream(stream);
  if (!stream) return;
  TBitmapCompressor compressor;
  compressor.Compress(*Image);
  compressor.SaveToStream(*stream);
}

void TLayer::LoadFromStream(TStream* stream) {
  // The store is read into the layer's own document (its readers are the layer's), and put
  // back as it was when anything that follows fails.
  const std::string saved = Properties->AsString();
  XImage picture;
  bool havePicture = false;
  int64_t left, top, width, height;
  try {
    XObject::LoadFromStream(stream);
    left = ReadInteger("Left");
    top = ReadInteger("Top");
    width = int64_t(ReadInteger("Right")) - left;
    height = int64_t(ReadInteger("Bottom")) - top;
    if (width < INT32_MIN || width > INT32_MAX || height < INT32_MIN || height > INT32_MAX)
      throw EReadError("Invalid layer bounds");
    // Each frame overwrites the one before; a count beyond the records runs into the end
    // of the stream.
    for (int32_t frames = ReadInteger("Frames"), i = 0; stream && i < frames; ++i) {
      TBitmapCompressor compressor;
      compressor.LoadFromStream(*stream);
      compressor.Decompress(picture);
      havePicture = true;
    }
  } catch (...) {
    Properties->LoadFromString(saved);
    throw;
  }
  SetBounds(int32_t(left), int32_t(top), int32_t(width), int32_t(height));
  IsSelected = ReadBool("IsSelected");
  if (havePicture) {
    // The layer's picture stays 32-bit whatever the record held.
    BitmapSetPixelFormat(picture, 7);
    Image->TakePixels(picture);
  }
}

// ---- TLayerList ----

TLayerList::TLayerList(TObjectList* owner) : XObject(owner), Page(new XImage) {}

TLayerList::~TLayerList() {
  Current = nullptr;
  delete Page;
  Page = nullptr;
  // The layers go before this object's members do, while Notify still sees a layer list.
  TLayerList::Clear();
}

void TLayerList::Notify(TObject* item, TListNotification action) {
  XObject::Notify(item, action);
  if (action != TListNotification::lnAdded && item == Current) Current = nullptr;
}

void TLayerList::SaveToStream(TStream* stream) {
  WriteBool("AlignToGrid", AlignToGrid);
  WriteInteger("GridX", GridX);
  WriteInteger("GridY", GridY);
  WriteInteger("BGColor", BGColor);
  WriteInteger("PageWidth", Page->Width());
  WriteInteger("PageHeight", Page->Height());
  WriteInteger("Count", Count());
  XObject::SaveToStream(stream);
}

void TLayerList::LoadFromStream(TStream* stream) {
  XObject::LoadFromStream(stream);
  GridX = ReadInteger("GridX");
  GridY = ReadInteger("GridY");
  BGColor = ReadInteger("BGColor");
  AlignToGrid = ReadBool("AlignToGrid");
}

void TLayerList::Clear() {
  Current = nullptr;
  XObject::Clear();
}

int TLayerList::SelectedCount() const {
  int n = 0;
  for (int i = 0; i < Count(); ++i) n += Layer(i)->IsSelected ? 1 : 0;
  return n;
}

void TLayerList::SelectAll() {
  for (int i = Count() - 1; i >= 0; --i) Layer(i)->SetSelected(true);
  Current = Count() > 0 ? Layer(0) : nullptr;
}

void TLayerList::SelectNone() {
  for (int i = Count() - 1; i >= 0; --i) Layer(i)->SetSelected(false);
  Current = nullptr;
}

void TLayerList::InvertSelection() {
  for (int i = Count() - 1; i >= 0; --i) Layer(i)->SetSelected(!Layer(i)->IsSelected);
  Current = nullptr;
}

namespace {

// Takes out the layers for which `take` holds, marks them changed and puts them on top in
// their old order, in one pass over the list. Moving within the list keeps Current where it
// is.
template <typename Pred>
void MoveToTop(TLayerList& list, Pred take) {
  for (int i = 0; i < list.Count(); ++i)
    if (take(list.Layer(i))) list.Layer(i)->Changed = true;
  list.MoveToEnd([&](const TObject* item) { return take(static_cast<const TLayer*>(item)); });
}

}  // namespace

void TLayerList::SendToBack() {
  MoveToTop(*this, [](const TLayer* l) { return !l->IsSelected; });
}

void TLayerList::BringToFront() {
  MoveToTop(*this, [](const TLayer* l) { return l->IsSelected; });
}

void TLayerList::MoveSelectedTo(int n) {
  // Selected layers below n - 1 go to n - 1 and those above n go to n; each pass narrows its
  // range by one per move so that a moved layer is not met again.
  if (n - 1 >= 0 && n - 1 < Count()) {
    for (int i = 0, limit = n - 1; i < limit;) {
      if (Layer(i)->IsSelected) {
        Layer(i)->Changed = true;
        Move(i, n - 1);
        --limit;
      } else {
        ++i;
      }
    }
  }
  if (n >= 0 && n < Count()) {
    for (int i = Count() - 1, limit = n; i > limit;) {
      if (Layer(i)->IsSelected) {
        Layer(i)->Changed = true;
        Move(i, n);
        ++limit;
      } else {
        --i;
      }
    }
  }
}

void TLayerList::DeleteSelected() {
  // Gathered at the end first, so that the list is not moved up once for every layer taken
  // out of its middle; deleted from the highest down, as before.
  int kept = 0;
  for (int i = 0; i < Count(); ++i) kept += Layer(i)->IsSelected ? 0 : 1;
  MoveToEnd([](const TObject* item) { return static_cast<const TLayer*>(item)->IsSelected; });
  while (Count() > kept) Delete(Count() - 1);
  Current = nullptr;
}

void TLayerList::SnapLayer(TLayer* layer) {
  TPoint p = SnapPoint(layer->Bounds.TopLeft());
  layer->SetBounds(p.X, p.Y, layer->Bounds.Width(), layer->Bounds.Height());
}

void TLayerList::SnapSelected() {
  for (int i = Count() - 1; i >= 0; --i)
    if (Layer(i)->IsSelected) SnapLayer(Layer(i));
}

void TLayerList::ParkSelected() {
  for (int i = Count() - 1; i >= 0; --i)
    if (Layer(i)->IsSelected) Layer(i)->SetBounds(-40, -40, 20, 20);
}

TRect TLayerList::GetBounds(bool all) const {
  // The union starts from the first layer counted, so layers beyond +-10000 still count.
  TRect r{10000, 10000, -10000, -10000};
  bool first = true;
  for (int i = 0; i < Count(); ++i) {
    const TLayer* l = Layer(i);
    if (!all && !l->IsSelected) continue;
    if (first) {
      r = l->Bounds;
      first = false;
      continue;
    }
    r.Left = std::min(r.Left, l->Bounds.Left);
    r.Top = std::min(r.Top, l->Bounds.Top);
    r.Right = std::max(r.Right, l->Bounds.Right);
    r.Bottom = std::max(r.Bottom, l->Bounds.Bottom);
  }
  return r;
}

TLayer* TLayerList::LayerAtPoint(const TPoint& p) const {
  for (int i = Count() - 1; i >= 0; --i)
    if (PtInRect(Layer(i)->Bounds, p)) return Layer(i);
  return nullptr;
}

void TLayerList::SelectGroup(TLayer* layer, bool state) {
  std::string g = layer->GroupId();
  if (g.empty()) {
    layer->SetSelected(state);
    return;
  }
  for (int i = 0; i < Count(); ++i)
    if (SameText(Layer(i)->GroupId(), g)) Layer(i)->SetSelected(state);
}

void TLayerList::Select(TLayer* layer, bool shift, bool ctrl) {
  if (ctrl && layer) SelectGroup(layer, !layer->IsSelected);
  if (shift && layer) {
    SelectGroup(layer, true);
    TRect r = GetBounds(false);
    for (int i = 0; i < Count(); ++i) {
      TLayer* l = Layer(i);
      TRect common;
      // A layer wholly inside the selection's rectangle joins it (empty layers never do).
      if (IntersectRect(common, l->Bounds, r) && common == l->Bounds) SelectGroup(l, true);
    }
  }
  if (!shift && !ctrl) {
    if (!layer || !layer->IsSelected)
      for (int i = 0; i < Count(); ++i)
        if (Layer(i) != layer) Layer(i)->SetSelected(false);
    if (layer) SelectGroup(layer, true);
  }
  Current = (layer && layer->IsSelected) ? layer : nullptr;
}

bool TLayerList::IsFullyVisible(TLayer* layer) const {
  TRect page{0, 0, Page->Width(), Page->Height()};
  TRect common;
  if (!IntersectRect(common, layer->Bounds, page) || common != layer->Bounds) return false;
  for (int i = Count() - 1; i >= 0; --i) {
    TLayer* l = Layer(i);
    if (l == layer) return true;
    if (IntersectRect(common, l->Bounds, layer->Bounds)) return false;
  }
  return true;
}

std::vector<bool> TLayerList::FullyVisibleLayers() const {
  const int n = Count();
  std::vector<bool> visible(size_t(std::max(n, 0)), false);
  const TRect page{0, 0, Page->Width(), Page->Height()};
  if (page.Right <= 0 || page.Bottom <= 0) return visible;
  // The layers above the one tested, by the cells of a coarse grid over the page that they
  // meet; a layer that meets many cells is kept in one list of its own instead, checked
  // nearest first. Layers are taken from the top down.
  constexpr int kCell = 64, kManyCells = 256;
  const int gw = (page.Right + kCell - 1) / kCell, gh = (page.Bottom + kCell - 1) / kCell;
  std::vector<std::vector<int>> cells(size_t(gw) * size_t(gh));
  std::vector<int> large;
  TRect common;
  for (int i = n - 1; i >= 0; --i) {
    const TRect& b = Layer(i)->Bounds;
    if (!IntersectRect(common, b, page)) continue;  // meets neither the page nor a layer on it
    const int x0 = common.Left / kCell, x1 = (common.Right - 1) / kCell;
    const int y0 = common.Top / kCell, y1 = (common.Bottom - 1) / kCell;
    if (common == b) {
      bool covered = false;
      for (auto it = large.rbegin(); it != large.rend() && !covered; ++it)
        covered = IntersectRect(common, Layer(*it)->Bounds, b);
      for (int y = y0; y <= y1 && !covered; ++y)
        for (int x = x0; x <= x1 && !covered; ++x)
          for (int above : cells[size_t(y) * size_t(gw) + size_t(x)])
            if (IntersectRect(common, Layer(above)->Bounds, b)) {
              covered = true;
              break;
            }
      visible[size_t(i)] = !covered;
    }
    if (int64_t(x1 - x0 + 1) * (y1 - y0 + 1) > kManyCells) {
      large.push_back(i);
      continue;
    }
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) cells[size_t(y) * size_t(gw) + size_t(x)].push_back(i);
  }
  return visible;
}

TPoint TLayerList::SnapPoint(const TPoint& p) const {
  if (!AlignToGrid) return p;
  int32_t gx = GridX > 1 ? GridX : 1, gy = GridY > 1 ? GridY : 1;
  return {gx * (p.X / gx), gy * (p.Y / gy)};
}

std::string MakeGroupId() {
  static const auto start = std::chrono::steady_clock::now();
  static int64_t last = -1;
  auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  // Two ids made within one millisecond would be equal; the later one takes the next value.
  if (ms <= last) ms = last + 1;
  last = ms;
  return IntToHex(ms, 1) + IntToHex(int64_t(std::time(nullptr)), 1);
}

void TLayerList::GroupSelected() {
  std::string id = MakeGroupId();
  for (int i = 0; i < Count(); ++i)
    if (Layer(i)->IsSelected) Layer(i)->WriteString("Group", id);
}

void TLayerList::UngroupSelected() {
  for (int i = 0; i < Count(); ++i)
    if (Layer(i)->IsSelected) Layer(i)->WriteString("Group", "");
}

void TLayerList::RenewGroupIds() {
  std::map<std::string, std::string> renewed;
  for (int i = 0; i < Count(); ++i) {
    TLayer* l = Layer(i);
    std::string g = l->GroupId();
    if (l->IsSelected && !g.empty()) renewed[g] = MakeGroupId();
  }
  for (int i = 0; i < Count(); ++i) {
    TLayer* l = Layer(i);
    std::string g = l->GroupId();
    if (l->IsSelected && !g.empty()) l->WriteString("Group", renewed[g]);
  }
}
