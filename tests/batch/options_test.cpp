// The command line: defaults, values and their limits, usage errors, ranges as typed; the inputs; the schema check.
#include "batch/options.hpp"

#include <regex>

#include "batch/batch_support.hpp"
#include "batch/inputs.hpp"
#include "batch/output.hpp"

namespace veldrix::batch::testing {
namespace {

// The parse of a command line written as one text: the options it gives, or the status, stream and text it ends with.
std::string parsed(std::string_view line) {
  std::vector<std::string> args;
  std::istringstream in{std::string(line)};
  for (std::string w; in >> w;) args.push_back(w);
  const auto result = parse_command_line(args, 7);
  if (const CommandEnd* end = std::get_if<CommandEnd>(&result))
    return std::to_string(end->status) + (end->to_stderr ? " stderr " : " stdout ") + end->text;
  const BatchOptions& o = std::get<BatchOptions>(result);
  std::string s = std::to_string(o.jobs) + " " + o.output.value_or("-") +
                  (o.format == OutputFormat::tsv ? " tsv " : " jsonl ") + std::to_string(o.timeout) +
                  (o.quiet ? " quiet [" : " [") + o.range_text + "]";
  for (const std::string& i : o.inputs) s += " " + i;
  if (o.superpose_dir) s += " superpose:" + *o.superpose_dir;
  if (o.plot_dir) s += " plot:" + *o.plot_dir;
  return s + " " + to_line(parameters(o.analysis));
}

TEST(CommandLine, DefaultsAndValues) {
  veldrix::Options modern;  // the analysis's own defaults, with today's names
  modern.names = Names::modern;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"dir", "7 - jsonl 600.000000 [] dir " + to_line(parameters(modern))},
      {"-j 3 -o out.jsonl --format tsv --gap 0.3 --decrease 2 --absdecrease 99.99 --upper-rmsd 0.05 --gap-width 0 "
       "--buffer 99 --minimum 12 --range 1-40 --library my.lib --names library --timeout 2.5 --quiet a.pdb - b "
       "--superpose sp --plot pl",
       "3 out.jsonl tsv 2.500000 quiet [1-40] a.pdb - b superpose:sp plot:pl "
       R"({"gap":0.3,"decrease":2.0,"absdecrease":99.99,"upper_rmsd":0.05,"gap_width":0,"buffer":99,)"
       R"("minimum":12,"range":"?1-?40","library":"my.lib","names":"library"})"},
      {"-o - --range all --timeout 0.001 -j 1024 d", "1024 - jsonl 0.001000 [] d " + to_line(parameters(modern))},
      {"--version", "0 stdout veldrix-batch " + veldrix::version() + "\n"},
      {"", "2 stderr Usage: veldrix-batch [OPTIONS] INPUT...\nRun with --help for the options.\n"},
  };
  for (const auto& [line, options] : cases) EXPECT_EQ(parsed(line), options);
  for (const char* help : {"--help", "-h"}) EXPECT_TRUE(parsed(help).starts_with("0 stdout ")) << parsed(help);
}

// Each wrong command line is one line on standard error, naming the option, and status 2.
TEST(CommandLine, UsageErrors) {
  const std::vector<std::pair<std::string, std::string>> cases = {
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
      {"-j 1025 d", "--jobs: 1025 is outside 1..1024"},
      {"--timeout 0 d", "--timeout: 0 is outside 0.001..1000000 seconds"},
      {"--format xml d", "--format"},
      {"--names pdb d", "--names"},
      {"--frobnicate d", "--frobnicate"},
      {"--gap", "--gap"},
  };
  for (const auto& [line, message] : cases) {
    const std::string got = parsed(line);
    EXPECT_TRUE(got.starts_with("2 stderr veldrix-batch: ") && got.find(message) != std::string::npos &&
                got.find('\n') == got.size() - 1)
        << got;
  }
}

TEST(CommandLine, BoundsWithoutChainStandForEveryChain) {
  const std::vector<std::pair<std::string, std::string>> cases = {{"1-40", "?1-?40"},
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
                                                                  {"", ""}};
  for (const auto& [typed, analysed] : cases) EXPECT_EQ(widen_range(typed), analysed) << typed;
}

// Directories give their structure files sorted, each directory searched once whatever links lead to it;
// named files, and lists on standard input, are taken as they are and in order.
TEST(Inputs, SearchOrderAndNamedFiles) {
  TempDir dir("inputs");
  const std::string root = dir.path().string() + "/";
  for (const char* name :
       {"b.pdb", "a.cif.gz", "pdb1abc.ent.gz", "a.b.pdb", "sub/z.ent", "sub/deeper/c.mmcif", "sub.pdb",
        "other/x.pdb.gz", "notes.txt", "x.pdb.bak", "x.gz", ".pdb", "pdb", "x.PDBx", "x.cif.zip", "C.PDB.GZ"})
    write_file(root + name, "text");
  fs::create_directory_symlink("..", root + "sub/up");
  fs::create_directory_symlink(root + "other", root + "sub/link");
  fs::create_symlink("loop.pdb", root + "loop.pdb");
  const std::vector<std::array<std::string, 3>> cases = {
      // arguments, standard input (@ for the directory), found
      {". ", "",
       "C.PDB.GZ a.b.pdb a.cif.gz b.pdb loop.pdb other/x.pdb.gz pdb1abc.ent.gz sub.pdb sub/deeper/c.mmcif sub/z.ent "},
      {"notes.txt missing.pdb b.pdb b.pdb sub/deeper ", "", "notes.txt missing.pdb b.pdb b.pdb sub/deeper/c.mmcif "},
      {"b.pdb - ", "@notes.txt\r\n\n@sub/deeper\n@b.pdb", "b.pdb notes.txt sub/deeper/c.mmcif b.pdb "},
      {"- ", "\n\n", ""},
  };
  for (const auto& [words, list, expected] : cases) {
    std::vector<std::string> args;
    std::istringstream in(words), stdin_list(std::regex_replace(list, std::regex("@"), root));
    for (std::string w; in >> w;) args.push_back(w == "-" ? w : w == "." ? dir.path().string() : root + w);
    std::string found;
    for (const Input& i : find_inputs(args, stdin_list)) found += i.file.substr(root.size()) + (i.error ? "! " : " ");
    EXPECT_EQ(found, expected) << words;
  }
}

// Records leave in input order; those held back behind an input that never finished are written at the end
// of an interrupted run; a failed write is kept with its errno.
TEST(Records, WriterOrderAndFailures) {
  TempDir dir("writer");
  const std::string path = dir.path().string() + "/out";
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "w"), std::fclose);
    RecordWriter writer(out.get(), OutputFormat::jsonl);
    EXPECT_TRUE(writer.add(2, "c", Json::object()) && writer.add(0, "a", Json::object()));
    EXPECT_EQ(read_file(path), "a\n");  // 1 has not finished
    EXPECT_TRUE(writer.finish());
    EXPECT_EQ(read_file(path), "a\nc\n");
  }
  for (const OutputFormat format : {OutputFormat::tsv, OutputFormat::jsonl}) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> full(std::fopen("/dev/full", "w"), std::fclose);
    ASSERT_TRUE(full);
    RecordWriter writer(full.get(), format);  // TSV: the header already fails
    if (format == OutputFormat::jsonl) {
      EXPECT_FALSE(writer.add(0, "a", Json::object()));
    }
    EXPECT_EQ(writer.error(), ENOSPC);
  }
}

// The checker the records of every run go through finds a wrong type, enum value, minimum, key or nested domain.
TEST(Records, SchemaCheckFindsFaults) {
  const SchemaCheck schema(VELDRIX_RECORD_SCHEMA);
  const Json good = record("x.pdb", Outcome{veldrix::FileFormat{Format::pdb, false}, {}, "Bad.", 0.5}, {});
  EXPECT_EQ(schema.violations(good), std::vector<std::string>{});
  for (const char* patch : {R"({"status":"fine"})", R"({"seconds":-1})", R"({"format":3})", R"({"version":null})",
                            R"({"extra":1})", R"({"domains":[{"ranges":"1..2"}]})", R"({"conformers":{"rigid":1}})"}) {
    Json bad = good;
    bad.merge_patch(Json::parse(patch));
    EXPECT_NE(schema.violations(bad), std::vector<std::string>{}) << patch;
  }
}

}  // namespace
}  // namespace veldrix::batch::testing
