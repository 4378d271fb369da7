// The run script's observable behaviour: parameters the analysis refuses, residue ranges, library files.
#include <gtest/gtest.h>

#include <fstream>

#include "e2e/e2e_support.hpp"
#include "molecule/lib_in_code.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix::testing {
namespace {

const std::string& sdf() {
  static const std::string text = data_file("2sdf.pdb.gz");
  return text;
}

TEST(RunScript, ParametersTheAnalysisRefusesStopAfterReading) {
  const std::vector<std::pair<Options, std::string>> cases = {
      {Options{.minimum = 150}, "Illegal value \"**\" for parameter \"minimum\"."},
      {Options{.gap = 123.5}, "Illegal value \"*****\" for parameter \"gap\"."},
  };
  for (const auto& [options, message] : cases) {
    try {
      analyse_text(sdf(), options, "2sdf.pdb");
      ADD_FAILURE() << message;
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), message);
      EXPECT_EQ(e.lines().back(), " ") << "the coordinates were read first";
    }
  }
}

TEST(RunScript, ChainLetteredRangeRestrictsTheAnalysis) {
  for (const char* range : {"A1-A40", "?1-?40", "A1..A40"}) {
    const Result r = analyse_text(sdf(), Options{.range = range});
    EXPECT_EQ(r.range_residues, 40) << range;
    ASSERT_FALSE(r.domains.empty()) << range;
    for (const Domain& d : r.domains)
      for (const std::string& id : d.residue_ids) EXPECT_LE(std::stoi(id.substr(1)), 40) << range;
  }
  // Identifiers carry their chain letter: a range without one matches no residue.
  const Result none = analyse_text(sdf(), Options{.range = "1-40"});
  EXPECT_EQ(none.range_residues, 0);
  EXPECT_TRUE(none.domains.empty());
  EXPECT_EQ(none.warnings, std::vector<std::string>{"Only domains with <  8 residues could be identified."});
}

TEST(RunScript, LibraryFileFromFlagOrEnvironment) {
  TempDir dir("runscript");
  dir.write("2sdf.pdb", sdf());
  {
    std::ofstream lib(dir.path() / "my.lib");
    for (int i = 1; i <= internal_libfile_lines; ++i) lib << internal_libfile(i) << "\n";
  }
  const RunResult builtin = run_veldrix("2sdf.pdb", dir.path());
  const RunResult flag = run_veldrix("-l my.lib 2sdf.pdb", dir.path());
  const RunResult env = run_veldrix("2sdf.pdb", dir.path(), "VELDRIXLIB=my.lib");
  const std::string message = "    Library file \"my.lib\" read, 38 residue types.\n";
  EXPECT_EQ(flag.status, 0);
  EXPECT_NE(flag.out.find(message), std::string::npos);
  EXPECT_EQ(env.out, flag.out);
  EXPECT_EQ(builtin.out.find("Library file"), std::string::npos);
  // The same library text gives the same result lines.
  std::string without = flag.out;
  without.erase(without.find(message), message.size());
  EXPECT_EQ(without, builtin.out);
  const RunResult missing = run_veldrix("-l none.lib 2sdf.pdb", dir.path());
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("*** FATAL ERROR: Input file \"none.lib\" cannot be opened.\n"), std::string::npos);
}

}  // namespace
}  // namespace veldrix::testing
