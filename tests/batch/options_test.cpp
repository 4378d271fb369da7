// The command line: defaults, number limits, usage errors, and the residue range as users type it.
#include "batch/options.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "batch/inputs.hpp"
#include "batch/record.hpp"

namespace veldrix::batch {
namespace {

std::variant<BatchOptions, CommandEnd> parse(std::vector<std::string> args) { return parse_command_line(args, 7); }

// The words of a command line written as one text.
std::variant<BatchOptions, CommandEnd> parse(std::string_view line) {
  std::vector<std::string> args;
  std::istringstream in{std::string(line)};
  for (std::string w; in >> w;) args.push_back(w);
  return parse(args);
}

TEST(CommandLine, DefaultsAreThoseOfTheAnalysis) {
  const BatchOptions o = std::get<BatchOptions>(parse("dir"));
  veldrix::Options expected;
  expected.names = Names::modern;
  EXPECT_EQ(to_line(parameters(o.analysis)), to_line(parameters(expected)));
  EXPECT_EQ(std::tuple(o.jobs, o.output, o.format, o.timeout, o.quiet),
            std::tuple(7, std::optional<std::string>(), OutputFormat::jsonl, 600.0, false));
}

TEST(CommandLine, ValuesReachTheOptions) {
  const auto parsed = parse(
      "-j 3 -o out.jsonl --format tsv --gap 0.3 --decrease 2 --absdecrease 99.99 --upper-rmsd 0.05 --gap-width 0 "
      "--buffer 99 --minimum 12 --range 1-40 --library my.lib --names library --timeout 2.5 --quiet --superpose sp "
      "--plot pl a.pdb - b");
  ASSERT_TRUE(std::holds_alternative<BatchOptions>(parsed));
  const BatchOptions& o = std::get<BatchOptions>(parsed);
  EXPECT_EQ(o.inputs, (std::vector<std::string>{"a.pdb", "-", "b"}));
  EXPECT_EQ(o.jobs, 3);
  EXPECT_EQ(o.output, "out.jsonl");
  EXPECT_EQ(o.format, OutputFormat::tsv);
  EXPECT_EQ(to_line(parameters(o.analysis)),
            R"({"gap":0.3,"decrease":2.0,"absdecrease":99.99,"upper_rmsd":0.05,"gap_width":0,"buffer":99,)"
            R"("minimum":12,"range":"?1-?40","library":"my.lib","names":"library"})");
  EXPECT_EQ(o.range_text, "1-40");
  EXPECT_DOUBLE_EQ(o.timeout, 2.5);
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(std::pair(o.superpose_dir, o.plot_dir), std::pair(std::optional<std::string>("sp"), std::optional<std::string>("pl")));
}

// Every wrong command line is one line on standard error and status 2.
TEST(CommandLine, UsageErrors) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "Usage: veldrix-batch [OPTIONS] INPUT..."},
      {"--minimum 150 d", "--minimum: 150 is outside 0..99"},
      {"--buffer 100 d", "--buffer: 100 is outside 0..99"},
      {"--gap-width -1 d", "--gap-width: -1 is outside 0..99"},
      {"--minimum 8.5 d", "--minimum: 8.5 is not a whole number"},
      {"--gap 99.995 d", "--gap: 99.995 is outside 0..99.99"},
      {"--upper-rmsd -0.1 d", "--upper-rmsd: -0.1 is outside 0..99.99"},
      {"--decrease 1e3 d", "--decrease: 1e3 is not a number"},
      {"--absdecrease nan d", "--absdecrease: nan is not a number"},
      {"--gap 1.2.3 d", "--gap: 1.2.3 is not a number"},
      {"-j 0 d", "--jobs: 0 is outside 1..1024"},
      {"--timeout 0 d", "--timeout: 0 is outside"},
      {"--format xml d", "--format"},
      {"--names pdb d", "--names"},
      {"--frobnicate d", "--frobnicate"},
      {"--gap", "--gap"},
  };
  for (const auto& [args, message] : cases) {
    const auto parsed = parse(args);
    ASSERT_TRUE(std::holds_alternative<CommandEnd>(parsed)) << message;
    const CommandEnd& end = std::get<CommandEnd>(parsed);
    EXPECT_EQ(end.status, 2) << message;
    EXPECT_TRUE(end.to_stderr) << message;
    EXPECT_NE(end.text.find(message), std::string::npos) << end.text;
    if (!args.empty()) {
      EXPECT_EQ(end.text.find('\n'), end.text.size() - 1) << end.text;
    }
  }
}

TEST(CommandLine, HelpAndVersionEndWell) {
  for (const char* flag : {"--help", "-h", "--version"}) {
    const auto parsed = parse(flag);
    ASSERT_TRUE(std::holds_alternative<CommandEnd>(parsed)) << flag;
    EXPECT_EQ(std::get<CommandEnd>(parsed).status, 0) << flag;
    EXPECT_FALSE(std::get<CommandEnd>(parsed).to_stderr) << flag;
  }
  EXPECT_EQ(std::get<CommandEnd>(parse("--version")).text, "veldrix-batch " + veldrix::version() + "\n");
}

TEST(Range, BoundsWithoutChainStandForEveryChain) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"1-40", "?1-?40"},
      {"1-40,60-90", "?1-?40,?60-?90"},
      {"A1-A40", "A1-A40"},
      {"5", "?5"},
      {"1..40", "?1..?40"},
      {"-40", "-?40"},
      {"10-", "?10-"},
      {"?1-?40", "?1-?40"},
      {"*", "*"},
      {"a1-B20,7", "a1-B20,?7"},
      {"all", ""},
      {"ALL", ""},
      {"", ""},
  };
  for (const auto& [typed, analysed] : cases) EXPECT_EQ(widen_range(typed), analysed) << typed;
}

TEST(Inputs, SearchPattern) {
  for (const char* name : {"1abc.pdb", "pdb1abc.ent.gz", "x.cif", "x.mmcif.gz", "a.b.pdb"})
    EXPECT_TRUE(is_structure_name(name)) << name;
  for (const char* name : {"notes.txt", "x.pdb.bak", "x.gz", ".pdb", "pdb", "x.PDBx", "x.cif.zip"})
    EXPECT_FALSE(is_structure_name(name)) << name;
}

}  // namespace
}  // namespace veldrix::batch
