// Layers and the layer list: bounds, selection, snapping and hit tests.
#include "engine/TLayer.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// A list of layers named by their Text, placed side by side unless told otherwise.
struct Scene {
  TLayerList list;
  TLayer* Add(const std::string& name, TRect r = TRect(0, 0, 10, 10)) {
    auto* l = new TLayer(&list);
    l->Text = name;
    l->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    l->CommitBounds();
    return l;
  }
  std::string Order() const {
    std::string s;
    for (int i = 0; i < list.Count(); ++i) s += list.Layer(i)->Text;
    return s;
  }
  std::string Selected() const {
    std::string s;
    for (int i = 0; i < list.Count(); ++i)
      if (list.Layer(i)->IsSelected) s += list.Layer(i)->Text;
    return s;
  }
};

TEST(Layer, BoundsSelectionAndVisibility) {
  TLayer l;
  l.SetBounds(1, 2, 3, 4);
  EXPECT_EQ(l.Bounds, Rect(1, 2, 4, 6));
  EXPECT_TRUE(l.Changed);
  l.CommitBounds();
  l.SetBounds(1, 2, 3, 4);  // the same values change nothing
  EXPECT_FALSE(l.Changed);
  EXPECT_EQ(l.PrevBounds, Rect(1, 2, 4, 6));
  l.OffsetBy(10, 0);
  EXPECT_EQ(l.PrevBounds, Rect(1, 2, 4, 6));
  EXPECT_EQ(l.Bounds, Rect(11, 2, 14, 6));
  EXPECT_TRUE(l.ContainsPoint(Point(11, 2)));
  EXPECT_FALSE(l.ContainsPoint(Point(14, 2)));  // right edge outside
  l.SetVisible(false);
  EXPECT_FALSE(l.ContainsPoint(Point(11, 2)));
}

TEST(LayerList, SnapPoint) {
  TLayerList list;
  struct {
    int gx, gy;
    bool align;
    TPoint in, out;
  } cases[] = {{8, 8, true, {13, 21}, {8, 16}},
               {8, 8, true, {-5, -13}, {0, -8}},
               {0, 1, true, {13, 21}, {13, 21}},
               {8, 8, false, {13, 21}, {13, 21}},
               {10, 4, true, {19, 7}, {10, 4}}};
  for (auto& c : cases) {
    list.GridX = c.gx;
    list.GridY = c.gy;
    list.AlignToGrid = c.align;
    EXPECT_EQ(list.SnapPoint(c.in), c.out);
  }
}

TEST(LayerList, BoundsAndHitTest) {
  Scene s;
  EXPECT_EQ(s.list.GetBounds(false), Rect(10000, 10000, -10000, -10000));
  s.list.SelectAll();  // empty: no error, no current layer
  EXPECT_EQ(s.list.Current, nullptr);
  TLayer* a = s.Add("a", Rect(0, 0, 10, 10));
  TLayer* b = s.Add("b", Rect(5, 5, 20, 20));
  EXPECT_EQ(s.list.GetBounds(true), Rect(0, 0, 20, 20));
  TLayer* far = s.Add("far", Rect(20000, -30000, 20010, -29990));
  EXPECT_EQ(s.list.GetBounds(true), Rect(0, -30000, 20010, 20));  // the true union
  far->SetSelected(true);
  EXPECT_EQ(s.list.GetBounds(false), Rect(20000, -30000, 20010, -29990));
  delete far;
  EXPECT_EQ(s.list.LayerAtPoint(Point(7, 7)), b);  // topmost
  EXPECT_EQ(s.list.LayerAtPoint(Point(2, 2)), a);
  EXPECT_EQ(s.list.LayerAtPoint(Point(20, 20)), nullptr);
  b->SetVisible(false);
  EXPECT_EQ(s.list.LayerAtPoint(Point(7, 7)), b);  // visibility is not consulted here
}

TEST(LayerList, ClickSelection) {
  Scene s;
  TLayer* a = s.Add("a", Rect(0, 0, 10, 10));
  TLayer* b = s.Add("b", Rect(20, 0, 30, 10));
  TLayer* c = s.Add("c", Rect(40, 0, 50, 10));
  s.Add("d", Rect(10, 0, 20, 5));
  b->WriteString("Group", "G1");
  c->WriteString("Group", "g1");  // ids compare without regard to case

  s.list.Select(a, false, false);
  EXPECT_EQ(s.Selected(), "a");
  EXPECT_EQ(s.list.Current, a);
  s.list.Select(b, false, false);  // an unselected grouped layer: its group only
  EXPECT_EQ(s.Selected(), "bc");
  s.list.Select(c, false, false);  // clicking a selected layer keeps the selection
  EXPECT_EQ(s.Selected(), "bc");
  s.list.Select(a, false, true);  // ctrl toggles
  EXPECT_EQ(s.Selected(), "abc");
  s.list.Select(b, false, true);
  EXPECT_EQ(s.Selected(), "a");
  EXPECT_EQ(s.list.Current, nullptr);  // b is no longer selected
  s.list.Select(b, true, false);       // shift: the group, then everything inside the bounds
  EXPECT_EQ(s.Selected(), "abcd");
  s.list.Select(nullptr, false, false);
  EXPECT_EQ(s.Selected(), "");
  EXPECT_EQ(s.list.Current, nullptr);
  s.list.InvertSelection();
  EXPECT_EQ(s.Selected(), "abcd");
}

TEST(LayerList, ZOrder) {
  Scene s;
  for (const char* n : {"a", "b", "c", "d", "e"}) s.Add(n);
  for (int i = 0; i < 5; ++i) s.list.Layer(i)->Changed = false;
  s.list.Layer(1)->SetSelected(true);
  s.list.Layer(3)->SetSelected(true);
  for (int i = 0; i < 5; ++i) s.list.Layer(i)->Changed = false;
  TLayer* current = s.list.Layer(1);
  s.list.Current = current;

  s.list.SendToBack();
  EXPECT_EQ(s.Order(), "bdace");
  EXPECT_FALSE(s.list.Layer(0)->Changed);  // only the unselected layers moved
  EXPECT_TRUE(s.list.Layer(2)->Changed);
  EXPECT_EQ(s.list.Current, current);

  s.list.BringToFront();
  EXPECT_EQ(s.Order(), "acebd");

  s.list.MoveSelectedTo(1);
  EXPECT_EQ(s.Order(), "abdce");
  s.list.MoveSelectedTo(5);
  EXPECT_EQ(s.Order(), "acebd");

  s.list.SelectNone();
  for (int i = 0; i < 5; ++i) s.list.Layer(i)->Changed = false;
  s.list.SendToBack();  // nothing selected: order kept, everything marked
  EXPECT_EQ(s.Order(), "acebd");
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(s.list.Layer(i)->Changed);
}

TEST(LayerList, DeleteParkAndCurrent) {
  Scene s;
  TLayer* a = s.Add("a");
  s.Add("b");
  TLayer* c = s.Add("c");
  a->SetSelected(true);
  c->SetSelected(true);
  s.list.ParkSelected();
  EXPECT_EQ(a->Bounds, Rect(-40, -40, -20, -20));
  s.list.Current = c;
  s.list.DeleteSelected();
  EXPECT_EQ(s.Order(), "b");
  EXPECT_EQ(s.list.Current, nullptr);

  // Current never outlives its layer, however it leaves the list.
  TLayer* b = s.list.Layer(0);
  s.list.Current = b;
  delete b;
  EXPECT_EQ(s.list.Current, nullptr);
  TLayer* d = s.Add("d");
  s.list.Current = d;
  TObjectList other;
  d->SetOwnerList(&other);
  EXPECT_EQ(s.list.Current, nullptr);
  TLayer* e = s.Add("e");
  s.list.Current = e;
  s.list.Clear();
  EXPECT_EQ(s.list.Current, nullptr);
}

TEST(LayerList, FullyVisible) {
  Scene s;
  s.list.Page->SetSize(100, 100);
  TLayer* a = s.Add("a", Rect(10, 10, 30, 30));
  TLayer* out = s.Add("out", Rect(90, 90, 101, 100));   // one pixel off the page
  TLayer* touching = s.Add("t", Rect(30, 10, 40, 30));  // shares an edge with a
  EXPECT_TRUE(s.list.IsFullyVisible(a));
  EXPECT_FALSE(s.list.IsFullyVisible(out));
  EXPECT_TRUE(s.list.IsFullyVisible(touching));
  s.Add("cover", Rect(25, 25, 35, 35));
  EXPECT_FALSE(s.list.IsFullyVisible(a));
}

TEST(LayerList, Groups) {
  Scene s;
  TLayer* a = s.Add("a");
  TLayer* b = s.Add("b");
  TLayer* c = s.Add("c");
  a->SetSelected(true);
  b->SetSelected(true);
  s.list.GroupSelected();
  std::string id = a->GroupId();
  EXPECT_FALSE(id.empty());
  EXPECT_EQ(b->GroupId(), id);
  EXPECT_EQ(c->GroupId(), "");
  for (char ch : id) EXPECT_TRUE(isdigit(ch) || (ch >= 'A' && ch <= 'F')) << id;

  s.list.RenewGroupIds();
  EXPECT_NE(a->GroupId(), id);
  EXPECT_EQ(a->GroupId(), b->GroupId());
  s.list.UngroupSelected();
  EXPECT_EQ(a->GroupId(), "");
  EXPECT_NE(MakeGroupId(), MakeGroupId());
}

}  // namespace
