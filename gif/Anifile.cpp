#include "gif/Anifile.h"

#include <cstring>

#include "gif/Vclutils.h"
#include "platform/ByteOrder.h"
#include "platform/SysUtils.h"

namespace {

// Limits of what a cursor file may declare before anything is allocated.
constexpr uint32_t kMaxFrames = 4096;
constexpr int64_t kMaxFileSize = int64_t(64) << 20;
// Each step of the sequence holds its own copy of the icon it shows, so a file of one large
// icon shown thousands of times would cost gigabytes: the copies may take this much in all.
constexpr int64_t kMaxShownBytes = int64_t(128) << 20;

[[noreturn]] void Bad(const char* why) {
  throw EInvalidGraphic(std::string("Invalid animated cursor: ") + why);
}

// A view of the file's bytes; every read is checked against the end of its chunk.
struct TChunkReader {
  const uint8_t* P;
  uint64_t Pos, End;

  bool AtEnd() const { return Pos >= End; }
  void Need(uint64_t n) const {
    if (n > End - Pos) throw EReadError("Stream read error");
  }
  uint32_t U32() {
    Need(4);
    uint32_t v = GetLe32(P + Pos);
    Pos += 4;
    return v;
  }
  std::string Id() {
    Need(4);
    std::string s(reinterpret_cast<const char*>(P + Pos), 4);
    Pos += 4;
    return s;
  }
  // The next chunk: its id and a reader over its data; the position moves past its padding.
  TChunkReader Chunk(std::string& id) {
    id = Id();
    uint32_t size = U32();
    Need(size);
    TChunkReader sub{P, Pos, Pos + size};
    Pos += size;
    if (size & 1 && Pos < End) ++Pos;  // chunks are padded to even sizes
    return sub;
  }
};

std::string ZString(const TChunkReader& r) {
  std::string s(reinterpret_cast<const char*>(r.P + r.Pos), size_t(r.End - r.Pos));
  size_t z = s.find('\0');
  return z == std::string::npos ? s : s.substr(0, z);
}

}  // namespace

TIconFrame::TIconFrame(int index, int32_t jiffRate) : JiffRate(jiffRate), Seq(index) {}
TIconFrame::~TIconFrame() = default;

void TIconFrame::Assign(const TIconFrame& source) {
  Icon.Assign(&source.Icon);
  JiffRate = source.JiffRate;
  Seq = source.Seq;
}

void TAnimatedCursorImage::Clear() {
  FIcons.clear();
  FFrames.clear();
  FTitle.clear();
  FCreator.clear();
  FIconCount = 0;
  FDefaultRate = 0;
}

void TAnimatedCursorImage::LoadFromFile(const std::string& fileName) {
  TFileStream s(fileName, fmOpenRead | fmShareDenyNone);
  LoadFromStream(s);
}

void TAnimatedCursorImage::LoadFromStream(TStream& stream) {
  ReadStream(stream.Size() - stream.Position(), stream);
}

void TAnimatedCursorImage::ReadStream(int64_t size, TStream& stream) {
  if (size < 0 || size > kMaxFileSize) Bad("file too large");
  int64_t left = stream.Size() - stream.Position();
  if (size > left) throw EReadError("Stream read error");
  TMemoryStream m;
  if (size > 0) m.CopyFrom(stream, size);
  m.SetPosition(0);
  ReadAniStream(m);
}

void TAnimatedCursorImage::ReadAniStream(TStream& stream) {
  int64_t size = stream.Size() - stream.Position();
  if (size < 0 || size > kMaxFileSize) Bad("file too large");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  stream.ReadBuffer(bytes.data(), size);
  TChunkReader file{bytes.data(), 0, uint64_t(size)};
  std::string id;
  TChunkReader riff = file.Chunk(id);
  if (id != "RIFF") Bad("not a RIFF file");
  if (riff.Id() != "ACON") Bad("not an animated cursor");

  // Everything is read into these first and taken over at the end.
  bool haveHeader = false;
  uint32_t frames = 0, steps = 0, flags = 0;
  int32_t defaultRate = 0;
  std::vector<uint32_t> rates, seq;
  std::vector<std::unique_ptr<TIconFrame>> icons;
  std::string title, creator;
  while (!riff.AtEnd()) {
    TChunkReader c = riff.Chunk(id);
    if (id == "anih") {
      if (c.End - c.Pos < 36) Bad("header too short");
      uint32_t cb = c.U32();
      if (cb < 36) Bad("bad header size");
      frames = c.U32();
      steps = c.U32();
      c.Pos += 16;  // width, height, bit count, planes: the icons carry their own
      defaultRate = int32_t(c.U32());
      flags = c.U32();
      if (!(flags & 1)) Bad("raw frames are not supported");
      if (frames == 0 || frames > kMaxFrames || steps > kMaxFrames) Bad("bad frame count");
      if (steps == 0) steps = frames;
      haveHeader = true;
    } else if (id == "rate" || id == "seq ") {
      if (!haveHeader) Bad("rate or sequence before the header");
      if ((c.End - c.Pos) / 4 < steps) throw EReadError("Stream read error");
      std::vector<uint32_t>& v = id == "rate" ? rates : seq;
      v.clear();
      for (uint32_t i = 0; i < steps; ++i) v.push_back(c.U32());
    } else if (id == "LIST") {
      std::string kind = c.Id();
      while (!c.AtEnd()) {
        TChunkReader sub = c.Chunk(id);
        if (kind == "fram" && id == "icon") {
          if (icons.size() >= kMaxFrames) Bad("too many icons");
          auto frame = std::make_unique<TIconFrame>(int(icons.size()), defaultRate);
          TMemoryStream m;
          m.WriteBuffer(sub.P + sub.Pos, int64_t(sub.End - sub.Pos));
          m.SetPosition(0);
          frame->Icon.LoadFromStream(m);
          icons.push_back(std::move(frame));
        } else if (kind == "INFO" && id == "INAM") {
          title = ZString(sub);
        } else if (kind == "INFO" && id == "IART") {
          creator = ZString(sub);
        }
      }
    }
    // Other chunks are passed over.
  }
  if (!haveHeader) Bad("no header");
  if (icons.size() < frames) Bad("fewer icons than frames");

  std::vector<std::unique_ptr<TIconFrame>> shown;
  int64_t shownBytes = 0;
  for (uint32_t i = 0; i < steps; ++i) {
    uint32_t index = seq.empty() ? i : seq[i];
    if (index >= icons.size()) Bad("sequence names a missing frame");
    const TIcon& icon = icons[index]->Icon;
    shownBytes += icon.Image().ImageSize() + int64_t(icon.FileData().size());
    if (shownBytes > kMaxShownBytes) Bad("its sequence shows more of its icons than a cursor can hold");
    auto f = std::make_unique<TIconFrame>(int(index), rates.empty() ? defaultRate : int32_t(rates[i]));
    f->Icon.Assign(&icons[index]->Icon);
    shown.push_back(std::move(f));
  }
  if (!rates.empty())
    for (size_t i = 0; i < icons.size(); ++i) {
      // An icon's own rate is the one of its first appearance.
      for (uint32_t k = 0; k < steps; ++k)
        if ((seq.empty() ? k : seq[k]) == i) {
          icons[i]->JiffRate = int32_t(rates[k]);
          break;
        }
    }
  FIcons = std::move(icons);
  FFrames = std::move(shown);
  FTitle = title;
  FCreator = creator;
  FIconCount = int(FIcons.size());
  FDefaultRate = defaultRate;
}

void TAnimatedCursorImage::SaveToStream(TStream&) { NotImplemented(); }
void TAnimatedCursorImage::WriteStream(TStream&, bool) { NotImplemented(); }

void TAnimatedCursorImage::Assign(const TAnimatedCursorImage& source) {
  if (&source == this) return;
  Clear();
  for (const auto& f : source.FIcons) {
    FIcons.push_back(std::make_unique<TIconFrame>(f->Seq, f->JiffRate));
    FIcons.back()->Assign(*f);
  }
  for (const auto& f : source.FFrames) {
    FFrames.push_back(std::make_unique<TIconFrame>(f->Seq, f->JiffRate));
    FFrames.back()->Assign(*f);
  }
  FTitle = source.FTitle;
  FCreator = source.FCreator;
  FIconCount = source.FIconCount;
  FDefaultRate = source.FDefaultRate;
}

const TIconFrame& TAnimatedCursorImage::Frame(int index) const {
  if (index < 0 || index >= int(FIcons.size()))
    throw EListError(Format("List index out of bounds (%d)", index));
  return *FIcons[size_t(index)];
}

const TIconFrame& TAnimatedCursorImage::GetFrame(int index) const {
  if (index < 0 || index >= int(FFrames.size()))
    throw EListError(Format("List index out of bounds (%d)", index));
  return *FFrames[size_t(index)];
}

int TAnimatedCursorImage::Width() const { return FIcons.empty() ? 0 : FIcons[0]->Icon.Width(); }
int TAnimatedCursorImage::Height() const { return FIcons.empty() ? 0 : FIcons[0]->Icon.Height(); }

void TAnimatedCursorImage::AssignTo(TGraphic* dest) const {
  if (auto* icon = dynamic_cast<TIcon*>(dest)) {
    icon->Assign(FIcons.empty() ? nullptr : &FIcons[0]->Icon);
  } else if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    AssignToBitmap(*bitmap, clWhite, false, false);
  } else {
    throw EConvertError(std::string("Cannot assign a TAnimatedCursorImage to a ") +
                        (dest ? dest->ClassName() : "nil"));
  }
}

void TAnimatedCursorImage::AssignToBitmap(TBitmap& bitmap, TColor backColor, bool decreaseColors,
                                          bool vertical) const {
  int n = int(FIcons.size()), w = Width(), h = Height();
  int64_t bw = vertical ? w : int64_t(w) * n, bh = vertical ? int64_t(h) * n : h;
  CheckImageSize(bw, bh);
  TBitmap out(int(bw), int(bh), pf32bit);
  TCanvas& c = out.Canvas();
  c.Brush.SetColor(backColor);
  c.FillRect(TRect(0, 0, int(bw), int(bh)));
  for (int i = 0; i < n; ++i) {
    int x = vertical ? 0 : i * w, y = vertical ? i * h : 0;
    FIcons[size_t(i)]->Icon.Draw(c, TRect(x, y, x + w, y + h));
  }
  if (decreaseColors) out.SetPixelFormat(pf8bit);
  bitmap.Assign(&out);
}

void TAnimatedCursorImage::Draw(TCanvas& canvas, const TRect& rect) const {
  if (!FFrames.empty()) FFrames[0]->Icon.Draw(canvas, rect);
}
