// Real NMR ensembles read with the built-in library, as the run script reads them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "input/input_support.hpp"
#include "input/readf.hpp"

namespace veldrix::testing {
namespace {

// Loads the built-in library; false when this build does not carry it.
bool builtin_library() {
  std::vector<std::string> words = {"lib", ""};
  return !stop_status([&] { readf(words, false); }).has_value();
}

struct Expected {
  std::string file;
  int models;
  int residues;  // protein residues of the first model (the DNA names are not in the library)
};

TEST(Ensembles, ReadWithTheRightModelsAndResidues) {
  // Figures of the data set's manifest (protein residues; 1lcd's DNA chains are skipped).
  const std::vector<Expected> files = {{"1adz.pdb", 30, 71}, {"1aj3.pdb", 20, 98}, {"1aq5.pdb", 20, 141},
                                       {"1d3z.pdb", 10, 76}, {"1hdn.pdb", 30, 85}, {"1l2y.pdb", 38, 20},
                                       {"1lcd.pdb", 3, 51},  {"2beg.pdb", 10, 130}, {"2k39.pdb", 3, 76},
                                       {"2lc9.pdb", 10, 164}, {"2sdf.pdb", 30, 67}};
  TempDir dir("ensembles");
  for (const Expected& e : files) {
    const std::string path = unpack(e.file, dir.path());
    ASSERT_FALSE(path.empty()) << e.file;
    Captured out;
    if (!builtin_library()) GTEST_SKIP() << "the built-in residue library is not part of this build";
    out.clear();
    std::vector<std::string> words = {"pdb", path, "unknown=skip", "chains=*"};
    readf(words, true);
    const VokanData& v = vokandata;
    EXPECT_EQ(v.nsstr, e.models) << e.file;
    EXPECT_EQ(v.nr, e.residues) << e.file;
    int flexible = 0;
    for (int k = 1; k <= v.nsstr; ++k) flexible += v.istyp(k) == 1 ? 1 : 0;
    const int rigid = v.nsstr - flexible;
    const std::string counts = flexible == 0 ? std::to_string(rigid) + " rigid conformers"
                               : rigid == 0  ? std::to_string(flexible) + " flexible conformers"
                                             : std::to_string(flexible) + " flexible and " + std::to_string(rigid) +
                                                   (rigid == 1 ? " rigid conformer" : " rigid conformers");
    EXPECT_EQ(out.text(), "    PDB coordinate file \"" + path + "\" read, " + counts + ".\n");
    for (int s = 0; s <= v.nsstr; ++s)
      for (int k = 1; k <= v.nd; ++k) ASSERT_TRUE(std::isfinite(v.dval(v.dix(s, k)))) << e.file;
  }
}

TEST(Ensembles, DnaOnlyFileHasNoResiduesAndSaysSo) {
  TempDir dir("ensembles");
  const std::string path = unpack("2hkb.pdb", dir.path());
  ASSERT_FALSE(path.empty());
  Captured out;
  if (!builtin_library()) GTEST_SKIP() << "the built-in residue library is not part of this build";
  out.clear();
  std::vector<std::string> words = {"pdb", path, "unknown=skip", "chains=*"};
  EXPECT_EQ(stop_status([&] { readf(words, true); }), 1);
  EXPECT_EQ(out.text(), "*** FATAL ERROR: No amino acid residues in sequence.\n");
}

}  // namespace
}  // namespace veldrix::testing
