// The whole program on real and synthetic NMR ensembles (reviewed reference outputs from the executable and the
// library, the domains as data, stated truths); parameters, residue ranges and library files of a run.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>

#include "molecule/lib_in_code.hpp"
#include "test_support.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix::testing {
namespace {

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

// One result line ("Optimal range 5..42, 48..60: RMSD 0.52 A, 1 gap, 51 residues."): the range list,
// its ranges as residue-number pairs (chain letters dropped), the RMSD as printed and the counts.
struct PrintedDomain {
  std::string text;
  std::vector<std::pair<int, int>> ranges;
  std::string rmsd;
  int gaps = -1, residues = -1;
};

std::vector<PrintedDomain> result_lines(const std::string& out) {
  static const std::regex line(R"(^    Optimal range (.*): RMSD (\S+) A, (\d+) gaps?, (\d+) residues?\.$)");
  static const std::regex range(R"([A-Za-z]?(-?\d+)(?:\.\.[A-Za-z]?(-?\d+))?)");
  std::vector<PrintedDomain> domains;
  std::istringstream in(out);
  std::smatch m;
  for (std::string l; std::getline(in, l);) {
    if (!std::regex_match(l, m, line)) continue;
    PrintedDomain d{m[1], {}, m[2], std::stoi(m[3]), std::stoi(m[4])};
    for (auto it = std::sregex_iterator(d.text.begin(), d.text.end(), range); it != std::sregex_iterator(); ++it)
      d.ranges.emplace_back(std::stoi((*it)[1]), std::stoi((*it)[(*it)[2].matched ? 2 : 1]));
    domains.push_back(d);
  }
  return domains;
}

class RealEnsemble : public ::testing::TestWithParam<std::string> {};

// Lines, then the fatal message, as the executable prints them; the domains as data say what their lines say.
TEST_P(RealEnsemble, OutputMatchesTheReferenceAndTheDomainsTheirLines) {
  const std::string name = GetParam(), text = data_file(name + ".pdb.gz");
  const std::string expected = data_file("expected/" + name + ".out");
  TempDir dir("e2e");
  dir.write(name + ".pdb", text);
  const RunResult r = run_veldrix({name + ".pdb"}, {.cwd = dir.path()});
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.status, std::stoi(data_file("expected/" + name + ".status")));
  Result lib;
  try {
    lib = analyse_text(text, {}, name + ".pdb");
    EXPECT_EQ(joined(lib.lines), expected);
  } catch (const Error& e) {
    EXPECT_EQ(joined(e.lines()) + "*** FATAL ERROR: " + e.what() + "\n", expected);
  }
  const std::vector<PrintedDomain> printed = result_lines(expected);
  ASSERT_EQ(lib.domains.size(), printed.size());
  for (std::size_t d = 0; d < printed.size(); ++d) {
    const Domain& dom = lib.domains[d];
    EXPECT_NEAR(dom.rmsd, std::stod(printed[d].rmsd), 0.005);
    EXPECT_EQ(std::tuple(dom.ranges, dom.gaps, dom.residues, int(dom.residue_ids.size())),
              std::tuple(printed[d].text, printed[d].gaps, printed[d].residues, dom.residues));
    ASSERT_EQ(dom.segments.size(), printed[d].ranges.size());
    EXPECT_EQ(int(dom.segments.size()) - 1, dom.gaps);
    for (std::size_t k = 0; k < dom.segments.size(); ++k) {
      const Segment& seg = dom.segments[k];
      EXPECT_EQ(std::pair(seg.first, seg.last), std::pair(seg.chain + std::to_string(printed[d].ranges[k].first),
                                                          seg.chain + std::to_string(printed[d].ranges[k].second)));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Files, RealEnsemble,
                         ::testing::Values("1adz", "1aj3", "1aq5", "1d3z", "1hdn", "1l2y", "1lcd", "2beg", "2hkb",
                                           "2k39", "2lc9", "2sdf"));

// Each synthetic ensemble on file against the truth stated beside it: one reported domain per true one, each
// boundary within 3 residues, RMSD below 0.3 A; of two models only, the ranges cover 80 % of the truth.
TEST(Synthetic, EnsemblesKeepTheirStatedTruth) {
  std::istringstream table(data_file("synthetic/TRUTH.tsv"));
  TempDir dir("synthetic");
  std::map<std::string, std::string> outputs;  // the result lines of each ensemble
  std::string row;
  std::getline(table, row);
  while (std::getline(table, row)) {
    std::vector<std::string> f;  // file, models, residues, chains, template, expected, ..., accept
    std::istringstream fields(row);
    for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
    const std::string name = f[0].substr(0, f[0].find('.')), text = data_file("synthetic/" + f[0]);
    if (text.empty()) continue;  // the larger performance inputs are not shipped
    dir.write(name + ".pdb", text);
    const RunResult r = run_veldrix({name + ".pdb"}, {.cwd = dir.path()});
    const std::vector<PrintedDomain> domains = result_lines(r.out);
    std::string& summary = outputs[name];
    for (const PrintedDomain& d : domains) summary += d.text + " " + d.rmsd + " " + std::to_string(d.residues) + "\n";
    EXPECT_NE(r.out.find(" read, " + f[1] + " "), std::string::npos) << r.out;
    EXPECT_EQ(r.status, f[5] == "none" ? 1 : 0);  // one model is refused
    EXPECT_TRUE(f[5] != "none" || r.out.find("FATAL ERROR: Less than two structures selected.") != std::string::npos);
    std::smatch same;
    if (std::regex_search(f[9], same, std::regex("identical to (\\w+)"))) {
      EXPECT_EQ(summary, outputs.at(same[1]));
    }
    std::vector<std::vector<std::pair<int, int>>> truth(f[5] == "none" ? 0 : 1);  // domains apart by |, stretches A:a-b
    const std::regex part(R"(\||A:(\d+)-(\d+))");
    for (std::sregex_iterator it(f[5].begin(), f[5].end(), part), end; it != end; ++it)
      if ((*it)[1].matched)
        truth.back().emplace_back(std::stoi((*it)[1]), std::stoi((*it)[2]));
      else
        truth.emplace_back();
    ASSERT_EQ(domains.size(), truth.size()) << r.out;
    for (std::size_t d = 0; d < truth.size(); ++d) {
      EXPECT_LT(std::stod(domains[d].rmsd), 0.3) << r.out;
      EXPECT_TRUE(f[9].find("RMSD 0.00 A") == std::string::npos || domains[d].rmsd == "0.00") << r.out;
      if (f[1] == "2") {
        int covered = 0;
        const auto [from, to] = truth[d][0];
        for (const auto& [a, b] : domains[d].ranges) {
          EXPECT_TRUE(a >= from - 3 && b <= to + 3) << r.out;
          covered += std::max(0, std::min(b, to) - std::max(a, from) + 1);
        }
        EXPECT_GE(covered, 0.8 * (to - from + 1)) << r.out;
        continue;
      }
      ASSERT_EQ(domains[d].ranges.size(), truth[d].size()) << r.out;
      for (std::size_t k = 0; k < truth[d].size(); ++k)
        EXPECT_TRUE(std::abs(domains[d].ranges[k].first - truth[d][k].first) <= 3 &&
                    std::abs(domains[d].ranges[k].second - truth[d][k].second) <= 3)
            << r.out;
    }
  }
  EXPECT_EQ(outputs.size(), 7u);
}

const std::string& sdf() {
  static const std::string text = data_file("2sdf.pdb.gz");
  return text;
}

TEST(RunScript, ParametersTheAnalysisRefusesStopAfterReading) {
  for (const auto& [options, message] : std::vector<std::pair<Options, std::string>>{
           {Options{.minimum = 150}, "Illegal value \"**\" for parameter \"minimum\"."},
           {Options{.gap = 123.5}, "Illegal value \"*****\" for parameter \"gap\"."}}) {
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
}

TEST(RunScript, LibraryFileFromFlagOrEnvironment) {
  TempDir dir("runscript");
  dir.write("2sdf.pdb", sdf());
  std::string lib;
  for (int i = 1; i <= internal_libfile_lines; ++i) lib += std::string(internal_libfile(i)) + "\n";
  dir.write("my.lib", lib);
  const RunResult flag = run_veldrix({"-l", "my.lib", "2sdf.pdb"}, {.cwd = dir.path()});
  const RunResult env = run_veldrix({"2sdf.pdb"}, {.cwd = dir.path(), .libenv = "my.lib"});
  const std::string message = "    Library file \"my.lib\" read, 38 residue types.\n";
  EXPECT_EQ(flag.status, 0);
  EXPECT_EQ(env.out, flag.out);
  // The same library text gives the same lines, and its own line in the place of none.
  std::string without = flag.out;
  ASSERT_NE(without.find(message), std::string::npos) << flag.out;
  EXPECT_EQ(without.erase(without.find(message), message.size()), data_file("expected/2sdf.out"));
}

}  // namespace
}  // namespace veldrix::testing
