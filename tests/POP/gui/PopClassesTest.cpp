// The stream, string-list and file-list helpers that work with the toolkit.
#include "POP/gui/PopClasses.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

#include "POP/gui/PopComCtrls.h"
#include "platform/Classes.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtServices.h"
#include "tests/support/TestSupport.h"

namespace {

TMemoryStream StreamOf(const std::string& bytes) {
  TMemoryStream s;
  if (!bytes.empty()) s.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  s.SetPosition(0);
  return s;
}

TEST(PopClasses, StreamValues) {
  std::string bytes = std::string("A\x07\x34\x12\x78\x56\x34\x12", 8) + std::string("\x00\x00\xC0\x3F", 4) +
                      std::string("\x03\x00xyz", 5);
  TMemoryStream s = StreamOf(bytes);
  EXPECT_EQ(StreamChar(s), 'A');
  EXPECT_EQ(StreamByte(s), 7);
  EXPECT_EQ(StreamWord(s), 0x1234);
  EXPECT_EQ(StreamLongWord(s), 0x12345678u);
  EXPECT_EQ(StreamSingle(s), 1.5f);
  EXPECT_EQ(StreamString(s), "xyz");
  EXPECT_THROW(StreamByte(s), EReadError);
  // A length beyond the end is an error, not a read past it.
  TMemoryStream shortString =
      StreamOf(std::string("\x10\x00"
                           "ab",
                           4));
  EXPECT_THROW(StreamString(shortString), EReadError);
  TMemoryStream empty = StreamOf(std::string("\x00\x00", 2));
  EXPECT_EQ(StreamString(empty), "");
}

TEST(PopClasses, ReadStringTakesTheLastMatch) {
  std::vector<std::string> list = {"Width=10", " width = 20", "Height=x", "NoValue", "Name=a=b"};
  EXPECT_EQ(ReadString(list, "WIDTH", "-"), " 20");
  EXPECT_EQ(ReadInteger(list, "Width", 0), 20);
  EXPECT_EQ(ReadInteger(list, "Height", 7), 7);
  EXPECT_EQ(ReadString(list, "Name", ""), "a=b");
  EXPECT_EQ(ReadString(list, "NoValue", "def"), "def");
}

TEST(PopClasses, FileListByMask) {
  TempDir dir;
  for (const char* n : {"b.BMP", "a.bmp", "c.gif", ".hidden.bmp"}) WriteAll(dir.File(n), "x");
  std::filesystem::create_directory(dir.File("sub.bmp"));
  std::vector<std::string> list = {"kept"};
  StringListFileList(list, dir.Path() + "/*.bmp", 0);
  EXPECT_EQ(list, (std::vector<std::string>{"kept", dir.File("a.bmp"), dir.File("b.BMP")}));
  list.clear();
  StringListFileList(list, dir.Path() + "/?.*", faDirectory | faHidden);
  EXPECT_EQ(list.size(), 3u);
  list.clear();
  StringListFileList(list, dir.Path() + "/*", faAnyFile);
  EXPECT_EQ(list.size(), 5u);
  StringListFileList(list, dir.File("missing/*"), faAnyFile);
  EXPECT_EQ(list.size(), 5u);
}

TEST(PopClasses, SenderFriend) {
  QWidget form;
  auto* button = new QPushButton(&form);
  button->setObjectName("ButtonColor3");
  auto* edit = new QLineEdit(&form);
  edit->setObjectName("Edit3");
  EXPECT_EQ(SenderFriend(button, "Edit"), edit);
  EXPECT_EQ(SenderFriend(button, "Panel"), nullptr);
  EXPECT_EQ(SenderFriend(nullptr, "Edit"), nullptr);
}

TEST(PopComCtrls, ListViewsToFilesAndBack) {
  TempDir dir;
  QTreeWidget list;
  list.setColumnCount(2);
  new QTreeWidgetItem(&list, QStringList({"a.gif", "12 KB"}));
  new QTreeWidgetItem(&list, QStringList({"b.png", "3 KB"}));
  ListViewSaveToFile(&list, dir.File("list.txt"));
  EXPECT_EQ(ReadAll(dir.File("list.txt")), "a.gif\t12 KB\nb.png\t3 KB\n");
  QTreeWidget back;
  back.setColumnCount(2);
  ListViewOpenFromFile(&back, dir.File("list.txt"));
  ASSERT_EQ(back.topLevelItemCount(), 2);
  EXPECT_EQ(back.topLevelItem(1)->text(1), "3 KB");
  EXPECT_THROW(ListViewOpenFromFile(&back, dir.File("missing.txt")), Exception);
  EXPECT_EQ(back.topLevelItemCount(), 2);

  ListViewClearSubItems(&back);
  EXPECT_EQ(back.topLevelItem(0)->text(0), "a.gif");
  EXPECT_EQ(back.topLevelItem(0)->text(1), "");

  QStatusBar bar;
  StatusBarExplorer(&bar, &list);
  EXPECT_EQ(StatusBarSimpleText(&bar), "2 object(s)");
  list.setSelectionMode(QAbstractItemView::ExtendedSelection);
  EXPECT_TRUE(ListViewCanSelectAll(&list));
  list.topLevelItem(0)->setSelected(true);
  StatusBarExplorer(&bar, &list);
  EXPECT_EQ(StatusBarSimpleText(&bar), "1 object(s) selected");
}

TEST(PopComCtrls, ListViewPopulateListsTheFolderFiles) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("sub"));
  for (const char* name : {"b.png", "a.gif", ".hidden"}) {
    std::ofstream f(dir.File(name));
    f << "12345";
  }
  QTreeWidget list;
  list.setColumnCount(2);
  new QTreeWidgetItem(&list, QStringList({"old"}));
  ListViewPopulate(&list, dir.Path());
  ASSERT_EQ(list.topLevelItemCount(), 2);
  EXPECT_EQ(list.topLevelItem(0)->text(0), "a.gif");
  EXPECT_EQ(list.topLevelItem(0)->text(1), "5");
  EXPECT_EQ(list.topLevelItem(1)->text(0), "b.png");
  ListViewPopulate(&list, dir.File("missing"));
  EXPECT_EQ(list.topLevelItemCount(), 0);

  QStatusBar bar;
  bar.resize(301, 20);
  auto* a = new QLabel("a", &bar);
  auto* b = new QLabel("b", &bar);
  StatusBarResize(&bar);
  EXPECT_EQ(a->width(), 150);
  EXPECT_EQ(b->width(), 151);
}

TEST(PopComCtrls, TreeNodePaths) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("site/images"));
  std::filesystem::create_directories(dir.File("site/css"));
  QTreeWidget tree;
  auto* root = new QTreeWidgetItem(&tree, QStringList(QString::fromStdString(dir.Path())));
  auto* site = new QTreeWidgetItem(root, QStringList("site"));
  EXPECT_EQ(TreeNodeGetPath(site), dir.Path() + "/site/");
  EXPECT_TRUE(TreeNodeInheritsFrom(site, root));
  EXPECT_TRUE(TreeNodeInheritsFrom(site, site));
  EXPECT_FALSE(TreeNodeInheritsFrom(root, site));
  TreeViewExplore(site);
  ASSERT_EQ(site->childCount(), 2);
  EXPECT_EQ(site->child(0)->text(0), "css");
  EXPECT_EQ(site->child(1)->text(0), "images");
}

}  // namespace
