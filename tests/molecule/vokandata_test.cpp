// The data model's growable arrays, library resizes, structure copies and releases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "molecule/vokandata.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

TEST(Growth, IncrementRulesKeepTheEntries) {
  struct Case {
    int size, n, k;  // size -1: absent
    std::size_t extent;
  };
  for (const Case& c : std::vector<Case>{{10, 4, 0, 4}, {10, 8, 5, 10}, {10, 12, 5, 17}, {3, 50, -1, 3},
                                         {-1, 5, 2, 7}, {-1, 2, -5, 0}, {2, 3, 500, 503}}) {
    FArray<double> a;
    FArray<std::string> t;
    if (c.size >= 0) {
      a.allocate(Dim(c.size));
      t.allocate(Dim(c.size));
      for (int i = 1; i <= c.size; ++i) a(i) = i, t(i) = std::to_string(i);
    }
    ralo(a, c.n, c.k);
    salo(t, c.n, c.k);
    ASSERT_EQ(a.extent(), c.extent) << c.size << " " << c.n << " " << c.k;
    ASSERT_EQ(t.extent(), c.extent);
    for (int i = 1; i <= std::min(c.size, int(c.extent)); ++i) EXPECT_EQ(a(i) + std::stod(t(i)), 2 * i);
  }
  FArray<int> fixed;
  ialo(fixed, 4, 1);
  ialo(fixed, 100, 0);
  EXPECT_EQ(fixed.extent(), 5u) << "an allocated integer array never changes";
}

TEST(Structures, CopiesGrowKeepAndRelease) {
  VokanData v;
  testing::make_molecule(v, 2, 2, 1);
  v.nd = 2;
  alostr(v, 1, 0);
  for (int a = 1; a <= v.na; ++a) testing::set_xyz(v, 0, a, a, 10 * a, 100 * a);
  v.dval(1) = 0.5, v.dval(2) = -0.5, v.i0styp = 2;
  copstr(v, 0, 2);  // appends a structure with one spare slot
  EXPECT_EQ(v.structure_capacity(), 3);
  EXPECT_EQ(v.istyp(2), 2);
  for (int a = 1; a <= v.na; ++a) EXPECT_EQ(v.coo(2, v.col(2, a)), 10 * a);
  EXPECT_EQ(v.dval(v.dix(2, 2)), -0.5);
  v.istyp(1) = 1;
  copstr(v, 1, 0);
  EXPECT_EQ(v.i0styp, 1);
  testing::set_xyz(v, 0, 1, 42, 0, 0);
  copstr(v, 7, 0);  // beyond the capacity: nothing happens
  EXPECT_EQ(v.coo(1, v.col(0, 1)), 42.0);
  alostr(v, 5, 0);
  EXPECT_EQ(v.structure_capacity(), 5);
  EXPECT_EQ(v.coo(3, v.col(2, 3)), 300.0);
  alolib(v, 1, 1, 1, 1);
  dstroy(v);
  EXPECT_FALSE(v.anam.allocated() || v.asel.allocated() || v.coo.allocated());
  EXPECT_EQ(v.structure_capacity(), 0);
  EXPECT_TRUE(v.rnum.allocated() && v.ifira.allocated() && v.attyp.allocated()) << "sequence and library stay";
}

}  // namespace
}  // namespace veldrix
