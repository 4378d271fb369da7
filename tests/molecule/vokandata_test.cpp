// The data model's growable arrays, group resizes, release and structure copy.
#include <gtest/gtest.h>

#include "molecule/vokandata.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

FArray<double> numbered(int n) {
  FArray<double> a(n);
  for (int i = 1; i <= n; ++i) a(i) = i;
  return a;
}

TEST(Ralo, ZeroIncrementResizesToExactlyN) {
  FArray<double> a = numbered(10);
  ralo(a, 4, 0);
  ASSERT_EQ(a.extent(), 4u);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(a(i), i);
  ralo(a, 4, 0);
  EXPECT_EQ(a.extent(), 4u);
}

TEST(Ralo, PositiveIncrementIsHeadroom) {
  FArray<double> a = numbered(10);
  ralo(a, 8, 5);
  EXPECT_EQ(a.extent(), 10u);
  ralo(a, 12, 5);
  ASSERT_EQ(a.extent(), 17u);
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(a(i), i);
}

TEST(Ralo, NegativeIncrementNeverResizesAndAbsentArraysAreAllocated) {
  FArray<double> a = numbered(3);
  ralo(a, 50, -1);
  EXPECT_EQ(a.extent(), 3u);
  FArray<double> b;
  ralo(b, 5, 2);
  EXPECT_EQ(b.extent(), 7u);
  FArray<bool> f;
  lalo(f, 2, -5);
  EXPECT_TRUE(f.allocated());
  EXPECT_EQ(f.extent(), 0u);
}

TEST(Salo, TextArraysKeepTheirEntries) {
  FArray<std::string> s(2);
  s(1) = "CA";
  s(2) = "N";
  salo(s, 3, 500);
  ASSERT_EQ(s.extent(), 503u);
  EXPECT_EQ(s(1), "CA");
  EXPECT_EQ(s(2), "N");
}

TEST(Ialo, AllocatedArrayNeverChanges) {
  FArray<int> a;
  ialo(a, 4, 1);
  EXPECT_EQ(a.extent(), 5u);
  a(1) = 9;
  ialo(a, 100, 0);
  EXPECT_EQ(a.extent(), 5u);
  EXPECT_EQ(a(1), 9);
}

TEST(Alolib, SameSizesChangeNothingLargerMaxatKeepsPositions) {
  testing::reset_all();
  VokanData& v = vokandata;
  alolib(2, 2, 3, 4);
  v.atnam(4, 2) = "CB";
  v.coord(3, 4, 2) = 1.5;
  v.attyp(2) = "H_ALI";
  alolib(2, 2, 3, 4);
  EXPECT_EQ(v.atnam(4, 2), "CB");
  alolib(3, 2, 3, 9);
  EXPECT_EQ(v.atnam.extent(0), 9u);
  EXPECT_EQ(v.atnam(4, 2), "CB");
  EXPECT_EQ(v.coord(3, 4, 2), 1.5);
  EXPECT_EQ(v.attyp(2), "H_ALI");
  EXPECT_EQ(v.attyp.extent(), 3u);
}

TEST(Copstr, CopiesCoordinatesAnglesAndType) {
  testing::reset_all();
  testing::make_molecule(2, 2, 1);
  VokanData& v = vokandata;
  v.nd = 2;
  alostr(1, 0);
  for (int a = 1; a <= v.na; ++a) testing::set_xyz(0, a, a, 10 * a, 100 * a);
  v.dval(1) = 0.5;
  v.dval(2) = -0.5;
  v.i0styp = 2;
  copstr(0, 0);  // no-op
  copstr(0, 2);  // appends a structure with one spare slot
  EXPECT_EQ(v.structure_capacity(), 3);
  EXPECT_EQ(v.istyp(2), 2);
  for (int a = 1; a <= v.na; ++a) EXPECT_EQ(v.coo(2, v.col(2, a)), 10 * a);
  EXPECT_EQ(v.dval(v.dix(2, 2)), -0.5);
  v.i0styp = 1;
  v.istyp(1) = 1;
  copstr(1, 0);
  EXPECT_EQ(v.i0styp, 1);
  EXPECT_EQ(v.coo(1, v.col(0, 1)), v.coo(1, v.col(1, 1)));
  testing::set_xyz(0, 1, 42, 0, 0);
  copstr(7, 0);  // beyond the capacity: nothing happens
  EXPECT_EQ(v.coo(1, v.col(0, 1)), 42.0);
}

TEST(Alostr, KeepsStructuresAndReleases) {
  testing::reset_all();
  testing::make_molecule(1, 4, 2);
  VokanData& v = vokandata;
  testing::set_xyz(2, 3, 7, 8, 9);
  alostr(5, 0);
  EXPECT_EQ(v.structure_capacity(), 5);
  EXPECT_EQ(v.coo(3, v.col(2, 3)), 9.0);
  alostr(0, 0);
  EXPECT_FALSE(v.coo.allocated());
  EXPECT_EQ(v.structure_capacity(), 0);
}

TEST(Dstroy, ReleasesMoleculeArraysButNotSequenceOrLibrary) {
  testing::reset_all();
  testing::make_molecule(3, 2, 2);
  alolib(1, 1, 1, 1);
  dstroy();
  VokanData& v = vokandata;
  EXPECT_FALSE(v.anam.allocated());
  EXPECT_FALSE(v.asel.allocated());
  EXPECT_FALSE(v.coo.allocated());
  EXPECT_TRUE(v.rnum.allocated());
  EXPECT_TRUE(v.ifira.allocated());
  EXPECT_TRUE(v.attyp.allocated());
}

TEST(FArrayType, LowerBoundsAndColumnMajorOrder) {
  FArray<int, 2> a(Dim(4), Dim(-1, 2));
  EXPECT_EQ(a.size(), 16u);
  a(1, -1) = 5;
  a(2, -1) = 6;
  EXPECT_EQ(*a.begin(), 5);
  EXPECT_EQ(*(a.begin() + 1), 6);
  a.resize_keep(Dim(4), Dim(-1, 5));
  EXPECT_EQ(a(2, -1), 6);
  EXPECT_EQ(a(3, 5), 0);
  FArray<int, 2> b = a;
  b(1, -1) = 1;
  EXPECT_EQ(a(1, -1), 5);
}

}  // namespace
}  // namespace veldrix
