// Animated cursors: the frames of a RIFF "ACON" file with their rates and sequence.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Canvas.h"
#include "platform/Graphics.h"
#include "platform/Icon.h"
#include "platform/TypInfo.h"

class TIconFrame : public TPersistent {
 public:
  TIconFrame(int index, int32_t jiffRate);
  ~TIconFrame() override;
  void Assign(const TIconFrame& source);
  std::string ClassName() const override { return "TIconFrame"; }
  TIcon Icon;
  int32_t JiffRate;  // display time in 1/60 s
  int Seq;           // the frame's place in the sequence
};

class TAnimatedCursorImage : public TPersistent {
 public:
  std::string ClassName() const override { return "TAnimatedCursorImage"; }
  void Clear();
  // A damaged file raises EInvalidGraphic, a short one EReadError "Stream read error";
  // either way the image keeps what it held.
  void LoadFromFile(const std::string& fileName);
  void LoadFromStream(TStream& stream);
  void ReadStream(int64_t size, TStream& stream);
  void ReadAniStream(TStream& stream);
  // Saving is not supported.
  [[noreturn]] void SaveToStream(TStream& stream);
  [[noreturn]] void WriteStream(TStream& stream, bool writeSize);

  void Assign(const TAnimatedCursorImage& source);
  // Into an icon (the first frame) or a bitmap (every frame, side by side).
  void AssignTo(TGraphic* dest) const;
  void AssignToBitmap(TBitmap& bitmap, TColor backColor, bool decreaseColors, bool vertical) const;
  void Draw(TCanvas& canvas, const TRect& rect) const;

  // The icons in file order; the frames in display order.
  const TIcon& GetIcon(int index) const { return Frame(index).Icon; }
  const TIconFrame& GetFrame(int index) const;
  int FrameCount() const { return int(FFrames.size()); }
  int GetIconCount() const { return FIconCount; }
  int32_t GetDefaultRate() const { return FDefaultRate; }
  const std::string& GetTitle() const { return FTitle; }
  const std::string& GetCreator() const { return FCreator; }
  int Width() const;
  int Height() const;

 private:
  const TIconFrame& Frame(int index) const;
  std::vector<std::unique_ptr<TIconFrame>> FIcons;   // as stored
  std::vector<std::unique_ptr<TIconFrame>> FFrames;  // as shown
  std::string FTitle, FCreator;
  int FIconCount = 0;
  int32_t FDefaultRate = 0;
};
