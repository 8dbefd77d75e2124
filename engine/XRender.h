// The button renderer: turns one page object into pixels on the page bitmap. The object is
// composed in scratch images of its own size (the page under it, its texture cut to the
// outline of its frame or shape, the frame, the shape and the caption, optionally drawn at
// twice the size and averaged down) and copied onto the page inside each dirty rectangle.
//
// Rendering is not re-entrant: the scratch images are shared.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/RegionRect.h"
#include "engine/XImage.h"
#include "engine/XImageCache.h"
#include "platform/Canvas.h"

class TZLMButton;
class ZButtonList;
class ZStyle;

// Marks the pixels of the texture image that carry no texture.
constexpr uint32_t kTextureKey = 0xDE000000;

// Objects are drawn at most this large, so every object that fits the largest page (the
// picture limit's page) is drawn whole: a wider one is cut at its right, and one of more
// pixels than the bound at its bottom. Twice the size for antialiasing is drawn only while
// the doubled object stays within the double bound, otherwise the object is drawn plain and
// counted (see TakeAntialiasSkipped); the double image grows past that bound never, it is
// then set to just the size needed.
constexpr int kMaxRenderSide = MaxImageDimension;
constexpr int64_t kMaxRenderPixels = MaxImagePixels;
constexpr int64_t kMaxDoublePixels = int64_t(1) << 24;
// The most pixels of an object composed at once (4 MB of scratch image, 16 MB of double image):
// a larger part is composed in strips of rows of at most this many pixels (one row at least),
// each strip exactly as that part of the whole would be.
constexpr int64_t kRenderStripPixels = int64_t(1) << 20;

// The four scratch images. They start empty, keep their last contents between calls and
// change size only through SetSize; the double image only ever grows.
XImage& ObjectImage();
XImage& TextureImage();
XImage& MaskImage();
XImage& DoubleImage();

// Composes the object and copies it onto the page inside every rectangle of the list (in
// list order); Changed is false afterwards. Objects of zero or negative size draw nothing.
void RenderButton(TZLMButton& object, TBitmap& page, TRegionList regions);
// Frame, shape and caption into ObjectImage (sized to the object here when it is not). The
// style is left exactly as it was, also with antialiasing.
void RenderButtonImage(TZLMButton& object, XImage& doubleImage);

// The number of antialiased objects drawn plain because they are too large to be drawn twice
// the size, since the last call; the editor shows it, so that the plain drawing is no
// surprise.
int TakeAntialiasSkipped();

// The frame kinds (TFrameKind); any other kind only sets up the pen and the brush.
void DrawButtonFrame(TCanvas& canvas, int left, int top, int right, int bottom, int kind, TColor c0,
                     TColor c1, TColor c2, TColor c3, TColor c4, bool clear);
// The outline shapes of the style (TShapeCode 4 to 22); other codes draw nothing.
void DrawButtonShape(TCanvas& canvas, int left, int top, int right, int bottom, const ZStyle& style,
                     bool clear);

// Over Dst's size (and no further than Mask's): Dst := value wherever Mask is not 0.
void MaskFill(TBitmap& dst, const TBitmap& mask, uint32_t value);
// Over Dst's size (and no further than Src's): Dst := Src wherever Src differs from key.
void KeyedCopy(TBitmap& dst, const TBitmap& src, uint32_t key);

// The redraw of a region of the page: every rectangle of the list is filled with the
// scene's background colour, then every object whose bounds meet the list is rendered, in
// list order (the last on top). Progress goes to the wait indicator. Textures that could not
// be read during the pass are reported afterwards, each once (see TextureFailures).
void RenderScene(ZButtonList& scene, TBitmap& page, TRegionList regions);

// The pictures the whole page shows (the textures of its objects that are not transparent),
// each once: what a drawing tells the picture cache, whatever part of the page it draws.
std::vector<XImageCacheObject*> PagePictures(const ZButtonList& scene);

// A texture file that failed to load renders its objects without it. The failure is kept
// here once, when the file is first tried; RenderScene shows the new ones in a message box
// after its pass (never in the middle of drawing) and empties the list.
struct TTextureFailure {
  std::string FileName;
  std::string Message;
};
std::vector<TTextureFailure> TakeTextureFailures();
// The message of a page whose pictures do not fit the picture cache: which pictures were left
// out, how much they need, how much the program keeps.
std::string PicturesDoNotFitMessage(const XImageCache::TOverflow& overflow);
