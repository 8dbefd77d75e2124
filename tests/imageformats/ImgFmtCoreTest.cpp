// The format table: guessing by extension, error texts and options.
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "imageformats/ImgFmt.h"
#include "tests/imageformats/ImgFmtTestUtil.h"
#include "tests/support/TestSupport.h"

TEST(ImgFmtCore, GuessesEveryExtensionOfTheTable) {
  for (int i = 0; i < IMGFMT_FORMAT_COUNT; ++i) {
    ImgFmtInfo info;
    ASSERT_EQ(imgfmt_query_format(i, &info), 0);
    std::string list = info.extensions;
    size_t p = 0;
    while (p < list.size()) {
      size_t e = list.find(' ', p);
      if (e == std::string::npos) e = list.size();
      std::string name = "dir/picture." + list.substr(p, e - p);
      int index = -1;
      EXPECT_EQ(imgfmt_guess_format(name.c_str(), &index), 0) << name;
      EXPECT_EQ(index, i) << name;
      p = e + 1;
    }
  }
  int count = 0;
  EXPECT_EQ(imgfmt_format_count(&count), 0);
  EXPECT_EQ(count, 16);
}

TEST(ImgFmtCore, GuessEdgeCases) {
  struct Case {
    const char* name;
    int rc, index;
  } cases[] = {
      {"picture.BMP", 0, 0}, {"a.Rle", 0, 0},     {"x.dib", 0, 0},         {"scan.tiff", 0, 3},
      {"photo.jpeg", 4, -1}, {"nodot", 4, -1},    {"dir.old/file", 4, -1}, {"dir.old\\file", 4, -1},
      {"a.PSEG38PP", 0, 13}, {"a.PSEG38", 4, -1}, {"trailing.", 4, -1},    {"x.pgm", 0, 7},
      {"x.cvp", 0, 15},      {"x.vid", 0, 6},
  };
  for (const Case& c : cases) {
    int index = -1;
    EXPECT_EQ(imgfmt_guess_format(c.name, &index), c.rc) << c.name;
    if (c.rc == 0) { EXPECT_EQ(index, c.index) << c.name; }
  }
}

TEST(ImgFmtCore, ErrorTexts) {
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {0, "ok"},
      {1, "out of memory"},
      {2, "not supported"},
      {3, "bad option(s)"},
      {4, "not found"},
      {5, "bad magic number / signiture block"},
      {6, "bad bitmap size"},
      {7, "can't read file"},
      {8, "can't write file"},
      {9, "bad argument to imgfmt function"},
      {820, "general error"},
      {1801, "portrait files can only hold 512x512 images"},
      {1800, "file is not correct size"},
      {100, "bad maximum pixel intensity"},
      {200, "bad maximum pixel intensity"},
      {500, "can't open complementary palette file"},
      {501, "can't create complementary palette file"},
      {1500, "file length is not a multiple of its width"},
      {1300, "expected identifier"},
      {1303, "expected["},
      {1310, "expected ;"},
      {1000, "width not a multiple of 4 pixels"},
      {-1, "general error"},
      {99999, "general error"},
  };
  for (const Case& c : cases) EXPECT_STREQ(imgfmt_error_text(c.code), c.text) << c.code;
}

TEST(ImgFmtCore, Options) {
  EXPECT_TRUE(imgfmt_option_flag("index=2,inv", "inv"));
  EXPECT_TRUE(imgfmt_option_flag("INDEX=2 INV", "inv"));
  EXPECT_FALSE(imgfmt_option_flag("invert", "inv"));
  EXPECT_FALSE(imgfmt_option_flag("", "inv"));
  struct Case {
    const char* text;
    int rc;
    int32_t value;
  } cases[] = {
      {"index=2,inv", 0, 2},
      {"INDEX=2 INV", 0, 2},
      {"\tindex=-7", 0, -7},
      {"", 0, 99},
      {"inv", 0, 99},
      {"index=", 3, 99},
      {"index=x", 3, 99},
      {"index=2x", 3, 99},
      {"index=99999999999", 3, 99},
      {"a,b index=12,c", 0, 12},
  };
  for (const Case& c : cases) {
    int32_t v = 99;
    EXPECT_EQ(imgfmt_option_int(c.text, "index=", &v), c.rc) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

TEST(ImgFmtCore, BadArgumentsAndPendingRows) {
  ImgFmtHeader h{};
  ImgFmtRgb pal[256];
  uint8_t data[16];
  EXPECT_EQ(imgfmt_query_format(0, nullptr), 9);
  EXPECT_EQ(imgfmt_query_format(16, nullptr), 9);
  ImgFmtInfo info;
  EXPECT_EQ(imgfmt_query_format(-1, &info), 9);
  EXPECT_EQ(imgfmt_read_header(nullptr, 0, 7, &h, ""), 9);
  EXPECT_EQ(imgfmt_read_header("a", 0, 7, nullptr, ""), 9);
  EXPECT_EQ(imgfmt_read_header("a", 0, 7, &h, nullptr), 9);
  EXPECT_EQ(imgfmt_read_header("a", 0, 42, &h, ""), 9);
  EXPECT_EQ(imgfmt_read_palette(0, 7, nullptr, pal), 9);
  EXPECT_EQ(imgfmt_read_palette(0, 7, &h, nullptr), 9);
  EXPECT_EQ(imgfmt_read_data(0, 7, &h, nullptr), 9);
  EXPECT_EQ(imgfmt_read_data(0, 16, &h, data), 9);
  h.width = h.height = 1;
  h.bpp = 8;
  EXPECT_EQ(imgfmt_write_image(nullptr, 0, 7, &h, pal, data, ""), 9);
  EXPECT_EQ(imgfmt_write_image("a", 0, 7, &h, pal, data, nullptr), 9);
  // A depth the row does not write is refused before the codec runs.
  h.bpp = 24;
  EXPECT_EQ(imgfmt_write_image("a.pgm", -1, 7, &h, pal, data, ""), 2);
  // The guessed row's codec answers with its own code (here: a bitmap's header length).
  TempDir dir;
  WriteAll(dir.File("a.bmp"), "BM0000000000000000000000");
  EXPECT_EQ(LoadImage(dir.File("a.bmp")).rc, 302);
}

TEST(ImgFmtCore, CreateTranslatesWindowsFlags) {
  TempDir dir;
  std::string name = dir.File("new.bin");
  WriteAll(name, "old content that must go");
  mode_t old = umask(022);
  ::chmod(name.c_str(), 0600);
  int fd = imgfmt_file_create(name.c_str(), IMGFMT_O_BINARY | IMGFMT_O_WRONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(imgfmt_file_write(fd, "abc", 3), 3);
  EXPECT_EQ(imgfmt_file_close(fd), 0);
  EXPECT_EQ(ReadAll(name), "abc");  // truncated
  std::string fresh = dir.File("fresh.bin");
  fd = imgfmt_file_create(fresh.c_str(), 0x8001);
  ASSERT_GE(fd, 0);
  imgfmt_file_close(fd);
  struct stat st;
  ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);  // 0666 less the umask, readable
  umask(old);
  // Binary read: 0x8000 must not be taken as some POSIX flag.
  fd = imgfmt_file_open(name.c_str(), 0x8000);
  ASSERT_GE(fd, 0);
  char buf[8];
  EXPECT_EQ(imgfmt_file_read(fd, buf, 8), 3);
  EXPECT_EQ(imgfmt_file_read(fd, buf, 8), 0);
  EXPECT_EQ(imgfmt_file_seek(fd, 1, 0), 1);
  EXPECT_EQ(imgfmt_file_seek(fd, 0, 2), 3);
  EXPECT_EQ(imgfmt_file_write(fd, "x", 1), -1);  // opened read-only
  imgfmt_file_close(fd);
  EXPECT_EQ(imgfmt_file_open(dir.File("missing").c_str(), 0x8000), -1);
}

TEST(ImgFmtCore, SizeLimits) {
  EXPECT_EQ(imgfmt_check_size(1, 1), 0);
  EXPECT_EQ(imgfmt_check_size(0, 1), 6);
  EXPECT_EQ(imgfmt_check_size(1, -1), 6);
  EXPECT_EQ(imgfmt_check_size(MaxImageDimension + 1, 1), 6);
  EXPECT_EQ(imgfmt_check_size(MaxImageDimension, MaxImageDimension), 6);
  EXPECT_EQ(imgfmt_row_bytes(1, 1), 4);
  EXPECT_EQ(imgfmt_row_bytes(33, 1), 8);
  EXPECT_EQ(imgfmt_row_bytes(3, 24), 12);
  EXPECT_EQ(imgfmt_row_bytes(32767, 24), 98304);
}
