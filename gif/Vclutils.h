// The graphics helper unit: palette queries, sizes of rectangles, the keyed stretch that
// draws a picture with its transparent colour left out, the banded gradient, memory blocks
// and a set of small drawing, geometry, text and system helpers.
//
// A "device context" of the drawing functions is a canvas over a bitmap; a palette handle is
// a pointer to a palette (nullptr for none), since bitmaps here carry their palettes.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Canvas.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"
#include "platform/Types.h"

ZELMORA_EXCEPTION(EResNotFound, Exception)
ZELMORA_EXCEPTION(EOutOfResources, Exception)

class TIcon;
struct TCursorImage;

using HPALETTE = const std::vector<TRGBQuad>*;

// Resets the busy cursor, shows "Function not yet implemented" in an information box and
// ends the current operation silently (EAbort).
[[noreturn]] void NotImplemented();

// The number of entries of a palette (0 for none), and of a bitmap's palette.
int PaletteEntries(HPALETTE palette);
int PaletteEntries(const TBitmap& bitmap);
// The palette-relative form of a colour: ColorToRGB(color) | 0x02000000. Drawing matches
// such a colour to the nearest entry of the palette in use.
uint32_t PaletteColor(TColor color);
int WidthOf(const TRect& r);
int HeightOf(const TRect& r);

// The masked stretch blit: the source area of src stretched (nearest sample) onto the
// destination area of dest; source pixels of the transparent colour leave the destination
// as it was. With a palette the transparent colour stands for its nearest palette entry.
// Sizes of 0 or less draw nothing. The destination's copy mode does not apply.
void StretchBltTransparent(TCanvas& dest, int x, int y, int w, int h, const TCanvas& src, int srcX, int srcY,
                           int srcW, int srcH, HPALETTE palette, TColor transparentColor);
// The source rectangle of the bitmap stretched into (x, y, w, h) of the canvas with the
// transparent colour left out: clNone draws opaque with the canvas's copy mode, clDefault
// takes the colour of the bottom-left pixel, a monochrome bitmap keys its white pixels. A
// width or height of 0 or less is the bitmap's own; an empty source rectangle is the whole
// bitmap.
void StretchBitmapRectTransparent(TCanvas& dest, int x, int y, int w, int h, const TRect& srcRect,
                                  TBitmap& bitmap, TColor transparentColor);
// The unstretched forms.
void DrawBitmapRectTransparent(TCanvas& dest, int x, int y, const TRect& srcRect, TBitmap& bitmap,
                               TColor transparentColor);
void DrawBitmapTransparent(TCanvas& dest, int x, int y, TBitmap& bitmap, TColor transparentColor);
void DrawTransparentBitmap(TCanvas& dest, TBitmap& bitmap, int x, int y, TColor transparentColor);

enum TFillDirection { fdTopToBottom, fdBottomToTop, fdLeftToRight, fdRightToLeft };
enum TVertAlignment { vaTopJustify, vaCenter, vaBottomJustify };
// Fills the rectangle with `colors` bands of colour running from start to end; the reversed
// directions put the start colour at the bottom or right.
void GradientFillRect(TCanvas& canvas, const TRect& rect, TColor startColor, TColor endColor,
                      TFillDirection direction, uint8_t colors);

// Memory blocks: zero-filled, null for a size of 0 or less or when memory is short.
void* AllocMemo(int32_t size);
// Grows or shrinks a block (new bytes zero); null frees it. Null when memory is short (the
// old block then stays valid).
void* ReallocMemo(void* p, int32_t size);
int32_t GetMemoSize(const void* p);
void FreeMemo(void*& p);
template <class T>
void FreeMemo(T*& p) {
  void* v = p;
  FreeMemo(v);
  p = nullptr;
}
void* HugeOffset(void* p, int32_t offset);
const void* HugeOffset(const void* p, int32_t offset);
void HugeInc(void*& p, int32_t offset);
void HugeDec(void*& p, int32_t offset);
// Moves count bytes; the blocks may overlap.
void HMemCpy(void* dst, const void* src, int32_t count);
// Moves count 32-bit items of an array from index src to index dst.
void HugeMove(void* base, int32_t dst, int32_t src, int32_t count);
// True when the blocks hold the same bytes; length 0 is true.
bool CompareMem(const void* a, const void* b, uint32_t length);
std::string ResStr(const std::string& s);

// Resources. A program's resources are the files that lie beside it (the program folder), a
// module's those of its own folder (an empty module is the program). A resource is found by
// its name and the extensions of its kind, without regard to case; a number names it by
// its decimal form. A name that would reach outside the folder finds nothing.
[[noreturn]] void ResourceNotFound(const std::string& name);
[[noreturn]] void ResourceNotFound(int id);
// The resource's file, or "" when there is none.
std::string FindResourceFile(const std::string& module, const std::string& name,
                             const std::vector<std::string>& extensions);
// A bitmap resource (".bmp") as a new bitmap; a missing one raises EResNotFound, a damaged
// one EInvalidGraphic.
std::unique_ptr<TBitmap> MakeModuleBitmap(const std::string& module, const std::string& name);
std::unique_ptr<TBitmap> MakeBitmap(const std::string& name);
std::unique_ptr<TBitmap> MakeBitmapID(int id);
// An icon resource (".ico") as a new icon; nullptr when there is none, EInvalidGraphic for
// a damaged one.
std::unique_ptr<TIcon> MakeModuleIcon(const std::string& module, const std::string& name);
std::unique_ptr<TIcon> MakeIcon(const std::string& name);
std::unique_ptr<TIcon> MakeIconID(int id);

// Bitmaps.
// Cell `index` of a grid of cols x rows cells of the graphic, into dest (graphics other than
// bitmaps are drawn over silver); transparency settings are copied.
void AssignBitmapCell(const TGraphic* source, TBitmap& dest, int cols, int rows, int index);
// A copy of the bitmap with every pixel of colour replaced by newColor.
std::unique_ptr<TBitmap> ChangeBitmapColor(const TBitmap& bitmap, TColor color, TColor newColor);
// The engraved look of a disabled glyph: the pixels that are not of disabledColor become the
// shadow colour over the back colour, with the highlight one pixel down and right.
std::unique_ptr<TBitmap> CreateDisabledBitmapEx(const TBitmap& bitmap, TColor disabledColor, TColor backColor,
                                                TColor highlightColor, TColor shadowColor,
                                                bool drawHighlight);
std::unique_ptr<TBitmap> CreateDisabledBitmap(const TBitmap& bitmap, TColor disabledColor);
// An 8 x 8 checkerboard of two colours, color1 at (0, 0).
std::unique_ptr<TBitmap> CreateTwoColorsBrushPattern(TColor color1, TColor color2);
// The icon over a background colour.
std::unique_ptr<TBitmap> CreateBitmapFromIcon(const TGraphic& icon, TColor backColor);
// An icon of the bitmap's pixels, those of the transparent colour left out (clNone: none,
// clDefault: the bottom-left pixel's colour). Raises EInvalidGraphic for an empty bitmap or
// one larger than 256 x 256, the most an icon image can be.
std::unique_ptr<TIcon> CreateIconFromBitmap(const TBitmap& bitmap, TColor transparentColor);
// Draws image `index` of the list at (x, y) in the engraved look of a disabled glyph: its
// pixels that are not of the image's transparent colour in grayColor, with the highlight
// one pixel down and right beneath them; the rest of the canvas is left as it was. An index
// outside the list raises EListError.
void ImageListDrawDisabled(const std::vector<std::unique_ptr<TBitmap>>& images, TCanvas& canvas, int x, int y,
                           int index, TColor highlightColor, TColor grayColor, bool drawHighlight);
// Darkens every other pixel of the rectangle (a checkerboard with black at even x + y).
void ShadeRect(TCanvas& canvas, const TRect& rect);

// Geometry.
bool PointInRect(const TPoint& p, const TRect& r);
// By the alternate rule, as a polygon region.
bool PointInPolyRgn(const TPoint& p, const std::vector<TPoint>& points);
// The part of the screen windows may take, without the desktop's panels.
TRect ScreenWorkArea();
// Dialog base units of 8 x 16 pixels: horizontal units are quarters, vertical ones eighths.
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);
int PixelsToDialogUnitsX(int pixels);
int PixelsToDialogUnitsY(int pixels);

// Message boxes through the platform's services; the result is the pressed button's id.
int MsgBox(const std::string& caption, const std::string& text, uint32_t flags);
int MsgDlg(const std::string& text, uint32_t flags);

// Another running copy of the program of that application title: its process id, 0 when
// none runs. Copies mark themselves by the instance lock (InnoCreateMutex).
int FindPrevInstance(const std::string& title);

// System.
// Opens a shared library; raises EOSError with the loader's reason.
void* LoadDLL(const std::string& name);
void Beep();
// At most 2048 characters; empty when unset.
std::string GetEnvVar(const std::string& name);
// Waits the given milliseconds while the GUI goes on handling its events.
void Delay(int32_t milliseconds);
// The system's name and version: the kernel's name, release and machine, and the
// distribution's name from os-release, e.g. "Linux 6.1.0-18-amd64 x86_64, Debian GNU/Linux
// 12 (bookworm)".
std::string GetWindowsVersion();
// The distribution's name from an os-release file: PRETTY_NAME, else NAME and VERSION; ""
// when the file is missing or names none.
std::string OsReleaseName(const std::string& fileName);
// "Win32 Error.  Code: %d.\n%s" with the system's text for the code; code 0 does nothing.
void RaiseWin32Error(int code);
// Raises for the current errno when ok is false; returns ok.
bool CheckWin32(bool ok);

// Text.
// A copy of the font whose text runs at `angle` degrees counter-clockwise from the horizontal
// (the canvas turns it about the top-left corner of its first character cell); the face
// "Default" becomes the canvas's default face.
TFont CreateRotatedFont(const TFont& font, int angle);
// The text cut from the end with "..." appended until it fits maxWidth on the canvas.
std::string MinimizeText(const std::string& text, TCanvas& canvas, int maxWidth);
// Average width of "A" to "Z" and "a" to "z", and the height.
TPoint GetAveCharSize(TCanvas& canvas);
// Text in a rectangle, offset by dx, dy from its aligned place, clipped to the rectangle.
void WriteText(TCanvas& canvas, const TRect& rect, int dx, int dy, const std::string& text,
               uint32_t alignment, bool wordWrap);
void DrawCellTextEx(TCanvas& canvas, const TRect& rect, const std::string& text, uint32_t alignment,
                    TVertAlignment vertAlignment, bool wordWrap);
void DrawCellText(TCanvas& canvas, const TRect& rect, const std::string& text, uint32_t alignment,
                  TVertAlignment vertAlignment = vaCenter);
// The graphic centred in the cell, over the brush colour.
void DrawCellBitmap(TCanvas& canvas, const TRect& rect, const TGraphic* graphic);

// Strings.
// The program part and the argument part of a command line; arguments with blanks re-quoted.
void SplitCommandLine(const std::string& commandLine, std::string& program, std::string& params);
std::string AnsiUpperFirstChar(const std::string& s);
// A new zero-terminated copy, freed with delete[].
char* StrPAlloc(const std::string& s);
const char* StringToPChar(const std::string& s);
// A leading "T" or "t" removed from a name longer than one character.
std::string DropT(const std::string& s);

// The wait cursor: nested, through the platform's busy cursor.
extern int16_t WaitCursor;
void StartWait();
void StopWait();

// Cursors. An animated cursor resource (".ani") as a cursor of its frames; a missing one
// raises EResNotFound, a damaged one EInvalidGraphic.
TCursorImage LoadAniCursor(const std::string& module, const std::string& name);
// Enters a cursor resource, animated (".ani") or still (".cur"), or one of the program's
// own cursors, in the first free place of the screen's cursor table from 100 up and
// returns its number (a TCursor); EOutOfResources "Out of system resources" when no place
// is free.
int16_t DefineCursor(const std::string& module, const std::string& name);
