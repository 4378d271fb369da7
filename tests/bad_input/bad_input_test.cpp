// Bad input through the whole program: a result or one clear message and the right exit status, never a crash,
// a hang or a result line followed by a fatal message; memory proportional to the input.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>
#include <regex>
#include <sstream>

#include "molecule/lib_in_code.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

using Models = std::vector<std::vector<std::string>>;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// The 38 models of the 20-residue mini-protein 1l2y: its ATOM records, model by model.
const Models& all_models() {
  static const Models models = [] {
    Models m;
    for (const std::string& l : lines_of(data_file("1l2y.pdb.gz"))) {
      if (l.starts_with("ATOM ") && !m.empty()) m.back().push_back(l);
      if (l.starts_with("MODEL")) m.emplace_back();
    }
    return m;
  }();
  return models;
}

Models first(std::size_t n) {
  Models m;
  for (std::size_t k = 0; k < n; ++k) m.push_back(all_models()[k % all_models().size()]);
  return m;
}

std::string text_of(const Models& ms, bool model_records = true) {
  std::string s;
  for (std::size_t k = 0; k < ms.size(); ++k) {
    if (model_records) s += "MODEL     " + std::to_string(k + 1) + "\n";
    for (const std::string& l : ms[k]) s += l + "\n";
    if (model_records) s += "ENDMDL\n";
  }
  return s + "END\n";
}

std::vector<std::string> results(const RunResult& r) {
  std::vector<std::string> out;
  for (const std::string& l : lines_of(r.out))
    if (l.find("Optimal range") != std::string::npos) out.push_back(l);
  return out;
}

// A run ends as expected, never by a signal: without `fatal`, normally with result lines free of NaN and infinity
// or with `warning` and none; else with status 1 and one fatal message, last, after no result line.
void expect_end(const RunResult& r, const std::string& fatal, const std::string& warning = "") {
  const std::vector<std::string> lines = lines_of(r.out);
  const auto at = std::find_if(lines.begin(), lines.end(), [](auto& l) { return l.starts_with("*** FATAL ERROR: "); });
  EXPECT_EQ(r.status, fatal.empty() ? 0 : 1) << r.out;
  if (fatal.empty()) {
    EXPECT_EQ(at, lines.end()) << r.out;
    EXPECT_EQ(results(r).empty(), !warning.empty()) << r.out;
    EXPECT_TRUE(warning.empty() || r.out.find("*** WARNING: " + warning) != std::string::npos) << r.out;
    for (const std::string& l : results(r)) EXPECT_FALSE(std::regex_search(l, std::regex("nan|inf"))) << l;
    return;
  }
  ASSERT_NE(at, lines.end()) << r.out;
  EXPECT_TRUE(at->starts_with("*** FATAL ERROR: " + fatal)) << r.out;
  for (auto l = at + 1; l != lines.end(); ++l) EXPECT_TRUE(l->starts_with(std::string(17, ' ')) || *l == " ") << *l;
  EXPECT_TRUE(results(r).empty()) << r.out;
}

struct BadInput : ::testing::Test {
  RunResult run(std::string content, std::vector<std::string> flags = {}) {
    flags.push_back(dir.write("input.pdb", content));
    content = std::string();  // not part of the forked copy whose memory the child's peak includes
    return run_veldrix(flags);
  }
  TempDir dir{"bad_input"};
};

TEST_F(BadInput, FilesThatCannotBeReadAreRefusedAtOnce) {
  std::filesystem::create_directory(dir.path("folder.pdb"));
  ASSERT_EQ(::mkfifo(dir.path("pipe.pdb").c_str(), 0600), 0);              // without a writer, open would block
  std::filesystem::create_symlink("/dev/zero", dir.path("zero.pdb"));      // a line that never ends
  std::filesystem::create_symlink("/proc/self/mem", dir.path("mem.pdb"));  // reading offset 0 fails
  const std::string ok = dir.write("ok.pdb", text_of(first(3)));
  auto refused = [&](const std::string& name) { return "Input file \"" + dir.path(name) + "\" cannot be opened."; };
  for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{dir.path("missing.pdb")}, refused("missing.pdb")},
           {{dir.path("folder.pdb")}, refused("folder.pdb")},
           {{dir.path("pipe.pdb")}, refused("pipe.pdb")},
           {{dir.path("zero.pdb")}, refused("zero.pdb")},
           {{"-l", dir.path("folder.pdb"), ok}, refused("folder.pdb")},
           {{dir.path("mem.pdb")}, "Cannot read line 1:"},
           {{"-l", dir.path("mem.pdb"), ok}, "Cannot read line 1:"}})
    expect_end(run_veldrix(args, {.time_limit = 20}), message);
  ::chmod(ok.c_str(), 0);
  RunOptions nobody;
  if (::geteuid() == 0) {  // root reads everything: an unprivileged user instead
    ::chmod(dir.path().c_str(), 0755);
    nobody.user = 65534;
  }
  const RunResult r = run_veldrix({ok}, nobody);
  if (r.status == 127) GTEST_SKIP() << "the program cannot be started as an unprivileged user here";
  expect_end(r, "Input file \"" + ok + "\" cannot be opened.");
}

TEST_F(BadInput, DamagedContent) {
  std::mt19937 rng(7);
  std::string noise(1 << 16, '\0');
  for (char& c : noise) c = char(rng());
  const std::vector<std::string>& m0 = all_models()[0];
  Models ok_far = first(3), short_model = first(5), other_name = first(3), empty_model = first(4);
  for (std::string& l : ok_far[1])
    if (l.substr(12, 4) == " CA ") l.replace(38, 8, " 9.9E+07");  // just inside the limit: positions, far off
  std::erase_if(short_model[3], [](const std::string& l) { return std::stoi(l.substr(22, 4)) > 10; });
  for (std::string& l : other_name[1]) l.replace(17, 3, "GLY");
  empty_model.insert(empty_model.begin() + 1, std::vector<std::string>{});
  std::string cut = text_of(first(4), false);  // cut in the y coordinate: the rest would read as 0
  cut = cut.substr(0, cut.rfind("ATOM")) + first(4)[3].back().substr(0, 42);
  std::vector<std::pair<std::string, std::string>> cases = {
      {"", "No amino acid residues in sequence."},
      {noise, "No amino acid residues in sequence."},
      {std::string(3 << 20, '\0'), "No amino acid residues in sequence."},  // 3 MB without a line break
      {"MODEL 1\nENDMDL\n" + text_of(first(3)), "No amino acid residues in sequence."},
      {cut, "Cannot read line " + std::to_string(lines_of(cut).size()) + ":"},
      {text_of(first(1)), "Less than two structures selected."},
      {text_of(first(2)), ""},
      {text_of(other_name), ""},
      {text_of(empty_model), ""}};
  // Coordinates that are no numbers or far out, in a record of model 2.
  for (const std::string value : {"  abc.de", "1.00E+30", "-1.0E+08", "   1e999"}) {
    Models ms = first(3);
    ms[1][10].replace(38, 8, value);
    const std::string text = text_of(ms);
    const auto at = text.begin() + std::ptrdiff_t(text.find(ms[1][10] + "\n"));
    cases.emplace_back(text, "Cannot read line " + std::to_string(std::count(text.begin(), at, '\n') + 1) + ":");
  }
  // A model lacking all atoms of residue 5, and a first one lacking it (then residue 5 is no part of the molecule).
  for (std::size_t k : {0, 2}) {
    Models ms = first(4);
    std::erase_if(ms[k], [](const std::string& l) { return l.substr(22, 4) == "   5"; });
    cases.emplace_back(text_of(ms), "");
  }
  for (const auto& [text, message] : cases) expect_end(run(text), message);
  expect_end(run(text_of(first(5)), {"-r", "1-40"}), "", "Only domains with <");  // no chain letters: no residue
  expect_end(run(text_of(ok_far)), "", "Only domains with <");
  EXPECT_EQ(results(run(text_of({m0, m0, m0, m0}))),
            std::vector<std::string>{"    Optimal range 1..20: RMSD 0.00 A, 0 gaps, 20 residues."});
  // Atoms without coordinates in one model take no part: no range reaches past residue 10.
  const RunResult r = run(text_of(short_model));
  expect_end(r, "");
  for (const std::string& l : results(r))
    EXPECT_FALSE(std::regex_search(l.substr(0, l.find(':')), std::regex(R"(\b(1[1-9]|[2-9]\d|\d{3,})\b)"))) << l;
}

TEST_F(BadInput, LayoutOfTheTextDoesNotChangeTheResult) {
  const std::string text = text_of(first(6));
  const std::vector<std::string> plain = results(run(text));
  ASSERT_FALSE(plain.empty());
  std::string crlf, wide = "REMARK " + std::string(9993, 'x') + "\n";
  for (const std::string& l : lines_of(text)) {
    crlf += l + "\r\n";  // records of 10,000 characters, cut at 200: junk beyond that is never seen
    wide += l +
            (l.starts_with("ATOM") ? std::string(9900 - l.size(), ' ') + "junk" : std::string(10000 - l.size(), 'y')) +
            "\n";
  }
  for (const std::string& t : {crlf, wide, text.substr(0, text.size() - 1)}) EXPECT_EQ(results(run(t)), plain);
  // Binary bytes between the records are skipped like any other record.
  std::mt19937 rng(7);
  std::string mixed;
  for (const auto& m : first(4)) {
    for (const std::string& l : m) mixed += l + "\n";
    for (int i = 0; i < 100; ++i) mixed += char(1 + rng() % 255);
    mixed += "\n";
  }
  EXPECT_EQ(results(run(mixed)), results(run(text_of(first(4), false))));
}

TEST_F(BadInput, LibraryOfLongLines) {
  const std::string pdb = dir.write("ok.pdb", text_of(first(5)));
  // The built-in library with a comment of 10,000 characters after every line: lines are cut at 100.
  std::string wide;
  for (int i = 1; i <= internal_libfile_lines; ++i)
    wide +=
        std::string(internal_libfile(i)) + (!internal_libfile(i).empty() ? " #" + std::string(10000, 'w') : "") + "\n";
  const RunResult r = run_veldrix({"-l", dir.write("wide.lib", wide), pdb});
  expect_end(r, "");
  EXPECT_NE(r.out.find("read, 38 residue types."), std::string::npos) << r.out;
  EXPECT_EQ(results(r), results(run_veldrix({pdb})));
}

TEST_F(BadInput, MemoryStaysProportionalToTheFile) {
  std::string text = text_of(first(1000));
  std::size_t size = text.size();
  RunResult r = run(std::exchange(text, {}));  // the test's own memory out of the measurement
  expect_end(r, "");
  EXPECT_NE(r.out.find("read, 1000 rigid conformers."), std::string::npos);
  [[maybe_unused]] const bool thousand_fit = double(r.peak_kb) * 1024.0 < 2.0 * double(size) + 16.0e6;
  // A first model of 400 tryptophans (25 atoms each in the molecule, one record each), then 20,000
  // "models" of two records: stored in full they would need about 5 GB for a file of 3 MB.
  char buf[96];
  for (int i = 1; i <= 40400; ++i) {
    const int residue = i <= 400 ? i : 2 - i % 2;
    std::snprintf(buf, sizeof buf, "ATOM  %5d  CA  TRP A%4d    %8.3f%8.3f%8.3f  1.00  0.00           C\n", i % 100000,
                  residue, 3.8 * residue, 0.5 * (residue % 2), 0.0);
    text += buf;
  }
  r = run(std::exchange(text, {}));
  expect_end(r, "PDB coordinate file \"" + dir.path("input.pdb") + "\" holds coordinates for too few atoms:");
#ifndef VELDRIX_SANITIZED_BUILD
  EXPECT_TRUE(thousand_fit);
  EXPECT_LT(r.peak_kb, 200L * 1024);
  // 200 MB of models (the 38 over and over): memory within twice the file's size (minutes under sanitizers).
  std::size_t n = 0;
  size = 0;
  {
    std::ofstream out(dir.path("big.pdb"), std::ios::binary);
    for (; size < 200u << 20; ++n)
      for (const std::string& l : all_models()[n % 38]) {
        out << l << '\n';
        size += l.size() + 1;
      }
  }
  r = run_veldrix({dir.path("big.pdb")});
  std::filesystem::remove(dir.path("big.pdb"));
  expect_end(r, "");
  EXPECT_NE(r.out.find("read, " + std::to_string(n) + " rigid conformers."), std::string::npos) << r.out;
  EXPECT_LT(double(r.peak_kb) * 1024.0, 3.0 * double(size));
#endif
}

}  // namespace
}  // namespace veldrix::testing
