#include "platform/Metafile.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include <queue>

#include "platform/ByteOrder.h"
#include "platform/Canvas.h"
#include "platform/SysUtils.h"

namespace {

// The pixels a drawing may cost: this many times the picture's, or the floor for small ones.
constexpr int64_t kMetafileCoverages = 3;
constexpr int64_t kMetafileMinBudget = int64_t(16) << 20;

int16_t S16(const uint8_t* p) { return int16_t(GetLe16(p)); }

[[noreturn]] void Bad(const char* why) { throw EInvalidGraphic(std::string("Invalid metafile: ") + why); }

struct Obj {
  enum Kind { None, Pen, Brush, Other } K = None;
  TPenStyle PenStyle = psSolid;
  int PenWidth = 1;
  TColor Colour = 0;
  bool ClearBrush = false;
};

}  // namespace

void TMetafile::LoadFromStream(TStream& s) {
  int64_t left = s.Size() - s.Position();
  if (left < 22 + 18) Bad("file too short");
  if (left > (int64_t(64) << 20)) Bad("file too large");
  std::vector<uint8_t> d(static_cast<size_t>(left));
  s.ReadBuffer(d.data(), left);
  if (GetLe32(&d[0]) != 0x9AC6CDD7u) Bad("not a placeable metafile");
  int16_t l = S16(&d[6]), t = S16(&d[8]), r = S16(&d[10]), b = S16(&d[12]);
  int inch = GetLe16(&d[14]);
  if (inch == 0 || r <= l || b <= t) Bad("bad bounding box");
  const uint8_t* h = &d[22];
  size_t headerBytes = size_t(GetLe16(h + 2)) * 2;
  if (headerBytes < 18 || 22 + headerBytes > d.size()) Bad("bad header");
  int w = MulDiv(r - l, 96, inch), hh = MulDiv(b - t, 96, inch);
  if (w < 1 || hh < 1) Bad("bad size");
  // A metafile can be drawn at any size: one larger than a page is drawn as large as a page.
  if (w > MaxPageSide || hh > MaxPageSide) {
    double k = std::min(double(MaxPageSide) / w, double(MaxPageSide) / hh);
    w = std::clamp(int(w * k), 1, int(MaxPageSide));
    hh = std::clamp(int(hh * k), 1, int(MaxPageSide));
  }
  // The records run to the end record; a file that stops before it was cut short, and its
  // picture would be drawn in part without a word.
  for (size_t at = 22 + headerBytes;;) {
    if (at + 6 > d.size()) Bad("cut short");
    const uint64_t words = GetLe32(&d[at]);
    if (GetLe16(&d[at + 4]) == 0) break;  // the end record
    if (words < 3 || words * 2 > d.size() - at) Bad("cut short");
    at += size_t(words * 2);
  }
  FRecords.assign(d.begin() + std::ptrdiff_t(22 + headerBytes), d.end());
  FLeft = l;
  FTop = t;
  FRight = r;
  FBottom = b;
  FWidth = w;
  FHeight = hh;
}

void TMetafile::SaveToStream(TStream&) const {
  throw EInvalidGraphicOperation("Saving metafiles is not supported");
}

void TMetafile::Draw(TCanvas& canvas, const TRect& dest) const {
  if (dest.Width() <= 0 || dest.Height() <= 0) return;
  int orgX = FLeft, orgY = FTop, extX = FRight - FLeft, extY = FBottom - FTop;
  auto X = [&](int x) { return dest.Left + int(int64_t(x - orgX) * dest.Width() / (extX ? extX : 1)); };
  auto Y = [&](int y) { return dest.Top + int(int64_t(y - orgY) * dest.Height() / (extY ? extY : 1)); };
  std::vector<Obj> objects;
  TPen savedPen = canvas.Pen;
  TBrush savedBrush = canvas.Brush;
  canvas.Pen.Color = clBlack;
  canvas.Pen.Width = 1;
  canvas.Pen.Style = psSolid;
  canvas.Brush.SetColor(clWhite);
  // Each new object takes the lowest free slot, as the player of the old platform does. The
  // free slots are kept in a heap, so a file of many objects made and deleted costs each
  // record a step, not a walk along every slot; the table holds at most as many objects as a
  // 16-bit index names, and an object made when it is full is left out.
  constexpr size_t kMaxObjects = 65536;
  std::priority_queue<size_t, std::vector<size_t>, std::greater<size_t>> freeSlots;
  auto addObject = [&](const Obj& o) {
    if (!freeSlots.empty()) {
      objects[freeSlots.top()] = o;
      freeSlots.pop();
    } else if (objects.size() < kMaxObjects) {
      objects.push_back(o);
    }
  };
  // Each drawing call costs the pixels of its box within the bitmap; a file may ask for the
  // whole picture again and again, so the drawing as a whole gets a few times the pixels it
  // can change (and some room for small pictures of many records), and what comes after that
  // is left out.
  const TBitmap* target = canvas.Bitmap();
  TRect visible;
  IntersectRect(visible, dest, target ? Rect(0, 0, target->Width(), target->Height()) : dest);
  int64_t budget =
      std::max<int64_t>(kMetafileCoverages * int64_t(visible.Width()) * visible.Height(), kMetafileMinBudget);
  auto afford = [&](int64_t l, int64_t t, int64_t r, int64_t b) {
    const int64_t m = canvas.Pen.Width + 2;
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    const int64_t w = std::max<int64_t>(
        0, std::min<int64_t>(r + m, visible.Right) - std::max<int64_t>(l - m, visible.Left));
    const int64_t h = std::max<int64_t>(
        0, std::min<int64_t>(b + m, visible.Bottom) - std::max<int64_t>(t - m, visible.Top));
    // A wide pen weighs each pixel against the segment, several times a fill's work.
    budget -= (w * h + 1) * (canvas.Pen.Width > 1 && canvas.Pen.Style != psClear ? 4 : 1);
    return budget >= 0;
  };
  size_t p = 0;
  const size_t n = FRecords.size();
  while (p + 6 <= n && budget >= 0) {
    uint64_t words = GetLe32(&FRecords[p]);
    uint16_t fn = GetLe16(&FRecords[p + 4]);
    if (fn == 0 || words < 3 || p + words * 2 > n) break;
    const uint8_t* a = &FRecords[p + 6];
    size_t params = size_t(words - 3);  // 16-bit parameters
    auto P = [&](size_t i) -> int { return i < params ? S16(a + 2 * i) : 0; };
    switch (fn) {
      case 0x020B: orgY = P(0), orgX = P(1); break;  // SETWINDOWORG
      case 0x020C: extY = P(0), extX = P(1); break;  // SETWINDOWEXT
      case 0x02FA: {                                 // CREATEPENINDIRECT
        Obj o;
        o.K = Obj::Pen;
        int style = P(0) & 0xF;
        o.PenStyle = style == 5 ? psClear : style >= 1 && style <= 4 ? TPenStyle(style) : psSolid;
        int pw = std::abs(P(1));
        o.PenWidth = std::max(1, int(int64_t(pw) * dest.Width() / (extX ? std::abs(extX) : 1)));
        o.Colour = TColor(uint16_t(P(3)) | uint32_t(uint16_t(P(4))) << 16) & 0xFFFFFF;
        addObject(o);
        break;
      }
      case 0x02FC: {  // CREATEBRUSHINDIRECT
        Obj o;
        o.K = Obj::Brush;
        o.ClearBrush = P(0) == 1;
        o.Colour = TColor(uint16_t(P(1)) | uint32_t(uint16_t(P(2))) << 16) & 0xFFFFFF;
        addObject(o);
        break;
      }
      case 0x00F7:
      case 0x06FF:
      case 0x02FB:
      case 0x01F9:
      case 0x06FE:
      case 0x0142:
      case 0x01FA:
        addObject(Obj{Obj::Other});  // palettes, regions, fonts, pattern brushes: slots only
        break;
      case 0x012D: {  // SELECTOBJECT
        size_t i = size_t(uint16_t(P(0)));
        if (i < objects.size()) {
          const Obj& o = objects[i];
          if (o.K == Obj::Pen) {
            canvas.Pen.Style = o.PenStyle;
            canvas.Pen.Width = o.PenWidth;
            canvas.Pen.Color = o.Colour;
          } else if (o.K == Obj::Brush) {
            if (o.ClearBrush) canvas.Brush.Style = bsClear;
            else canvas.Brush.SetColor(o.Colour);
          }
        }
        break;
      }
      case 0x01F0: {  // DELETEOBJECT
        size_t i = size_t(uint16_t(P(0)));
        if (i < objects.size() && objects[i].K != Obj::None) {
          objects[i] = Obj{};
          freeSlots.push(i);
        }
        break;
      }
      case 0x041B:  // RECTANGLE
        if (afford(X(P(3)), Y(P(2)), X(P(1)), Y(P(0)))) canvas.Rectangle(X(P(3)), Y(P(2)), X(P(1)), Y(P(0)));
        break;
      case 0x0418:  // ELLIPSE
        if (afford(X(P(3)), Y(P(2)), X(P(1)), Y(P(0)))) canvas.Ellipse(X(P(3)), Y(P(2)), X(P(1)), Y(P(0)));
        break;
      case 0x0214: canvas.MoveTo(X(P(1)), Y(P(0))); break;  // MOVETO
      case 0x0213:                                          // LINETO
        if (afford(canvas.PenPos.X, canvas.PenPos.Y, X(P(1)), Y(P(0)))) canvas.LineTo(X(P(1)), Y(P(0)));
        break;
      case 0x0324:    // POLYGON
      case 0x0325: {  // POLYLINE
        size_t count = size_t(std::max(0, P(0)));
        if (1 + 2 * count > params) break;
        std::vector<TPoint> pts;
        int64_t l = INT64_MAX, t = INT64_MAX, r = INT64_MIN, b = INT64_MIN;
        for (size_t i = 0; i < count; ++i) {
          pts.push_back(TPoint{X(P(1 + 2 * i)), Y(P(2 + 2 * i))});
          l = std::min<int64_t>(l, pts.back().X), r = std::max<int64_t>(r, pts.back().X);
          t = std::min<int64_t>(t, pts.back().Y), b = std::max<int64_t>(b, pts.back().Y);
        }
        if (pts.empty()) break;
        // The fill costs the box; a pen each of its edges' boxes.
        bool ok = fn == 0x0325 || afford(l, t, r, b);
        for (size_t i = 0; ok && i < pts.size(); ++i) {
          if (fn == 0x0325 && i + 1 == pts.size()) break;
          const TPoint a = pts[i], c = pts[(i + 1) % pts.size()];
          ok = afford(a.X, a.Y, c.X, c.Y);
        }
        if (!ok) break;
        if (fn == 0x0324) canvas.Polygon(pts);
        else canvas.Polyline(pts);
        break;
      }
      default: break;
    }
    p += size_t(words) * 2;
  }
  canvas.Pen = savedPen;
  canvas.Brush = savedBrush;
}
