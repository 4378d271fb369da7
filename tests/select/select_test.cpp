// Selection expressions: atom words, residue ranges, terms and operators, getsel, named selections.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "command/params.hpp"
#include "molecule/vokandata.hpp"
#include "peptide.hpp"
#include "select/select.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::atoms_where;
using testing::Captured;
using testing::flagged;
using testing::make_peptide;
using testing::stop_status;

std::vector<int> eval(const std::string& text) {
  FArray<bool> s;
  bool error = true;
  select(text, s, 1, error);
  EXPECT_FALSE(error) << text;
  EXPECT_EQ(int(s.extent()), vokandata.na);
  return flagged(s);
}

std::vector<int> all_atoms() {
  return atoms_where([](const std::string&, int) { return true; });
}

bool backbone_name(const std::string& n) { return n == "N" || n == "CA" || n == "C"; }

class Selection : public ::testing::Test {
 protected:
  Captured cap;
};

TEST_F(Selection, EmptyOrStarSelectsEverything) {
  make_peptide(3, 1);
  for (const char* t : {"", "   ", "*", "  *  "}) EXPECT_EQ(eval(t), all_atoms()) << '"' << t << '"';
}

TEST_F(Selection, AtomNamesWithWildcardsUnite) {
  make_peptide(3, 1);
  EXPECT_EQ(eval("CA"), atoms_where([](const std::string& n, int) { return n == "CA"; }));
  EXPECT_EQ(eval("C*"), atoms_where([](const std::string& n, int) { return n == "C" || n == "CA"; }));
  EXPECT_EQ(eval("?A"), atoms_where([](const std::string& n, int) { return n == "CA"; }));
  EXPECT_EQ(eval("N CA"), atoms_where([](const std::string& n, int) { return n == "N" || n == "CA"; }));
  EXPECT_EQ(eval("N\tCA\n"), eval("N CA")) << "control characters separate words";
  EXPECT_TRUE(eval("XX").empty());
  EXPECT_TRUE(eval("ca").empty()) << "names are compared case-sensitively";
}

TEST_F(Selection, BackboneIsTheAxisOfAnglesMovingBeyondTheMolecule) {
  make_peptide(4, 1);
  // Axes N-CA and CA-C qualify; the C-O axis has lda = na exactly and does not,
  // and the base columns -1 and 0 (axis QB-O of residue 1) are no angles.
  EXPECT_EQ(eval("BACKBONE"), atoms_where([](const std::string& n, int) { return backbone_name(n); }));
  // Only the axis entries 2 and 3 count: a qualifying angle's outer atoms are not taken.
  VokanData& v = vokandata;
  v.lda(3) = v.na + 1;  // residue 1's C-O axis now moves beyond the molecule
  std::vector<int> want = atoms_where([](const std::string& n, int r) { return backbone_name(n) || (r == 1 && n == "O"); });
  EXPECT_EQ(eval("BACKBONE"), want);
  v.nd = 0;
  EXPECT_TRUE(eval("BACKBONE").empty());
}

TEST_F(Selection, ResidueRangesOnChainLetteredIdentifiers) {
  make_peptide(45, 1);
  struct Case {
    const char* text;
    std::set<int> residues;
  };
  std::set<int> all, first40;
  for (int r = 1; r <= 45; ++r) all.insert(r);
  for (int r = 1; r <= 40; ++r) first40.insert(r);
  const std::vector<Case> cases{
      {":A5", {5}},
      {":A1-A40", first40},
      {":?1-?40", first40},
      {":A1..A40", first40},
      {":1-40", {}},
      {"1-40", {}},
      {":5", {}},
      {":A3..A6", {3, 4, 5, 6}},
      {":-A3", {1, 2, 3}},
      {":..A2", {1, 2}},
      {":A43-", {43, 44, 45}},
      {":A44..", {44, 45}},
      {":*", all},
      {":", all},
      {":A7-A5", {}},
      {":A2-A99", {}},
      {":A1?", {10}},
      {":A4?-A4?", {40, 41, 42, 43, 44, 45}},
      {":A5,A7", {5, 7}},
      {":A1-A2,A44-", {1, 2, 44, 45}},
      {":A2,*", all},
      {":A3 :A9", {3, 9}},
  };
  for (const Case& c : cases) {
    const std::vector<int> want =
        atoms_where([&](const std::string&, int r) { return c.residues.count(r) > 0; });
    EXPECT_EQ(eval(c.text), want) << c.text;
  }
}

TEST_F(Selection, RangeItemsAreCutToTwentyCharacters) {
  make_peptide(12, 1);
  // "A2-A1" and 15 "*" fill the 20 characters of an item; the "Z" after them is dropped,
  // so the upper bound is the pattern A1*** and reaches A12.
  const std::string item = "A2-A1" + std::string(15, '*');
  const std::vector<int> two_to_twelve = atoms_where([](const std::string&, int r) { return r >= 2; });
  EXPECT_EQ(eval(":" + item + "Z"), two_to_twelve);
  EXPECT_EQ(eval(":A2-A1*"), two_to_twelve);
  EXPECT_TRUE(eval(":A2-A1Z").empty());
}

TEST_F(Selection, TermsIntersectTheirAtomAndResidueParts) {
  make_peptide(4, 1);
  EXPECT_EQ(eval("CA :A2-A3"), atoms_where([](const std::string& n, int r) { return n == "CA" && (r == 2 || r == 3); }));
  EXPECT_EQ(eval(":A2 N :A4 CA"),
            atoms_where([](const std::string& n, int r) { return (n == "N" || n == "CA") && (r == 2 || r == 4); }));
  EXPECT_EQ(eval(":A2"), atoms_where([](const std::string&, int r) { return r == 2; }));
}

TEST_F(Selection, OperatorsJoinTermsLeftToRight) {
  make_peptide(4, 1);
  const auto names = [](std::set<std::string> want, std::set<int> res) {
    return atoms_where([=](const std::string& n, int r) { return want.count(n) > 0 && res.count(r) > 0; });
  };
  const std::set<int> all{1, 2, 3, 4};
  EXPECT_EQ(eval("CA + N"), names({"CA", "N"}, all));
  EXPECT_EQ(eval("CA N - :A2"), names({"CA", "N"}, {1, 3, 4}));
  EXPECT_EQ(eval("CA N ! :A2"), names({"CA", "N"}, {1, 3, 4}));
  EXPECT_EQ(eval("* / :A2"), names({"N", "CA", "C", "O", "QB"}, {2}));
  EXPECT_EQ(eval("CA = N"), names({"N"}, all));
  EXPECT_EQ(eval("CA + N / :A1-A2 - CA"), names({"N"}, {1, 2}));
  // A leading operator combines with the empty first term, which holds every atom.
  EXPECT_EQ(eval("- CA"), names({"N", "C", "O", "QB"}, all));
  EXPECT_EQ(eval("CA -"), std::vector<int>{}) << "a trailing empty term removes everything";
}

TEST_F(Selection, WithCoordAllChecksTheWorkingAndEveryListedStructure) {
  make_peptide(2, 3);
  VokanData& v = vokandata;
  v.nsstr = 2;
  v.isstr(1) = 1;
  v.isstr(2) = 3;  // structure 2 is not part of the ensemble
  testing::set_xyz(2, 2, unknown_value, 0, 0);
  testing::set_xyz(3, 3, unknown_value, 0, 0);
  testing::set_xyz(0, 4, -unknown_value, 0, 0);
  testing::set_xyz(1, 5, -5.0e7, 0, 0);
  testing::set_xyz(1, 6, 1.0e8, 0, 0);
  testing::set_xyz(3, 7, 0, unknown_value, unknown_value);
  const std::vector<int> want{1, 2, 5, 7, 8, 9, 10};
  EXPECT_EQ(eval("WITHCOORDALL"), want);
  // Structures beyond the arrays count as lacking coordinates.
  v.isstr(2) = 9;
  EXPECT_TRUE(eval("WITHCOORDALL").empty());
}

TEST_F(Selection, AtomTypesByName) {
  make_peptide(3, 1);
  EXPECT_EQ(eval("&DUMMY"), atoms_where([](const std::string& n, int) { return n == "QB"; }));
  EXPECT_EQ(eval("&DUM*"), eval("&DUMMY"));
  EXPECT_EQ(eval("&C"), atoms_where([](const std::string& n, int) { return n == "CA" || n == "C"; }));
  // The type name is looked up through iatyp, not taken from the atom name.
  vokandata.iatyp(2) = 4;
  EXPECT_EQ(eval("&DUMMY"), atoms_where([](const std::string& n, int r) { return n == "QB" || (n == "CA" && r == 1); }));
  vokandata.iatyp(1) = 0;  // an atom without type matches no type name
  EXPECT_EQ(eval("&N"), atoms_where([](const std::string& n, int r) { return n == "N" && r > 1; }));
}

TEST_F(Selection, TildeTakesAtomsWhoseNameDoesNotMatch) {
  make_peptide(2, 1);
  EXPECT_EQ(eval("~C*"), atoms_where([](const std::string& n, int) { return n == "N" || n == "O" || n == "QB"; }));
  EXPECT_EQ(eval("~C* :A2"), atoms_where([](const std::string& n, int r) { return r == 2 && (n == "N" || n == "O" || n == "QB"); }));
}

TEST_F(Selection, RunScriptExpressions) {
  make_peptide(45, 2);
  VokanData& v = vokandata;
  testing::set_xyz(2, 7, unknown_value, 0, 0);   // CA of residue 2 lacks coordinates in structure 2
  testing::set_xyz(1, 201, unknown_value, 0, 0); // N of residue 41
  v.iatyp(13) = 4;                               // C of residue 3 typed DUMMY
  const auto expected = [&](int last) {
    return atoms_where([&](const std::string& n, int r) { return backbone_name(n) && r <= last; });
  };
  std::vector<int> want = expected(45);
  std::erase(want, 7);
  std::erase(want, 201);
  std::erase(want, 13);
  EXPECT_EQ(eval("BACKBONE ALL / WITHCOORDALL - &DUMMY"), want);
  std::vector<int> want40 = expected(40);
  std::erase(want40, 7);
  std::erase(want40, 13);
  EXPECT_EQ(eval("BACKBONE :A1-A40 / WITHCOORDALL - &DUMMY"), want40);
  EXPECT_EQ(eval("BACKBONE :?1-?40 / WITHCOORDALL - &DUMMY"), want40);
  EXPECT_TRUE(eval("BACKBONE :1-40 / WITHCOORDALL - &DUMMY").empty());
}

TEST_F(Selection, NamedSelectionStore) {
  make_peptide(2, 1);
  SelectData& s = selectdata;
  EXPECT_TRUE(s.slinit);
  EXPECT_TRUE(eval("core").empty()) << "without a store the word is an atom name";
  FArray<bool> out;
  bool error = false;
  recsel("core", out, 1, error);
  EXPECT_TRUE(error);

  savsel(1);
  EXPECT_FALSE(s.slinit);
  s.nasl = 1;
  s.aslnam.allocate(Dim(1));
  s.aslnam(1) = "core";
  s.asl.allocate(Dim(vokandata.na), Dim(1));
  s.asl(3, 1) = s.asl(9, 1) = true;
  EXPECT_EQ(eval("core"), (std::vector<int>{3, 9}));
  EXPECT_EQ(eval("core N"), (std::vector<int>{1, 3, 6, 9}));
  EXPECT_EQ(eval("core :A2"), std::vector<int>{9});
  recsel("nope", out, 1, error);
  EXPECT_TRUE(error);
  recsel("core", out, 1, error);
  EXPECT_FALSE(error);
  EXPECT_EQ(flagged(out), (std::vector<int>{3, 9}));

  cap.clear();
  EXPECT_EQ(stop_status([&] { select("core", out, 2, error); }), std::optional<int>(1));
  EXPECT_EQ(cap.text(), "*** FATAL ERROR: Illegal selection save mode.\n");
  EXPECT_EQ(stop_status([&] { recsel("core", out, 3, error); }), std::optional<int>(1));

  savsel(1);  // already set up: nothing changes
  EXPECT_EQ(s.nasl, 1);
  savsel(0);  // a new molecule empties the store
  EXPECT_EQ(s.nasl, 0);
  EXPECT_FALSE(s.slinit);
  EXPECT_TRUE(eval("core").empty());
}

// getsel reads the expression from a command parameter and combines it with asel.
class Getsel : public Selection {
 protected:
  void SetUp() override {
    make_peptide(2, 1);  // atoms 1..5 residue 1, 6..10 residue 2; CA = 2 and 7
    for (int a = 1; a <= 10; ++a) vokandata.asel(a) = a <= 5;
  }
  std::vector<int> run(const std::string& value) {
    std::vector<std::string> w{value};
    params(w, "selection=*=");
    FArray<bool> s;
    getsel("selection", 1, s);
    EXPECT_EQ(selectdata.nsel, int(flagged(s).size()));
    return flagged(s);
  }
};

TEST_F(Getsel, OperatorsAndNegations) {
  EXPECT_EQ(run("CA"), (std::vector<int>{2, 7}));
  EXPECT_EQ(run("+CA"), (std::vector<int>{1, 2, 3, 4, 5, 7}));
  EXPECT_EQ(run("-CA"), (std::vector<int>{1, 3, 4, 5}));
  EXPECT_EQ(run("/CA"), (std::vector<int>{2}));
  EXPECT_EQ(run("/ CA"), (std::vector<int>{2}));
  EXPECT_EQ(run("!CA"), (std::vector<int>{1, 3, 4, 5, 6, 8, 9, 10}));
  EXPECT_EQ(run("!+CA"), (std::vector<int>{2, 6, 7, 8, 9, 10}));
  EXPECT_EQ(run("+!CA"), (std::vector<int>{1, 2, 3, 4, 5, 6, 8, 9, 10}));
  EXPECT_EQ(run("-!CA"), (std::vector<int>{2}));
  EXPECT_EQ(run("  +  ! CA"), (std::vector<int>{1, 2, 3, 4, 5, 6, 8, 9, 10}));
  EXPECT_EQ(run("+:A2"), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  // getsel never changes asel itself.
  EXPECT_EQ(flagged(vokandata.asel), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST_F(Getsel, ResultMayBeTheCurrentSelectionItself) {
  std::vector<std::string> w{"+CA"};
  params(w, "selection=*=");
  getsel("selection", 1, vokandata.asel);
  EXPECT_EQ(flagged(vokandata.asel), (std::vector<int>{1, 2, 3, 4, 5, 7}));
}

TEST_F(Getsel, WithoutTheParameterTheCurrentSelectionIsReturned) {
  std::vector<std::string> w;
  params(w, "selection=*= save=*=");
  FArray<bool> s;
  getsel("selection", 1, s);
  EXPECT_EQ(flagged(s), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(selectdata.nsel, 5);
}

TEST_F(Getsel, RefusedModesAndWords) {
  std::vector<std::string> w{"CA"};
  params(w, "selection=*=");
  FArray<bool> s;
  for (int mode : {0, 2, 8}) {
    cap.clear();
    EXPECT_EQ(stop_status([&] { getsel("selection", mode, s); }), std::optional<int>(1)) << mode;
    EXPECT_EQ(cap.text(), "*** FATAL ERROR: Illegal selection mode.\n");
  }
  cap.clear();
  EXPECT_EQ(stop_status([&] { getsel("nothere", 1, s); }), std::optional<int>(1));
  EXPECT_EQ(cap.text(), "*** FATAL ERROR: Illegal parameter \"nothere\".\n");
  // A word longer than 200 characters is no selection word.
  const std::string longword = "CA " + std::string(201, 'X');
  std::vector<std::string> lw{longword};
  params(lw, "selection=*=");
  cap.clear();
  EXPECT_EQ(stop_status([&] { getsel("selection", 1, s); }), std::optional<int>(1));
  EXPECT_EQ(cap.text(), "*** FATAL ERROR: Illegal selection \"" + longword + "\".\n");
  // 200 characters are still one word.
  std::vector<std::string> ok{"CA " + std::string(200, 'X')};
  params(ok, "selection=*=");
  getsel("selection", 1, s);
  EXPECT_EQ(flagged(s), (std::vector<int>{2, 7}));
}

TEST_F(Getsel, StructuresCommandKeepSelection) {
  // The structures command parses its words in two stages and reads "keep" as a selection.
  std::vector<std::string> w{"overlay", "keep=CA :A2", "gap=0.30", "minimum=05"};
  params(w, "action=insert|mean|list|clear|copy|select|sort|violate|secondary|hbonds|swap|calibrate|overlay|radius|"
            "peakvolumes=list **");
  setcmd("structures " + getpar("action"));
  params(w, "keep=*= decrease=@r=1.2 absdecrease=@r=1.6 gap=@r=0.4 gapwidth=@i=3 "
            "minimum=@i=8 buffer=@i=3 upper_rmsd=@r=0.1");
  ASSERT_TRUE(havpar("keep"));
  FArray<bool> keep;
  getsel("keep", 1, keep);
  EXPECT_EQ(flagged(keep), std::vector<int>{7});
  EXPECT_DOUBLE_EQ(rparam("gap"), 0.30);
  EXPECT_EQ(iparam("minimum"), 5);
  EXPECT_EQ(flagged(vokandata.asel), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST_F(Selection, MsplitSplitsEveryIdentifier) {
  make_peptide(4, 1);
  VokanData& v = vokandata;
  v.rnum(1) = "A12";
  v.rnum(2) = "B3";
  v.rnum(3) = "7";
  v.rnum(4) = "A12B";
  FArray<std::string> pre, suf;
  FArray<int> num;
  bool any = false;
  msplit(pre, num, suf, any);
  EXPECT_TRUE(any);
  EXPECT_EQ(pre(1), "A");
  EXPECT_EQ(num(1), 12);
  EXPECT_EQ(suf(1), "");
  EXPECT_EQ(pre(2), "B");
  EXPECT_EQ(num(2), 3);
  EXPECT_EQ(pre(3), "");
  EXPECT_EQ(num(3), 7);
  EXPECT_EQ(pre(4), "A");
  EXPECT_EQ(num(4), 12);
  EXPECT_EQ(suf(4), "B");
  for (int r = 1; r <= 4; ++r) v.rnum(r) = std::to_string(r + 10);
  msplit(pre, num, suf, any);
  EXPECT_FALSE(any);
  EXPECT_EQ(num(4), 14);
}

}  // namespace
}  // namespace veldrix
