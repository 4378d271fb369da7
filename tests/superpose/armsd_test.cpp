// The ensemble RMSD to the mean structure: refusals, usable atoms, two-member geometry, adisp.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "geometry.hpp"
#include "superpose/overlay.hpp"
#include "superpose/rmsd.hpp"

namespace veldrix::testing {
namespace {

FArray<bool> all_atoms(bool value) {
  FArray<bool> sel(Dim(vokandata.na));
  sel.fill(value);
  return sel;
}

std::vector<double> coordinates_of(int s) {
  std::vector<double> p;
  for (int a = 1; a <= vokandata.na; ++a)
    for (int i = 1; i <= 3; ++i) p.push_back(vokandata.coo(i, vokandata.col(s, a)));
  return p;
}

TEST(Armsd, RefusesWithoutTwoStructuresOrFourUsableAtoms) {
  reset_all();
  build_ensemble({.nres = 5, .per = 2, .nstr = 3, .noise = 0.3});
  vokandata.adisp.fill(7.5);

  vokandata.nsstr = 1;
  EXPECT_EQ(armsd(all_atoms(true), 0), -1.0);
  vokandata.nsstr = 3;

  FArray<bool> sel = all_atoms(false);
  sel(2) = sel(5) = sel(9) = true;
  EXPECT_EQ(armsd(sel, 0), -1.0);

  // Five selected, but two of them lack coordinates in one member.
  sel(1) = sel(7) = true;
  set_xyz(2, 1, 0.0, unknown_value, 0.0);
  set_xyz(3, 7, 0.0, 0.0, -1.0e8);
  EXPECT_EQ(armsd(sel, 0), -1.0);

  for (int a = 1; a <= vokandata.na; ++a) EXPECT_EQ(vokandata.adisp(a), 7.5);
}

TEST(Armsd, RigidCopiesHaveNoSpread) {
  reset_all();
  build_ensemble({.nres = 10, .per = 3, .nstr = 5, .noise = 0.0});
  const std::vector<double> before = coordinates_of(4);
  EXPECT_NEAR(armsd(all_atoms(true), 0), 0.0, 1e-9);
  for (int a = 1; a <= vokandata.na; ++a) EXPECT_NEAR(vokandata.adisp(a), 0.0, 1e-9);
  EXPECT_EQ(coordinates_of(4), before);  // the stored coordinates are never moved
}

TEST(Armsd, TwoMembersMeetHalfway) {
  // Two optimally superimposed sets have their mean halfway between them, and the
  // fit onto that mean moves neither: the result is half the pairwise RMSD and
  // every atom's displacement half its distance after the pairwise fit.
  std::mt19937 rng(31);
  for (int rep = 0; rep < 10; ++rep) {
    reset_all();
    build_ensemble({.nres = 8, .per = 3, .nstr = 2, .noise = 0.4, .seed = 100u + unsigned(rep)});
    const int na = vokandata.na;
    std::vector<double> x2 = coordinates_of(2);
    const std::vector<double> x1 = coordinates_of(1);
    const double pair = rmsd(x2, x1, na, -1, {}, 0);

    EXPECT_NEAR(armsd(all_atoms(true), 0), pair / 2.0, 1e-10);
    for (int a = 1; a <= na; ++a) {
      double d2 = 0.0;
      for (int i = 0; i < 3; ++i) d2 += std::pow(x2[3 * (a - 1) + i] - x1[3 * (a - 1) + i], 2);
      EXPECT_NEAR(vokandata.adisp(a), std::sqrt(d2) / 2.0, 1e-10) << "atom " << a;
    }
  }
}

TEST(Armsd, InvariantUnderRigidMotionOfAMember) {
  reset_all();
  build_ensemble({.nres = 12, .per = 3, .nstr = 4, .noise = 0.5, .seed = 8});
  const double r = armsd(all_atoms(true), 0);
  std::vector<double> disp(vokandata.adisp.begin(), vokandata.adisp.end());
  EXPECT_GT(r, 0.1);

  std::mt19937 rng(4);
  const Mat3 rot = random_rotation(rng);
  const Vec3 t = random_vector(rng, 40.0);
  for (int s : {1, 3}) {
    for (int a = 1; a <= vokandata.na; ++a) {
      const int c = vokandata.col(s, a);
      const Vec3 p = rotate_by(rot, {vokandata.coo(1, c), vokandata.coo(2, c), vokandata.coo(3, c)});
      set_xyz(s, a, p[0] + t[0], p[1] + t[1], p[2] + t[2]);
    }
    EXPECT_NEAR(armsd(all_atoms(true), 0), r, 1e-10);
    for (int a = 1; a <= vokandata.na; ++a) EXPECT_NEAR(vokandata.adisp(a), disp[std::size_t(a - 1)], 1e-10);
  }
}

TEST(Armsd, AtomsWithoutCoordinatesAreLeftOut) {
  reset_all();
  build_ensemble({.nres = 6, .per = 3, .nstr = 4, .noise = 0.5, .seed = 3});
  FArray<bool> without = all_atoms(true);
  without(5) = without(11) = false;
  const double expected = armsd(without, 0);

  // A magnitude of 1e8 or more in any member, in any coordinate, excludes the atom.
  set_xyz(3, 5, 1.0, -1.0e8, 2.0);
  set_xyz(2, 11, 0.0, 0.0, unknown_value);
  vokandata.adisp.fill(9.0);
  EXPECT_EQ(armsd(all_atoms(true), 0), expected);
  EXPECT_EQ(vokandata.adisp(5), 0.0);
  EXPECT_EQ(vokandata.adisp(11), 0.0);
  EXPECT_GT(vokandata.adisp(4), 0.0);

  // Just below the limit the atom takes part (and dominates the spread).
  set_xyz(3, 5, 1.0, -0.99e8, 2.0);
  EXPECT_GT(armsd(all_atoms(true), 0), 1.0e6);
  EXPECT_GT(vokandata.adisp(5), 1.0e6);
}

TEST(Armsd, MembersAreTakenThroughTheStructureList) {
  reset_all();
  build_ensemble({.nres = 6, .per = 3, .nstr = 3, .noise = 0.5, .seed = 21});
  const double three = armsd(all_atoms(true), 0);

  // Structure 2 left out of a two-member ensemble (3, 1): its garbage does not matter,
  // and the result is that of the pair alone.
  for (int a = 1; a <= vokandata.na; ++a) set_xyz(2, a, unknown_value, unknown_value, unknown_value);
  vokandata.nsstr = 2;
  vokandata.isstr(1) = 3;
  vokandata.isstr(2) = 1;
  std::vector<double> x1 = coordinates_of(1);
  const std::vector<double> x3 = coordinates_of(3);
  const double pair = rmsd(x1, x3, vokandata.na, 0, {}, 0);
  const double two = armsd(all_atoms(true), 0);
  EXPECT_NEAR(two, pair / 2.0, 1e-10);
  EXPECT_NE(two, three);
}

TEST(Armsd, AllocatesDisplacementsWhenMissingOrMisSized) {
  reset_all();
  build_ensemble({.nres = 4, .per = 2, .nstr = 2, .noise = 0.3});
  vokandata.adisp.deallocate();
  EXPECT_GT(armsd(all_atoms(true), 0), 0.0);
  ASSERT_TRUE(vokandata.adisp.allocated());
  EXPECT_EQ(vokandata.adisp.extent(), std::size_t(vokandata.na));

  vokandata.adisp.allocate(Dim(3));
  FArray<bool> sel = all_atoms(true);
  sel(8) = false;
  EXPECT_GT(armsd(sel, 0), 0.0);
  EXPECT_EQ(vokandata.adisp.extent(), std::size_t(vokandata.na));
  EXPECT_EQ(vokandata.adisp(8), 0.0);
}

}  // namespace
}  // namespace veldrix::testing
