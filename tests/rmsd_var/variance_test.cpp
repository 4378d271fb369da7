// Distances, variances, order parameters, knee and spread normalisation.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "molecule/vokandata.hpp"
#include "rmsd_var/state.hpp"
#include "rmsd_var/variance.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::make_molecule;
using testing::set_xyz;

class Variance : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::reset_all();
    reset_rmsd_var();
  }
};

TEST_F(Variance, DistanceInOneStructure) {
  make_molecule(2, 1, 2);
  set_xyz(2, 1, 1.0, 2.0, 3.0);
  set_xyz(2, 2, 4.0, 6.0, 3.0);
  set_xyz(1, 2, 100.0, 0.0, 0.0);
  EXPECT_DOUBLE_EQ(cdist(1, 2, 2), 5.0);
  EXPECT_DOUBLE_EQ(cdist(2, 1, 2), 5.0);
  EXPECT_DOUBLE_EQ(cdist(1, 2, 1), 100.0);
  EXPECT_EQ(cdist(2, 2, 2), 0.0);
}

TEST_F(Variance, PopulationVariance) {
  EXPECT_EQ(variance(std::vector<double>{1.0, 3.0}), 1.0);
  EXPECT_EQ(variance(std::vector<double>{2.5, 2.5, 2.5}), 0.0);
  EXPECT_DOUBLE_EQ(variance(std::vector<double>{1.0, 2.0, 3.0, 4.0}), 1.25);
  // An empty sample has no spread and must not divide by zero.
  const double empty = variance(std::vector<double>{});
  EXPECT_EQ(empty, 0.0);
}

TEST_F(Variance, VarianceOfSelectedEntries) {
  FArray<double, 2> m(Dim(4), Dim(4));
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j) m(i, j) = 10.0 * i + j;
  // Two indices: the entry itself, in index order (not a variance of one value).
  EXPECT_EQ(variance_from_index(m, std::vector<int>{2, 3}), 23.0);
  EXPECT_EQ(variance_from_index(m, std::vector<int>{3, 2}), 32.0);
  // Three indices: entries m(1,2) = 12, m(1,4) = 14, m(2,4) = 24.
  const double mean = (12.0 + 14.0 + 24.0) / 3.0;
  const double expect = ((12 - mean) * (12 - mean) + (14 - mean) * (14 - mean) + (24 - mean) * (24 - mean)) / 3.0;
  EXPECT_NEAR(variance_from_index(m, std::vector<int>{1, 2, 4}), expect, 1e-12);
  // Fewer than two indices select nothing.
  EXPECT_EQ(variance_from_index(m, std::vector<int>{3}), 0.0);
  EXPECT_EQ(variance_from_index(m, std::vector<int>{}), 0.0);
}

TEST_F(Variance, OrderParameter) {
  EXPECT_NEAR(calc_order_parameter(std::vector<double>{0.0, std::numbers::pi}), 0.0, 1e-15);
  EXPECT_NEAR(calc_order_parameter(std::vector<double>{1.2, 1.2, 1.2}), 1.0, 1e-15);
  // Angles a quarter turn apart: |(1, 0) + (0, 1)| / 2.
  EXPECT_NEAR(calc_order_parameter(std::vector<double>{0.0, std::numbers::pi / 2}), std::sqrt(2.0) / 2.0, 1e-15);
  EXPECT_NEAR(rmsd_var.total_vector[0], 1.0, 1e-15);
  EXPECT_NEAR(rmsd_var.total_vector[1], 1.0, 1e-15);
  EXPECT_EQ(calc_order_parameter(std::vector<double>{}), 0.0);
  EXPECT_EQ(calc_order_parameter(std::vector<double>{0.0, NAN}), 0.0);
}

TEST_F(Variance, KneeOfSortedCurve) {
  EXPECT_EQ(calc_cutoff(std::vector<double>{1.0, 0.9, 0.8, 0.1}), 3);
  // A straight line: every t equals n, the first one wins.
  EXPECT_EQ(calc_cutoff(std::vector<double>{1.0, 0.8, 0.6, 0.4, 0.2}), 1);
  // High plateau, then a drop: the knee is the last point of the plateau.
  EXPECT_EQ(calc_cutoff(std::vector<double>{0.99, 0.98, 0.97, 0.96, 0.3, 0.2, 0.1}), 4);
  // Flat curves, one point, no points: no finite scale, the result is 1.
  EXPECT_EQ(calc_cutoff(std::vector<double>{0.5, 0.5, 0.5}), 1);
  EXPECT_EQ(calc_cutoff(std::vector<double>{0.7}), 1);
  EXPECT_EQ(calc_cutoff(std::vector<double>{}), 1);
}

TEST_F(Variance, SpreadNormalisation) {
  std::vector<std::optional<double>> x{7.0, 2.0, 4.0, 6.0};
  normalize_avrg_spread(x);
  ASSERT_TRUE(x[0] && x[1] && x[2] && x[3]);
  EXPECT_EQ(*x[0], 7.0);
  EXPECT_EQ(*x[1], 1.0);
  EXPECT_EQ(*x[2], 2.0);
  EXPECT_EQ(*x[3], 3.0);

  // Equal values after the first leave no scale: those entries are undefined.
  std::vector<std::optional<double>> flat{10000.0, 0.4, 0.4, 0.4};
  normalize_avrg_spread(flat);
  ASSERT_TRUE(flat[0].has_value());
  EXPECT_EQ(*flat[0], 10000.0);
  EXPECT_FALSE(flat[1] || flat[2] || flat[3]);

  std::vector<std::optional<double>> two{5.0, 3.0};
  normalize_avrg_spread(two);
  EXPECT_EQ(two[0], 5.0);
  EXPECT_FALSE(two[1].has_value());

  std::vector<std::optional<double>> one{3.0};
  normalize_avrg_spread(one);
  EXPECT_EQ(one[0], 3.0);
}

TEST_F(Variance, VarianceMatrixMatchesPairwiseDistances) {
  const int nres = 9, nstr = 6;
  make_molecule(nres, 1, nstr);
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-20.0, 20.0);
  for (int s = 0; s <= nstr; ++s)
    for (int a = 1; a <= nres; ++a) set_xyz(s, a, u(gen), u(gen), u(gen));
  set_xyz(4, 5, unknown_value, unknown_value, unknown_value);  // absent atom: a huge distance, still finite
  const std::vector<int> structures{5, 2, 4, 6};
  const std::vector<int> atoms{2, 3, 5, 8, 9};
  FArray<double, 2> v;
  fill_variance_matrix(v, structures, atoms);
  ASSERT_EQ(v.extent(0), atoms.size());
  for (std::size_t i = 0; i < atoms.size(); ++i) {
    EXPECT_EQ(v(int(i) + 1, int(i) + 1), 0.0);
    for (std::size_t j = 0; j < atoms.size(); ++j) {
      if (i == j) continue;
      std::vector<double> d;
      for (int s : structures) d.push_back(cdist(atoms[i], atoms[j], s));
      EXPECT_EQ(v(int(i) + 1, int(j) + 1), variance(d)) << i << " " << j;
      EXPECT_TRUE(std::isfinite(v(int(i) + 1, int(j) + 1)));
    }
  }
}

TEST_F(Variance, CoreAtomsOnePerResidue) {
  // Three residues of four atoms; axis atoms marked: residue 1 atoms 2, 3;
  // residue 2 atoms 5, 7, 8; residue 3 only atom 10.
  make_molecule(3, 4, 2);
  VokanData& v = vokandata;
  v.nd = 6;
  v.idr.allocate(Dim(6));
  const int owner[6] = {2, 1, 2, 3, 2, 1};
  for (int k = 1; k <= 6; ++k) v.idr(k) = owner[k - 1];
  FArray<bool> axis(Dim(v.na));
  for (int a : {2, 3, 5, 7, 8, 10}) axis(a) = true;
  FArray<int> core;
  get_core_atom_list(axis, std::vector<int>{1, 3, 4, 0, 2, 5, 6, -1000}, core);
  ASSERT_EQ(int(core.extent()), v.na);
  // Residue 2 (angles 1, 3, 5) gives its second axis atom 7 once; residue 3 has
  // a single axis atom and gives none; residue 1 gives atom 3.
  EXPECT_EQ(core(1), 7);
  EXPECT_EQ(core(2), 3);
  for (int k = 3; k <= v.na; ++k) EXPECT_EQ(core(k), -1000);
}

}  // namespace
}  // namespace veldrix
