// The run script's observable behaviour: the composed overlay line, ranges, library files, stops.
#include <gtest/gtest.h>

#include <fstream>

#include "driver/run_script.hpp"
#include "e2e/e2e_support.hpp"
#include "molecule/lib_in_code.hpp"

namespace veldrix::testing {
namespace {

TEST(RunScript, OverlayLineWritesRealsWithTwoDecimalsAndIntegersAsTwoDigits) {
  DriverState st;
  EXPECT_EQ(overlay_command(st),
            (std::vector<std::string>{"overlay", "gap=0.40", "decrease=1.20", "absdecrease=1.60", "gapwidth=03",
                                      "buffer=03", "minimum=08", "upper_rmsd=0.10"}));
  st.gap = 0.123;
  st.decrease = 12.345;
  st.upper_rmsd = 99.995;
  st.minimum = 150;
  st.buffer = 0;
  const std::vector<std::string> w = overlay_command(st);
  EXPECT_EQ(w[1], "gap=0.12");
  EXPECT_EQ(w[2], "decrease=12.35");
  EXPECT_EQ(w[7], "upper_rmsd=*****");
  EXPECT_EQ(w[6], "minimum=**");
  EXPECT_EQ(w[5], "buffer=00");
}

struct Sdf {
  TempDir dir{"runscript"};
  Sdf() { EXPECT_FALSE(unpack("2sdf.pdb", dir.path()).empty()); }
};

TEST(RunScript, TooWideMinimumStopsWithTheIllegalValueMessage) {
  Sdf f;
  const RunResult r = run_veldrix("-m 150 2sdf.pdb", f.dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("*** FATAL ERROR: Illegal value \"**\" for parameter \"minimum\".\n"), std::string::npos);
  EXPECT_TRUE(result_lines(r.out).empty());
}

TEST(RunScript, ChainLetteredRangeRestrictsTheAnalysis) {
  Sdf f;
  for (const char* range : {"A1-A40", "?1-?40", "A1..A40"}) {
    const RunResult r = run_veldrix(std::string("-r ") + range + " 2sdf.pdb", f.dir.path());
    EXPECT_EQ(r.status, 0);
    const std::vector<Domain> domains = result_lines(r.out);
    ASSERT_FALSE(domains.empty()) << r.out;
    for (const Domain& d : domains)
      for (auto [a, b] : d.ranges) {
        EXPECT_GE(a, 1);
        EXPECT_LE(b, 40);
      }
  }
}

TEST(RunScript, RangeWithoutChainLettersMatchesNothingAndWarns) {
  Sdf f;
  const RunResult r = run_veldrix("-r 1-40 2sdf.pdb", f.dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("*** WARNING: Only domains with <  8 residues could be identified.\n"), std::string::npos);
  EXPECT_TRUE(result_lines(r.out).empty());
}

TEST(RunScript, LibraryFileFromFlagOrEnvironment) {
  Sdf f;
  {
    std::ofstream lib(f.dir.path() / "my.lib");
    for (int i = 1; i <= 1475; ++i) lib << internal_libfile(i) << "\n";
  }
  const RunResult builtin = run_veldrix("2sdf.pdb", f.dir.path());
  const RunResult flag = run_veldrix("-l my.lib 2sdf.pdb", f.dir.path());
  const RunResult env = run_veldrix("2sdf.pdb", f.dir.path(), "VELDRIXLIB=my.lib");
  const std::string message = "    Library file \"my.lib\" read, 38 residue types.\n";
  EXPECT_EQ(flag.status, 0);
  EXPECT_NE(flag.out.find(message), std::string::npos);
  EXPECT_NE(env.out.find(message), std::string::npos);
  EXPECT_EQ(builtin.out.find("Library file"), std::string::npos);
  // The same library text gives the same result lines.
  std::string without = flag.out;
  without.erase(without.find(message), message.size());
  EXPECT_EQ(without, builtin.out);
  const RunResult missing = run_veldrix("-l none.lib 2sdf.pdb", f.dir.path());
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("*** FATAL ERROR: Input file \"none.lib\" cannot be opened.\n"), std::string::npos);
}

TEST(RunScript, MissingInputFileIsAClearFatalMessage) {
  TempDir dir("runscript");
  const RunResult r = run_veldrix("absent.pdb", dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("*** FATAL ERROR: Input file \"absent.pdb\" cannot be opened.\n"), std::string::npos);
}

}  // namespace
}  // namespace veldrix::testing
