// The ensemble RMSD to the mean structure: refusals, usable atoms, members, known answers, adisp.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry.hpp"
#include "superpose/overlay.hpp"
#include "superpose/rmsd.hpp"

namespace veldrix::testing {
namespace {

FArray<bool> all_atoms(const VokanData& v, bool value = true) {
  FArray<bool> sel(Dim(v.na));
  sel.fill(value);
  return sel;
}

std::vector<double> structure(const VokanData& v, int s) {
  std::vector<double> p;
  for (int a = 1; a <= v.na; ++a)
    for (int i = 1; i <= 3; ++i) p.push_back(v.coo(i, v.col(s, a)));
  return p;
}

TEST(Armsd, RefusesWithoutTwoStructuresOrFourUsableAtoms) {
  SuperposeState s;
  VokanData& v = s.vokandata;
  build_ensemble(v, {.nres = 5, .per = 2, .nstr = 3, .noise = 0.3});
  v.adisp.fill(7.5);
  v.nsstr = 1;
  EXPECT_EQ(armsd(s, all_atoms(v)), -1.0);
  v.nsstr = 3;
  FArray<bool> sel = all_atoms(v, false);
  sel(2) = sel(5) = sel(9) = true;
  EXPECT_EQ(armsd(s, sel), -1.0);
  sel(1) = sel(7) = true;  // five, but two lack coordinates in one member
  set_xyz(v, 2, 1, 0.0, unknown_value, 0.0);
  set_xyz(v, 3, 7, 0.0, 0.0, -1.0e8);
  EXPECT_EQ(armsd(s, sel), -1.0);
  for (int a = 1; a <= v.na; ++a) EXPECT_EQ(v.adisp(a), 7.5);
}

// Two optimally superimposed members have their mean halfway between them: the result is half the
// pairwise RMSD, and every atom's displacement half its distance after the pairwise fit.
TEST(Armsd, TwoMembersMeetHalfway) {
  for (unsigned seed = 100; seed < 106; ++seed) {
    SuperposeState s;
    VokanData& v = s.vokandata;
    build_ensemble(v, {.nres = 8, .per = 3, .nstr = 2, .noise = 0.4, .seed = seed});
    std::vector<double> x2 = structure(v, 2);
    const std::vector<double> x1 = structure(v, 1), stored = x2;
    const double pair = rmsd(x2, x1, v.na, -1, {}, 0);
    EXPECT_NEAR(armsd(s, all_atoms(v)), pair / 2.0, 1e-10);
    for (int a = 1; a <= v.na; ++a) {
      const std::size_t k = std::size_t(3 * (a - 1));
      EXPECT_NEAR(v.adisp(a), std::hypot(x2[k] - x1[k], x2[k + 1] - x1[k + 1], x2[k + 2] - x1[k + 2]) / 2.0, 1e-10);
    }
    EXPECT_EQ(structure(v, 2), stored) << "the stored coordinates are never moved";
  }
  SuperposeState rigid;
  build_ensemble(rigid.vokandata, {.nres = 10, .per = 3, .nstr = 5, .noise = 0.0});
  EXPECT_NEAR(armsd(rigid, all_atoms(rigid.vokandata)), 0.0, 1e-9);
}

TEST(Armsd, AtomsWithoutCoordinatesAndNonMembersAreLeftOut) {
  SuperposeState s;
  VokanData& v = s.vokandata;
  build_ensemble(v, {.nres = 6, .per = 3, .nstr = 4, .noise = 0.5, .seed = 3});
  FArray<bool> without = all_atoms(v);
  without(5) = without(11) = false;
  const double expected = armsd(s, without);
  // A magnitude of 1e8 or more in any member, in any coordinate, excludes the atom.
  set_xyz(v, 3, 5, 1.0, -1.0e8, 2.0);
  set_xyz(v, 2, 11, 0.0, 0.0, unknown_value);
  EXPECT_EQ(armsd(s, all_atoms(v)), expected);
  EXPECT_EQ(v.adisp(5) + v.adisp(11), 0.0);
  EXPECT_GT(v.adisp(4), 0.0);
  set_xyz(v, 3, 5, 1.0, -0.99e8, 2.0);  // just below the limit the atom takes part
  EXPECT_GT(armsd(s, all_atoms(v)), 1.0e6);
  // Members come through isstr: structure 2 left out of the pair (3, 1) does not matter.
  v.nsstr = 2;
  v.isstr(1) = 3;
  v.isstr(2) = 1;
  set_xyz(v, 3, 5, 1.0, 0.0, 2.0);
  std::vector<double> x1 = structure(v, 1);
  EXPECT_NEAR(armsd(s, all_atoms(v)), rmsd(x1, structure(v, 3), v.na, 0, {}, 0) / 2.0, 1e-10);
}

}  // namespace
}  // namespace veldrix::testing
