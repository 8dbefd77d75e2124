// Every kind of GIF file the readers are tried on: hand-made streams (valid, unusual and
// damaged), files made by ImageMagick and gifsicle when they are installed, and files of our
// own writer. Shared by the GIF tests and the image class's tests.
#pragma once
#include <string>
#include <vector>

#include "gif/Pxgif.h"
#include "platform/SysUtils.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/GifTestUtil.h"

struct GifFixture {
  std::string name;
  std::string bytes;
};

inline std::vector<GifFixture> AllGifFixtures() {
  std::vector<GifFixture> all;
  auto codes = [](int n) {  // a run of root 0 that fills the table: decoding goes on at 12 bits
    std::vector<int> c{4};
    for (int i = 0; i < n; ++i) c.push_back(0);
    c.insert(c.end(), {4, 1, 5});
    return c;
  };
  const std::string spacer(
      "\x47\x49\x46\x38\x39\x61\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF"
      "\x21\xF9\x04\x01\x00\x00\x00\x00\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x40"
      "\x02\x01\x44\x00\x3B",
      42);
  all = {
      {"spacer", spacer},
      {"interlaced with extensions", GifBuilder()
                                         .Header(5, 3, 2)
                                         .Comment("c")
                                         .Gce(0x05, 3, 1)
                                         .Image(5, 3, 0x40)
                                         .Codes(2, {4, 1, 2, 6, 7, 3, 0, 8, 9, 1, 5})
                                         .Trailer()
                                         .b},
      {"local map, loop, plain text", GifBuilder()
                                          .Header(4, 1, 0)
                                          .Loop(3)
                                          .Image(4, 1, 0x81)
                                          .Map(2)
                                          .Codes(2, {4, 3, 6, 1, 5})
                                          .PlainText()
                                          .Trailer()
                                          .b},
      {"local over global",
       GifBuilder().Header(4, 1, 8).Image(4, 1, 0x82).Map(3).Codes(3, {8, 7, 5, 10, 9}).Trailer().b},
      {"min code size below depth",
       GifBuilder().Header(3, 1, 8).Image(3, 1).Codes(2, {4, 1, 2, 3, 5}).Trailer().b},
      {"no leading clear", GifBuilder().Header(3, 1, 2).Image(3, 1).Codes(2, {1, 2, 3, 5}).Trailer().b},
      {"deferred clear", GifBuilder().Header(1200, 1, 2).Image(1200, 1).Codes(2, codes(1199)).Trailer().b},
      {"two frames, screen-sized first", GifBuilder()
                                             .Header(3, 2, 1)
                                             .Image(0, 0)
                                             .Codes(2, {4, 1, 1, 1, 1, 1, 1, 5})
                                             .Image(1, 1, 0, 2, 1)
                                             .Codes(2, {4, 0, 5})
                                             .Trailer()
                                             .b},
      {"code above next", GifBuilder().Header(4, 1, 2).Image(4, 1).Codes(2, {4, 1, 20, 5}).Trailer().b},
      {"length past end", GifBuilder().Header(4, 1, 2).Image(4, 1).Bytes({2, 50, 0x8C, 0x2D}).b},
      {"min code size 10",
       GifBuilder().Header(3, 1, 2).Image(3, 1).Codes(9, {512, 2, 3, 513}, true, 10).Trailer().b},
      {"unknown extension",
       GifBuilder().Header(1, 1, 1).Bytes({0x21, 0x33, 1, 0, 0}).Image(1, 1).Codes(2, {4, 1, 5}).Trailer().b},
      {"huge header", GifBuilder().Header(1, 1, 1).Image(65535, 65535).Codes(2, {4, 1, 5}).Trailer().b},
  };

  // Files of independent writers, when they are here.
  if (HaveTool("convert")) {
    const std::string dir = GifTempDir();
    const std::vector<std::pair<const char*, std::string>> made = {
        {"ImageMagick 8 bits", "convert -size 40x30 xc: +noise Random -colors 256 '%s'"},
        {"ImageMagick 1 bit", "convert -size 13x7 xc: +noise Random -colors 2 '%s'"},
        {"ImageMagick interlaced", "convert -size 7x17 xc: +noise Random -colors 32 -interlace GIF '%s'"},
        {"ImageMagick frames", "convert -size 8x6 xc:red xc:blue xc:green -loop 0 '%s'"},
        {"ImageMagick transparent",
         "convert -size 9x5 xc:white -fill red -draw 'point 2,2' -transparent white '%s'"},
        {"gifsicle optimised", HaveTool("gifsicle")
                                   ? "convert -size 20x12 xc: +noise Random -colors 40 xc:red -colors 40 '" +
                                         dir + "/zfx.gif' && gifsicle -O2 '" + dir + "/zfx.gif' > '%s'"
                                   : ""},
    };
    int n = 0;
    for (const auto& [name, cmd] : made) {
      if (cmd.empty()) continue;
      std::string path = dir + "/fx" + std::to_string(n++) + ".gif";
      int st = 0;
      ShellOutput(Format(cmd.c_str(), path.c_str()), &st);
      if (st == 0) all.push_back({name, ReadFileBytes(path)});
    }
  }

  // Our own writer: a transparent 89a file and a plain 87a one.
  {
    TBitmap b(11, 6, pf24bit);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 11; ++x)
        b.SetPixelColor(x, y, RGB(uint8_t(x * 23), uint8_t(y * 40), uint8_t((x * y) & 0xFF)));
    TGIFImage g;
    g.Assign(&b);
    TMemoryStream m;
    g.SaveToStream(m);
    all.push_back({"ours 87a", m.DataAsString()});
    b.SetTransparentColor(b.GetPixelColor(0, 0));
    b.SetTransparent(true);
    TGIFImage t;
    t.Assign(&b);
    TMemoryStream mt;
    t.SaveToStream(mt);
    all.push_back({"ours 89a transparent", mt.DataAsString()});
  }
  return all;
}
