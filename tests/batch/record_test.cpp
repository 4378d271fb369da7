// The record of one input, built in this process: key order, the range check, failures.
#include "batch/record.hpp"

#include <gtest/gtest.h>

#include "batch/batch_support.hpp"
#include "batch/options.hpp"

namespace veldrix::batch::testing {
namespace {

class Records : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    for (const char* name : {"1d3z"})
      gunzip(std::string(name) + ".pdb.gz", dir_->path() / (std::string(name) + ".pdb"));
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::string file(const std::string& name) { return *dir_ / (name + ".pdb"); }
  static Json checked(const std::string& path, const Outcome& o, const veldrix::Options& opt) {
    const Json r = record(path, o, opt);
    EXPECT_EQ(records(to_line(r) + "\n").size(), 1u);  // valid against the schema
    return r;
  }
  static TempDir* dir_;
};
TempDir* Records::dir_ = nullptr;

TEST_F(Records, KeysComeInTheDocumentedOrder) {
  const Json schema = Json::parse(read_file(VELDRIX_RECORD_SCHEMA));
  const Json r = checked(file("1d3z"), analyse_input(file("1d3z"), {}, ""), {});
  std::vector<std::string> keys;
  for (const auto& [key, value] : r.items()) keys.push_back(key);
  EXPECT_EQ(Json(keys), schema["required"]);
}

TEST_F(Records, ARangeThatSelectsNoResidueIsAnError) {
  veldrix::Options opt;
  for (const auto& [typed, selects] : std::vector<std::pair<std::string, bool>>{{"1-40", true}, {"Z1-Z40", false}}) {
    opt.range = widen_range(typed);
    const Json r = checked(file("1d3z"), analyse_input(file("1d3z"), opt, typed), opt);
    EXPECT_EQ(r["parameters"]["range"], opt.range);
    if (selects) {
      EXPECT_EQ(r["status"], "ok");
      EXPECT_EQ(r["domains"][0]["segments"][0]["last"], "A40");
    } else {
      EXPECT_EQ(r["status"], "error");
      EXPECT_EQ(r["error"], "The range \"" + typed + "\" selects no residue.");
      EXPECT_TRUE(r["domains"].empty());
    }
  }
}

TEST_F(Records, FailuresAndOddNamesStillMakeValidRecords) {
  const std::string odd = *dir_ / "caf\xe9\xff.pdb";  // not UTF-8
  const Json r = checked(odd, analyse_input(odd, {}, ""), {});
  EXPECT_EQ(r["status"], "error");
  EXPECT_TRUE(r["format"].is_null());
  EXPECT_TRUE(r["conformers"].is_null());
  EXPECT_NE(r["error"].get<std::string>().find("cannot be opened"), std::string::npos);
  EXPECT_NO_THROW(Json::parse(to_line(r)));
}

}  // namespace
}  // namespace veldrix::batch::testing
