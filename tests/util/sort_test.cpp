// The quicksorts: ascending keys, the carried permutation, and the exact order of equal keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "util/sort.hpp"

namespace veldrix {
namespace {

using V = std::vector<int>;

// The permutations were worked out by hand from the partition steps (middle pivot,
// equal keys swapped, the smaller part sorted first); later analysis steps rely on them.
TEST(Sort, PermutationFollowsThePartitionStepsForIntegersAndReals) {
  struct Case {
    V keys, perm;
  };
  const std::vector<Case> cases{
      {{3, 1, 2}, {2, 3, 1}}, {{1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 7}}, {{2, 1, 2, 1, 2}, {4, 2, 5, 1, 3}},
      {{5, 5, 5, 5}, {3, 4, 1, 2}}, {{5, -1000, 3, -1000, 9}, {2, 4, 3, 1, 5}},
  };
  for (const Case& c : cases) {
    V a = c.keys, p(a.size());
    isort(a, p, 0);
    EXPECT_EQ(p, c.perm);
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
    std::vector<double> r(c.keys.begin(), c.keys.end());
    V q(r.size());
    rsort(r, q, 0);
    EXPECT_EQ(q, c.perm);
  }
  V a{3, 1, 2}, p{10, 20, 30};  // mode 1 carries a given permutation along
  isort(a, p, 1);
  EXPECT_EQ(p, (V{20, 30, 10}));
  V none, untouched{7, 8};
  isort(std::span<int>(none), untouched, 0);
  EXPECT_EQ(untouched, (V{7, 8}));
}

TEST(Sort, RandomKeysWithManyTiesAndUnorderedKeys) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n : {1, 2, 3, 10, 1000}) {
    std::vector<double> a(static_cast<std::size_t>(n));
    for (double& x : a) x = std::round(u(gen) * 20) / 20;
    const std::vector<double> orig = a;
    V p(static_cast<std::size_t>(n));
    rsort(a, p, 0);
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
    for (int k = 0; k < n; ++k) EXPECT_EQ(a[std::size_t(k)], orig[std::size_t(p[std::size_t(k)] - 1)]);
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> a{nan, 1.0, nan, nan, 0.5};
  V p(5);
  rsort(a, p, 0);  // terminates without leaving the array
  std::sort(p.begin(), p.end());
  EXPECT_EQ(p, (V{1, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace veldrix
