// Range lists of residue masks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rmsd_var/output.hpp"
#include "support.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::span_of;
using Labels = std::vector<std::string>;

Labels chain(char c, int from, int to) {
  Labels l;
  for (int i = from; i <= to; ++i) l.push_back(std::string(1, c) + std::to_string(i));
  return l;
}

// Range list and gap count of the listed residues of a molecule with the given labels.
std::pair<std::string, int> ranges(const Labels& labels, const std::vector<int>& in_mask, int length = 2000) {
  testing::reset_all();
  testing::make_molecule(int(labels.size()), 1, 2);
  for (std::size_t r = 0; r < labels.size(); ++r) vokandata.rnum(int(r) + 1) = labels[r];
  FArray<bool> mask(Dim(int(labels.size()) + 1));
  for (int r : in_mask) mask(r) = true;
  std::pair<std::string, int> out{"", -1};
  rrstr(mask, out.first, out.second, length);
  return out;
}

using Expect = std::pair<std::string, int>;

TEST(RangeText, OneChain) {
  std::vector<int> two = span_of(1, 10), more = span_of(20, 30);
  two.insert(two.end(), more.begin(), more.end());
  EXPECT_EQ(ranges(chain('A', 1, 30), span_of(1, 10)), Expect("1..10", 0));
  EXPECT_EQ(ranges(chain('A', 1, 30), two), Expect("1..10, 20..30", 1));
  EXPECT_EQ(ranges(chain('A', 1, 30), {5}), Expect("5", 0));
  EXPECT_EQ(ranges(chain('A', 1, 30), {}), Expect("", 0));
}

TEST(RangeText, RangesBreakAtNumberingJumpsAndInsertionCodes) {
  EXPECT_EQ(ranges({"A10", "A11", "A13"}, {1, 2, 3}), Expect("10..11, 13", 1));
  // A number with an insertion code is no integer: it neither continues nor is continued.
  EXPECT_EQ(ranges({"A9", "A10", "A10A", "A11", "A12"}, span_of(1, 5)), Expect("9..10, 10A, 11..12", 2));
}

TEST(RangeText, ChainLetters) {
  Labels two = chain('A', 1, 50), b = chain('B', 1, 50);
  two.insert(two.end(), b.begin(), b.end());
  EXPECT_EQ(ranges(two, span_of(1, 100)), Expect("A1..A50, B1..B50", 1));
  // First and last residue in chain A: no letters at all, chain B's included.
  EXPECT_EQ(ranges({"A1", "A2", "B1", "B2", "A3"}, span_of(1, 5)), Expect("1..2, 1..2, 3", 2));
}

TEST(RangeText, CutToTheFieldLength) {
  EXPECT_EQ(ranges(chain('A', 1, 9), {1, 3, 5, 7, 9}, 8), Expect("1, 3, 5,", 4));
}

}  // namespace
}  // namespace veldrix
