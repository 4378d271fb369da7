// The whole program on synthetic ensembles built with a known answer, judged by their stated truth:
// every domain boundary within 3 residues of the truth (6 for two models), RMSD below 0.3 A.
#include <gtest/gtest.h>

#include <cmath>

#include "e2e/e2e_support.hpp"

namespace veldrix::testing {
namespace {

using Stretches = std::vector<std::pair<int, int>>;

RunResult run_synthetic(const std::string& name, TempDir& dir) {
  dir.write(name + ".pdb", data_file("synthetic/" + name + ".pdb.gz"));
  return run_veldrix(name + ".pdb", dir.path());
}

// One reported domain per expected one, in order, each made of the expected stretches.
void expect_domains(const RunResult& r, const std::vector<Stretches>& truth, int tolerance) {
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.find("nan"), std::string::npos);
  const std::vector<PrintedDomain> domains = result_lines(r.out);
  ASSERT_EQ(domains.size(), truth.size()) << r.out;
  for (std::size_t d = 0; d < truth.size(); ++d) {
    EXPECT_LT(std::stod(domains[d].rmsd), 0.3) << r.out;
    ASSERT_EQ(domains[d].ranges.size(), truth[d].size()) << r.out;
    for (std::size_t k = 0; k < truth[d].size(); ++k) {
      EXPECT_LE(std::abs(domains[d].ranges[k].first - truth[d][k].first), tolerance) << r.out;
      EXPECT_LE(std::abs(domains[d].ranges[k].second - truth[d][k].second), tolerance) << r.out;
    }
  }
}

TEST(Synthetic, RigidCoreWithFloppyTails) {
  TempDir dir("synthetic");
  expect_domains(run_synthetic("rigid_core_floppy_tails", dir), {{{9, 61}}}, 3);
}

TEST(Synthetic, ModelsWithoutModelRecordsGiveTheSameResult) {
  TempDir dir("synthetic");
  const RunResult with = run_synthetic("rigid_core_floppy_tails", dir);
  const RunResult without = run_synthetic("no_model_records", dir);
  EXPECT_NE(without.out.find("read, 20 "), std::string::npos) << without.out;
  expect_domains(without, {{{9, 61}}}, 3);
  const auto lines = [](const RunResult& r) {
    std::string s;
    for (const PrintedDomain& d : result_lines(r.out)) s += d.rmsd + std::to_string(d.residues) + ";";
    return s;
  };
  EXPECT_EQ(lines(with), lines(without));
}

TEST(Synthetic, TwoModelsCoverMostOfTheCore) {
  TempDir dir("synthetic");
  const RunResult r = run_synthetic("two_models", dir);
  EXPECT_EQ(r.status, 0);
  const std::vector<PrintedDomain> domains = result_lines(r.out);
  ASSERT_EQ(domains.size(), 1u) << r.out;
  int covered = 0;
  for (auto [a, b] : domains[0].ranges) {
    EXPECT_GE(a, 6);
    EXPECT_LE(b, 64);
    covered += std::max(0, std::min(b, 61) - std::max(a, 9) + 1);
  }
  EXPECT_GE(covered, int(std::ceil(0.8 * 53)));
  EXPECT_LT(std::stod(domains[0].rmsd), 0.3);
}

TEST(Synthetic, OneModelIsRefused) {
  TempDir dir("synthetic");
  const RunResult r = run_synthetic("one_model", dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("*** FATAL ERROR: Less than two structures selected."), std::string::npos);
  EXPECT_TRUE(result_lines(r.out).empty());
}

TEST(Synthetic, IdenticalModelsFormOneDomainWithRmsdZero) {
  TempDir dir("synthetic");
  const RunResult r = run_synthetic("all_identical", dir);
  expect_domains(r, {{{1, 67}}}, 3);
  EXPECT_NE(r.out.find("RMSD 0.00 A"), std::string::npos);
}

TEST(Synthetic, TwoDomainsAroundAHinge) {
  TempDir dir("synthetic");
  expect_domains(run_synthetic("two_domains_hinge", dir), {{{11, 99}}, {{102, 186}}}, 3);
}

TEST(Synthetic, LargeEnsembleGivesOneDomainOfTheRigidStretches) {
  TempDir dir("synthetic");
  expect_domains(run_synthetic("big_300res_20models", dir), {{{4, 116}, {124, 236}, {244, 296}}}, 3);
}

}  // namespace
}  // namespace veldrix::testing
