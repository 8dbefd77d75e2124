// The dialog banner's tint, the about box's lines and the tips of the day.
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "POP/PopInno.h"
#include "app/AppEnvironment.h"
#include "app/forms/Unitaboutbox.h"
#include "app/forms/Unitglobal.h"
#include "app/forms/Unittipoftheday.h"
#include "engine/XBlend.h"
#include "engine/XImage.h"
#include "platform/IniFiles.h"
#include "platform/gui/QtImage.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

// A program folder of its own, a fresh environment and banner, and the palette put back.
struct ShellFixture : ::testing::Test {
  TempDir home, cfg;
  ScopedEnv h{"ZELMORA_HOME", home.Path()}, c{"ZELMORA_CONFIG", cfg.Path()};
  ScriptedServices services;
  QPalette saved = QApplication::palette();
  void SetUp() override {
    ReleaseEnvironment();
    FreeBanner();
  }
  void TearDown() override {
    QApplication::setPalette(saved);
    FreeBanner();
    ReleaseEnvironment();
  }
  void Language(const std::string& code) {
    WriteAll(home.File("Settings.ini"), "[Settings]\nLanguage=" + code + "\n");
  }
};

// A grey ramp of the given width, 4 rows high, as Wash.bmp.
void WriteWash(const std::string& path, int width) {
  XImage b;
  b.SetSize(width, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = b.ScanLine(y) + 4 * x;
      p[0] = p[1] = p[2] = uint8_t(100 + 10 * x);
      p[3] = 255;
    }
  b.SaveToFile(path);
}

void SetButtonColours(QColor face, QColor dark, QColor light) {
  QPalette p = QApplication::palette();
  p.setColor(QPalette::Button, face);
  p.setColor(QPalette::Dark, dark);
  p.setColor(QPalette::Light, light);
  QApplication::setPalette(p);
}

uint32_t PixelAt(const TBitmap& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + 4 * x;
  return p[2] << 16 | p[1] << 8 | p[0];  // 0x00RRGGBB
}

using BannerTest = ShellFixture;

TEST_F(BannerTest, TintsTheWashToTheButtonFaceWithTheEdgeLines) {
  WriteWash(home.File("Wash.bmp"), 8);
  SetButtonColours(QColor(200, 100, 50), QColor(10, 20, 30), QColor(240, 230, 220));
  TPaintBox box;
  box.resize(120, 40);
  box.OnPaint = [&] { TFormGlobal::PaintBanner(&box); };
  QImage shot = box.grab().toImage();

  const XImage* banner = BannerPicture();
  ASSERT_NE(banner, nullptr);
  ASSERT_EQ(banner->Width(), 8);
  EXPECT_EQ(BannerColour(), 0x3264C8u);  // 0x00BBGGRR
  EXPECT_EQ(PixelAt(*banner, 3, 0), 0x0A141Eu);
  EXPECT_EQ(PixelAt(*banner, 3, 1), 0xF0E6DCu);
  // Below the lines: the face's hue (red above green above blue), the ramp's lightness.
  for (int x = 0; x < 8; ++x) {
    uint32_t p = PixelAt(*banner, x, 2);
    EXPECT_GT(ColorHighByte(p), ColorMidByte(p)) << x;
    EXPECT_GT(ColorMidByte(p), ColorLowByte(p)) << x;
    if (x) {
      uint32_t q = PixelAt(*banner, x - 1, 2);
      EXPECT_GT(ColorHighByte(p) + ColorMidByte(p) + ColorLowByte(p),
                ColorHighByte(q) + ColorMidByte(q) + ColorLowByte(q));
    }
  }
  // Stretched over the picture's own width and the box's height: row 0 fills the top tenth.
  EXPECT_EQ(shot.pixelColor(0, 0).rgb() & 0xFFFFFF, 0x0A141Eu);
  EXPECT_EQ(shot.pixelColor(0, 20).rgb() & 0xFFFFFF, PixelAt(*banner, 0, 2));
  EXPECT_EQ(shot.pixelColor(7, 39).rgb() & 0xFFFFFF, PixelAt(*banner, 7, 3));
}

TEST_F(BannerTest, ReloadsOnlyWhenTheButtonFaceChanges) {
  WriteWash(home.File("Wash.bmp"), 8);
  SetButtonColours(QColor(50, 100, 200), Qt::black, Qt::white);
  TPaintBox box;
  box.resize(64, 40);
  box.OnPaint = [&] { TFormGlobal::PaintBanner(&box); };
  box.grab();
  ASSERT_EQ(BannerPicture()->Width(), 8);

  // A new picture on disk is not read while the colour stays.
  WriteWash(home.File("Wash.bmp"), 16);
  box.grab();
  box.grab();
  EXPECT_EQ(BannerPicture()->Width(), 8);

  // Another colour: read and tinted once, then kept again.
  SetButtonColours(QColor(60, 180, 60), Qt::black, Qt::white);
  box.grab();
  EXPECT_EQ(BannerPicture()->Width(), 16);
  uint32_t p = PixelAt(*BannerPicture(), 5, 2);
  EXPECT_GT(ColorMidByte(p), ColorHighByte(p));
  WriteWash(home.File("Wash.bmp"), 4);
  box.grab();
  EXPECT_EQ(BannerPicture()->Width(), 16);
}

TEST_F(BannerTest, AMissingPictureIsSilentAndNotRetriedForTheSameColour) {
  SetButtonColours(QColor(200, 200, 190), Qt::black, Qt::white);
  TPaintBox box;
  box.resize(64, 40);
  box.OnPaint = [&] { TFormGlobal::PaintBanner(&box); };
  EXPECT_NO_THROW(box.grab());
  ASSERT_NE(BannerPicture(), nullptr);
  EXPECT_TRUE(BannerPicture()->Empty());
  EXPECT_EQ(BannerColour(), 0xBEC8C8u);
  EXPECT_TRUE(services.Boxes.empty());

  WriteWash(home.File("Wash.bmp"), 8);
  box.grab();
  EXPECT_TRUE(BannerPicture()->Empty());
  SetButtonColours(QColor(201, 200, 190), Qt::black, Qt::white);
  box.grab();
  EXPECT_EQ(BannerPicture()->Width(), 8);
  // Outside a paint event the picture is kept up to date but nothing is drawn.
  SetButtonColours(QColor(30, 30, 90), Qt::black, Qt::white);
  WriteWash(home.File("Wash.bmp"), 12);
  TFormGlobal::PaintBanner(&box);
  EXPECT_EQ(BannerPicture()->Width(), 12);
}

using AboutBoxTest = ShellFixture;

TEST_F(AboutBoxTest, ShowFillsTheLinesFromTheEnvironment) {
  WriteAll(home.File("credits.txt"), "First line\r\nSecond line\r\n");
  TFormAboutBox form;
  EXPECT_EQ(form.Label7->text(), "NA");
  EXPECT_EQ(form.Label5->text(), "Physical memory avaliable to Windows:");
  EXPECT_EQ(form.Label6->text(), "Memory usage:");
  form.show();
  EXPECT_TRUE(form.Label1->font().bold());
  EXPECT_EQ(form.Label1->text().toStdString(), TranslatedProductName());
  EXPECT_EQ(form.Label2->text().toStdString(), VersionMessage());
  EXPECT_EQ(form.Label3->text().toStdString(), VersionCopyright());
  EXPECT_EQ(form.Label4->text().toStdString(), InnoAppPublisherURL());
  EXPECT_TRUE(form.Label4->font().underline());
  EXPECT_EQ(form.Label4->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(form.Memo->toPlainText(), "First line\nSecond line");
  EXPECT_TRUE(form.Memo->isReadOnly());
  EXPECT_TRUE(form.Label7->text().endsWith("KB"));
  EXPECT_NE(form.Label7->text(), "0KB");
  EXPECT_TRUE(QRegularExpression("^\\d{1,3}% Used$").match(form.Label8->text()).hasMatch())
      << form.Label8->text().toStdString();
  EXPECT_EQ(form.windowTitle(), "About " + form.Label1->text());
  EXPECT_EQ(form.PaintBox1->geometry(), QRect(8, 16, 33, 89));
  EXPECT_EQ(form.Memo->geometry(), QRect(48, 128, 289, 129));
  form.hide();

  // Without the credits file the memo keeps what it held.
  fs::remove(home.File("credits.txt"));
  form.Memo->setPlainText("kept");
  form.show();
  EXPECT_EQ(form.Memo->toPlainText(), "kept");
}

// The memory lines read as a small table under the line: each amount whole, right-aligned at
// the line's right end, apart from its caption, the caption text as the system words it
// (wrapped where the amount leaves too little room), and the second line below the first.
TEST_F(AboutBoxTest, TheMemoryLinesKeepTheirCaptionsAndAmountsApart) {
  TFormAboutBox form;
  form.show();
  const QRect line = form.Bevel1->geometry();
  const QRect page = form.TabSheetAbout->rect();
  for (const char* amount : {"", "1,048,576KB", "24,682,360KB", "1,073,741,824KB"}) {
    SCOPED_TRACE(amount);
    if (*amount) {
      form.Label7->setText(amount);
      form.LayoutMemoryLines();
    }
    EXPECT_EQ(form.Label5->text(), "Physical memory avaliable to Windows:");
    EXPECT_EQ(form.Label6->text(), "Memory usage:");
    for (auto [caption, value] : {std::pair(form.Label5, form.Label7), std::pair(form.Label6, form.Label8)}) {
      const QRect c = caption->geometry(), v = value->geometry();
      EXPECT_EQ(c.left(), line.left());
      EXPECT_LE(c.right() + 6, v.left()) << caption->objectName().toStdString();
      EXPECT_EQ(v.right(), line.right());
      EXPECT_GE(v.width(), value->fontMetrics().horizontalAdvance(value->text()));
      EXPECT_TRUE(value->alignment() & Qt::AlignRight);
      // The caption is shown whole: on one line, or wrapped at blanks into a box that holds
      // its lines and its longest word.
      const QFontMetrics fm = caption->fontMetrics();
      if (caption->wordWrap()) {
        EXPECT_GE(c.height(), caption->heightForWidth(c.width()));
        for (const QString& word : caption->text().split(' '))
          EXPECT_GE(c.width(), fm.horizontalAdvance(word));
      } else {
        EXPECT_GE(c.width(), fm.horizontalAdvance(caption->text()));
        EXPECT_GE(c.height(), fm.height());
      }
      EXPECT_TRUE(page.contains(c.united(v))) << "outside the page";
      EXPECT_GT(c.top(), line.bottom());
    }
    EXPECT_GE(form.Label6->geometry().top(), form.Label5->geometry().bottom());
    EXPECT_GE(form.Label8->geometry().top(), form.Label7->geometry().bottom());
  }
}

TEST_F(AboutBoxTest, ClickingTheAddressOpensIt) {
  TFormAboutBox form;
  form.show();
  // A file address needs no network to count as available.
  form.Label4->setText("file:///tmp/zelmora-about.htm");
  QTest::mouseClick(form.Label4, Qt::LeftButton, {}, QPoint(2, 2));
  ASSERT_EQ(services.Opened.size(), 1u);
  EXPECT_EQ(services.Opened[0], "file:///tmp/zelmora-about.htm");
  QTest::mouseClick(form.Label4, Qt::RightButton, {}, QPoint(2, 2));
  EXPECT_EQ(services.Opened.size(), 1u);
}

struct TipsTest : ShellFixture {
  const std::string kTips =
      "[Tip0]\nEN=First tip\nDE=Erster Tipp\n"
      "[Tip1]\nEN=Second tip from <#productname>\n"
      "[Tip2]\nEN=Third tip\nDE=Dritter Tipp\n";
  std::string Tip(TFormTipOfTheDay& f) { return f.LabelTip->text().toStdString(); }
  int Current() { return TIniFile(home.File("tips.ini")).ReadInteger("Settings", "CurrentTip", -99); }
};

TEST_F(TipsTest, EachShowingAdvancesAndWrapsAfterTheLast) {
  WriteAll(home.File("tips.ini"), "[Settings]\nCurrentTip=2\n" + kTips);
  TFormTipOfTheDay form;
  EXPECT_EQ(form.windowTitle(), "Tip of the Day");
  EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(form.isModal());
  EXPECT_EQ(form.Label1->font().pointSize(), 14);
  form.show();
  EXPECT_EQ(Tip(form), "First tip");
  EXPECT_EQ(Current(), 0);
  form.ButtonNextTip->click();
  EXPECT_EQ(Tip(form), "Second tip from " + TranslatedProductName());
  EXPECT_EQ(Current(), 1);
  form.Button1->click();
  EXPECT_FALSE(form.isVisible());
  form.show();
  EXPECT_EQ(Tip(form), "Third tip");
  form.ButtonNextTipClick();
  EXPECT_EQ(Tip(form), "First tip");
  EXPECT_EQ(Current(), 0);
}

// Each shipped tip, in every language it has, reads as written once its product name is filled
// in: no tip shows the value of a macro it meant to name (the copyright or the build date in
// the middle of a sentence), and each fits its place in the window.
TEST_F(TipsTest, TheShippedTipsReadRightAndFit) {
  WriteAll(home.File("tips.ini"), ReadAll(std::string(ZELMORA_DATA) + "/tips.ini"));
  TIniFile shipped(home.File("tips.ini"));
  std::set<std::string> languages;
  for (const std::string& section : shipped.ReadSections())
    for (const std::string& key : shipped.ReadSection(section))
      if (section.rfind("Tip", 0) == 0) languages.insert(key);
  ASSERT_TRUE(languages.count("EN"));
  for (const std::string& language : languages) {
    Language(language);
    ReleaseEnvironment();
    TFormTipOfTheDay form;
    int count = 0;
    for (int n = 0; shipped.SectionExists("Tip" + std::to_string(n)); ++n, ++count) {
      SCOPED_TRACE(language + " Tip" + std::to_string(n));
      WriteAll(home.File("tips.ini"), ReadAll(std::string(ZELMORA_DATA) + "/tips.ini") +
                                          "\n[Settings]\nCurrentTip=" + std::to_string(n - 1) + "\n");
      form.FormShow();
      const std::string tip = Tip(form);
      EXPECT_FALSE(tip.empty());
      EXPECT_EQ(tip.find(VersionCopyright()), std::string::npos) << tip;
      EXPECT_EQ(tip.find(BuildDate()), std::string::npos) << tip;
      EXPECT_EQ(tip.find("<#productname>"), std::string::npos) << tip;
      EXPECT_LE(form.LabelTip->heightForWidth(form.LabelTip->width()), form.LabelTip->height()) << tip;
    }
    EXPECT_GE(count, 10);
  }
}

TEST_F(TipsTest, StartsAtTipZeroForAnyStoredIndexWithoutItsTip) {
  for (const char* stored : {"", "CurrentTip=-1\n", "CurrentTip=-40\n", "CurrentTip=7\n", "CurrentTip=x\n",
                             "CurrentTip=2147483647\n"}) {
    WriteAll(home.File("tips.ini"), std::string("[Settings]\n") + stored + kTips);
    TFormTipOfTheDay form;
    form.FormShow();
    EXPECT_EQ(Tip(form), "First tip") << stored;
    EXPECT_EQ(Current(), 0) << stored;
  }
}

TEST_F(TipsTest, TheUsersLanguageFallsBackToEnglish) {
  Language("DE");
  WriteAll(home.File("tips.ini"), kTips);
  TFormTipOfTheDay form;
  form.FormShow();
  EXPECT_EQ(Tip(form), "Erster Tipp");
  form.ButtonNextTipClick();
  EXPECT_EQ(Tip(form), "Second tip from " + TranslatedProductName());
}

TEST_F(TipsTest, TheStartUpSettingIsReadAndWrittenAtOnce) {
  WriteAll(home.File("tips.ini"), "[Settings]\nShowAtStartup=0\n" + kTips);
  {
    TFormTipOfTheDay form;
    EXPECT_FALSE(form.CheckBoxShow->isChecked());
    form.show();
    QTest::mouseClick(form.CheckBoxShow, Qt::LeftButton);
    EXPECT_TRUE(form.CheckBoxShow->isChecked());
    EXPECT_EQ(TIniFile(home.File("tips.ini")).ReadString("Settings", "ShowAtStartup", ""), "1");
    QTest::mouseClick(form.CheckBoxShow, Qt::LeftButton);
    EXPECT_EQ(TIniFile(home.File("tips.ini")).ReadString("Settings", "ShowAtStartup", ""), "0");
  }
  // The tips themselves are kept.
  EXPECT_NE(ReadAll(home.File("tips.ini")).find("EN=Third tip"), std::string::npos);
}

TEST_F(TipsTest, WithoutATipsFileTheTipIsEmptyAndWritesCreateIt) {
  TFormTipOfTheDay form;
  EXPECT_TRUE(form.CheckBoxShow->isChecked());
  form.show();
  EXPECT_EQ(Tip(form), "");
  ASSERT_TRUE(fs::exists(home.File("tips.ini")));
  EXPECT_EQ(Current(), 0);
  form.CheckBoxShow->click();
  EXPECT_EQ(TIniFile(home.File("tips.ini")).ReadString("Settings", "ShowAtStartup", ""), "0");
}

}  // namespace
