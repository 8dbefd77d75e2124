// The GIF picture: a list of frames whose rasters stay LZW-compressed until a bitmap is
// asked for. Reads GIF87a and GIF89a, writes GIF87a unless a frame needs an extension.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/Clipboard.h"
#include "platform/Graphics.h"
#include "platform/Types.h"

enum TGIFVersion { gvUnknown, gv87a, gv89a };
std::string GIFVersionName(TGIFVersion v);

enum TDisposalMethod {
  dmUndefined,
  dmLeave,
  dmRestoreBackground,
  dmRestorePrevious,
  dmReserved4,
  dmReserved5,
  dmReserved6,
  dmReserved7
};

struct TGIFColorItem {
  uint8_t Red = 0, Green = 0, Blue = 0;
};
struct TGIFColorTable {
  int32_t Count = 0;
  std::array<TGIFColorItem, 256> Colors{};
};

enum TProgressStage { psStarting, psRunning, psEnding };
// The picture's progress while it reads or writes: the stage, the share done in percent and
// what it is doing. Reports start at 0 (psStarting), rise, and end at 100 (psEnding), a
// failed read or write included.
using TProgressProc = std::function<void(TProgressStage stage, uint8_t percentDone, const std::string& msg)>;

// Damaged data is tolerated (frames flagged corrupted) instead of raising.
extern bool GIFLoadCorrupted;

// Message texts by string-table id.
std::string GIFErrorText(int id);
[[noreturn]] void GIFError(int id);

enum TExtensionKind : uint8_t { ekGraphicControl, ekPlainText, ekApplication, ekComment };
uint8_t ExtensionLabel(int kind);  // F9, 01, FF, FE

// One extension block: the header is the block-size byte and the fixed part after it.
struct TExtension {
  uint8_t Kind = ekComment;
  std::vector<uint8_t> Header;
  std::unique_ptr<std::vector<std::string>> Data;  // one line per sub-block
  void Assign(const TExtension& src);
  bool IsLoopExtension() const;
};

struct TGIFData {
  std::vector<std::string> Comment;
  uint8_t AspectRatio = 0;
  uint8_t BitsPerPixel = 1;
  uint8_t ColorResolution = 0;
  TGIFColorTable ColorMap;
};

struct TGIFItem {
  std::unique_ptr<TMemoryStream> ImageData;
  int32_t Width = 0, Height = 0;
  uint8_t PackedFields = 0;
  uint8_t BitsPerPixel = 0;
  TGIFColorTable ColorMap;
};

class TGIFImage;
class TAnimatedCursorImage;

class TGIFFrame : public TObject {
 public:
  explicit TGIFFrame(TGIFImage* owner);
  ~TGIFFrame() override;

  void NewImage();
  void NewBitmap();
  TBitmap& GetBitmap();
  bool HasBitmap() const { return FBitmap != nullptr; }
  bool HasImageData() const;
  int Width();
  int Height();
  int ColorCount() const;

  void Assign(const TObject* source);
  void AssignTo(TGraphic* dest);
  void Draw(TCanvas& canvas, const TRect& r, bool transparent);

  // One image block (descriptor, local map, raster) from the stream, which is positioned
  // after the ',' separator.
  void LoadFromStream(TMemoryStream& s);
  // The decoded frame as a BMP file (positioned at 0).
  void SaveToBitmapStream(TStream& s);
  void GrayscaleImage(bool forceEncoding);

  void UpdateExtensions();
  void EncodeRasterData();
  void EncodeBitmapStream(TMemoryStream& s);
  void WriteImageDescriptor(TStream& s);
  void WriteLocalColorMap(TStream& s);
  void WriteRasterData(TStream& s);

  std::vector<std::string>* FindComment(bool create);
  std::vector<std::string> Comment() { return *FindComment(true); }
  void SetComment(const std::vector<std::string>& lines) { *FindComment(true) = lines; }

  TGIFImage* Owner() const { return FOwner; }
  TGIFItem& Item() { return *FItem; }
  std::shared_ptr<TGIFItem> SharedItem() const { return FItem; }
  std::vector<std::unique_ptr<TExtension>>& Extensions() { return FExtensions; }

  TPoint TopLeft() const { return FTopLeft; }
  void SetTopLeft(TPoint p);
  bool Interlaced = false;
  bool Corrupted = false;
  bool Grayscale = false;
  bool LocalMap = false;
  TColor TransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(TColor c);
  uint32_t AnimateInterval() const { return FAnimateInterval; }
  void SetAnimateInterval(uint32_t ms);
  TDisposalMethod DisposalMethod() const { return FDisposal; }
  void SetDisposalMethod(TDisposalMethod d);
  // Index of the transparent colour in the item's map, -1 when it has none there.
  int TransparentIndex() const;

 private:
  friend class TGIFImage;
  void Decode(TBitmap& out);
  TGIFImage* FOwner;
  std::unique_ptr<TBitmap> FBitmap;
  std::shared_ptr<TGIFItem> FItem;
  std::vector<std::unique_ptr<TExtension>> FExtensions;
  TPoint FTopLeft{0, 0};
  TColor FTransparentColor = clNone;
  // Milliseconds; the file holds hundredths of a second in 16 bits.
  uint32_t FAnimateInterval = 0;
  TDisposalMethod FDisposal = dmUndefined;
};

class TGIFImage : public TGraphic {
 public:
  TGIFImage();
  ~TGIFImage() override;

  const char* ClassName() const override { return "TGIFImage"; }
  int Width() const override;
  int Height() const override;
  void SetWidth(int) override;
  void SetHeight(int) override;
  bool Empty() const override;
  bool Transparent() const override;
  void Draw(TCanvas& canvas, const TRect& r) const override;
  void LoadFromStream(TStream& s) override;
  void SaveToStream(TStream& s) const override;
  void Assign(const TGraphic* source) override;
  // One frame of any picture, this one's too, becomes the whole picture, with the global
  // colour map of the picture it came from.
  void Assign(const TGIFFrame& frame);
  // The cursor's frames as it shows them, each for its own time, drawn over magenta, which
  // is left transparent; the background is the window colour.
  void Assign(const TAnimatedCursorImage& cursor);
  void AssignTo(TGraphic* dest) const override;
  bool Equals(const TGraphic* g) const;
  // The palette of the current frame's bitmap (frame 0 when there is none current), which
  // is decoded for it; empty without frames.
  std::vector<TRGBQuad> GetPalette() const;

  void Clear() { Assign(nullptr); }
  void ClearItems() { FFrames.clear(); }
  void NewImage();
  void UniqueImage();
  void ReadStream(int64_t size, TStream& s, bool forceDecode);
  void WriteStream(TStream& s, bool writeSize);
  void ReadData(TStream& s);
  // CF_GIF holds a 32-bit length and the GIF file; frame 0's bitmap goes beside it as CF_DIB.
  void LoadFromClipboardFormat(uint16_t format, const std::string& data) override;
  void SaveToClipboardFormat(TClipboard& clipboard);
  void WriteData(TStream& s);

  int Count() const { return int(FFrames.size()); }
  TGIFFrame& Frame(int i) { return *FFrames.at(size_t(i)); }
  int AddFrame(const TGraphic* g);
  void DeleteFrame(int index);
  void MoveFrame(int cur, int to);
  void DecodeAllFrames();
  void EncodeFrames(bool reverseDecode);
  void EncodeAllFrames() { EncodeFrames(true); }
  void Grayscale(bool forceEncoding);
  void UpdateScreenSize();
  TBitmap& GetBitmap();

  int FrameIndex() const { return FFrameIndex; }
  void SetFrameIndex(int v);
  TGIFVersion Version = gvUnknown;
  TGIFData& Data() { return *FImage; }
  std::vector<std::string> Comment() const { return FImage->Comment; }
  void SetComment(const std::vector<std::string>& lines);
  int ScreenWidth() const { return Count() ? FScreenWidth : 0; }
  int ScreenHeight() const { return Count() ? FScreenHeight : 0; }
  void SetScreenSize(int w, int h) {
    FScreenWidth = w;
    FScreenHeight = h;
  }
  int GlobalColorCount() const { return FImage->ColorMap.Count; }
  TColor BackgroundColor() const { return FBackgroundColor; }
  void SetBackgroundColor(TColor c);
  bool Looping() const { return FLooping; }
  void SetLooping(bool v);
  int RepeatCount() const { return FRepeatCount; }
  void SetRepeatCount(int v);
  TColor TransparentColor() const;
  bool Corrupted() const;
  TPixelFormat PixelFormat() const;
  int ChangeCount = 0;
  TProgressProc OnProgress;
  void DoProgress(TProgressStage stage, uint8_t percentDone, const std::string& msg);

 private:
  friend class TGIFFrame;
  void Changed() {
    ++ChangeCount;
    Modified = true;
  }
  void ReadStreamInto(TMemoryStream& m, bool forceDecode);
  // Takes over another picture's data and frames, leaving it empty.
  void TakeOver(TGIFImage& fresh);
  void WriteBlocks(TStream& s, bool writeSize);
  // Progress is reported by rows, the steps of the long work. A read or a write is one run of
  // reports, from psStarting to psEnding, and each frame's rows fill the share of it that
  // FProgressFrom..FProgressTo (percent) gives them; a frame decoded or encoded on its own,
  // outside such a run, makes a run of its own.
  bool FProgressRun = false;
  double FProgressFrom = 0, FProgressTo = 100;
  std::string FProgressMessage;
  void ProgressShare(int64_t done, int64_t total);
  template <typename Work>
  void ProgressRun(const char* message, Work&& work);
  std::shared_ptr<TGIFData> FImage;
  std::vector<std::unique_ptr<TGIFFrame>> FFrames;
  int FFrameIndex = -1;
  int FScreenWidth = 0, FScreenHeight = 0;
  TColor FBackgroundColor = clNone;
  bool FLooping = false;
  bool FCorrupted = false;
  int FRepeatCount = 1;
};

// Registers TGIFImage for "gif" with the picture registry (done once at start-up).
void RegisterGIFFormat();

// The LZW decoder on its own: image data (minimum code size, sub-blocks, terminator) into
// width x height palette indices, top row first. Returns false when the data was damaged
// (the rows decoded so far are kept); raises for damage when GIFLoadCorrupted is off.
// rowDone, when given, is told the number of rows done after each row (in file order).
using TRowsDone = std::function<void(int rowsDone)>;
bool DecodeLZW(const uint8_t* data, size_t size, int width, int height, int bitsPerPixel, bool interlaced,
               std::vector<uint8_t>& indices, const TRowsDone& rowDone = nullptr);
// The LZW encoder: width x height indices (top row first) of bitCount (1, 4 or 8) bits into
// image data; rowDone as for the decoder.
void EncodeLZW(const uint8_t* indices, int width, int height, int bitCount, TStream& out,
               const TRowsDone& rowDone = nullptr);

// The clipboard format "GIF Image", registered with the GIF picture class.
extern uint16_t CF_GIF;
