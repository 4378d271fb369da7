// Real NMR ensembles read with the built-in library, as the run script reads them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "input/input_support.hpp"
#include "input/readf.hpp"

namespace veldrix::testing {
namespace {

// The compressed file decompressed into a temporary file.
std::string unpacked(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() / ("veldrix_input_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / name).string();
  const std::string command = "gzip -dc '" + std::string(VELDRIX_TEST_DATA) + "/" + name + ".gz' > '" + path + "'";
  if (std::system(command.c_str()) != 0) return "";
  return path;
}

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
  // Figures of the data set's manifest.
  const std::vector<Expected> files = {{"1l2y.pdb", 38, 20}, {"1lcd.pdb", 3, 51}, {"2k39.pdb", 3, 76}};
  for (const Expected& e : files) {
    const std::string path = unpacked(e.file);
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
    std::filesystem::remove(path);
  }
}

TEST(Ensembles, DnaOnlyFileHasNoResiduesAndSaysSo) {
  const std::string path = unpacked("2hkb.pdb");
  ASSERT_FALSE(path.empty());
  Captured out;
  if (!builtin_library()) GTEST_SKIP() << "the built-in residue library is not part of this build";
  out.clear();
  std::vector<std::string> words = {"pdb", path, "unknown=skip", "chains=*"};
  EXPECT_EQ(stop_status([&] { readf(words, true); }), 1);
  EXPECT_EQ(out.text(), "*** FATAL ERROR: No amino acid residues in sequence.\n");
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace veldrix::testing
