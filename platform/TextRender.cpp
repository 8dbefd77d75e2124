#include "platform/TextRender.h"

#include <fontconfig/fontconfig.h>
#include <fribidi.h>
#include <ft2build.h>
#include <hb-ft.h>
#include <hb.h>
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

// A Tab advances as this many spaces, as the built page writes it.
constexpr int kTabSpaces = 8;

// Letters stand at their own advances, unkerned, as the system's DrawText lays them: a
// caption's lines, and so the wrapped height that decides whether the page shows it as text,
// are what they were before shaping. Every other feature of the script is applied.
constexpr hb_feature_t kUnkerned = {HB_TAG('k', 'e', 'r', 'n'), 0, 0, ~0u};

// The glyphs of the lines kept laid out, per font.
constexpr size_t kLayoutGlyphs = 1 << 18;
// The bytes of drawn glyphs kept, over every face and size: a caption of a few hundred
// letters at the largest size would otherwise keep gigabytes.
constexpr size_t kGlyphBytes = size_t(64) << 20;

struct Glyph {
  int Left = 0, Top = 0;  // bitmap offset from the pen position on the baseline
  int W = 0, H = 0;
  int Embolden26 = 0;  // what synthetic bold adds to the advance, in 1/64 pixels
  std::vector<uint8_t> Coverage;
};

// A glyph drawn along a turned base line.
struct TurnedGlyph {
  int Left = 0, Top = 0;
  int W = 0, H = 0;
  std::vector<uint8_t> Coverage;
};

// One face at one size.
struct SizedFace {
  FT_Face Face = nullptr;
  hb_font_t* Shaper = nullptr;
  int Em = 0;
  bool Embolden = false, Oblique = false;
  TTextMetrics Metrics;
  // No glyph of the face paints farther than this from its pen position on the base line,
  // across or along it (the face's bounding box, with room for synthetic bold and slant).
  int Reach = 0;
  std::map<unsigned, int> Embolden26;                      // by glyph index, with Embolden
  std::map<unsigned, Glyph> Glyphs;                        // by glyph index
  std::map<std::pair<int, unsigned>, TurnedGlyph> Turned;  // by orientation and glyph index
  ~SizedFace() {
    if (Shaper) hb_font_destroy(Shaper);
  }
};

// One of fontconfig's sorted matches for a name.
struct Candidate {
  TFontMatch Match;
  std::vector<std::string> Families;  // every name the face goes by
  FcCharSet* Charset = nullptr;
  bool Mono = false;
  bool FcSymbol = false;
  int Symbol = -1;  // -1 not yet known
};

// The sorted matches of one name, weight and slant.
struct FaceList {
  std::string Name;
  bool Bold = false, Italic = false;
  std::vector<Candidate> Faces;
  int Primary = -1;
  std::map<uint32_t, int> ByChar;  // the face each character goes to
  ~FaceList() {
    for (auto& c : Faces)
      if (c.Charset) FcCharSetDestroy(c.Charset);
  }
};

// A glyph placed on a line: its face, index and origin in 1/64 pixels from the line's start
// on the base line (y up).
struct PlacedGlyph {
  SizedFace* Face = nullptr;
  unsigned Index = 0;
  int32_t X = 0, Y = 0;
};

struct LineLayout {
  std::vector<PlacedGlyph> Glyphs;
  std::vector<TGlyphRun> Runs;
  int Width = 0;
};

// Characters that belong to the face of the character before them when it holds them:
// combining marks, joiners and variation selectors.
bool SticksToPrevious(uint32_t cp) {
  if (cp == 0x200C || cp == 0x200D || (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0xE0100 && cp <= 0xE01EF))
    return true;
  const hb_unicode_general_category_t gc = hb_unicode_general_category(hb_unicode_funcs_get_default(), cp);
  return gc == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK ||
         gc == HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK || gc == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK;
}

// A glyph name is the letter's own when it is the letter, a variant of it ("a.sc") or its
// code point's name ("uni0061", "u0061").
bool NamesLetter(const char* name, uint32_t cp) {
  const std::string n = name, letter(1, char(cp));
  char uni[16];
  std::snprintf(uni, sizeof uni, "uni%04X", unsigned(cp));
  char u[16];
  std::snprintf(u, sizeof u, "u%04X", unsigned(cp));
  return n == letter || n.rfind(letter + ".", 0) == 0 || n.rfind(letter + "_", 0) == 0 || n == uni || n == u;
}

}  // namespace

namespace {

class FontLibrary {
 public:
  static FontLibrary& Get() {
    static FontLibrary lib;
    return lib;
  }
  ~FontLibrary() {
    if (FBuffer) hb_buffer_destroy(FBuffer);
    FFonts.clear();
    FSized.clear();
    FLists.clear();
    for (auto& [k, f] : FFaces)
      if (f) FT_Done_Face(f);
    if (FLib) FT_Done_FreeType(FLib);
    FcFini();  // releases fontconfig's own caches, which a leak checker would report
  }

  // fontconfig's matches for the name, best first, each with the characters it holds. The
  // list is not trimmed: a face that adds nothing to the faces before it may still be the
  // first text face for a character that only a symbol face before it claims.
  FaceList& List(const std::string& nameIn, bool bold, bool italic) {
    const std::string name = nameIn.empty() ? std::string("Arial") : nameIn;
    auto key = std::make_tuple(LowerCase(name), bold, italic);
    auto it = FLists.find(key);
    if (it != FLists.end()) return *it->second;
    auto list = std::make_unique<FaceList>();
    list->Name = name;
    list->Bold = bold;
    list->Italic = italic;
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res;
    FcFontSet* set = FcFontSort(nullptr, pat, FcFalse, nullptr, &res);
    if (set) {
      for (int i = 0; i < set->nfont; ++i) {
        FcPattern* f = set->fonts[i];
        Candidate c;
        FcChar8* s = nullptr;
        if (FcPatternGetString(f, FC_FILE, 0, &s) != FcResultMatch) continue;
        c.Match.File = reinterpret_cast<char*>(s);
        for (int j = 0; FcPatternGetString(f, FC_FAMILY, j, &s) == FcResultMatch; ++j)
          c.Families.emplace_back(reinterpret_cast<char*>(s));
        if (!c.Families.empty()) c.Match.Family = c.Families[0];
        int idx = 0;
        if (FcPatternGetInteger(f, FC_INDEX, 0, &idx) == FcResultMatch) c.Match.Index = idx;
        int spacing = 0;
        c.Mono = FcPatternGetInteger(f, FC_SPACING, 0, &spacing) == FcResultMatch && spacing >= FC_MONO;
        FcBool symbol = FcFalse;
        c.FcSymbol = FcPatternGetBool(f, FC_SYMBOL, 0, &symbol) == FcResultMatch && symbol;
        FcCharSet* cs = nullptr;
        if (FcPatternGetCharSet(f, FC_CHARSET, 0, &cs) == FcResultMatch && cs) c.Charset = FcCharSetCopy(cs);
        if (!c.Charset) continue;
        list->Faces.push_back(std::move(c));
      }
      FcFontSetDestroy(set);
    }
    FcPatternDestroy(pat);
    for (int i = 0; i < int(list->Faces.size()) && list->Primary < 0; ++i)
      if (Eligible(*list, i)) list->Primary = i;
    if (list->Primary < 0) throw EInvalidGraphicOperation("No font is installed for \"" + name + "\"");
    Candidate& p = list->Faces[size_t(list->Primary)];
    p.Match.Generic = p.Mono ? "monospace" : GenericOf(p.Match.Family);
    auto& ref = *list;
    FLists[key] = std::move(list);
    return ref;
  }

  TFontMatch Match(const std::string& name, bool bold, bool italic) {
    FaceList& l = List(name, bold, italic);
    return l.Faces[size_t(l.Primary)].Match;
  }

  // The face that draws a character: the first text face that holds it (or the symbol face
  // the name names); the name's face when none does, which then draws its missing glyph.
  int FaceFor(FaceList& l, uint32_t cp) {
    auto it = l.ByChar.find(cp);
    if (it != l.ByChar.end()) return it->second;
    int chosen = l.Primary;
    if (cp >= 0x20 && !(cp >= 0x7F && cp < 0xA0)) {
      for (int i = 0; i < int(l.Faces.size()); ++i)
        if (FcCharSetHasChar(l.Faces[size_t(i)].Charset, cp) && Eligible(l, i)) {
          chosen = i;
          break;
        }
    }
    if (l.ByChar.size() > 65536) l.ByChar.clear();
    l.ByChar[cp] = chosen;
    return chosen;
  }

  bool Holds(FaceList& l, int face, uint32_t cp) {
    return FcCharSetHasChar(l.Faces[size_t(face)].Charset, cp);
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

  // A font of the canvas: its face list, its size in pixels per em and the name's face at
  // that size, which gives the line its metrics.
  struct Font {
    FaceList* List = nullptr;
    int Em = 0;
    SizedFace* Primary = nullptr;
    std::map<int, SizedFace*> Faces;  // by candidate
    std::map<std::string, std::shared_ptr<const LineLayout>> Layouts;
    size_t LayoutGlyphs = 0;  // the glyphs of the kept layouts
  };

  Font& FontOf(const TFont& font) {
    const bool bold = font.Style & fsBold, italic = font.Style & fsItalic;
    const int h = font.Height() == 0 ? -11 : font.Height();
    auto key = std::make_tuple(LowerCase(font.Name), bold, italic, h);
    auto it = FFonts.find(key);
    if (it != FFonts.end()) return *it->second;
    FaceList& list = List(font.Name, bold, italic);
    const TFontMatch& m = list.Faces[size_t(list.Primary)].Match;
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
    auto f = std::make_unique<Font>();
    f->List = &list;
    f->Em = em;
    f->Primary = &Sized(list, list.Primary, em);
    f->Primary->Metrics.Ascent = int(std::lround(double(asc) * em / upem));
    f->Primary->Metrics.Descent = int(std::lround(double(desc) * em / upem));
    f->Faces[list.Primary] = f->Primary;
    auto& ref = *f;
    FFonts[key] = std::move(f);
    return ref;
  }

  SizedFace& FaceOf(Font& f, int candidate) {
    auto it = f.Faces.find(candidate);
    if (it != f.Faces.end()) return *it->second;
    SizedFace& sf = Sized(*f.List, candidate, f.Em);
    f.Faces[candidate] = &sf;
    return sf;
  }

  // Sets the shared FreeType face to the size's em before a glyph is loaded or shaped.
  static void Activate(SizedFace& sf) {
    if (sf.Face->size && sf.Face->size->metrics.x_ppem == sf.Em && sf.Face->size->metrics.y_ppem == sf.Em)
      return;
    FT_Set_Pixel_Sizes(sf.Face, 0, FT_UInt(sf.Em));
  }

  // What synthetic bold adds to a glyph's advance, from its outline: nothing is drawn.
  int EmboldenAdvance(SizedFace& sf, unsigned gi) {
    auto it = sf.Embolden26.find(gi);
    if (it != sf.Embolden26.end()) return it->second;
    int add = 0;
    Activate(sf);
    if (FT_Load_Glyph(sf.Face, gi, FT_LOAD_DEFAULT) == 0) {
      const FT_Pos plain = sf.Face->glyph->advance.x;
      FT_GlyphSlot_Embolden(sf.Face->glyph);
      add = int(sf.Face->glyph->advance.x - plain);
    }
    if (sf.Embolden26.size() > 65536) sf.Embolden26.clear();
    return sf.Embolden26[gi] = add;
  }

  // Drawn glyphs are kept up to kGlyphBytes; past it every face's are dropped and drawn again
  // when next needed. A reference from GetGlyph lasts until the next call.
  void KeepGlyphBytes(size_t bytes) {
    if (FGlyphBytes + bytes > kGlyphBytes) {
      for (auto& [key, sized] : FSized) {
        sized->Glyphs.clear();
        sized->Turned.clear();
      }
      FGlyphBytes = 0;
    }
    FGlyphBytes += bytes;
  }

  const Glyph& GetGlyph(SizedFace& sf, unsigned gi) {
    auto it = sf.Glyphs.find(gi);
    if (it != sf.Glyphs.end()) return it->second;
    Glyph g;
    FT_Face face = sf.Face;
    Activate(sf);
    if (FT_Load_Glyph(face, gi, FT_LOAD_DEFAULT) == 0) {
      const FT_Pos plain = face->glyph->advance.x;
      if (sf.Embolden) FT_GlyphSlot_Embolden(face->glyph);
      if (sf.Oblique) FT_GlyphSlot_Oblique(face->glyph);
      g.Embolden26 = int(face->glyph->advance.x - plain);
      RenderCoverage(face->glyph, g);
    }
    KeepGlyphBytes(g.Coverage.size() + sizeof(Glyph));
    return sf.Glyphs.emplace(gi, std::move(g)).first->second;
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
  const TurnedGlyph& GetTurnedGlyph(SizedFace& sf, unsigned gi, int orientation) {
    auto key = std::make_pair(orientation, gi);
    auto it = sf.Turned.find(key);
    if (it != sf.Turned.end()) return it->second;
    TurnedGlyph g;
    FT_Face face = sf.Face;
    Activate(sf);
    const double a = orientation * M_PI / 1800.0;
    FT_Matrix m;
    m.xx = FT_Fixed(std::lround(std::cos(a) * 65536));
    m.xy = FT_Fixed(std::lround(-std::sin(a) * 65536));
    m.yx = FT_Fixed(std::lround(std::sin(a) * 65536));
    m.yy = FT_Fixed(std::lround(std::cos(a) * 65536));
    // Unhinted: hinting fits the outline to the upright pixel grid, which a turn undoes.
    if (FT_Load_Glyph(face, gi, FT_LOAD_NO_HINTING) == 0) {
      if (sf.Embolden) FT_GlyphSlot_Embolden(face->glyph);
      if (sf.Oblique) FT_GlyphSlot_Oblique(face->glyph);
      if (face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) FT_Outline_Transform(&face->glyph->outline, &m);
      RenderCoverage(face->glyph, g);
    }
    KeepGlyphBytes(g.Coverage.size() + sizeof(TurnedGlyph));
    return sf.Turned.emplace(key, std::move(g)).first->second;
  }

  std::shared_ptr<const LineLayout> Layout(const TFont& font, const std::string& text);
  // The faces a text needs, the name's face first.
  std::vector<TFontMatch> FacesFor(const TFont& font, const std::string& text);

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

  // A face may serve a name when it is a text face, or the symbol face the name names.
  bool Eligible(FaceList& l, int i) {
    Candidate& c = l.Faces[size_t(i)];
    if (!IsSymbol(c)) return true;
    if (c.Symbol == 2) return false;  // a file FreeType cannot open serves nothing
    for (const std::string& f : c.Families)
      if (SameText(f, l.Name)) return true;
    return false;
  }

  // A symbol face puts pictures or another alphabet where the letters are: fontconfig says so
  // for a face of the symbol encoding, and a PostScript face of its own encoding that has no
  // "A" and "a", or has glyphs of other names there (the dingbat and symbol faces of the
  // PostScript set, which map the letters to their pictures), is one too.
  bool IsSymbol(Candidate& c) {
    if (c.Symbol >= 0) return c.Symbol != 0;
    c.Symbol = c.FcSymbol ? 1 : 0;
    if (!c.Symbol) {
      FT_Face f = nullptr;
      try {
        f = OpenFace(c.Match);
      } catch (const std::exception&) {
        c.Symbol = 2;
        return true;
      }
      bool ownEncoding = false;
      for (int i = 0; i < f->num_charmaps; ++i) {
        const FT_Encoding e = f->charmaps[i]->encoding;
        if (e == FT_ENCODING_MS_SYMBOL) c.Symbol = 1;
        if (e == FT_ENCODING_ADOBE_CUSTOM) ownEncoding = true;
      }
      if (!c.Symbol && ownEncoding && FT_HAS_GLYPH_NAMES(f)) {
        int foreign = 0, letters = 0;
        for (uint32_t cp : {uint32_t('A'), uint32_t('a')}) {
          const FT_UInt gi = FT_Get_Char_Index(f, cp);
          char name[64] = {0};
          if (!gi || FT_Get_Glyph_Name(f, gi, name, sizeof name) != 0) continue;
          ++letters;
          if (!NamesLetter(name, cp)) ++foreign;
        }
        if (foreign == letters) c.Symbol = 1;
      }
    }
    return c.Symbol != 0;
  }

  FT_Face OpenFace(const TFontMatch& m) {
    auto key = std::make_pair(m.File, m.Index);
    auto it = FFaces.find(key);
    if (it != FFaces.end()) {
      if (!it->second) throw EInvalidGraphicOperation("Cannot open the font file " + m.File);
      return it->second;
    }
    FT_Face f = nullptr;
    if (FT_New_Face(FLib, m.File.c_str(), m.Index, &f)) {
      FFaces[key] = nullptr;
      throw EInvalidGraphicOperation("Cannot open the font file " + m.File);
    }
    FFaces[key] = f;
    return f;
  }

  SizedFace& Sized(FaceList& l, int candidate, int em) {
    const TFontMatch& m = l.Faces[size_t(candidate)].Match;
    auto key = std::make_tuple(m.File, m.Index, em, l.Bold, l.Italic);
    auto it = FSized.find(key);
    if (it != FSized.end()) return *it->second;
    FT_Face face = OpenFace(m);
    auto sf = std::make_unique<SizedFace>();
    sf->Face = face;
    sf->Em = em;
    sf->Embolden = l.Bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    sf->Oblique = l.Italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    Activate(*sf);
    sf->Shaper = hb_ft_font_create(face, nullptr);
    // Hinted advances, as the glyphs are drawn.
    hb_ft_font_set_load_flags(sf->Shaper, FT_LOAD_DEFAULT);
    const int upem = face->units_per_EM ? face->units_per_EM : 2048;
    sf->Metrics.Ascent = int(std::lround(double(face->ascender) * em / upem));
    sf->Metrics.Descent = int(std::lround(double(-face->descender) * em / upem));
    const FT_BBox& box = face->bbox;
    const double extent = std::max({std::abs(double(box.xMin)), std::abs(double(box.xMax)),
                                    std::abs(double(box.yMin)), std::abs(double(box.yMax)), double(upem)});
    sf->Reach = int(std::ceil(extent * em / upem)) + em / 2 + 2;
    auto& ref = *sf;
    FSized[key] = std::move(sf);
    return ref;
  }

  FT_Library FLib = nullptr;
  std::map<std::pair<std::string, int>, FT_Face> FFaces;
  std::map<std::tuple<std::string, bool, bool>, std::unique_ptr<FaceList>> FLists;
  std::map<std::tuple<std::string, int, int, bool, bool>, std::unique_ptr<SizedFace>> FSized;
  std::map<std::tuple<std::string, bool, bool, int>, std::unique_ptr<Font>> FFonts;
  hb_buffer_t* FBuffer = nullptr;
  size_t FGlyphBytes = 0;
};

void AppendUtf8(std::string& s, uint32_t cp) {
  if (cp < 0x80) {
    s += char(cp);
  } else if (cp < 0x800) {
    s += char(0xC0 | (cp >> 6));
    s += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += char(0xE0 | (cp >> 12));
    s += char(0x80 | ((cp >> 6) & 0x3F));
    s += char(0x80 | (cp & 0x3F));
  } else {
    s += char(0xF0 | (cp >> 18));
    s += char(0x80 | ((cp >> 12) & 0x3F));
    s += char(0x80 | ((cp >> 6) & 0x3F));
    s += char(0x80 | (cp & 0x3F));
  }
}

// The characters of a line as they are shaped: a Tab is a space that advances as so many
// (a run of spaces takes one face, script and level whatever its length, so one stands for
// them all). `tabs`, when given, marks the Tabs.
std::vector<uint32_t> ShapedCharacters(const std::string& text, std::vector<bool>* tabs = nullptr) {
  std::vector<uint32_t> cps = DecodeUtf8OrLatin1(text);
  if (tabs) tabs->assign(cps.size(), false);
  for (size_t i = 0; i < cps.size(); ++i)
    if (cps[i] == '\t') {
      cps[i] = ' ';
      if (tabs) (*tabs)[i] = true;
    }
  return cps;
}

std::vector<TFontMatch> FontLibrary::FacesFor(const TFont& font, const std::string& text) {
  FaceList& l = List(font.Name, font.Style & fsBold, font.Style & fsItalic);
  std::vector<int> used{l.Primary};
  int prev = l.Primary;
  for (uint32_t cp : ShapedCharacters(text)) {
    if (cp == '\r' || cp == '\n') continue;
    const int face = SticksToPrevious(cp) && Holds(l, prev, cp) ? prev : FaceFor(l, cp);
    if (std::find(used.begin(), used.end(), face) == used.end()) used.push_back(face);
    prev = face;
  }
  std::vector<TFontMatch> out;
  for (int i : used) {
    TFontMatch& m = l.Faces[size_t(i)].Match;
    if (m.Generic.empty()) m.Generic = l.Faces[size_t(i)].Mono ? "monospace" : GenericOf(m.Family);
    out.push_back(m);
  }
  return out;
}

// A line in the order it is read, cut into items of one face, script and bidirectional
// level, each shaped by HarfBuzz with the whole line as its context (so that Arabic joins
// across a change of face), then the items put in the order they are seen by the levels
// FriBidi resolves, with the paragraph read left to right as the page shows it.
std::shared_ptr<const LineLayout> FontLibrary::Layout(const TFont& font, const std::string& text) {
  Font& f = FontOf(font);
  auto cached = f.Layouts.find(text);
  if (cached != f.Layouts.end()) return cached->second;
  auto out = std::make_shared<LineLayout>();
  std::vector<bool> tab;
  const std::vector<uint32_t> cps = ShapedCharacters(text, &tab);
  const int n = int(cps.size());
  if (n > 0) {
    FaceList& l = *f.List;
    std::vector<int> face(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
      face[size_t(i)] =
          i > 0 && SticksToPrevious(cps[size_t(i)]) && Holds(l, face[size_t(i) - 1], cps[size_t(i)])
              ? face[size_t(i) - 1]
              : FaceFor(l, cps[size_t(i)]);

    static_assert(sizeof(FriBidiChar) == sizeof(uint32_t));
    const auto* str = reinterpret_cast<const FriBidiChar*>(cps.data());
    std::vector<FriBidiCharType> types(static_cast<size_t>(n));
    std::vector<FriBidiBracketType> brackets(static_cast<size_t>(n));
    std::vector<FriBidiLevel> levels(size_t(n), 0);
    fribidi_get_bidi_types(str, n, types.data());
    fribidi_get_bracket_types(str, n, types.data(), brackets.data());
    FriBidiParType base = FRIBIDI_PAR_LTR;
    if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), n, &base, levels.data()) == 0)
      std::fill(levels.begin(), levels.end(), FriBidiLevel(0));
    else
      // Rule L1: blanks at the line's end and before a separator take the paragraph's level.
      (void)!fribidi_reorder_line(0, types.data(), n, 0, base, levels.data(), nullptr, nullptr);

    // Spaces, digits and marks belong to the script around them.
    hb_unicode_funcs_t* uf = hb_unicode_funcs_get_default();
    std::vector<hb_script_t> script(static_cast<size_t>(n));
    hb_script_t last = HB_SCRIPT_INVALID, first = HB_SCRIPT_INVALID;
    for (int i = 0; i < n; ++i) {
      hb_script_t s = hb_unicode_script(uf, cps[size_t(i)]);
      if (s == HB_SCRIPT_COMMON || s == HB_SCRIPT_INHERITED || s == HB_SCRIPT_UNKNOWN) s = last;
      else last = s;
      if (first == HB_SCRIPT_INVALID) first = s;
      script[size_t(i)] = s;
    }
    for (auto& s : script)
      if (s == HB_SCRIPT_INVALID) s = first == HB_SCRIPT_INVALID ? HB_SCRIPT_COMMON : first;

    struct Item {
      int Start = 0, Len = 0, Face = 0;
      FriBidiLevel Level = 0;
      hb_script_t Script = HB_SCRIPT_COMMON;
    };
    std::vector<Item> items;
    for (int i = 0; i < n; ++i) {
      const size_t k = size_t(i);
      if (!items.empty() && items.back().Face == face[k] && items.back().Level == levels[k] &&
          items.back().Script == script[k]) {
        ++items.back().Len;
        continue;
      }
      items.push_back(Item{i, 1, face[k], levels[k], script[k]});
    }

    // Rule L2: from the highest level down to the lowest odd one, every stretch of items at
    // that level or higher is reversed.
    std::vector<size_t> order(items.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    FriBidiLevel top = 0, lowestOdd = 255;
    for (const Item& it : items) {
      top = std::max(top, it.Level);
      if (it.Level % 2) lowestOdd = std::min(lowestOdd, it.Level);
    }
    for (int level = top; level >= lowestOdd && level > 0; --level)
      for (size_t i = 0; i < order.size();) {
        if (items[order[i]].Level < level) {
          ++i;
          continue;
        }
        size_t j = i;
        while (j < order.size() && items[order[j]].Level >= level) ++j;
        std::reverse(order.begin() + long(i), order.begin() + long(j));
        i = j;
      }

    if (!FBuffer) FBuffer = hb_buffer_create();
    int64_t pen = 0;
    for (size_t o : order) {
      const Item& it = items[o];
      SizedFace& sf = FaceOf(f, it.Face);
      Activate(sf);
      hb_buffer_clear_contents(FBuffer);
      hb_buffer_add_utf32(FBuffer, cps.data(), n, unsigned(it.Start), it.Len);
      hb_buffer_set_direction(FBuffer, it.Level % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
      hb_buffer_set_script(FBuffer, it.Script);
      hb_buffer_set_language(FBuffer, hb_language_get_default());
      hb_shape(sf.Shaper, FBuffer, &kUnkerned, 1);
      hb_codepoint_t space = 0;
      hb_font_get_nominal_glyph(sf.Shaper, ' ', &space);
      unsigned count = 0;
      const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(FBuffer, &count);
      const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(FBuffer, &count);
      TGlyphRun run;
      run.Face = l.Faces[size_t(it.Face)].Match;
      run.RightToLeft = it.Level % 2;
      for (int i = it.Start; i < it.Start + it.Len; ++i) {
        if (tab[size_t(i)]) run.Text.append(kTabSpaces, ' ');
        else AppendUtf8(run.Text, cps[size_t(i)]);
      }
      run.Left = int((pen + 32) >> 6);
      for (unsigned g = 0; g < count; ++g) {
        int32_t advance = pos[g].x_advance;
        if (sf.Embolden && advance != 0) advance += EmboldenAdvance(sf, info[g].codepoint);
        // A Tab's space stands for several; a space draws nothing, so one glyph is placed for
        // them all unless the face draws something for it. Marks on the Tab share its cluster
        // and stay single, on its last space.
        const int times = info[g].cluster < tab.size() && tab[info[g].cluster] && info[g].codepoint == space
                              ? kTabSpaces
                              : 1;
        const bool blank = times > 1 && GetGlyph(sf, info[g].codepoint).W == 0;
        for (int t = 0; t < times; ++t) {
          if (t == 0 || !blank)
            out->Glyphs.push_back(
                PlacedGlyph{&sf, info[g].codepoint, int32_t(pen + pos[g].x_offset), pos[g].y_offset});
          run.Glyphs.push_back(info[g].codepoint);
          pen += advance;
        }
      }
      out->Runs.push_back(std::move(run));
    }
    out->Width = int((std::max<int64_t>(pen, 0) + 32) >> 6);
  }
  // Wrapping measures each line as it grows, so a caption asks for the same lines again on
  // every redraw; a bound on the glyphs kept keeps a long text area from costing much.
  if (f.Layouts.size() >= 1024 || f.LayoutGlyphs + out->Glyphs.size() > kLayoutGlyphs) {
    f.Layouts.clear();
    f.LayoutGlyphs = 0;
  }
  f.LayoutGlyphs += out->Glyphs.size();
  f.Layouts[text] = out;
  return out;
}

}  // namespace

TFontMatch MatchFont(const std::string& name, bool bold, bool italic) {
  return FontLibrary::Get().Match(name, bold, italic);
}

std::vector<TFontMatch> FacesForText(const TFont& font, const std::string& text) {
  return FontLibrary::Get().FacesFor(font, text);
}

std::vector<std::string> InstalledFontFamilies() { return FontLibrary::Get().Families(); }

TTextMetrics FontMetrics(const TFont& font) { return FontLibrary::Get().FontOf(font).Primary->Metrics; }

int MeasureText(const TFont& font, const std::string& text) {
  return FontLibrary::Get().Layout(font, text)->Width;
}

std::vector<TGlyphRun> ShapeTextLine(const TFont& font, const std::string& text) {
  return FontLibrary::Get().Layout(font, text)->Runs;
}

void RenderTextLine(TBitmap& bmp, int x, int y, const std::string& text, const TFont& font,
                    const TRect& clipIn) {
  TRect clip;
  if (!IntersectRect(clip, clipIn, Rect(0, 0, bmp.Width(), bmp.Height()))) return;
  auto& lib = FontLibrary::Get();
  const TTextMetrics metrics = lib.FontOf(font).Primary->Metrics;
  const std::shared_ptr<const LineLayout> layout = lib.Layout(font, text);
  const int em = lib.FontOf(font).Em;
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
  const int thick = std::max(1, em / 14);
  const int orientation = (font.Orientation % 3600 + 3600) % 3600;
  if (orientation != 0) {
    // Screen directions of the turned base line and of "down" across it.
    const double a = orientation * M_PI / 1800.0, dx = std::cos(a), dy = -std::sin(a);
    const double downX = -dy, downY = dx;
    // The start of the base line (screen axes, y down).
    const double startX = x + metrics.Ascent * downX, startY = y + metrics.Ascent * downY;
    for (const PlacedGlyph& pg : layout->Glyphs) {
      const double along = pg.X / 64.0, up = pg.Y / 64.0;
      const double ox = startX + along * dx - up * downX, oy = startY + along * dy - up * downY;
      // A glyph that cannot reach the clip is not drawn (its turned box: the reach each way).
      const double reach = 1.5 * pg.Face->Reach;
      if (ox + reach < clip.Left || ox - reach > clip.Right || oy + reach < clip.Top ||
          oy - reach > clip.Bottom)
        continue;
      const TurnedGlyph& g = lib.GetTurnedGlyph(*pg.Face, pg.Index, orientation);
      const int gx = int(std::lround(ox)) + g.Left, gy = int(std::lround(oy)) - g.Top;
      for (int j = 0; j < g.H; ++j)
        for (int i = 0; i < g.W; ++i) blend(gx + i, gy + j, g.Coverage[size_t(j) * size_t(g.W) + size_t(i)]);
    }
    // The run is as long as TextWidth says, at any angle.
    const double length = layout->Width;
    auto bar = [&](int offset) {
      // Sampled at half-pixel steps along and across, so that no hole opens at any angle.
      for (int j = 0; j < 2 * thick; ++j)
        for (int t = 0; t < int(2 * length); ++t) {
          const double along = t / 2.0, across = offset + j / 2.0;
          blend(int(std::floor(startX + along * dx + across * downX)),
                int(std::floor(startY + along * dy + across * downY)), 255);
        }
    };
    if (font.Style & fsUnderline) bar(std::max(1, metrics.Descent / 3));
    if (font.Style & fsStrikeOut) bar(-metrics.Ascent * 3 / 10);
    return;
  }
  const int baseline = y + metrics.Ascent;
  for (const PlacedGlyph& pg : layout->Glyphs) {
    // A glyph that cannot reach the clip is neither drawn nor kept: a long caption, or one of
    // the largest size, costs what shows of it.
    const int px = x + int((pg.X + 32) >> 6), py = baseline - int((pg.Y + 32) >> 6);
    const int reach = pg.Face->Reach;
    if (px + reach <= clip.Left || px - reach >= clip.Right || py + reach <= clip.Top ||
        py - reach >= clip.Bottom)
      continue;
    const Glyph& g = lib.GetGlyph(*pg.Face, pg.Index);
    const int gx = px + g.Left, gy = py - g.Top;
    // Only the part of the glyph inside the clip is visited: a long caption drawn into a
    // small part of its box costs that part.
    const int i0 = std::max(0, clip.Left - gx), i1 = std::min(g.W, clip.Right - gx);
    const int j0 = std::max(0, clip.Top - gy), j1 = std::min(g.H, clip.Bottom - gy);
    for (int j = j0; j < j1; ++j)
      for (int i = i0; i < i1; ++i) blend(gx + i, gy + j, g.Coverage[size_t(j) * size_t(g.W) + size_t(i)]);
  }
  const int end = std::min(x + layout->Width, clip.Right);
  auto bar = [&](int top) {
    for (int j = 0; j < thick; ++j)
      for (int i = std::max(x, clip.Left); i < end; ++i) blend(i, top + j, 255);
  };
  if (font.Style & fsUnderline) bar(baseline + std::max(1, metrics.Descent / 3));
  if (font.Style & fsStrikeOut) bar(baseline - metrics.Ascent * 3 / 10);
}
