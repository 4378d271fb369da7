// The whole analysis on ensembles built in memory: domains found, result lines, warnings, fatal stops.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "rmsd_var/rmsd_var.hpp"
#include "support.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::Captured;
using testing::Kind;
using testing::layout;

void analyse(int minimum = 8) {
  FArray<bool> keep(Dim(vokandata.nr));
  find_best_superpos_ranges(keep, 0.4, 1.2, minimum, 3, 3, 1.6, 0.1);
}

struct Result {
  std::vector<int> residues;  // of the range list
  double rmsd = -1.0;
};

// Parses every line; each must be a well-formed result line whose gap and
// residue counts agree with its own range list, singular exactly for 1.
std::vector<Result> results(const std::string& text) {
  static const std::regex line(
      R"(    Optimal range ([0-9., ]+): RMSD ([0-9]+\.[0-9][0-9]) A, ([0-9]+) gap(s?), ([0-9]+) residue(s?)\.)");
  std::vector<Result> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    std::smatch m;
    if (!std::regex_match(l, m, line)) {
      ADD_FAILURE() << "not a result line: " << l;
      continue;
    }
    Result r;
    std::istringstream list(m[1].str());
    int ranges = 0;
    for (std::string item; std::getline(list, item, ','); ++ranges) {
      const std::size_t dots = item.find("..");
      const int a = std::stoi(item), b = dots == std::string::npos ? a : std::stoi(item.substr(dots + 2));
      for (int x = a; x <= b; ++x) r.residues.push_back(x);
    }
    r.rmsd = std::stod(m[2].str());
    const int gaps = std::stoi(m[3].str()), count = std::stoi(m[5].str());
    EXPECT_EQ(gaps, ranges - 1) << l;
    EXPECT_EQ(count, int(r.residues.size())) << l;
    EXPECT_EQ(m[4].str().empty(), gaps == 1) << l;
    EXPECT_EQ(m[6].str().empty(), count == 1) << l;
    out.push_back(r);
  }
  return out;
}

int covered(const Result& r, int from, int to) {
  int n = 0;
  for (int x : r.residues) n += x >= from && x <= to;
  return n;
}

TEST(Analysis, BuilderAnglesAgreeWithCoordinates) {
  testing::reset_all();
  testing::ensemble(layout({{Kind::floppy, 3}, {Kind::rigid, 4}}), 3);
  const VokanData& v = vokandata;
  auto at = [&v](int s, int a) {
    return testing::Vec{v.coo(1, v.col(s, a)), v.coo(2, v.col(s, a)), v.coo(3, v.col(s, a))};
  };
  for (int s = 1; s <= 3; ++s)
    for (int r = 2; r <= 6; ++r) {
      const int n = 3 * r - 2;
      EXPECT_NEAR(v.dval(v.dix(s, 2 * r - 1)), testing::torsion(at(s, n - 1), at(s, n), at(s, n + 1), at(s, n + 2)),
                  1e-12);
      EXPECT_NEAR(v.dval(v.dix(s, 2 * r - 2)), testing::torsion(at(s, n - 3), at(s, n - 2), at(s, n - 1), at(s, n)),
                  1e-12);
    }
}

// Rigid blocks [from, to]: one result line each, in order, covering the block
// whole and at most one residue beyond either end.
void expect_blocks(const std::string& text, const std::vector<std::pair<int, int>>& blocks) {
  const std::vector<Result> r = results(text);
  ASSERT_EQ(r.size(), blocks.size()) << text;
  for (std::size_t d = 0; d < r.size(); ++d) {
    const auto [from, to] = blocks[d];
    EXPECT_EQ(covered(r[d], from, to), to - from + 1) << text;
    EXPECT_EQ(covered(r[d], from - 1, to + 1), int(r[d].residues.size())) << text;
    EXPECT_GT(r[d].rmsd, 0.0);
    EXPECT_LT(r[d].rmsd, 0.5);
  }
}

TEST(Analysis, RigidBlocksBecomeDomains) {
  Captured out;
  testing::ensemble(layout({{Kind::floppy, 8}, {Kind::rigid, 24}, {Kind::floppy, 8}}), 10);
  analyse();
  expect_blocks(out.text(), {{9, 32}});
  out.clear();
  testing::ensemble(layout({{Kind::floppy, 6}, {Kind::rigid, 21}, {Kind::hinge, 4}, {Kind::rigid, 23},
                            {Kind::floppy, 6}}),
                    10);
  analyse();
  expect_blocks(out.text(), {{7, 27}, {32, 54}});
  out.clear();
  testing::ensemble(layout({{Kind::floppy, 6}, {Kind::rigid, 12}, {Kind::hinge, 3}, {Kind::rigid, 12},
                            {Kind::hinge, 3}, {Kind::rigid, 12}, {Kind::floppy, 6}}),
                    20);
  analyse();
  expect_blocks(out.text(), {{7, 18}, {22, 33}, {37, 48}});
}

TEST(Analysis, IdenticalConformersFormOneDomain) {
  Captured out;
  testing::ensemble(layout({{Kind::rigid, 12}}), 4, 0.0);
  for (int a = 1; a <= 6; ++a) vokandata.asel(a) = false;  // residues 1 and 2 not selected
  vokandata.asel(30) = false;                             // residue 10 keeps two of its atoms
  analyse();
  EXPECT_EQ(out.text(), "    Optimal range 3..12: RMSD 0.00 A, 0 gaps, 10 residues.\n");
  out.clear();
  analyse(11);
  EXPECT_EQ(out.text(), "*** WARNING: Only domains with < 11 residues could be identified.\n");
}

TEST(Analysis, SmallCoreWarnsAndReportsEveryDomain) {
  Captured out;
  testing::ensemble(layout({{Kind::floppy, 8}, {Kind::rigid, 6}, {Kind::floppy, 8}}), 10);
  analyse(12);
  const std::string text = out.text();
  static const std::regex warning(
      R"(\*\*\* WARNING: The number of core atoms \(  ([0-9])\) was below the domain threshold value \( 12\)\.\n)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m, warning)) << text;
  EXPECT_EQ(m.position(0), 0);
  const std::vector<Result> r = results(text.substr(std::size_t(m.length(0))));
  ASSERT_EQ(r.size(), 1u) << text;  // 8 residues or fewer, reported all the same
  EXPECT_EQ(covered(r[0], 9, 14), 6) << text;
  EXPECT_EQ(covered(r[0], 8, 15), int(r[0].residues.size())) << text;
}

TEST(Analysis, FatalStops) {
  const std::vector<std::pair<std::vector<Kind>, std::string>> cases{
      {layout({{Kind::rigid, 10}}), "Less than two structures selected."},
      {layout({{Kind::floppy, 4}, {Kind::rigid, 10}}), "No core atoms could be determined."},
      // Only residue 3 is ordered: one core atom, no cluster of two, no domain.
      {layout({{Kind::floppy, 2}, {Kind::rigid, 1}, {Kind::floppy, 5}}), "No domains could be identified"}};
  for (std::size_t k = 0; k < cases.size(); ++k) {
    Captured out;
    testing::ensemble(cases[k].first, k == 0 ? 1 : 8);
    if (k == 1) vokandata.ndfree = 0;  // no free angle: nothing can be well ordered
    EXPECT_EQ(testing::stop_status([] { analyse(); }), 1);
    EXPECT_EQ(out.text(), "*** FATAL ERROR: " + cases[k].second + "\n");
  }
}

TEST(Analysis, UndefinedAngleValuesCountAsDisorder) {
  Captured out;
  const auto kinds = layout({{Kind::floppy, 8}, {Kind::rigid, 24}, {Kind::floppy, 8}});
  testing::ensemble(kinds, 10);
  analyse();
  const std::string clean = out.text();
  out.clear();
  testing::ensemble(kinds, 10);
  vokandata.dval(vokandata.dix(4, 3)) = NAN;  // angles of floppy residues
  vokandata.dval(vokandata.dix(2, 77)) = INFINITY;
  analyse();
  EXPECT_EQ(out.text(), clean);
}

}  // namespace
}  // namespace veldrix
