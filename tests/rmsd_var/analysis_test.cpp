// The whole analysis on ensembles built in memory, and the structures command that starts it.
#include <gtest/gtest.h>

#include <regex>

#include "rmsd_var/ranges.hpp"
#include "rmsd_var/structures.hpp"
#include "support.hpp"

namespace veldrix::testing {
namespace {

struct Analysis {
  Session s;
  VokanData& v = s.vokandata;

  void build(const std::vector<Kind>& kinds, int nstr, double jitter = 0.2) { ensemble(v, kinds, nstr, jitter); }
  void analyse(int minimum = 8) {
    FArray<bool> keep(Dim(v.nr));
    find_best_superpos_ranges(s, keep, Options{.minimum = minimum});
  }
  // Rigid blocks [from, to]: one domain each, in order, covering the block
  // whole and at most one residue beyond either end.
  void expect_blocks(const std::vector<std::pair<int, int>>& blocks) {
    const std::vector<Domain>& domains = s.rmsd_var.domains;
    ASSERT_EQ(domains.size(), blocks.size()) << printed(s);
    for (std::size_t d = 0; d < blocks.size(); ++d) {
      const auto [from, to] = blocks[d];
      int inside = 0, near = 0;
      for (const std::string& id : domains[d].residue_ids) {
        const int r = std::stoi(id.substr(1));
        inside += r >= from && r <= to;
        near += r >= from - 1 && r <= to + 1;
      }
      EXPECT_EQ(inside, to - from + 1) << printed(s);
      EXPECT_EQ(near, domains[d].residues) << printed(s);
      EXPECT_GT(domains[d].rmsd, 0.0);
      EXPECT_LT(domains[d].rmsd, 0.5);
    }
  }
};

TEST(AnalysisOfLayouts, RigidBlocksBecomeDomains) {
  const std::vector<std::tuple<std::vector<std::pair<Kind, int>>, int, std::vector<std::pair<int, int>>>> cases = {
      {{{Kind::floppy, 8}, {Kind::rigid, 24}, {Kind::floppy, 8}}, 10, {{9, 32}}},
      {{{Kind::floppy, 6}, {Kind::rigid, 21}, {Kind::hinge, 4}, {Kind::rigid, 23}, {Kind::floppy, 6}},
       10,
       {{7, 27}, {32, 54}}},
      {{{Kind::floppy, 6}, {Kind::rigid, 12}, {Kind::hinge, 3}, {Kind::rigid, 12}, {Kind::hinge, 3}, {Kind::rigid, 12},
        {Kind::floppy, 6}},
       20,
       {{7, 18}, {22, 33}, {37, 48}}}};
  for (const auto& [runs, models, blocks] : cases) {
    Analysis x;
    x.build(layout(runs), models);
    x.analyse();
    x.expect_blocks(blocks);
  }
}

TEST(Analysis, IdenticalConformersFormOneDomain) {
  Analysis x;
  x.build(layout({{Kind::rigid, 12}}), 4, 0.0);
  for (int a = 1; a <= 6; ++a) x.v.asel(a) = false;  // residues 1 and 2 not selected
  x.v.asel(30) = false;                              // residue 10 keeps two of its atoms
  x.analyse();
  EXPECT_EQ(printed(x.s), "    Optimal range 3..12: RMSD 0.00 A, 0 gaps, 10 residues.\n");
  x.s.printdata.lines.clear();
  x.analyse(11);
  EXPECT_EQ(printed(x.s), "*** WARNING: Only domains with < 11 residues could be identified.\n");
}

TEST(Analysis, SmallCoreWarnsAndReportsEveryDomain) {
  Analysis x;
  x.build(layout({{Kind::floppy, 8}, {Kind::rigid, 6}, {Kind::floppy, 8}}), 10);
  x.analyse(12);
  ASSERT_EQ(x.s.printdata.warnings.size(), 1u);
  EXPECT_TRUE(std::regex_match(x.s.printdata.warnings[0],
                               std::regex(R"(The number of core atoms \(  [0-9]\) was below the domain threshold value \( 12\)\.)")))
      << x.s.printdata.warnings[0];
  x.expect_blocks({{9, 14}});  // 8 residues or fewer, reported all the same
}

TEST(Analysis, UndefinedAngleValuesCountAsDisorder) {
  const auto kinds = layout({{Kind::floppy, 8}, {Kind::rigid, 24}, {Kind::floppy, 8}});
  Analysis clean, spoiled;
  clean.build(kinds, 10);
  clean.analyse();
  spoiled.build(kinds, 10);
  spoiled.v.dval(spoiled.v.dix(4, 3)) = NAN;  // angles of floppy residues
  spoiled.v.dval(spoiled.v.dix(2, 77)) = INFINITY;
  spoiled.analyse();
  EXPECT_EQ(printed(spoiled.s), printed(clean.s));
}

TEST(AnalysisStops, FatalMessages) {
  const std::vector<std::pair<std::vector<Kind>, std::string>> cases{
      {layout({{Kind::rigid, 10}}), "Less than two structures selected."},
      {layout({{Kind::floppy, 4}, {Kind::rigid, 10}}), "No core atoms could be determined."},
      // Only residue 3 is ordered: one core atom, no cluster of two, no domain.
      {layout({{Kind::floppy, 2}, {Kind::rigid, 1}, {Kind::floppy, 5}}), "No domains could be identified"}};
  for (std::size_t k = 0; k < cases.size(); ++k) {
    Session s;
    ensemble(s.vokandata, cases[k].first, k == 0 ? 1 : 8);
    if (k == 1) s.vokandata.ndfree = 0;  // no free angle: nothing can be well ordered
    FArray<bool> keep(Dim(s.vokandata.nr));
    EXPECT_EQ(fatal_of([&] { find_best_superpos_ranges(s, keep, Options{}); }), cases[k].second);
  }
}

TEST(StructuresCommand, ActionsParametersAndKeep) {
  Session s;
  make_molecule(s.vokandata, 6, 3, 2);
  FArray<bool> keep;
  for (std::vector<std::string> words : {std::vector<std::string>{}, {"list"}, {"rad"}, {"secondary"}})
    EXPECT_FALSE(read_structures_command(s, words, keep));  // only overlay acts; the default action is list
  EXPECT_TRUE(s.printdata.lines.empty());
  EXPECT_EQ(overlay_template(),
            "keep=*= decrease=@r=1.2 absdecrease=@r=1.6 gap=@r=0.4 gapwidth=@i=3 minimum=@i=8 buffer=@i=3 "
            "upper_rmsd=@r=0.1");
  std::vector<std::string> words{"overlay",   "gap=0.12",   "decrease=1.20",   "absdecrease=1.60", "gapwidth=04",
                                 "buffer=02", "minimum=10", "upper_rmsd=0.30", "keep=C2 :A2..A3,A5"};
  const std::optional<Options> o = read_structures_command(s, words, keep);
  ASSERT_TRUE(o);
  EXPECT_EQ(std::vector<double>({o->gap, o->decrease, o->absdecrease, o->upper_rmsd}),
            std::vector<double>({0.12, 1.2, 1.6, 0.3}));
  EXPECT_EQ(std::vector<int>({o->gapwidth, o->buffer, o->minimum}), std::vector<int>({4, 2, 10}));
  const bool expected[] = {false, true, true, false, true, false};
  for (int r = 1; r <= 6; ++r) EXPECT_EQ(keep(r), expected[r - 1]) << r;
  for (const auto& [word, message] : std::vector<std::pair<std::string, std::string>>{
           {"gap=*****", "Illegal value \"*****\" for parameter \"gap\"."},
           {"minimum=**", "Illegal value \"**\" for parameter \"minimum\"."}}) {
    std::vector<std::string> bad{"overlay", word};
    EXPECT_EQ(fatal_of([&] { read_structures_command(s, bad, keep); }), message);
  }
}

}  // namespace
}  // namespace veldrix::testing
