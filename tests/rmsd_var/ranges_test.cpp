// The whole analysis on ensembles built in memory: domains found, result lines, warnings, fatal stops.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ensemble.hpp"
#include "rmsd_var/rmsd_var.hpp"
#include "rmsd_var/state.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::Captured;
using testing::stop_status;

// How each residue's torsions behave across the conformers.
enum class Kind { rigid, hinge, floppy };

// An ensemble whose residues are rigid (fixed torsions), hinges (swings of up to
// 0.7 radians) or floppy (any angle), on a helical base shape, with 0.2 A of
// local scatter on every atom.
void ensemble(const std::vector<Kind>& kinds, int nstr, unsigned seed = 1) {
  const int nr = int(kinds.size());
  testing::build_backbone(nr, nstr, [&](int s) {
    std::mt19937 gen(seed * 1000 + unsigned(s));
    std::uniform_real_distribution<double> fixed(0.0, 0.0), swing(-0.7, 0.7),
        any(-std::numbers::pi, std::numbers::pi);
    testing::Torsions t;
    t.phi.assign(std::size_t(nr) + 1, 0.0);
    t.psi.assign(std::size_t(nr) + 1, 0.0);
    for (int r = 1; r <= nr; ++r) {
      auto& dist = kinds[std::size_t(r - 1)] == Kind::rigid   ? fixed
                   : kinds[std::size_t(r - 1)] == Kind::hinge ? swing
                                                              : any;
      t.phi[std::size_t(r)] = -1.0 + dist(gen);
      t.psi[std::size_t(r)] = -0.82 + dist(gen);
    }
    return t;
  }, 0.2);
}

std::vector<Kind> layout(const std::vector<std::pair<Kind, int>>& runs) {
  std::vector<Kind> k;
  for (const auto& [kind, n] : runs) k.insert(k.end(), std::size_t(n), kind);
  return k;
}

void analyse(int minimum = 8) {
  FArray<bool> keep(Dim(vokandata.nr));
  find_best_superpos_ranges(keep, 0.4, 1.2, minimum, 3, 3, 1.6, 0.1);
}

// One parsed result line.
struct Result {
  std::vector<int> residues;  // residue numbers of the range list
  int ranges = 0;
  double rmsd = -1.0;
  int gaps = -1, count = -1;
};

// Parses every line; each must be a well-formed result line whose counts agree
// with its own range list, with the singular noun exactly for a count of 1.
std::vector<Result> results(const std::string& text) {
  static const std::regex line(
      R"(    Optimal range ([0-9.,\- ]+): RMSD ([0-9]+\.[0-9][0-9]) A, ([0-9]+) (gaps?), ([0-9]+) (residues?)\.)");
  std::vector<Result> out;
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l)) {
    std::smatch m;
    EXPECT_TRUE(std::regex_match(l, m, line)) << l;
    if (!std::regex_match(l, m, line)) continue;
    Result r;
    std::istringstream list(m[1].str());
    std::string item;
    while (std::getline(list, item, ',')) {
      const std::size_t dots = item.find("..");
      const int a = std::stoi(item), b = dots == std::string::npos ? a : std::stoi(item.substr(dots + 2));
      for (int x = a; x <= b; ++x) r.residues.push_back(x);
      ++r.ranges;
    }
    r.rmsd = std::stod(m[2].str());
    r.gaps = std::stoi(m[3].str());
    r.count = std::stoi(m[5].str());
    EXPECT_EQ(r.gaps, r.ranges - 1) << l;
    EXPECT_EQ(r.count, int(r.residues.size())) << l;
    EXPECT_EQ(m[4].str() == "gap", r.gaps == 1) << l;
    EXPECT_EQ(m[6].str() == "residue", r.count == 1) << l;
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
  Captured out;
  ensemble(layout({{Kind::floppy, 3}, {Kind::rigid, 4}}), 3);
  const VokanData& v = vokandata;
  for (int s = 1; s <= 3; ++s)
    for (int r = 2; r <= 6; ++r) {
      std::array<testing::Vec, 4> p;
      const int atoms[4] = {3 * r - 3, 3 * r - 2, 3 * r - 1, 3 * r};
      for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c) p[std::size_t(i)][std::size_t(c)] = v.coo(c + 1, v.col(s, atoms[i]));
      EXPECT_NEAR(v.dval(v.dix(s, 2 * r - 1)), testing::torsion(p[0], p[1], p[2], p[3]), 1e-12);
    }
}

TEST(Analysis, TwoBlocksMovingAgainstEachOther) {
  Captured out;
  ensemble(layout({{Kind::floppy, 6}, {Kind::rigid, 21}, {Kind::hinge, 4}, {Kind::rigid, 23}, {Kind::floppy, 6}}),
           10);
  analyse();
  const std::vector<Result> r = results(out.text());
  ASSERT_EQ(r.size(), 2u) << out.text();
  // First block 7..27, second 32..54, in the order of their first residue; at
  // most the hinge residue next to a block joins it, never a floppy end.
  EXPECT_EQ(covered(r[0], 7, 27), 21) << out.text();
  EXPECT_EQ(covered(r[0], 1, 6) + covered(r[0], 29, 60), 0) << out.text();
  EXPECT_EQ(covered(r[1], 32, 54), 23) << out.text();
  EXPECT_EQ(covered(r[1], 1, 30) + covered(r[1], 55, 60), 0) << out.text();
  for (const Result& x : r) {
    EXPECT_GT(x.rmsd, 0.0);
    EXPECT_LT(x.rmsd, 0.5);
  }
}

TEST(Analysis, ThreeBlocksInResidueOrder) {
  Captured out;
  ensemble(layout({{Kind::floppy, 6},
                   {Kind::rigid, 12},
                   {Kind::hinge, 3},
                   {Kind::rigid, 12},
                   {Kind::hinge, 3},
                   {Kind::rigid, 12},
                   {Kind::floppy, 6}}),
           20);
  analyse();
  const std::vector<Result> r = results(out.text());
  ASSERT_EQ(r.size(), 3u) << out.text();
  const int blocks[3][2] = {{7, 18}, {22, 33}, {37, 48}};
  for (int d = 0; d < 3; ++d) {
    EXPECT_EQ(covered(r[std::size_t(d)], blocks[d][0], blocks[d][1]), 12) << out.text();
    EXPECT_LE(int(r[std::size_t(d)].residues.size()), 14) << out.text();  // at most a hinge residue on each side
  }
}

TEST(Analysis, OneRigidBlockWithFloppyEnds) {
  Captured out;
  ensemble(layout({{Kind::floppy, 8}, {Kind::rigid, 24}, {Kind::floppy, 8}}), 10);
  analyse();
  const std::vector<Result> r = results(out.text());
  ASSERT_EQ(r.size(), 1u) << out.text();
  EXPECT_EQ(covered(r[0], 9, 32), 24) << out.text();
  EXPECT_EQ(covered(r[0], 1, 7) + covered(r[0], 34, 40), 0) << out.text();
  EXPECT_GT(r[0].rmsd, 0.0);
  EXPECT_LT(r[0].rmsd, 0.5);
}

TEST(Analysis, IdenticalConformersFormOneDomain) {
  Captured out;
  testing::build_backbone(12, 4, [](int) {
    testing::Torsions t;
    t.phi.assign(13, -1.0);
    t.psi.assign(13, -0.8);
    return t;
  });
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
  ensemble(layout({{Kind::floppy, 8}, {Kind::rigid, 6}, {Kind::floppy, 8}}), 10);
  analyse(12);
  const std::string text = out.text();
  static const std::regex warning(
      R"(\*\*\* WARNING: The number of core atoms \(  ([0-9])\) was below the domain threshold value \( 12\)\.\n)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m, warning)) << text;
  EXPECT_EQ(m.position(0), 0);
  EXPECT_LT(std::stoi(m[1].str()), 12);
  const std::vector<Result> r = results(text.substr(std::size_t(m.length(0))));
  ASSERT_EQ(r.size(), 1u) << text;
  EXPECT_GE(covered(r[0], 9, 14), 5) << text;
  EXPECT_EQ(covered(r[0], 1, 6) + covered(r[0], 17, 22), 0) << text;
}

TEST(Analysis, FatalStops) {
  {
    Captured out;
    ensemble(layout({{Kind::rigid, 10}}), 1);
    EXPECT_EQ(stop_status([] { analyse(); }), 1);
    EXPECT_EQ(out.text(), "*** FATAL ERROR: Less than two structures selected.\n");
  }
  {
    Captured out;
    ensemble(layout({{Kind::floppy, 4}, {Kind::rigid, 10}}), 5);
    vokandata.ndfree = 0;  // no free angle: nothing can be well ordered
    EXPECT_EQ(stop_status([] { analyse(); }), 1);
    EXPECT_EQ(out.text(), "*** FATAL ERROR: No core atoms could be determined.\n");
  }
  {
    // Only residue 3 is ordered: one core atom, no cluster of two, no domain.
    Captured out;
    ensemble(layout({{Kind::floppy, 2}, {Kind::rigid, 1}, {Kind::floppy, 5}}), 8);
    EXPECT_EQ(stop_status([] { analyse(); }), 1);
    EXPECT_EQ(out.text(), "*** FATAL ERROR: No domains could be identified\n");
  }
}

TEST(Analysis, UndefinedAngleValuesCountAsDisorder) {
  Captured out;
  ensemble(layout({{Kind::floppy, 8}, {Kind::rigid, 24}, {Kind::floppy, 8}}), 10);
  analyse();
  const std::string clean = out.text();
  out.clear();
  ensemble(layout({{Kind::floppy, 8}, {Kind::rigid, 24}, {Kind::floppy, 8}}), 10);
  vokandata.dval(vokandata.dix(4, 3)) = NAN;  // PHI of floppy residue 2 in conformer 4
  vokandata.dval(vokandata.dix(2, 77)) = INFINITY;
  analyse();
  EXPECT_EQ(out.text(), clean);
}

}  // namespace
}  // namespace veldrix
