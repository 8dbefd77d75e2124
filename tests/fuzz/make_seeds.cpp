// Writes the seed corpus of every fuzz target into FOLDER/<target>/: small pictures in every
// depth each format writes, saved by the program's own writers; the GIF files the GIF tests
// are made of; the shipped projects, settings, tips and keyword sets; stream records of the
// bitmap compressor and the property store. scripts/fuzz adds the files that the test
// fixture scripts make with ImageMagick and netpbm.
#include <cstdio>
#include <filesystem>
#include <functional>

#include "POP/PopFastINI.h"
#include "engine/TBitmapCompressor.h"
#include "engine/XImage.h"
#include "engine/XObject.h"
#include "engine/XZLMButton.h"
#include "engine/XZLMButtonStyle.h"
#include "imageformats/ImgFmt.h"
#include "platform/ImageLimits.h"
#include "platform/JpegImage.h"
#include "platform/SysUtils.h"
#include "tests/gif/GifFixtures.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/MetafileBuilder.h"

namespace fs = std::filesystem;

namespace {

std::string gOut;

std::string Dir(const std::string& target) {
  std::string d = gOut + "/" + target;
  fs::create_directories(d);
  return d;
}

void Put(const std::string& target, const std::string& name, const std::string& bytes) {
  FILE* f = fopen((Dir(target) + "/" + name).c_str(), "wb");
  if (!f) return;
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

void Copy(const std::string& target, const std::string& file) {
  std::error_code ec;
  fs::copy_file(file, Dir(target) + "/" + fs::path(file).filename().string(),
                fs::copy_options::overwrite_existing, ec);
}

// Saves by a writer; a writer that refuses this picture (a size or depth it cannot store)
// gives no seed.
void Try(const std::function<void()>& write) {
  try {
    write();
  } catch (const std::exception&) {}
}

// A 13 x 7 picture of colours and a transparent corner (an odd width, so rows are padded).
void Gradient(XImage& img) {
  img.SetPixelFormat(pf32bit);
  img.SetSize(13, 7);
  for (int y = 0; y < 7; ++y) {
    uint8_t* p = img.ScanLine(y);
    for (int x = 0; x < 13; ++x, p += 4) {
      p[0] = uint8_t(x * 19);
      p[1] = uint8_t(y * 36);
      p[2] = uint8_t(255 - x * 19);
      p[3] = x + y < 3 ? 0 : 255;
    }
  }
}

void Metafiles() {
  std::string a;
  a += MetafileRecord(0x020B, {0, 0});
  a += MetafileRecord(0x020C, {10, 20});
  a += MetafileRecord(0x02FA, {5, 0, 0, 0, 0});
  a += MetafileRecord(0x02FC, {0, 0x00FF, 0x0000, 0});
  a += MetafileRecord(0x012D, {0});
  a += MetafileRecord(0x012D, {1});
  a += MetafileRecord(0x041B, {8, 12, 2, 4});
  a += MetafileRecord(0x0000, {});
  Put("fuzz_image_wmf", "rectangle.wmf", PlaceableMetafile(a, 20, 10));
  std::string b;
  b += MetafileRecord(0x02FA, {0, 2, 0, 0x00FF, 0});
  b += MetafileRecord(0x012D, {0});
  b += MetafileRecord(0x0214, {1, 1});
  b += MetafileRecord(0x0213, {9, 19});
  b += MetafileRecord(0x0418, {9, 19, 1, 1});
  b += MetafileRecord(0x0324, {3, 0, 0, 10, 5, 0, 9});
  b += MetafileRecord(0x01F0, {0});
  b += MetafileRecord(0x0000, {});
  Put("fuzz_image_wmf", "shapes.wmf", PlaceableMetafile(b, 20, 10));
}

void Pictures() {
  XImage img;
  Gradient(img);
  std::string tmp = Dir("tmp");
  // The image class's own writers.
  Try([&] { img.SaveToFile(Dir("fuzz_image_png") + "/rgba.png"); });
  Try([&] {
    XImage c;
    c.Assign(&img);
    c.SetPixelFormat(pf24bit);
    c.SaveToFile(Dir("fuzz_image_png") + "/rgb.png");
  });
  for (const auto& e : fs::directory_iterator(Dir("fuzz_image_png"))) Copy("fuzz_png_crc", e.path().string());
  Try([&] { img.SaveToFile(Dir("fuzz_image_gif") + "/ours.gif"); });
  Try([&] { img.SaveToFile(Dir("fuzz_image_ppm") + "/plain.ppm"); });
  for (int quality : {20, 90}) {
    for (bool grey : {false, true})
      for (bool progressive : {false, true}) {
        Try([&] {
          TJPEGImage j;
          j.Assign(&img);
          j.CompressionQuality = quality;
          j.Grayscale = grey;
          j.ProgressiveEncoding = progressive;
          j.SaveToFile(Dir("fuzz_image_jpg") + "/q" + IntToStr(quality) + (grey ? "g" : "c") +
                       (progressive ? "p" : "b") + ".jpg");
        });
      }
  }
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    Try([&] {
      TBitmap b;
      b.Assign(&img);
      b.SetPixelFormat(f);
      b.SaveToFile(Dir("fuzz_image_bmp") + "/bits" + IntToStr(BitsPerPixelOf(f)) + "_" + IntToStr(int(f)) +
                   ".bmp");
    });
  }
  // Every row of the format table, in every depth it writes.
  const char* targets[IMGFMT_FORMAT_COUNT] = {
      "fuzz_table_bmp", "fuzz_table_gif", "fuzz_image_pcx", "fuzz_image_tif",
      "fuzz_image_tga", "fuzz_image_iff", "fuzz_image_vid", "fuzz_image_pgm",
      "fuzz_table_ppm", "fuzz_image_kps", "fuzz_image_iax", "fuzz_image_xbm",
      "fuzz_image_spr", "fuzz_image_pse", "fuzz_image_img", "fuzz_image_cvp"};
  for (int row = 0; row < IMGFMT_FORMAT_COUNT; ++row) {
    ImgFmtInfo info{};
    imgfmt_query_format(row, &info);
    std::string ext = info.extensions;
    ext = LowerCase(ext.substr(0, ext.find(' ')));
    if (ext == "tif") ext = "tiff";  // the image class refuses to save ".tif"
    const std::pair<uint32_t, TPixelFormat> depths[] = {{IMGFMT_WRITE_1, pf1bit},
                                                        {IMGFMT_WRITE_4, pf4bit},
                                                        {IMGFMT_WRITE_8, pf8bit},
                                                        {IMGFMT_WRITE_24, pf24bit}};
    for (const auto& depth : depths) {
      TPixelFormat f = depth.second;
      if (!(info.flags & depth.first)) continue;
      for (int side : {0, 512}) {
        Try([&] {
          XImage c;
          c.Assign(&img);
          // Portrait files hold only 512 x 512 pictures.
          if (side) c.SetSize(side, side);
          c.SetPixelFormat(f);
          std::string name =
              Dir(targets[row]) + "/d" + IntToStr(BitsPerPixelOf(f)) + (side ? "s" : "") + "." + ext;
          c.SaveToFile(name);
          // A large file seeds with its start: the header and the first rows.
          if (side && fs::file_size(name) > 64 * 1024) fs::resize_file(name, 4096);
        });
      }
    }
  }
  // A KIPS picture's palette lies in a file beside it; its target takes the input's last
  // 1,024 bytes for that file, so each seed is the picture with its palette after it.
  std::vector<fs::path> kips;
  for (const auto& e : fs::directory_iterator(Dir("fuzz_image_kps")))
    if (e.path().extension() == ".kps") kips.push_back(e.path());
  for (const fs::path& picture : kips) {
    fs::path pal = picture;
    pal.replace_extension(".pal");
    std::error_code ec;
    if (!fs::is_regular_file(pal, ec)) continue;
    Try([&] {
      const std::string both = ReadFileBytes(picture.string()) + ReadFileBytes(pal.string());
      Put("fuzz_image_kps", picture.filename().string(), both);
    });
    fs::remove(pal, ec);
  }
  // The image class reads the table's BMP and GIF rows through its own codecs, and binary
  // pixmaps through the table's: the files of those rows seed the image class's targets too.
  for (auto [from, to] : {std::pair{"fuzz_table_bmp", "fuzz_image_bmp"},
                          {"fuzz_table_gif", "fuzz_image_gif"},
                          {"fuzz_table_ppm", "fuzz_image_ppm"}})
    for (const auto& e : fs::directory_iterator(Dir(from))) Copy(to, e.path().string());
  for (const auto& e : fs::directory_iterator(Dir("fuzz_image_bmp")))
    Copy("fuzz_table_bmp", e.path().string());
  // The GIF files the GIF tests are made of.
  for (const GifFixture& g : AllGifFixtures()) {
    std::string name;
    for (char c : g.name) name += isalnum(uint8_t(c)) ? c : '_';
    Put("fuzz_image_gif", name + ".gif", g.bytes);
    Put("fuzz_table_gif", name + ".gif", g.bytes);
  }
  Copy("fuzz_image_ico", std::string(ZELMORA_DATA) + "/Zelmora.ico");
  Metafiles();
  fs::remove_all(tmp);
}

void Documents() {
  std::string data = ZELMORA_DATA;
  for (const char* f : {"/projects/splash.zlm", "/library.zlm"}) {
    Copy("fuzz_project", data + f);
    Copy("fuzz_ini", data + f);
    Copy("fuzz_page_builder", data + f);
    Copy("fuzz_paste_undo", data + f);
  }
  for (const char* f : {"/Settings.ini", "/language.ini", "/tips.ini"}) {
    Copy("fuzz_ini", data + f);
    Copy("fuzz_tinifile", data + f);
  }
  for (const auto& e : fs::directory_iterator(data + "/Keywords")) Copy("fuzz_tinifile", e.path().string());
  // A small scene of two objects, one of them grouped and captioned with escapes.
  {
    ZButtonList scene;
    auto* a = new TZLMButton("Home & away 100%", &scene, TRect(10, 10, 120, 40), "index.htm");
    a->WriteString("Group", "1F");
    a->Style->IsAntialiased = true;
    new TZLMButton("Two\r\nlines", &scene, TRect(0, 50, 90, 130), "");
    scene.WriteString("Tit", "My page");
    TINIDocument d;
    scene.SaveToINI(d);
    Put("fuzz_project", "small.zlm", d.AsString());
    Put("fuzz_ini", "small.zlm", d.AsString());
    Put("fuzz_page_builder", "small.zlm", d.AsString());
  }
  // A small page of every kind of cell the page builder makes: a linked caption, an
  // antialiased one, a text area, a snippet, a caption too long for its box, overlapping
  // objects, one partly off the page; saved whole, with a selection, as the window's clipboard
  // (the selected objects) and as its undo snapshot (the page keys first).
  {
    ZButtonList scene;
    auto add = [&](const std::string& text, const TRect& r, int shape, const std::string& link = "") {
      auto* b = new TZLMButton(text, &scene, r, link);
      b->Style->Shape = int8_t(shape);
      return b;
    };
    add("Home", TRect(8, 8, 88, 32), 1, "index.htm");
    add("Go", TRect(100, 8, 160, 32), 1)->Style->IsAntialiased = true;
    add("a < b & c", TRect(8, 40, 120, 90), 23);
    add("<i>raw</i> <b>bold", TRect(130, 40, 230, 90), 24, "more.htm");
    add("Under", TRect(8, 100, 88, 124), 1, "under.htm");
    add("Over", TRect(40, 110, 120, 134), 1);
    add("A caption far too long for this small box", TRect(210, 100, 250, 116), 1);
    add("Off", TRect(200, 150, 300, 180), 1, "off.htm");
    scene.WriteString("Tit", "Shop <&>");
    TINIDocument whole;
    whole.WriteInteger("Heading", "ProjectWidth", 256);
    whole.WriteInteger("Heading", "ProjectHeight", 160);
    scene.SaveToINI(whole);
    Put("fuzz_page_builder", "cells.zlm", whole.AsString());
    Put("fuzz_project", "cells.zlm", whole.AsString());
    scene.Button(2)->IsSelected = true;
    scene.Button(3)->IsSelected = true;
    scene.Current = scene.Button(3);
    TINIDocument selected;
    selected.WriteInteger("Heading", "ProjectWidth", 256);
    selected.WriteInteger("Heading", "ProjectHeight", 160);
    scene.SaveToINI(selected);
    Put("fuzz_page_builder", "selection.zlm", selected.AsString());
    TINIDocument clip;
    scene.SaveSelectedToINI(clip);
    Put("fuzz_paste_undo", "clipboard.ini", clip.AsString());
    TINIDocument undo;
    undo.WriteInteger("Heading", "GridX", 8);
    undo.WriteInteger("Heading", "GridY", 8);
    undo.WriteInteger("Heading", "ProjectWidth", 256);
    undo.WriteInteger("Heading", "ProjectHeight", 160);
    scene.SaveToINI(undo);
    Put("fuzz_paste_undo", "undo.ini", undo.AsString());
  }
  {
    XObject o;
    o.WriteString("Tit", "A title = with % and +");
    o.WriteString("Key", "one=1\r\ntwo=0\r\n");
    o.WriteBool("NoI", true);
    TMemoryStream m;
    o.SaveToStream(&m);
    Put("fuzz_properties", "store.bin",
        std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size())));
    Put("fuzz_properties", "store.ini", o.Properties->AsString());
    Put("fuzz_properties", "escapes.txt", "a+b%20c%%d%7e%C3%A9");
  }
  XImage img;
  Gradient(img);
  for (TPixelFormat f : {pf1bit, pf8bit, pf24bit, pf32bit}) {
    TBitmap b;
    b.Assign(&img);
    b.SetPixelFormat(f);
    TBitmapCompressor c;
    c.Compress(b);
    TMemoryStream m;
    c.SaveToStream(m);
    Put("fuzz_compressor", "bits" + IntToStr(BitsPerPixelOf(f)) + ".bin",
        std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size())));
  }
}

// The hostile files of the bounded-codec tests, at sizes within the fuzz targets' input length
// and picture limit: the fuzzer starts at the shapes that cost readers most and varies them.
void HostileSeeds() {
  const int side = MaxPageSide;  // the fuzz build's (1024)
  Put("fuzz_image_gif", "cut.gif", GifTruncated(side, side));
  Put("fuzz_image_gif", "maximal.gif", GifMaximal(side, side, int64_t(side) * side));
  Put("fuzz_image_gif", "past.gif", GifMaximal(16, 16, int64_t(side) * side));
  Put("fuzz_image_gif", "frames.gif", GifManyFrames(1000, 1, 1));
  Put("fuzz_image_gif", "bigframes.gif", GifManyFrames(200, side, side));
  Put("fuzz_image_gif", "screen.gif", GifFirstPixel(65535, 65535).Trailer().b);
  Put("fuzz_image_png", "cut.png", PngCut(side, side));
  Put("fuzz_image_png", "adam7.png", PngZeros(side, side, 1, 0, 1));
  Put("fuzz_image_png", "rgba16.png", PngZeros(64, 64, 16, 6));
  Put("fuzz_image_png", "bomb.png", PngZeros(1, 1, 8, 0, 0, size_t(32) << 20));
  Put("fuzz_image_png", "bomb7.png", PngZeros(256, 256, 8, 0, 1, size_t(32) << 20));
  Put("fuzz_image_png", "ztxt.png",
      PngZeros(1, 1, 8, 0, 0, 0, PngChunk("zTXt", std::string("k\0\0", 3) + ZlibZeros(size_t(16) << 20))));
  Put("fuzz_image_png", "text.png",
      PngZeros(1, 1, 8, 0, 0, 0, Repeat(PngChunk("tEXt", std::string("k\0v", 3)), 2000)));
  Put("fuzz_image_jpg", "scans.jpg", JpegProgressive(256, 256, 300));
  Put("fuzz_image_jpg", "tenscans.jpg", JpegProgressive(side, side, 10));
  Put("fuzz_image_jpg", "comments.jpg", JpegWithComments(2000, 1));
  Put("fuzz_image_tif", "strips.tif", TiffGrey(side, side, 32773, 1, 20, PackBitsZeros(side)));
  {
    const std::string z = TiffLzwZeros(int64_t(side) * side);
    Put("fuzz_image_tif", "lzw.tif", TiffGrey(side, side, 5, uint32_t(side), uint32_t(z.size()), z));
    std::string loop = TiffGrey(64, 64, 32773, 1, 2, PackBitsZeros(64));
    PutLe32(&loop[8 + 2 + 10 * 12], 8);
    Put("fuzz_image_tif", "loop.tif", loop);
  }
  for (const char* target : {"fuzz_image_bmp", "fuzz_table_bmp"}) {
    Put(target, "end.bmp", BmpRle(side, side, 8, std::string("\0\1", 2)));
    Put(target, "end4.bmp", BmpRle(side, side, 4, std::string("\0\1", 2)));
    std::string jumps;
    for (int y = 0; y < side; y += 255) jumps += std::string("\0\2\0", 3) + char(std::min(255, side - y - 1));
    Put(target, "delta.bmp", BmpRle(side, side, 8, jumps + std::string("\0\1", 2)));
    Put(target, "lines.bmp", BmpRle(16, 16, 8, Repeat(std::string("\0\0", 2), 1000)));
  }
  Put("fuzz_image_ico", "declared.ico", Ico(1, IconImage(32, 32), 65535));
  Put("fuzz_image_ico", "same.ico", Ico(64, IconImage(16, 16)));
  const std::string brush = MetafileRecord(0x02FC, {0, 0x00FF, 0, 0});
  Put("fuzz_image_wmf", "churn.wmf",
      Metafile(Repeat(brush, 500) + Repeat(MetafileRecord(0x01F0, {0}) + brush, 500)));
  Put("fuzz_image_wmf", "window.wmf",
      Metafile(MetafileRecord(0x020C, {1, 1}) + brush + MetafileRecord(0x012D, {0}) +
               Repeat(MetafileRecord(0x041B, {1, 1, 0, 0}), 500)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
    return 2;
  }
  gOut = argv[1];
  std::string home = gOut + "/.home";
  fs::create_directories(home + "/Images");
  setenv("ZELMORA_HOME", home.c_str(), 1);
  setenv("ZELMORA_CONFIG", (home + "/config").c_str(), 1);
  Pictures();
  HostileSeeds();
  Documents();
  fs::remove_all(home);
  return 0;
}
