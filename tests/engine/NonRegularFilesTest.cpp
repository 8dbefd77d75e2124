// Every road by which the codecs and the engine open a file the user named refuses what is not
// a file: a named pipe (which would block the open or the first read for ever), a link to
// /dev/zero (which reads and swallows without end) and a folder. Each case runs in a child
// process with a time limit and a cap on the size of the files it may write, so a road that
// freezes or copies without end fails its case instead of hanging the suite or filling the disk.
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/XImage.h"
#include "engine/XImageFormats.h"
#include "gif/Anifile.h"
#include "gif/Fileutil.h"
#include "imageformats/ImgFmt.h"
#include "platform/Classes.h"
#include "platform/SysUtils.h"
#include "tests/support/ChildRunner.h"
#include "tests/support/TestSupport.h"

namespace {

// A 4 x 2 KIPS image: its palette lies in a companion file of the same name.
std::string KipsImage() {
  std::string s = "DFIMAG00";
  s += std::string("\x02\x00\x04\x00\x01", 5);
  s.resize(32, '\0');
  s += std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
  return s;
}

// What a road does with a name: "refused: <message>" when it raised (or, for the format
// library's calls, returned a failure), anything else when it took the name.
std::string Refused(const std::string& message) { return "refused: " + message; }

template <class F>
std::string Road(F&& open) {
  try {
    open();
  } catch (const Exception& e) { return Refused(e.what()); }
  return "taken";
}

struct TRoad {
  const char* Name;
  // The special file is made under `name` in `dir` (the road's own file, or the companion
  // that the road opens beside its file).
  const char* FileName;
  std::function<std::string(const std::string& dir, const std::string& special)> Run;
  bool NamesTheFile;  // the message names the special file
};

const TRoad kRoads[] = {
    {"file stream, read", "in.bin",
     [](const std::string&, const std::string& f) {
       return Road([&] {
         TFileStream s(f, fmOpenRead | fmShareDenyNone);
         char b[64];
         s.Read(b, sizeof b);
       });
     },
     true},
    {"file stream, read and write", "in.bin",
     [](const std::string&, const std::string& f) {
       return Road([&] {
         TFileStream s(f, fmOpenReadWrite);
         char b[64];
         s.Read(b, sizeof b);
       });
     },
     true},
    {"file stream, write", "out.bin",
     [](const std::string&, const std::string& f) {
       return Road([&] {
         TFileStream s(f, fmOpenWrite);
         std::string data(1 << 20, 'x');
         s.WriteBuffer(data.data(), int64_t(data.size()));
       });
     },
     true},
    {"file stream, create", "out.bin",
     [](const std::string&, const std::string& f) {
       return Road([&] {
         TFileStream s(f, fmCreate);
         std::string data(1 << 20, 'x');
         s.WriteBuffer(data.data(), int64_t(data.size()));
       });
     },
     true},
    {"animated cursor", "pointer.ani",
     [](const std::string&, const std::string& f) {
       return Road([&] {
         TAnimatedCursorImage a;
         a.LoadFromFile(f);
       });
     },
     true},
    {"file copy, source", "in.bin",
     [](const std::string& dir, const std::string& f) {
       return Road([&] { CopyFile(f, dir + "/copy.bin"); });
     },
     true},
    {"format library, open", "in.pcx",
     [](const std::string&, const std::string& f) -> std::string {
       int fd = imgfmt_file_open(f.c_str(), IMGFMT_O_BINARY);
       if (fd < 0) return Refused("-1");
       char b[64];
       imgfmt_file_read(fd, b, sizeof b);
       imgfmt_file_close(fd);
       return "taken";
     },
     false},
    {"format library, create", "out.pcx",
     [](const std::string&, const std::string& f) -> std::string {
       int fd = imgfmt_file_create(f.c_str(), IMGFMT_O_BINARY | IMGFMT_O_WRONLY);
       if (fd < 0) return Refused("-1");
       std::string data(1 << 20, 'x');
       imgfmt_file_write(fd, data.data(), int(data.size()));
       imgfmt_file_close(fd);
       return "taken";
     },
     false},
    {"PNG reader", "in.png",
     [](const std::string&, const std::string& f) {
       return Road([&] {
         XImage img;
         XImageLoadPNG(img, f);
       });
     },
     true},
    {"format library reader", "in.pcx",
     [](const std::string&, const std::string& f) {
       return Road([&] {
         XImage img;
         XImageLoadFormatLibrary(img, f);
       });
     },
     true},
    {"KIPS picture, its palette read", "pic.pal",
     [](const std::string& dir, const std::string&) {
       WriteFileAtomic(dir + "/pic.kps", KipsImage());
       return Road([&] {
         XImage img;
         img.LoadFromFile(dir + "/pic.kps");
       });
     },
     false},
    {"KIPS picture, its palette written", "pic.pal",
     [](const std::string& dir, const std::string&) {
       return Road([&] {
         XImage img;
         img.SetPixelFormat(pf8bit);
         img.SetSize(4, 2);
         img.SaveToFile(dir + "/pic.kps");
       });
     },
     true},
};

struct TKind {
  const char* Name;
  std::function<void(const std::string& path)> Make;
  const char* Says;  // what the message calls it
};

const TKind kKinds[] = {
    {"named pipe", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }, "named pipe"},
    {"link to /dev/zero", [](const std::string& p) { ASSERT_EQ(symlink("/dev/zero", p.c_str()), 0); },
     "device"},
    {"folder", [](const std::string& p) { ASSERT_EQ(mkdir(p.c_str(), 0700), 0); }, "folder"},
};

TEST(NonRegularFiles, EveryRoadRefusesPipesDevicesAndFolders) {
  for (const TRoad& road : kRoads) {
    for (const TKind& kind : kKinds) {
      SCOPED_TRACE(std::string(road.Name) + " x " + kind.Name);
      TempDir dir;
      const std::string special = dir.File(road.FileName);
      kind.Make(special);
      // Files of at most 16 MB, 3 s.
      ChildRun r = RunInChild([&] { return road.Run(dir.Path(), special); }, 3000, 16 << 20);
      EXPECT_TRUE(r.Finished) << r.Result;
      if (!r.Finished) continue;
      EXPECT_EQ(r.Result.rfind("refused: ", 0), 0u) << r.Result;
      if (road.NamesTheFile) {
        EXPECT_NE(r.Result.find(road.FileName), std::string::npos) << r.Result;
        EXPECT_NE(r.Result.find(kind.Says), std::string::npos) << r.Result;
      }
      // The special file is still what it was.
      struct stat st;
      EXPECT_EQ(lstat(special.c_str(), &st), 0);
      EXPECT_EQ(kind.Says == std::string("device")   ? S_ISLNK(st.st_mode)
                : kind.Says == std::string("folder") ? S_ISDIR(st.st_mode)
                                                     : S_ISFIFO(st.st_mode),
                true);
    }
  }
}

// The readers and writers that must make a new file, or read a plain one, still do.
TEST(NonRegularFiles, PlainFilesStillOpen) {
  TempDir dir;
  const std::string f = dir.File("plain.bin");
  {
    TFileStream s(f, fmCreate);
    s.WriteBuffer("abcdef", 6);
  }
  {
    TFileStream s(f, fmOpenReadWrite);
    s.Seek(0, soEnd);
    s.WriteBuffer("gh", 2);
  }
  {
    TFileStream s(f, fmOpenWrite);
    s.WriteBuffer("A", 1);
  }
  {
    TFileStream s(f, fmOpenRead);
    char b[8] = {};
    EXPECT_EQ(s.Read(b, 8), 8);
    EXPECT_EQ(std::string(b, 8), "Abcdefgh");
  }
  // fmCreate empties an existing file.
  { TFileStream s(f, fmCreate); }
  EXPECT_EQ(ReadFileBytes(f), "");
  CopyFile(f, dir.File("sub/copy.bin"));
  EXPECT_TRUE(FileExists(dir.File("sub/copy.bin")));
  int fd = imgfmt_file_create(dir.File("new.bin").c_str(), IMGFMT_O_BINARY | IMGFMT_O_WRONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(imgfmt_file_write(fd, "xyz", 3), 3);
  imgfmt_file_close(fd);
  fd = imgfmt_file_open(dir.File("new.bin").c_str(), IMGFMT_O_BINARY);
  ASSERT_GE(fd, 0);
  char b[3];
  EXPECT_EQ(imgfmt_file_read(fd, b, 3), 3);
  imgfmt_file_close(fd);
  // A missing file is still missing, with the reason.
  EXPECT_LT(imgfmt_file_open(dir.File("missing.bin").c_str(), IMGFMT_O_BINARY), 0);
  EXPECT_EQ(errno, ENOENT);
  try {
    TFileStream s(dir.File("missing.bin"), fmOpenRead);
    ADD_FAILURE() << "a missing file opened";
  } catch (const EFOpenError& e) { EXPECT_NE(std::string(e.what()).find("missing.bin"), std::string::npos); }
}

// A KIPS picture's palette is a file of its own beside it: a save writes both, and the
// picture reads back with its colours.
TEST(NonRegularFiles, KipsSaveKeepsItsPaletteBesideThePicture) {
  TempDir dir;
  XImage img;
  img.SetPixelFormat(pf32bit);
  img.SetSize(3, 2);
  const uint32_t colours[6] = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFF102030u, 0xFFFFFFFFu, 0xFF000000u};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) std::memcpy(img.ScanLine(y) + 4 * x, &colours[y * 3 + x], 4);
  img.SetPixelFormat(pf8bit);
  img.SaveToFile(dir.File("pic.kps"));
  EXPECT_TRUE(FileExists(dir.File("pic.kps")));
  ASSERT_TRUE(FileExists(dir.File("pic.pal"))) << "the palette was not written beside the picture";
  // The colours as the 8-bit picture holds them.
  XImage want;
  want.Assign(&img);
  want.SetPixelFormat(pf32bit);
  XImage back;
  back.LoadFromFile(dir.File("pic.kps"));
  ASSERT_EQ(back.Width(), 3);
  ASSERT_EQ(back.Height(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      uint32_t got, expected;
      std::memcpy(&got, back.ScanLine(y) + 4 * x, 4);
      std::memcpy(&expected, want.ScanLine(y) + 4 * x, 4);
      EXPECT_EQ(got & 0xFFFFFF, expected & 0xFFFFFF) << x << "," << y;
    }
  // Nothing of the save is left beside the files.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"pic.kps", "pic.pal"}));
}

}  // namespace
