// The read command: libraries, all models of a coordinate file, flexible and rigid conformers, damaged files.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "input/input_support.hpp"
#include "input/readf.hpp"
#include "input/state.hpp"

namespace veldrix::testing {
namespace {

double angle_gap(double a, double b) { return std::remainder(a - b, 2.0 * std::numbers::pi); }

std::string read_message(const std::string& name, const std::string& what) {
  return "    PDB coordinate file \"" + name + "\" read, " + what + ".\n";
}

std::string joined_lines(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

// Reads the text as a file with the given extra words of the read command.
void read_pdb(Session& s, const std::string& text, std::vector<std::string> extra = {"unknown=skip", "chains=*"}) {
  s.readdata.content = text;
  std::vector<std::string> words = {"pdb", "model.pdb"};
  words.insert(words.end(), extra.begin(), extra.end());
  readf(s, words, true);
}

TEST(Readf, OwnConformersReadBackAsFlexible) {
  for (bool model_records : {true, false}) {
    const Ensemble e = make_ensemble(8, 20, model_records);
    Session s;
    load_mini_library(s);
    read_pdb(s, e.text);
    EXPECT_EQ(printed(s), read_message("model.pdb", "20 flexible conformers"));
    EXPECT_EQ(s.readdata.flexible, 20);
    const VokanData& v = s.vokandata;
    ASSERT_EQ(v.nsstr, 20);
    EXPECT_EQ(v.nr, 8);
    for (int m = 1; m <= 20; ++m) {
      EXPECT_EQ(v.isstr(m), m);
      for (int k = 1; k <= v.ndfree; ++k)
        EXPECT_NEAR(angle_gap(v.dval(v.dix(m, k)), e.angles[std::size_t(m - 1)][std::size_t(k - 1)]), 0.0, 5e-3);
    }
    // Structure 1 is the working structure again.
    EXPECT_EQ(v.i0styp, 1);
    for (int a = 1; a <= v.na; ++a) EXPECT_EQ(v.coo(2, v.col(0, a)), v.coo(2, v.col(1, a)));
  }
}

TEST(Readf, DistortedModelsAreRigidAndKeptAsReadUnlessAnOptionDecides) {
  Ensemble e = make_ensemble(6, 4, true);
  // Model 3: the carbonyl oxygen of residue 2 (atom 22) 0.5 A off its library place.
  std::string& line = e.models[2][19];
  ASSERT_EQ(line.substr(12, 4) + line.substr(22, 4), "O      2");
  const double y = std::stod(line.substr(38, 8)) + 0.5;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%8.3f", y);
  line.replace(38, 8, buf);
  std::string text;
  for (const auto& m : e.models) text += joined_lines(m);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"unknown=skip", "3 flexible and 1 rigid conformer"},
      {"rigid", "4 rigid conformers"},
      {"flexible", "4 flexible conformers"}};
  for (const auto& [option, message] : cases) {
    Session s;
    load_mini_library(s);
    read_pdb(s, text, {option});
    EXPECT_EQ(printed(s), read_message("model.pdb", message));
    const VokanData& v = s.vokandata;
    if (option == "unknown=skip") {
      EXPECT_EQ(v.istyp(3), 2);
      EXPECT_EQ(v.istyp(4), 1);
      EXPECT_NEAR(v.coo(2, v.col(3, 22)), y, 1e-9);
    }
  }
}

TEST(Readf, ModelCountsAndTheStructureOption) {
  const Ensemble e = make_ensemble(5, 3, true);
  Session s;
  load_mini_library(s);
  read_pdb(s, e.text, {"structure=2", "unknown=skip"});
  const VokanData& v = s.vokandata;
  EXPECT_EQ(v.nsstr, 0);
  for (int k = 1; k <= v.ndfree; ++k) EXPECT_NEAR(angle_gap(v.dval(k), e.angles[1][std::size_t(k - 1)]), 0.0, 5e-3);
  EXPECT_EQ(fatal_of([&] { read_pdb(s, e.text, {"structure=4"}); }),
            "PDB coordinate file does not contain enough structures.");
  // One model, and a thousand models whose arrays grow to what one structure at a time would leave.
  Session one;
  load_mini_library(one);
  read_pdb(one, make_ensemble(3, 1, false).text);
  EXPECT_EQ(printed(one), read_message("model.pdb", "1 flexible conformer"));
  const Ensemble many = make_ensemble(3, 1000, true);
  Session grown;
  load_mini_library(grown);
  std::istringstream in(many.text);
  extseq(grown, in, 3, "*", 2);
  iniseq(grown);
  for (int m = 1; m <= 1000; ++m) copstr(grown.vokandata, 0, m);
  Session thousand;
  load_mini_library(thousand);
  read_pdb(thousand, many.text);
  EXPECT_EQ(thousand.vokandata.nsstr, 1000);
  EXPECT_EQ(thousand.vokandata.structure_capacity(), grown.vokandata.structure_capacity());
}

TEST(Readf, LineEndingsAndLongLinesDoNotMatter) {
  const Ensemble e = make_ensemble(4, 3, true);
  std::string crlf;
  for (char c : e.text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  // Text beyond column 200 is cut, so trailing junk on a record is harmless.
  std::string padded;
  std::istringstream lines(e.text);
  for (std::string l; std::getline(lines, l);)
    padded += l + (l.rfind("ATOM", 0) == 0 ? std::string(300, ' ') + "junk" : "") + "\n";
  for (const std::string& text : {crlf, "REMARK   1 " + std::string(100000, 'x') + "\n" + e.text, padded}) {
    Session s;
    load_mini_library(s);
    read_pdb(s, text);
    EXPECT_EQ(printed(s), read_message("model.pdb", "3 flexible conformers"));
  }
}

TEST(Readf, ChainChoices) {
  const Ensemble a = make_ensemble(2, 2, false, 5, 'A');
  const Ensemble b = make_ensemble(2, 2, false, 6, 'B');
  const std::string text = "MODEL 1\n" + joined_lines(a.models[0]) + joined_lines(b.models[0]) + "ENDMDL\nMODEL 2\n" +
                           joined_lines(a.models[1]) + joined_lines(b.models[1]) + "ENDMDL\n";
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
    Session s;
    load_mini_library(s);
    read_pdb(s, text, {"unknown=skip", c.chains});
    EXPECT_EQ(s.vokandata.nr, c.residues) << c.chains;
    EXPECT_EQ(printed(s), read_message("model.pdb", c.message)) << c.chains;
  }
  Session s;
  load_mini_library(s);
  EXPECT_EQ(fatal_of([&] { read_pdb(s, text, {"chains=AB"}); }), "No amino acid residues in sequence.");
}

TEST(Readf, FragmentModelsCannotClaimMemoryBeyondTheFile) {
  // 100 alanines (1,100 atoms), a full first model of 100 positions, then models
  // of 2 positions: 16 atoms per position and a first million atoms are allowed.
  auto fit = [](int models) { return models_fit(models, 1100, 100 + 2LL * (models - 1)); };
  EXPECT_TRUE(fit(937));
  EXPECT_FALSE(fit(938));
  EXPECT_TRUE(models_fit(1000000, 5000, 1000000LL * 5000));
  EXPECT_TRUE(models_fit(1, 1000000, 0));
  EXPECT_FALSE(models_fit(2, 1000000, 0));
  // A first model of 400 alanines, then models of two positions: the read stops at the model
  // that breaks the proportion.
  std::vector<SeqEntry> seq;
  for (int i = 1; i <= 400; ++i) seq.push_back({"ALA", 'A', i});
  std::string text = sequence_text(seq);
  for (int m = 0; m < 400; ++m) text += sequence_text({{"ALA", 'A', 1}, {"ALA", 'A', 2}});
  int m = 1;
  while (models_fit(m + 1, 4400, 400 + 2LL * m)) ++m;
  Session s;
  load_mini_library(s);
  EXPECT_EQ(fatal_of([&] { read_pdb(s, text); }),
            "PDB coordinate file \"model.pdb\" holds coordinates for too few atoms: " + std::to_string(400 + 2 * m) +
                " positions in " + std::to_string(m + 1) + " models of 4400 atoms.");
}

TEST(Readf, CommandWordsFilesAndLibraries) {
  TempDir dir("readf");
  Session s;
  std::vector<std::string> none;
  EXPECT_EQ(fatal_of([&] { readf(s, none, true); }), "Missing parameter \"file\".");
  std::vector<std::string> ent = {(dir.path() / "prot.ent").string()};
  EXPECT_EQ(fatal_of([&] { readf(s, ent, true); }), "Input file \"" + ent[0] + "\" cannot be opened.");
  dir.write("prot.ent", "END\n");
  ent = {(dir.path() / "prot.ent").string()};
  EXPECT_EQ(fatal_of([&] { readf(s, ent, true); }), "Unknown file type \"ent\".");
  std::vector<std::string> directory = {"pdb", dir.path().string() + "/"};
  EXPECT_EQ(fatal_of([&] { readf(s, directory, true); }), "Input file \"" + directory[1] + ".pdb\" cannot be opened.");

  const std::string lib = dir.write("mini.lib", std::string(mini_atom_types) + mini_residues);
  s = Session{};  // a run ends with its fatal message: a fresh one for the rest
  std::vector<std::string> read_lib = {"lib", lib};
  readf(s, read_lib, true);
  EXPECT_EQ(printed(s), "    Library file \"" + lib + "\" read, 2 residue types.\n");
  std::vector<std::string> again = {"lib", lib, "append"};
  readf(s, again, true);  // names already loaded are kept, nothing is added
  EXPECT_EQ(s.printdata.lines.back(), "    Library file \"" + lib + "\" read, 0 residue types.");

  // The extension is added to a file name without one; a new molecule starts a new ensemble.
  const std::string pdb = dir.write("prot.pdb", make_ensemble(3, 2, true).text);
  const std::string other = dir.write("other.pdb", make_ensemble(2, 1, false).text);
  std::vector<std::string> words = {"pdb", pdb.substr(0, pdb.size() - 4), "unknown=skip"};
  readf(s, words, true);
  EXPECT_EQ(s.readdata.filnam, pdb);
  EXPECT_EQ(s.vokandata.nsstr, 2);
  words = {"pdb", other, "unknown=skip", "new"};
  readf(s, words, true);
  EXPECT_EQ(s.vokandata.nr, 2);
  EXPECT_EQ(s.vokandata.nsstr, 1);
  read_lib = {"lib", lib};  // the command takes its words
  readf(s, read_lib, true);
  EXPECT_EQ(s.vokandata.nr, 0);
}

}  // namespace
}  // namespace veldrix::testing
