// The quicksorts: ascending keys, the carried permutation, and the order of equal keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "util/sort.hpp"

namespace veldrix {
namespace {

TEST(Isort, SmallExamples) {
  std::vector<int> a{3, 1, 2}, p(3);
  isort(a, p, 0);
  EXPECT_EQ(a, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(p, (std::vector<int>{2, 3, 1}));
  a = {3, 1, 2};
  p = {10, 20, 30};
  isort(a, p, 1);
  EXPECT_EQ(p, (std::vector<int>{20, 30, 10}));
}

TEST(Isort, EmptyLeavesPermutationUntouched) {
  std::vector<int> a, p{7, 8};
  isort(std::span<int>(a), p, 0);
  EXPECT_EQ(p, (std::vector<int>{7, 8}));
}

TEST(Isort, SortedInputKeepsIdentityPermutation) {
  std::vector<int> a{1, 2, 3, 4, 5, 6, 7}, p(7);
  isort(a, p, 0);
  EXPECT_EQ(p, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
}

TEST(Isort, FillerSortsFirst) {
  std::vector<int> a{5, -1000, 3, -1000, 9}, p(5);
  isort(a, p, 0);
  EXPECT_EQ(a, (std::vector<int>{-1000, -1000, 3, 5, 9}));
}

// The order of equal keys follows the partition steps exactly (worked by hand: the
// middle pivot, swaps of equal keys, the larger part deferred).
TEST(Isort, EqualKeysFollowThePartitionSteps) {
  std::vector<int> a{2, 1, 2, 1, 2}, p(5);
  isort(a, p, 0);
  EXPECT_EQ(a, (std::vector<int>{1, 1, 2, 2, 2}));
  EXPECT_EQ(p, (std::vector<int>{4, 2, 5, 1, 3}));
  std::vector<int> b{5, 5, 5, 5}, q(4);
  isort(b, q, 0);
  EXPECT_EQ(q, (std::vector<int>{3, 4, 1, 2}));
}

TEST(Isort2, PairsLexicographically) {
  std::vector<int> a{1, 5, 1, 2, 0, 9}, p(3);
  isort2(a, p, 0);
  EXPECT_EQ(a, (std::vector<int>{0, 9, 1, 2, 1, 5}));
  EXPECT_EQ(p, (std::vector<int>{3, 2, 1}));
}

TEST(Rsort, RandomInputIsSortedAndPermutationConsistent) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n : {1, 2, 3, 10, 100, 1000}) {
    std::vector<double> a(n);
    for (double& x : a) x = std::round(u(gen) * 20) / 20;  // many equal keys
    const std::vector<double> orig = a;
    std::vector<int> p(n);
    rsort(a, p, 0);
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
    for (int k = 0; k < n; ++k) EXPECT_EQ(a[k], orig[p[k] - 1]);
  }
}

TEST(Rsort, UnorderedKeysStayInsideTheArray) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> a{nan, 1.0, nan, nan, 0.5};
  std::vector<int> p(5);
  rsort(a, p, 0);  // must terminate without leaving the array
  std::vector<int> sorted_p = p;
  std::sort(sorted_p.begin(), sorted_p.end());
  EXPECT_EQ(sorted_p, (std::vector<int>{1, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace veldrix
