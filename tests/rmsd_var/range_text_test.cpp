// Range lists of residue masks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "molecule/vokandata.hpp"
#include "rmsd_var/output.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

// A molecule with the given residue labels and a mask over the listed residues.
FArray<bool> labelled(const std::vector<std::string>& labels, const std::vector<int>& in_mask) {
  testing::make_molecule(int(labels.size()), 1, 2);
  for (std::size_t r = 0; r < labels.size(); ++r) vokandata.rnum(int(r) + 1) = labels[r];
  FArray<bool> mask(Dim(int(labels.size()) + 1));
  for (int r : in_mask) mask(r) = true;
  return mask;
}

std::vector<std::string> chain(char c, int from, int to) {
  std::vector<std::string> l;
  for (int i = from; i <= to; ++i) l.push_back(std::string(1, c) + std::to_string(i));
  return l;
}

std::vector<int> span_of(int from, int to) {
  std::vector<int> s;
  for (int i = from; i <= to; ++i) s.push_back(i);
  return s;
}

struct Listed {
  std::string text;
  int ngap = -1;
};

Listed list_of(const FArray<bool>& mask, int length = 2000) {
  Listed l;
  rrstr(mask, l.text, l.ngap, length);
  return l;
}

TEST(RangeText, OneChain) {
  testing::reset_all();
  Listed l = list_of(labelled(chain('A', 1, 30), span_of(1, 10)));
  EXPECT_EQ(l.text, "1..10");
  EXPECT_EQ(l.ngap, 0);
  std::vector<int> two = span_of(1, 10), more = span_of(20, 30);
  two.insert(two.end(), more.begin(), more.end());
  l = list_of(labelled(chain('A', 1, 30), two));
  EXPECT_EQ(l.text, "1..10, 20..30");
  EXPECT_EQ(l.ngap, 1);
  l = list_of(labelled(chain('A', 1, 30), {5}));
  EXPECT_EQ(l.text, "5");
  EXPECT_EQ(l.ngap, 0);
  l = list_of(labelled(chain('A', 1, 30), {}));
  EXPECT_EQ(l.text, "");
  EXPECT_EQ(l.ngap, 0);
}

TEST(RangeText, NumberingJumpBreaksARange) {
  testing::reset_all();
  const Listed l = list_of(labelled({"A10", "A11", "A13"}, {1, 2, 3}));
  EXPECT_EQ(l.text, "10..11, 13");
  EXPECT_EQ(l.ngap, 1);
}

TEST(RangeText, TwoChainsCarryTheirLetters) {
  testing::reset_all();
  std::vector<std::string> labels = chain('A', 1, 50), b = chain('B', 1, 50);
  labels.insert(labels.end(), b.begin(), b.end());
  const Listed l = list_of(labelled(labels, span_of(1, 100)));
  EXPECT_EQ(l.text, "A1..A50, B1..B50");
  EXPECT_EQ(l.ngap, 1);
}

TEST(RangeText, SameFirstAndLastChainLetterDropsAllLetters) {
  testing::reset_all();
  const Listed l = list_of(labelled({"A1", "A2", "B1", "B2", "A3"}, {1, 2, 3, 4, 5}));
  EXPECT_EQ(l.text, "1..2, 1..2, 3");
  EXPECT_EQ(l.ngap, 2);
}

TEST(RangeText, InsertionCodesNeverJoinARange) {
  testing::reset_all();
  const Listed l = list_of(labelled({"A9", "A10", "A10A", "A11", "A12"}, {1, 2, 3, 4, 5}));
  EXPECT_EQ(l.text, "9..10, 10A, 11..12");
  EXPECT_EQ(l.ngap, 2);
}

TEST(RangeText, CutToTheFieldLength) {
  testing::reset_all();
  const Listed l = list_of(labelled(chain('A', 1, 9), {1, 3, 5, 7, 9}), 8);
  EXPECT_EQ(l.text, "1, 3, 5,");
  EXPECT_EQ(l.ngap, 4);
}

}  // namespace
}  // namespace veldrix
