// Tests for the read command: libraries, all models of a PDB file, flexible and rigid conformers.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "input/getcor.hpp"
#include "input/input_support.hpp"
#include "input/readf.hpp"

namespace veldrix::testing {
namespace {

double angle_gap(double a, double b) { return std::remainder(a - b, 2.0 * std::numbers::pi); }

// Reads the file as the run script does, with extra words.
void read_pdb(const std::string& path, std::vector<std::string> extra = {"unknown=skip", "chains=*"}) {
  std::vector<std::string> words = {"pdb", path};
  words.insert(words.end(), extra.begin(), extra.end());
  readf(words, true);
}

std::string read_message(const std::string& path, const std::string& what) {
  return "    PDB coordinate file \"" + path + "\" read, " + what + ".\n";
}

TEST(Readf, OwnConformersReadBackAsFlexible) {
  for (bool model_records : {true, false}) {
    const Ensemble e = make_ensemble(8, 20, model_records);
    const TempFile file(e.text);
    Captured out;
    load_library();
    read_pdb(file.path());
    EXPECT_EQ(out.text(), read_message(file.path(), "20 flexible conformers"));
    const VokanData& v = vokandata;
    ASSERT_EQ(v.nsstr, 20);
    EXPECT_EQ(v.nr, 8);
    for (int m = 1; m <= 20; ++m) {
      EXPECT_EQ(v.isstr(m), m);
      EXPECT_EQ(v.istyp(m), 1);
      for (int k = 1; k <= v.ndfree; ++k)
        EXPECT_NEAR(angle_gap(v.dval(v.dix(m, k)), e.angles[std::size_t(m - 1)][std::size_t(k - 1)]), 0.0, 5e-3);
    }
    // Structure 1 is the working structure again.
    EXPECT_EQ(v.i0styp, 1);
    for (int a = 1; a <= v.na; ++a) EXPECT_EQ(v.coo(2, v.col(0, a)), v.coo(2, v.col(1, a)));
  }
}

TEST(Readf, DistortedModelsAreRigidAndKeptAsRead) {
  Ensemble e = make_ensemble(6, 4, true);
  // Model 3: the carbonyl oxygen of residue 2 (atom 22) 0.5 A off its library place.
  std::vector<std::string>& m3 = e.models[2];
  std::string& line = m3[19];
  ASSERT_EQ(line.substr(12, 4) + line.substr(22, 4), "O      2");
  const double y = std::stod(line.substr(38, 8)) + 0.5;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%8.3f", y);
  line.replace(38, 8, buf);
  std::string text;
  for (const auto& m : e.models) text += joined(m);
  const TempFile file(text);
  Captured out;
  load_library();
  read_pdb(file.path());
  EXPECT_EQ(out.text(), read_message(file.path(), "3 flexible and 1 rigid conformer"));
  const VokanData& v = vokandata;
  EXPECT_EQ(v.istyp(3), 2);
  EXPECT_EQ(v.istyp(4), 1);
  EXPECT_NEAR(v.coo(2, v.col(3, 22)), y, 1e-9);
  // The options override the decision.
  out.clear();
  read_pdb(file.path(), {"unknown=skip", "rigid"});
  EXPECT_EQ(out.text(), read_message(file.path(), "4 rigid conformers"));
  EXPECT_EQ(v.nsstr, 4);
  out.clear();
  read_pdb(file.path(), {"unknown=skip", "flexible"});
  EXPECT_EQ(out.text(), read_message(file.path(), "4 flexible conformers"));
}

TEST(Readf, StructureOptionKeepsOneModelInTheWorkingStructure) {
  const Ensemble e = make_ensemble(5, 3, true);
  const TempFile file(e.text);
  Captured out;
  load_library();
  read_pdb(file.path(), {"structure=2", "unknown=skip"});
  const VokanData& v = vokandata;
  EXPECT_EQ(v.nsstr, 0);
  for (int k = 1; k <= v.ndfree; ++k) EXPECT_NEAR(angle_gap(v.dval(k), e.angles[1][std::size_t(k - 1)]), 0.0, 5e-3);
  out.clear();
  EXPECT_EQ(stop_status([&] { read_pdb(file.path(), {"structure=4"}); }), 1);
  EXPECT_EQ(out.text(), "*** FATAL ERROR: PDB coordinate file does not contain enough structures.\n");
}

TEST(Readf, SingleModelAndAThousandModels) {
  {
    const Ensemble e = make_ensemble(3, 1, false);
    const TempFile file(e.text);
    Captured out;
    load_library();
    read_pdb(file.path());
    EXPECT_EQ(out.text(), read_message(file.path(), "1 flexible conformer"));
  }
  const Ensemble e = make_ensemble(3, 1000, true);
  const TempFile file(e.text);
  int capacity = 0;
  {
    // The capacity that copying the structures in one at a time leaves.
    Captured quiet;
    load_library();
    std::istringstream in(e.text);
    extseq(in, 3, "*", 2);
    iniseq();
    for (int m = 1; m <= 1000; ++m) copstr(0, m);
    capacity = vokandata.structure_capacity();
  }
  Captured out;
  load_library();
  const auto start = std::chrono::steady_clock::now();
  read_pdb(file.path());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(out.text(), read_message(file.path(), "1000 flexible conformers"));
  EXPECT_EQ(vokandata.nsstr, 1000);
  EXPECT_EQ(vokandata.structure_capacity(), capacity);
  EXPECT_LT(seconds, 10.0);
}

#ifdef NDEBUG
TEST(Readf, TwentyModelsOfFiveThousandAtomsWellUnderASecond) {
  const Ensemble e = make_ensemble(500, 20, true);
  const TempFile file(e.text);
  Captured out;
  load_library();
  const auto start = std::chrono::steady_clock::now();
  read_pdb(file.path());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(vokandata.na, 5500);
  EXPECT_EQ(vokandata.nsstr, 20);
  EXPECT_LT(seconds, 0.5);
}
#endif

TEST(Readf, LineEndingsAndLongLinesDoNotMatter) {
  const Ensemble e = make_ensemble(4, 3, true);
  std::string crlf;
  for (char c : e.text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const std::string long_remark = "REMARK   1 " + std::string(100000, 'x') + "\n";
  // Text beyond column 200 is cut, so trailing junk on a record is harmless.
  std::string padded;
  std::istringstream lines(e.text);
  for (std::string l; std::getline(lines, l);) padded += l + (l.rfind("ATOM", 0) == 0 ? std::string(300, ' ') + "junk" : "") + "\n";
  for (const std::string& text : {crlf, long_remark + e.text, padded}) {
    const TempFile file(text);
    Captured out;
    load_library();
    read_pdb(file.path());
    EXPECT_EQ(out.text(), read_message(file.path(), "3 flexible conformers"));
  }
}

TEST(Readf, ChainChoices) {
  // Two chains of two residues each, two models.
  const Ensemble a = make_ensemble(2, 2, false, 5, 'A');
  const Ensemble b = make_ensemble(2, 2, false, 6, 'B');
  const std::string text = "MODEL 1\n" + joined(a.models[0]) + joined(b.models[0]) + "ENDMDL\nMODEL 2\n" +
                           joined(a.models[1]) + joined(b.models[1]) + "ENDMDL\n";
  const TempFile file(text);
  struct Case {
    std::string chains;
    int residues;
    std::string message;
  };
  // Both chains are joined into one molecule, so together their geometry does not fit.
  for (const Case& c : std::vector<Case>{{"chains=*", 4, "2 rigid conformers"},
                                         {"chains=all", 4, "2 rigid conformers"},
                                         {"chains=B", 2, "2 flexible conformers"},
                                         {"chains=first", 2, "1 flexible conformer"}}) {
    Captured out;
    load_library();
    read_pdb(file.path(), {"unknown=skip", c.chains});
    EXPECT_EQ(vokandata.nr, c.residues) << c.chains;
    EXPECT_EQ(out.text(), read_message(file.path(), c.message)) << c.chains;
    if (c.chains == "chains=B") {
      EXPECT_EQ(vokandata.rnum(1), "B1");
    }
  }
  Captured out;
  load_library();
  EXPECT_EQ(stop_status([&] { read_pdb(file.path(), {"chains=AB"}); }), 1);
  EXPECT_EQ(out.text(), "*** FATAL ERROR: No amino acid residues in sequence.\n");
}

TEST(Readf, HopelessInputEndsWithOneClearMessage) {
  const Ensemble e = make_ensemble(4, 2, true);
  struct Case {
    std::string text, expected;
  };
  std::string bad = e.text;
  const std::size_t at = bad.find("ATOM", bad.find("ATOM") + 1);
  bad.replace(at + 30, 8, "  abc.de");
  std::string huge = e.text;
  huge.replace(huge.find("ATOM") + 30, 8, "1.00E+30");
  const std::vector<Case> cases = {
      {bad, "*** FATAL ERROR: Cannot read line 3:@"},
      {"HEADER only\nEND\n", "*** FATAL ERROR: No amino acid residues in sequence.\n"},
      {huge, "*** FATAL ERROR: Cannot read line 2:@"},  // no position is that far out
  };
  for (const Case& c : cases) {
    const TempFile file(c.text);
    Captured out;
    load_library();
    const std::optional<int> status = stop_status([&] { read_pdb(file.path()); });
    if (c.expected.empty()) {
      EXPECT_FALSE(status.has_value()) << out.text();
      const VokanData& v = vokandata;
      for (int s = 0; s <= v.nsstr; ++s)
        for (int k = 1; k <= v.nd; ++k) EXPECT_TRUE(std::isfinite(v.dval(v.dix(s, k))));
      EXPECT_EQ(v.istyp(1), 2) << "the absurd atom spoils the geometry of model 1";
      EXPECT_EQ(v.istyp(2), 1);
    } else if (c.expected.back() == '@') {
      EXPECT_EQ(out.text().substr(0, c.expected.size() - 1), c.expected.substr(0, c.expected.size() - 1));
    } else {
      EXPECT_EQ(out.text(), c.expected);
    }
  }
}

TEST(Readf, EmptyModelOfAKnownMoleculeIsOneRigidConformer) {
  const Ensemble e = make_ensemble(3, 1, false);
  const TempFile file(e.text);
  const TempFile empty("REMARK nothing here\n", "empty.pdb");
  Captured out;
  load_library();
  read_pdb(file.path());
  out.clear();
  read_pdb(empty.path(), {"unknown=warning"});  // the molecule stays
  EXPECT_EQ(out.text(), "*** WARNING: 9 free angles not defined.\n" + read_message(empty.path(), "1 rigid conformer"));
  EXPECT_EQ(vokandata.nsstr, 1);
  EXPECT_EQ(vokandata.coo(1, vokandata.col(1, 1)), unknown_value);
}

TEST(Readf, CommandWordsFilesAndLibraries) {
  Captured out;
  std::vector<std::string> none;
  EXPECT_EQ(stop_status([&] { readf(none, true); }), 1);
  EXPECT_EQ(out.text(), "*** FATAL ERROR: Missing parameter \"file\".\n");
  out.clear();
  std::vector<std::string> ent = {"prot.ent"};
  EXPECT_EQ(stop_status([&] { readf(ent, true); }), 1);
  EXPECT_EQ(out.text(), "*** FATAL ERROR: Input file \"prot.ent\" cannot be opened.\n");
  const TempFile exists("END\n", "prot.ent");
  out.clear();
  std::vector<std::string> ent2 = {exists.path()};
  EXPECT_EQ(stop_status([&] { readf(ent2, true); }), 1);
  EXPECT_EQ(out.text(), "*** FATAL ERROR: Unknown file type \"ent\".\n");
  out.clear();
  std::vector<std::string> dir = {"pdb", std::filesystem::temp_directory_path().string() + "/"};
  EXPECT_EQ(stop_status([&] { readf(dir, true); }), 1);
  EXPECT_NE(out.text().find("cannot be opened."), std::string::npos) << out.text();

  const TempFile lib(std::string(mini_atom_types) + mini_residues, "mini.lib");
  out.clear();
  std::vector<std::string> read_lib = {"lib", lib.path()};
  readf(read_lib, true);
  EXPECT_EQ(out.text(), "    Library file \"" + lib.path() + "\" read, 2 residue types.\n");
  EXPECT_EQ(vokandata.naa, 2);
  out.clear();
  std::vector<std::string> again = {"lib", lib.path(), "append"};
  readf(again, true);  // names already loaded are kept, nothing is added
  EXPECT_EQ(out.text(), "    Library file \"" + lib.path() + "\" read, 0 residue types.\n");
  // Without "new" a second file is read into the molecule of the first.
  const Ensemble e = make_ensemble(3, 2, true);
  const TempFile pdb(e.text, "prot.pdb");
  Captured out2;
  load_library();
  const std::string stem = pdb.path().substr(0, pdb.path().size() - 4);
  std::vector<std::string> words = {"pdb", stem, "unknown=skip"};  // the extension is added
  readf(words, true);
  EXPECT_EQ(out2.text(), read_message(pdb.path(), "2 flexible conformers"));
  EXPECT_EQ(readdata.filnam, pdb.path());
  // A new molecule (after a library read, or with "new") starts a new ensemble.
  const Ensemble small = make_ensemble(2, 1, false);
  const TempFile other(small.text, "other.pdb");
  Captured out3;
  load_library();
  read_pdb(pdb.path());
  EXPECT_EQ(vokandata.nsstr, 2);
  read_pdb(other.path(), {"unknown=skip", "new"});
  EXPECT_EQ(vokandata.nr, 2);
  EXPECT_EQ(vokandata.nsstr, 1);
  std::vector<std::string> relib = {"lib", lib.path()};
  readf(relib, true);
  EXPECT_EQ(vokandata.nr, 0);
  read_pdb(pdb.path());
  EXPECT_EQ(vokandata.nr, 3);
  EXPECT_EQ(vokandata.nsstr, 2);
}

}  // namespace
}  // namespace veldrix::testing
