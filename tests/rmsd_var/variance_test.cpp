// Distances, variances, order parameters, knee and spread normalisation.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "rmsd_var/state.hpp"
#include "rmsd_var/variance.hpp"
#include "support.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using V = std::vector<double>;

TEST(Variance, DistancesAndPopulationVariances) {
  testing::reset_all();
  testing::make_molecule(2, 1, 2);
  testing::set_xyz(2, 1, 1.0, 2.0, 3.0);
  testing::set_xyz(2, 2, 4.0, 6.0, 3.0);
  EXPECT_DOUBLE_EQ(cdist(1, 2, 2), 5.0);
  EXPECT_DOUBLE_EQ(cdist(1, 2, 1), 0.0);
  EXPECT_EQ(cdist(2, 2, 2), 0.0);
  EXPECT_EQ(variance(V{1.0, 3.0}), 1.0);  // division by n
  EXPECT_EQ(variance(V{2.5, 2.5, 2.5}), 0.0);
  EXPECT_EQ(variance(V{}), 0.0);  // an empty sample: no spread, no division by zero

  FArray<double, 2> m(Dim(4), Dim(4));
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j) m(i, j) = 10.0 * i + j;
  EXPECT_EQ(variance_from_index(m, std::vector<int>{2, 3}), 23.0);  // the entry, in index order
  EXPECT_EQ(variance_from_index(m, std::vector<int>{3, 2}), 32.0);
  // Entries m(1,2), m(1,4), m(2,4) = 12, 14, 24: mean 50/3.
  EXPECT_NEAR(variance_from_index(m, std::vector<int>{1, 2, 4}), (144.0 + 196.0 + 576.0) / 3.0 - 2500.0 / 9.0, 1e-11);
  EXPECT_EQ(variance_from_index(m, std::vector<int>{3}), 0.0);
}

TEST(Variance, OrderParameter) {
  reset_rmsd_var();
  EXPECT_NEAR(calc_order_parameter(V{0.0, std::numbers::pi}), 0.0, 1e-15);
  EXPECT_NEAR(calc_order_parameter(V{1.2, 1.2, 1.2}), 1.0, 1e-15);
  EXPECT_NEAR(calc_order_parameter(V{0.0, std::numbers::pi / 2}), std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(rmsd_var.total_vector[0], 1.0, 1e-15);
  EXPECT_NEAR(rmsd_var.total_vector[1], 1.0, 1e-15);
  EXPECT_EQ(calc_order_parameter(V{}), 0.0);
  EXPECT_EQ(calc_order_parameter(V{0.0, NAN}), 0.0);  // never a NaN for the sort
}

TEST(Variance, KneeOfSortedCurve) {
  EXPECT_EQ(calc_cutoff(V{1.0, 0.9, 0.8, 0.1}), 3);  // t = 4, 4.67, 5.33, 4
  EXPECT_EQ(calc_cutoff(V{1.0, 0.8, 0.6, 0.4, 0.2}), 1);  // linear: every t equals n
  EXPECT_EQ(calc_cutoff(V{0.99, 0.98, 0.97, 0.96, 0.3, 0.2, 0.1}), 4);
  EXPECT_EQ(calc_cutoff(V{0.5, 0.5, 0.5}), 1);  // flat: no finite scale
  EXPECT_EQ(calc_cutoff(V{0.7}), 1);
  EXPECT_EQ(calc_cutoff(V{}), 1);
}

TEST(Variance, SpreadNormalisation) {
  using O = std::vector<std::optional<double>>;
  O x{7.0, 2.0, 4.0, 6.0};
  normalize_avrg_spread(x);
  EXPECT_EQ(x, (O{7.0, 1.0, 2.0, 3.0}));
  // Equal values after the first leave no scale: those entries are undefined.
  x = {10000.0, 0.4, 0.4, 0.4};
  normalize_avrg_spread(x);
  EXPECT_EQ(x, (O{10000.0, std::nullopt, std::nullopt, std::nullopt}));
  x = {5.0, 3.0};
  normalize_avrg_spread(x);
  EXPECT_EQ(x, (O{5.0, std::nullopt}));
  x = {3.0};
  normalize_avrg_spread(x);
  EXPECT_EQ(x, (O{3.0}));
}

TEST(Variance, VarianceMatrixMatchesPairwiseDistances) {
  testing::reset_all();
  testing::make_molecule(9, 1, 6);
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-20.0, 20.0);
  for (int s = 0; s <= 6; ++s)
    for (int a = 1; a <= 9; ++a) testing::set_xyz(s, a, u(gen), u(gen), u(gen));
  testing::set_xyz(4, 5, unknown_value, unknown_value, unknown_value);  // huge but finite
  const std::vector<int> structures{5, 2, 4, 6}, atoms{2, 3, 5, 8, 9};
  FArray<double, 2> v;
  fill_variance_matrix(v, structures, atoms);
  ASSERT_EQ(v.extent(0), atoms.size());
  for (int i = 1; i <= 5; ++i)
    for (int j = 1; j <= 5; ++j) {
      V d;
      for (int s : structures) d.push_back(cdist(atoms[std::size_t(i - 1)], atoms[std::size_t(j - 1)], s));
      EXPECT_EQ(v(i, j), i == j ? 0.0 : variance(d)) << i << " " << j;  // bit for bit
    }
}

TEST(Variance, CoreAtomsOnePerResidue) {
  testing::reset_all();
  testing::make_molecule(3, 4, 2);
  VokanData& v = vokandata;
  v.nd = 6;
  v.idr.allocate(Dim(6));
  const int owner[6] = {2, 1, 2, 3, 2, 1};
  for (int k = 1; k <= 6; ++k) v.idr(k) = owner[k - 1];
  FArray<bool> axis(Dim(v.na));
  for (int a : {2, 3, 5, 7, 8, 10}) axis(a) = true;  // residue 3 has one axis atom only
  FArray<int> core;
  get_core_atom_list(axis, std::vector<int>{1, 3, 4, 0, 2, 5, 6, -1000}, core);
  std::vector<int> got(core.begin(), core.end());
  std::vector<int> want(12, -1000);
  want[0] = 7;  // second axis atom of residue 2, once for its three angles
  want[1] = 3;
  EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace veldrix
