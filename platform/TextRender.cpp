#include "platform/TextRender.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_SYNTHESIS_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>

#include "platform/Canvas.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"

namespace {

struct Glyph {
  int Advance = 0;
  int Left = 0, Top = 0;  // bitmap offset from the pen position on the baseline
  int W = 0, H = 0;
  std::vector<uint8_t> Coverage;
};

// A glyph drawn along a turned base line; its advance is the upright glyph's.
struct TurnedGlyph {
  int Left = 0, Top = 0;
  int W = 0, H = 0;
  std::vector<uint8_t> Coverage;
};

struct SizedFace {
  FT_Face Face = nullptr;
  int Em = 0;
  bool Embolden = false, Oblique = false;
  TTextMetrics Metrics;
  std::map<unsigned, Glyph> Glyphs;
  std::map<std::pair<int, unsigned>, TurnedGlyph> Turned;  // by orientation and character
};

class FontLibrary {
 public:
  static FontLibrary& Get() {
    static FontLibrary lib;
    return lib;
  }
  ~FontLibrary() {
    FSized.clear();
    for (auto& [k, f] : FFaces) FT_Done_Face(f);
    if (FLib) FT_Done_FreeType(FLib);
    FcFini();  // releases fontconfig's own caches, which a leak checker would report
  }

  TFontMatch Match(const std::string& name, bool bold, bool italic) {
    auto key = std::make_tuple(LowerCase(name), bold, italic);
    auto it = FMatches.find(key);
    if (it != FMatches.end()) return it->second;
    TFontMatch m;
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res;
    FcPattern* found = FcFontMatch(nullptr, pat, &res);
    if (found) {
      FcChar8* s = nullptr;
      if (FcPatternGetString(found, FC_FILE, 0, &s) == FcResultMatch) m.File = reinterpret_cast<char*>(s);
      if (FcPatternGetString(found, FC_FAMILY, 0, &s) == FcResultMatch) m.Family = reinterpret_cast<char*>(s);
      int idx = 0;
      if (FcPatternGetInteger(found, FC_INDEX, 0, &idx) == FcResultMatch) m.Index = idx;
      int spacing = 0;
      if (FcPatternGetInteger(found, FC_SPACING, 0, &spacing) == FcResultMatch && spacing >= FC_MONO)
        m.Generic = "monospace";
      FcPatternDestroy(found);
    }
    FcPatternDestroy(pat);
    if (m.File.empty()) throw EInvalidGraphicOperation("No font is installed for \"" + name + "\"");
    if (m.Generic.empty()) m.Generic = GenericOf(m.Family);
    FMatches[key] = m;
    return m;
  }

  // The configuration files class the families they know: after substitution, the first
  // generic name in a family's list is its class. An unknown family falls back to
  // sans-serif, as fontconfig's own default does.
  static std::string GenericOf(const std::string& family) {
    static const char* const generics[] = {"serif", "sans-serif", "monospace", "cursive", "fantasy"};
    std::string out;
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcChar8* s = nullptr;
    for (int i = 0; out.empty() && FcPatternGetString(pat, FC_FAMILY, i, &s) == FcResultMatch; ++i)
      for (const char* g : generics)
        if (SameText(reinterpret_cast<char*>(s), g)) out = g;
    FcPatternDestroy(pat);
    return out.empty() ? "sans-serif" : out;
  }

  SizedFace& Sized(const TFont& font) {
    bool bold = font.Style & fsBold, italic = font.Style & fsItalic;
    int h = font.Height() == 0 ? -11 : font.Height();
    auto key = std::make_tuple(LowerCase(font.Name), bold, italic, h);
    auto it = FSized.find(key);
    if (it != FSized.end()) return *it->second;
    TFontMatch m = Match(font.Name.empty() ? std::string("Arial") : font.Name, bold, italic);
    FT_Face face = OpenFace(m);
    int upem = face->units_per_EM ? face->units_per_EM : 2048;
    int asc = face->ascender, desc = -face->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)); os2 && os2->usWinAscent) {
      asc = os2->usWinAscent;
      desc = os2->usWinDescent;
    }
    if (asc + desc <= 0) {
      asc = upem * 9 / 10;
      desc = upem / 5;
    }
    // A negative height is the character (em) height, a positive one the cell height.
    int em = h < 0 ? -h : std::max(1, int(std::lround(double(h) * upem / (asc + desc))));
    em = std::clamp(em, 1, 2000);
    auto sf = std::make_unique<SizedFace>();
    sf->Face = face;
    sf->Em = em;
    sf->Embolden = bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    sf->Oblique = italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    sf->Metrics.Ascent = int(std::lround(double(asc) * em / upem));
    sf->Metrics.Descent = int(std::lround(double(desc) * em / upem));
    auto& ref = *sf;
    FSized[key] = std::move(sf);
    return ref;
  }

  const Glyph& GetGlyph(SizedFace& sf, unsigned cp) {
    auto it = sf.Glyphs.find(cp);
    if (it != sf.Glyphs.end()) return it->second;
    Glyph g;
    FT_Face face = sf.Face;
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(sf.Em));
    FT_UInt gi = FT_Get_Char_Index(face, cp);
    if (FT_Load_Glyph(face, gi, FT_LOAD_DEFAULT) == 0) {
      if (sf.Embolden) FT_GlyphSlot_Embolden(face->glyph);
      if (sf.Oblique) FT_GlyphSlot_Oblique(face->glyph);
      g.Advance = int((face->glyph->advance.x + 32) >> 6);
      RenderCoverage(face->glyph, g);
    }
    return sf.Glyphs.emplace(cp, std::move(g)).first->second;
  }

  // Renders the loaded glyph of the slot and keeps its coverage and its place; a glyph that
  // does not render stays empty.
  template <class G>
  static void RenderCoverage(FT_GlyphSlot slot, G& g) {
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
    const FT_Bitmap& b = slot->bitmap;
    g.Left = slot->bitmap_left;
    g.Top = slot->bitmap_top;
    g.W = int(b.width);
    g.H = int(b.rows);
    g.Coverage.resize(size_t(g.W) * size_t(g.H));
    for (int y = 0; y < g.H; ++y)
      std::memcpy(&g.Coverage[size_t(y) * size_t(g.W)], b.buffer + y * b.pitch, size_t(g.W));
  }

  // The glyph turned by `orientation` tenths of a degree counter-clockwise. The outline is
  // emboldened and slanted upright first and turned after, so a synthetic italic leans
  // along the turned base line.
  const TurnedGlyph& GetTurnedGlyph(SizedFace& sf, unsigned cp, int orientation) {
    auto key = std::make_pair(orientation, cp);
    auto it = sf.Turned.find(key);
    if (it != sf.Turned.end()) return it->second;
    TurnedGlyph g;
    FT_Face face = sf.Face;
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(sf.Em));
    const double a = orientation * M_PI / 1800.0;
    FT_Matrix m;
    m.xx = FT_Fixed(std::lround(std::cos(a) * 65536));
    m.xy = FT_Fixed(std::lround(-std::sin(a) * 65536));
    m.yx = FT_Fixed(std::lround(std::sin(a) * 65536));
    m.yy = FT_Fixed(std::lround(std::cos(a) * 65536));
    FT_UInt gi = FT_Get_Char_Index(face, cp);
    // Unhinted: hinting fits the outline to the upright pixel grid, which a turn undoes.
    if (FT_Load_Glyph(face, gi, FT_LOAD_NO_HINTING) == 0) {
      if (sf.Embolden) FT_GlyphSlot_Embolden(face->glyph);
      if (sf.Oblique) FT_GlyphSlot_Oblique(face->glyph);
      if (face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) FT_Outline_Transform(&face->glyph->outline, &m);
      RenderCoverage(face->glyph, g);
    }
    return sf.Turned.emplace(key, std::move(g)).first->second;
  }

  std::vector<std::string> Families() {
    std::vector<std::string> out;
    FcPattern* pat = FcPatternCreate();
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(nullptr, pat, os);
    if (set) {
      for (int i = 0; i < set->nfont; ++i) {
        FcChar8* s = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &s) == FcResultMatch)
          out.emplace_back(reinterpret_cast<char*>(s));
      }
      FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
  }

 private:
  FontLibrary() {
    if (FT_Init_FreeType(&FLib)) throw EInvalidGraphicOperation("FreeType could not start");
    FcInit();
  }
  FT_Face OpenFace(const TFontMatch& m) {
    auto key = std::make_pair(m.File, m.Index);
    auto it = FFaces.find(key);
    if (it != FFaces.end()) return it->second;
    FT_Face f = nullptr;
    if (FT_New_Face(FLib, m.File.c_str(), m.Index, &f))
      throw EInvalidGraphicOperation("Cannot open the font file " + m.File);
    FFaces[key] = f;
    return f;
  }
  FT_Library FLib = nullptr;
  std::map<std::pair<std::string, int>, FT_Face> FFaces;
  std::map<std::tuple<std::string, bool, bool>, TFontMatch> FMatches;
  std::map<std::tuple<std::string, bool, bool, int>, std::unique_ptr<SizedFace>> FSized;
};

}  // namespace

TFontMatch MatchFont(const std::string& name, bool bold, bool italic) {
  return FontLibrary::Get().Match(name, bold, italic);
}

std::vector<std::string> InstalledFontFamilies() { return FontLibrary::Get().Families(); }

TTextMetrics FontMetrics(const TFont& font) { return FontLibrary::Get().Sized(font).Metrics; }

int MeasureText(const TFont& font, const std::string& text) {
  auto& lib = FontLibrary::Get();
  SizedFace& sf = lib.Sized(font);
  int w = 0;
  for (uint32_t cp : DecodeUtf8OrLatin1(text)) w += lib.GetGlyph(sf, cp).Advance;
  return w;
}

void RenderTextLine(TBitmap& bmp, int x, int y, const std::string& text, const TFont& font,
                    const TRect& clipIn) {
  TRect clip;
  if (!IntersectRect(clip, clipIn, Rect(0, 0, bmp.Width(), bmp.Height()))) return;
  auto& lib = FontLibrary::Get();
  SizedFace& sf = lib.Sized(font);
  TColor c = ColorToRGB(font.Color);
  const int cr = GetRValue(c), cg = GetGValue(c), cb = GetBValue(c);
  bool fast = bmp.PixelFormat() == pf32bit;
  auto blend = [&](int px, int py, int a) {
    if (a <= 0 || px < clip.Left || py < clip.Top || px >= clip.Right || py >= clip.Bottom) return;
    if (fast) {
      uint8_t* p = bmp.ScanLine(py) + 4 * px;
      p[0] = uint8_t((cb * a + p[0] * (255 - a) + 127) / 255);
      p[1] = uint8_t((cg * a + p[1] * (255 - a) + 127) / 255);
      p[2] = uint8_t((cr * a + p[2] * (255 - a) + 127) / 255);
      p[3] = 0;
    } else {
      TColor d = bmp.GetPixelColor(px, py);
      bmp.SetPixelColor(px, py,
                        RGB(uint8_t((cr * a + GetRValue(d) * (255 - a) + 127) / 255),
                            uint8_t((cg * a + GetGValue(d) * (255 - a) + 127) / 255),
                            uint8_t((cb * a + GetBValue(d) * (255 - a) + 127) / 255)));
    }
  };
  const int orientation = (font.Orientation % 3600 + 3600) % 3600;
  if (orientation != 0) {
    // Screen directions of the turned base line and of "down" across it.
    const double a = orientation * M_PI / 1800.0, dx = std::cos(a), dy = -std::sin(a);
    const double downX = -dy, downY = dx;
    // The pen on the base line in 1/64 pixels (screen axes, y down).
    double penX = (x + sf.Metrics.Ascent * downX) * 64, penY = (y + sf.Metrics.Ascent * downY) * 64;
    const double startX = penX, startY = penY;
    for (uint32_t cp : DecodeUtf8OrLatin1(text)) {
      const TurnedGlyph& g = lib.GetTurnedGlyph(sf, cp, orientation);
      const int gx = int(std::lround(penX / 64)) + g.Left, gy = int(std::lround(penY / 64)) - g.Top;
      for (int j = 0; j < g.H; ++j)
        for (int i = 0; i < g.W; ++i) blend(gx + i, gy + j, g.Coverage[size_t(j) * size_t(g.W) + size_t(i)]);
      // The upright advance, turned: the run is as long as TextWidth says, at any angle.
      const int advance = lib.GetGlyph(sf, cp).Advance;
      penX += advance * dx * 64;
      penY += advance * dy * 64;
    }
    const double length = std::hypot(penX - startX, penY - startY) / 64;
    const int thick = std::max(1, sf.Em / 14);
    auto bar = [&](int offset) {
      // Sampled at half-pixel steps along and across, so that no hole opens at any angle.
      for (int j = 0; j < 2 * thick; ++j)
        for (int t = 0; t < int(2 * length); ++t) {
          const double along = t / 2.0, across = offset + j / 2.0;
          blend(int(std::floor(startX / 64 + along * dx + across * downX)),
                int(std::floor(startY / 64 + along * dy + across * downY)), 255);
        }
    };
    if (font.Style & fsUnderline) bar(std::max(1, sf.Metrics.Descent / 3));
    if (font.Style & fsStrikeOut) bar(-sf.Metrics.Ascent * 3 / 10);
    return;
  }
  int baseline = y + sf.Metrics.Ascent;
  int pen = x;
  for (uint32_t cp : DecodeUtf8OrLatin1(text)) {
    const Glyph& g = lib.GetGlyph(sf, cp);
    int gx = pen + g.Left, gy = baseline - g.Top;
    for (int j = 0; j < g.H; ++j)
      for (int i = 0; i < g.W; ++i) blend(gx + i, gy + j, g.Coverage[size_t(j) * size_t(g.W) + size_t(i)]);
    pen += g.Advance;
  }
  int thick = std::max(1, sf.Em / 14);
  auto bar = [&](int top) {
    for (int j = 0; j < thick; ++j)
      for (int i = x; i < pen; ++i) blend(i, top + j, 255);
  };
  if (font.Style & fsUnderline) bar(baseline + std::max(1, sf.Metrics.Descent / 3));
  if (font.Style & fsStrikeOut) bar(baseline - sf.Metrics.Ascent * 3 / 10);
}
