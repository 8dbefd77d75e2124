// The dirty-rectangle lists: adding, subtracting and clipping keep them disjoint.
#include "engine/RegionRect.h"

#include <gtest/gtest.h>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

struct Region {
  TRegionList list = nullptr;
  ~Region() { RegionClear(list); }
  std::vector<TRect> Rects() const {
    std::vector<TRect> out;
    for (auto* p = list; p; p = p->Next) out.push_back(p->Rect);
    return out;
  }
  // Every covered pixel once; fails the test on a pixel covered twice.
  std::set<std::pair<int, int>> Pixels() const {
    std::set<std::pair<int, int>> px;
    for (const TRect& r : Rects())
      for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) EXPECT_TRUE(px.insert({x, y}).second) << x << "," << y;
    return px;
  }
};

std::set<std::pair<int, int>> Area(const TRect& r) {
  std::set<std::pair<int, int>> px;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) px.insert({x, y});
  return px;
}

TEST(RegionList, AddSameRectangleTwiceAndReversed) {
  Region g;
  RegionAdd(g.list, 0, 0, 10, 10);
  RegionAdd(g.list, 0, 0, 10, 10);
  EXPECT_EQ(g.Rects(), std::vector<TRect>{Rect(0, 0, 10, 10)});
  RegionAdd(g.list, 10, 10, 0, 0);  // normalised
  EXPECT_EQ(g.Rects(), std::vector<TRect>{Rect(0, 0, 10, 10)});
  RegionAdd(g.list, 2, 2, 4, 4);
  RegionAdd(g.list, -5, -5, 50, 50);  // covers everything: the list becomes that one rectangle
  EXPECT_EQ(g.Rects(), std::vector<TRect>{Rect(-5, -5, 50, 50)});
}

TEST(RegionList, SetKeepsReversedAndClipDropsIt) {
  Region g;
  RegionSet(g.list, 10, 10, 0, 0);
  EXPECT_EQ(g.Rects(), std::vector<TRect>{Rect(10, 10, 0, 0)});
  RegionClip(g.list, 0, 0, 100, 100);
  EXPECT_TRUE(g.Rects().empty());

  RegionAdd(g.list, 0, 0, 10, 10);
  RegionAdd(g.list, 20, 0, 30, 10);
  RegionClip(g.list, 40, 40, 50, 50);  // outside every node
  EXPECT_TRUE(g.Rects().empty());

  RegionAdd(g.list, 0, 0, 10, 10);
  RegionClip(g.list, 5, 5, -5, -5);
  EXPECT_EQ(g.Rects(), std::vector<TRect>{Rect(0, 0, 5, 5)});
}

TEST(RegionList, IntersectsNeedsArea) {
  Region g;
  RegionAdd(g.list, 0, 0, 10, 10);
  EXPECT_FALSE(RegionIntersects(g.list, 10, 0, 20, 10));  // touching edge
  EXPECT_FALSE(RegionIntersects(g.list, 0, 10, 10, 20));
  EXPECT_TRUE(RegionIntersects(g.list, 9, 9, 20, 20));
  EXPECT_FALSE(RegionIntersects(nullptr, 0, 0, 10, 10));
}

TEST(RegionList, RandomAddsStayDisjointAndCoverTheUnion) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> c(-10, 40);
  for (int round = 0; round < 50; ++round) {
    Region g;
    std::set<std::pair<int, int>> expected;
    for (int i = 0; i < 8; ++i) {
      int l = c(rng), t = c(rng), r = c(rng), b = c(rng);
      RegionAdd(g.list, l, t, r, b);
      auto a = Area(Rect(std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)));
      expected.insert(a.begin(), a.end());
    }
    EXPECT_EQ(g.Pixels(), expected);
    // Subtracting leaves exactly the rest.
    RegionSubtract(g.list, 0, 0, 15, 15);
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 15; ++x) expected.erase({x, y});
    EXPECT_EQ(g.Pixels(), expected);
  }
}

// Any mix of adds, subtracts and clips, checked against a mask of pixels kept beside it.
TEST(RegionList, RandomAddSubtractClipMatchAPixelMask) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> c(-8, 32), op(0, 5);
  for (int round = 0; round < 200; ++round) {
    Region g;
    std::set<std::pair<int, int>> mask;
    for (int i = 0; i < 12; ++i) {
      int l = c(rng), t = c(rng), r = c(rng), b = c(rng);
      auto a = Area(Rect(std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)));
      int o = op(rng);
      if (o <= 2) {
        RegionAdd(g.list, l, t, r, b);
        mask.insert(a.begin(), a.end());
      } else if (o <= 4) {
        RegionSubtract(g.list, l, t, r, b);
        for (const auto& px : a) mask.erase(px);
      } else {
        RegionClip(g.list, l, t, r, b);
        std::set<std::pair<int, int>> kept;
        for (const auto& px : mask)
          if (a.count(px)) kept.insert(px);
        mask.swap(kept);
      }
      ASSERT_EQ(g.Pixels(), mask) << "round " << round << " step " << i;
      bool any = false;
      for (const auto& px : mask)
        if (px.first >= 0 && px.first < 10 && px.second >= 0 && px.second < 10) any = true;
      EXPECT_EQ(RegionIntersects(g.list, 0, 0, 10, 10), any);
    }
  }
}

TEST(RegionList, PopUnlinks) {
  Region g;
  RegionAdd(g.list, 0, 0, 1, 1);
  RegionAdd(g.list, 5, 5, 6, 6);
  TRegionRect* n = RegionPop(g.list);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->Next, nullptr);
  EXPECT_EQ(n->Rect, Rect(5, 5, 6, 6));
  delete n;
  EXPECT_EQ(g.Rects().size(), 1u);
}

}  // namespace

// A region of more pieces than the limit becomes the box around them; up to the limit it
// keeps its pieces.
TEST(RegionList, LimitMakesManyPiecesTheirBox) {
  for (int pieces : {1, 256, 257, 3000}) {
    SCOPED_TRACE(pieces);
    Region g;
    for (int i = 0; i < pieces; ++i) RegionAdd(g.list, i * 10, i % 7, i * 10 + 5, i % 7 + 3);
    const std::vector<TRect> before = g.Rects();
    RegionLimit(g.list, 256);
    if (pieces <= 256) EXPECT_EQ(g.Rects(), before);
    else EXPECT_EQ(g.Rects(), std::vector<TRect>{Rect(0, 0, (pieces - 1) * 10 + 5, 9)});
  }
  Region empty;
  RegionLimit(empty.list, 0);
  EXPECT_TRUE(empty.Rects().empty());
}
