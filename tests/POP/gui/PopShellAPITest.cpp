// The desktop's icons and type names of files and folders.
#include "POP/gui/PopShellAPI.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QIcon>
#include <QImage>
#include <QLocale>

#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"

namespace {
// An icon theme of the test's own with one icon, "text-html", so that which names the theme
// has is known.
struct IconTheme {
  TempDir dir;
  QStringList oldPaths = QIcon::themeSearchPaths();
  QString oldName = QIcon::themeName();
  IconTheme() {
    ForceDirectories(dir.File("zelmoratest/16x16/mimetypes"));
    WriteAll(dir.File("zelmoratest/index.theme"),
             "[Icon Theme]\nName=Zelmora Test\nDirectories=16x16/mimetypes\n\n"
             "[16x16/mimetypes]\nSize=16\nType=Fixed\n");
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::blue);
    icon.save(QString::fromStdString(dir.File("zelmoratest/16x16/mimetypes/text-html.png")));
    QIcon::setThemeSearchPaths({QString::fromStdString(dir.Path())});
    QIcon::setThemeName("zelmoratest");
  }
  ~IconTheme() {
    QIcon::setThemeSearchPaths(oldPaths);
    QIcon::setThemeName(oldName);
  }
};

struct Language {
  QLocale old;
  explicit Language(QLocale::Language l) { QLocale::setDefault(QLocale(l)); }
  ~Language() { QLocale::setDefault(old); }
};
}  // namespace

TEST(PopShellIcons, IconsOfFilesAndFoldersAreNamesOfTheIconTheme) {
  IconTheme theme;
  TempDir d;
  WriteAll(d.File("page.htm"), "<html><body>x</body></html>");
  WriteAll(d.File("noext"), "<!DOCTYPE html><html><head><title>x</title></head></html>");
  struct Case {
    std::string name, icon;
  } cases[] = {
      {d.File("page.htm"), "text-html"},        // the theme has the type's own icon
      {d.File("noext"), "text-html"},           // by content
      {d.File("missing.htm"), "text-html"},     // by name
      {d.File("logo.png"), "image-x-generic"},  // not in the theme: its kind's
      {d.File("notes.txt"), "text-x-generic"}, {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(SHGetFileNameSysIcon(c.name), c.icon) << c.name;
  EXPECT_EQ(SHGetDirectorySysIcon(d.Path()), "folder");
  EXPECT_EQ(SHGetDirectorySysIcon(d.Path() + "/"), "folder");
  EXPECT_EQ(SHGetDirectorySysIcon(QDir::homePath().toStdString()), "user-home");
  EXPECT_EQ(SHGetDirectorySysIcon(d.File("page.htm")), "");
  EXPECT_EQ(SHGetDirectorySysIcon(d.File("none")), "");
  EXPECT_EQ(SHGetDirectorySysIcon(""), "");
}

TEST(PopShellIcons, TypeNamesAreTheDesktopsInTheLocalesLanguage) {
  TempDir d;
  WriteAll(d.File("noext"), "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
  {
    Language english(QLocale::English);
    EXPECT_EQ(SHGetFileNameTypeName(d.File("index.htm")), "HTML document");
    EXPECT_EQ(SHGetFileNameTypeName(d.File("logo.png")), "PNG image");
    EXPECT_EQ(SHGetFileNameTypeName(d.File("noext")), "PDF document");
    EXPECT_EQ(SHGetFileNameTypeName(d.File("page.zlm")), "ZLM file");
    EXPECT_EQ(SHGetFileNameTypeName(d.File("nothing")), "File");
    EXPECT_EQ(SHGetFileNameTypeName(""), "");
  }
  Language german(QLocale::German);
  EXPECT_EQ(SHGetFileNameTypeName(d.File("index.htm")), "HTML-Dokument");
}
