// Bad input through the whole program: every case ends with a correct result or one
// clear message and the right exit status, never with a crash, a hang or a result
// line followed by a fatal message; memory stays proportional to the input.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "bad_input/process.hpp"

namespace veldrix::testing {
namespace {

constexpr const char* fatal_prefix = "*** FATAL ERROR: ";

bool starts(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

// The 38 models of a 20-residue mini-protein: its ATOM records, model by model.
class BadInput : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    models_ = new std::vector<std::vector<std::string>>;
    const std::string command = std::string("gzip -dc '") + VELDRIX_TEST_DATA + "/1l2y.pdb.gz'";
    FILE* p = ::popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string text;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    ASSERT_EQ(::pclose(p), 0);
    for (const std::string& l : lines_of(text)) {
      if (starts(l, "MODEL")) models_->emplace_back();
      else if (starts(l, "ATOM ") && !models_->empty()) models_->back().push_back(l);
    }
    ASSERT_EQ(models_->size(), 38u);
  }
  static void TearDownTestSuite() {
    delete models_;
    models_ = nullptr;
  }

  static const std::vector<std::string>& model(std::size_t k) { return (*models_)[k % models_->size()]; }

  // Models 0..n-1 (cycling through the 38), with or without MODEL/ENDMDL records.
  static std::string ensemble(std::size_t n, bool model_records = true) {
    std::string s;
    for (std::size_t k = 0; k < n; ++k) {
      if (model_records) s += "MODEL     " + std::to_string(k + 1) + "\n";
      for (const std::string& l : model(k)) s += l + "\n";
      if (model_records) s += "ENDMDL\n";
    }
    return s + "END\n";
  }
  static std::string text_of(const std::vector<std::vector<std::string>>& ms, bool model_records = true) {
    std::string s;
    for (std::size_t k = 0; k < ms.size(); ++k) {
      if (model_records) s += "MODEL     " + std::to_string(k + 1) + "\n";
      for (const std::string& l : ms[k]) s += l + "\n";
      if (model_records) s += "ENDMDL\n";
    }
    return s + "END\n";
  }

  RunResult run(std::string content, std::vector<std::string> flags = {}) {
    const std::string path = dir_.write("input.pdb", content);
    content = std::string();  // not part of the forked copy whose memory the child's peak includes
    flags.push_back(path);
    return run_veldrix(flags);
  }

  TempDir dir_;
  static std::vector<std::vector<std::string>>* models_;
};
std::vector<std::vector<std::string>>* BadInput::models_ = nullptr;

// The result lines of a run ("Optimal range ...").
std::vector<std::string> results(const RunResult& r) {
  std::vector<std::string> out;
  for (const std::string& l : lines_of(r.out))
    if (l.find("Optimal range") != std::string::npos) out.push_back(l);
  return out;
}

// A normal end with at least one result line and no fatal message.
void expect_result(const RunResult& r) {
  EXPECT_EQ(r.signal, 0) << r.out;
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find(fatal_prefix), std::string::npos) << r.out;
  const std::vector<std::string> res = results(r);
  EXPECT_FALSE(res.empty()) << r.out;
  for (const std::string& l : res) {
    EXPECT_EQ(l.find("nan"), std::string::npos) << l;
    EXPECT_EQ(l.find("inf"), std::string::npos) << l;
  }
}

// A normal end, with or without result lines (a warning may explain their absence).
void expect_normal_end(const RunResult& r) {
  EXPECT_EQ(r.signal, 0) << r.out;
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find(fatal_prefix), std::string::npos) << r.out;
  if (results(r).empty()) {
    EXPECT_NE(r.out.find("*** WARNING: "), std::string::npos) << r.out;
  }
}

// A stop with exactly one fatal message, which starts with `message`, is the last
// thing printed (besides its own continuation lines), and comes after no result line.
void expect_fatal(const RunResult& r, const std::string& message) {
  EXPECT_EQ(r.signal, 0) << r.out;
  EXPECT_EQ(r.status, 1) << r.out;
  const std::vector<std::string> lines = lines_of(r.out);
  int fatals = 0;
  std::size_t at = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (starts(lines[i], fatal_prefix)) {
      ++fatals;
      at = i;
    }
  ASSERT_EQ(fatals, 1) << r.out;
  EXPECT_TRUE(starts(lines[at], fatal_prefix + message)) << r.out;
  for (std::size_t i = at + 1; i < lines.size(); ++i)
    EXPECT_TRUE(starts(lines[i], std::string(17, ' ')) || lines[i] == " ") << "printed after the fatal message: " << lines[i];
  EXPECT_TRUE(results(r).empty()) << "a result line before the fatal message:\n" << r.out;
}

TEST_F(BadInput, ExitStatusOfTheDriversOwnEnds) {
  RunResult r = run_veldrix({});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("*** No input file was provided! ***"), std::string::npos);
  r = run_veldrix({"-h"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("VELDRIX HELP"), std::string::npos);
  expect_fatal(run_veldrix({"-g", "x.pdb"}), "The number of flags must be equal to the number of arguments!");
  expect_fatal(run_veldrix({"-q", "1", "x.pdb"}), "Flag \"-q\" is invalid.");
}

TEST_F(BadInput, NormalEndsWithAWarningExitWithZero) {
  // A range that matches no residue identifier leaves the selection empty.
  const RunResult r = run(ensemble(5), {"-r", "1-40"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("*** WARNING: Only domains with <"), std::string::npos) << r.out;
  EXPECT_TRUE(results(r).empty());
}

TEST_F(BadInput, FilesThatAreNotRegularFilesAreRefusedAtOnce) {
  expect_fatal(run_veldrix({dir_.path("missing.pdb")}), "Input file \"" + dir_.path("missing.pdb") + "\" cannot be opened.");
  std::filesystem::create_directory(dir_.path("folder.pdb"));
  expect_fatal(run_veldrix({dir_.path("folder.pdb")}), "Input file \"" + dir_.path("folder.pdb") + "\" cannot be opened.");
  // A pipe without a writer would block the open forever; an endless device would never end a line.
  ASSERT_EQ(::mkfifo(dir_.path("pipe.pdb").c_str(), 0600), 0);
  RunOptions quick;
  quick.time_limit = 20;
  expect_fatal(run_veldrix({dir_.path("pipe.pdb")}, quick), "Input file \"" + dir_.path("pipe.pdb") + "\" cannot be opened.");
  std::filesystem::create_symlink("/dev/zero", dir_.path("zero.pdb"));
  expect_fatal(run_veldrix({dir_.path("zero.pdb")}, quick), "Input file \"" + dir_.path("zero.pdb") + "\" cannot be opened.");
  // The same holds for a library file.
  const std::string pdb = dir_.write("ok.pdb", ensemble(3));
  expect_fatal(run_veldrix({"-l", dir_.path("folder.pdb"), pdb}), "Input file \"" + dir_.path("folder.pdb") + "\" cannot be opened.");
}

TEST_F(BadInput, ReadErrorsAreReportedWithTheLine) {
  // Reading /proc/self/mem at offset 0 fails with an I/O error.
  std::filesystem::create_symlink("/proc/self/mem", dir_.path("mem.pdb"));
  expect_fatal(run_veldrix({dir_.path("mem.pdb")}), "Cannot read line 1:");
  const std::string pdb = dir_.write("ok.pdb", ensemble(3));
  expect_fatal(run_veldrix({"-l", dir_.path("mem.pdb"), pdb}), "Cannot read line 1:");
}

TEST_F(BadInput, UnreadableFile) {
  const std::string pdb = dir_.write("locked.pdb", ensemble(3));
  ::chmod(pdb.c_str(), 0);
  RunOptions opt;
  if (::geteuid() == 0) {
    // Root reads everything: run as an unprivileged user instead.
    ::chmod(dir_.root().c_str(), 0755);
    opt.user = 65534;
  }
  const RunResult r = run_veldrix({pdb}, opt);
  if (r.exec_failed) GTEST_SKIP() << "the program cannot be started as an unprivileged user here";
  expect_fatal(r, "Input file \"" + pdb + "\" cannot be opened.");
}

TEST_F(BadInput, EmptyAndBinaryFiles) {
  expect_fatal(run(""), "No amino acid residues in sequence.");
  std::mt19937 rng(7);
  std::string noise(1 << 16, '\0');
  for (char& c : noise) c = char(rng());
  expect_fatal(run(noise), "No amino acid residues in sequence.");
  // Binary bytes between the records of a good file are skipped like any other record.
  std::string mixed;
  for (std::size_t k = 0; k < 4; ++k) {
    for (const std::string& l : model(k)) mixed += l + "\n";
    mixed += noise.substr(k * 100, 100) + "\n";
  }
  for (char& c : mixed)
    if (c == '\0') c = '\x01';
  const RunResult r = run(mixed);
  if (r.status == 0) {
    expect_result(r);
  } else {
    expect_fatal(r, "");
  }
  // A whole file without a single line break, and NUL bytes.
  expect_fatal(run(std::string(3 << 20, '\0')), "No amino acid residues in sequence.");
}

TEST_F(BadInput, LineEndingsAndLineLengthsDoNotChangeTheResult) {
  const std::string text = ensemble(6);
  const RunResult plain = run(text);
  expect_result(plain);

  std::string crlf;
  for (const std::string& l : lines_of(text)) crlf += l + "\r\n";
  const RunResult r1 = run(crlf);
  expect_result(r1);
  EXPECT_EQ(results(r1), results(plain));

  // Records padded to 10,000 characters, and a remark of 10,000 characters.
  std::string wide = "REMARK " + std::string(9993, 'x') + "\n";
  for (const std::string& l : lines_of(text)) wide += l + std::string(10000 - l.size(), starts(l, "ATOM") ? ' ' : 'y') + "\n";
  const RunResult r2 = run(wide);
  expect_result(r2);
  EXPECT_EQ(results(r2), results(plain));

  // The last line without its line break.
  std::string open_end = text.substr(0, text.size() - 1);
  const RunResult r3 = run(open_end);
  expect_result(r3);
  EXPECT_EQ(results(r3), results(plain));
}

TEST_F(BadInput, TruncatedLastRecordIsReportedNotReadAsZero) {
  // Cut in the middle of the y coordinate of the last record: without the rest
  // of the record its missing columns would read as coordinates of 0.
  std::string text = ensemble(4, false);
  text = text.substr(0, text.rfind("ATOM"));
  const std::vector<std::string> last = model(3);
  const std::size_t n = lines_of(text).size() + 1;
  text += last.back().substr(0, 42);
  expect_fatal(run(text), "Cannot read line " + std::to_string(n) + ":");
}

TEST_F(BadInput, CoordinatesThatAreNoNumbersOrFarOut) {
  for (const std::string& value : {std::string("  abc.de"), std::string("1.00E+30"), std::string("-1.0E+08"),
                                   std::string("   1e999")}) {
    auto ms = std::vector<std::vector<std::string>>{model(0), model(1), model(2)};
    ms[1][10].replace(38, 8, value);  // the y coordinate of a record of model 2
    const std::string text = text_of(ms);
    std::size_t line = 0;
    const std::vector<std::string> lines = lines_of(text);
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i] == ms[1][10]) line = i + 1;
    expect_fatal(run(text), "Cannot read line " + std::to_string(line) + ":");
  }
  // A position just inside the limit is a position.
  auto ms = std::vector<std::vector<std::string>>{model(0), model(1), model(2)};
  for (std::string& l : ms[1])
    if (l.substr(12, 4) == " CA ") l.replace(38, 8, " 9.9E+07");
  expect_normal_end(run(text_of(ms)));
}

TEST_F(BadInput, ModelsOfDifferentContent) {
  // A model without atoms between others, one model lacking all atoms of a
  // residue, one model with residues 1-10 only, one with residues of another name.
  std::vector<std::vector<std::string>> ms = {model(0), {}, model(1), model(2), model(3)};
  expect_result(run(text_of(ms)));

  ms = {model(0), model(1), model(2), model(3)};
  std::erase_if(ms[2], [](const std::string& l) { return l.substr(22, 4) == "   5"; });
  expect_result(run(text_of(ms)));

  ms = {model(0), model(1), model(2), model(3)};
  std::erase_if(ms[0], [](const std::string& l) { return l.substr(22, 4) == "   5"; });
  const RunResult missing_first = run(text_of(ms));
  expect_result(missing_first);  // residue 5 is not part of the molecule at all

  ms = {model(0), model(1), model(2), model(3), model(4)};
  std::erase_if(ms[3], [](const std::string& l) { return std::stoi(l.substr(22, 4)) > 10; });
  const RunResult short_model = run(text_of(ms));
  expect_result(short_model);
  // Atoms without coordinates in one model take no part: no range reaches past residue 10.
  for (const std::string& l : results(short_model)) {
    const std::string ranges = l.substr(l.find("range") + 6, l.find(':') - l.find("range") - 6);
    for (std::size_t p = 0; p < ranges.size();) {
      const std::size_t q = ranges.find_first_of("0123456789", p);
      if (q == std::string::npos) break;
      std::size_t len = 0;
      EXPECT_LE(std::stoi(ranges.substr(q), &len), 10) << l;
      p = q + len;
    }
  }

  ms = {model(0), model(1), model(2)};
  for (std::string& l : ms[1]) l.replace(17, 3, "GLY");
  expect_result(run(text_of(ms)));
}

TEST_F(BadInput, FewAndIdenticalModels) {
  expect_fatal(run(ensemble(1)), "Less than two structures selected.");
  expect_result(run(ensemble(2)));
  const RunResult same = run(text_of({model(0), model(0), model(0), model(0)}));
  expect_result(same);
  ASSERT_EQ(results(same).size(), 1u);
  EXPECT_NE(results(same)[0].find("Optimal range 1..20: RMSD 0.00 A, 0 gaps, 20 residues."), std::string::npos);
  // A first model without records leaves no sequence.
  expect_fatal(run("MODEL 1\nENDMDL\n" + ensemble(3)), "No amino acid residues in sequence.");
}

TEST_F(BadInput, ParametersTheStructuresCommandRefusesStopBeforeAnyResult) {
  const RunResult r = run(ensemble(4), {"-m", "150"});
  expect_fatal(r, "Illegal value \"**\" for parameter \"minimum\".");
  EXPECT_NE(r.out.find("read, 4 rigid conformers."), std::string::npos) << r.out;
  expect_fatal(run(ensemble(4), {"-g", "123.5"}), "Illegal value \"*****\" for parameter \"gap\".");
}

TEST_F(BadInput, ThousandModels) {
  std::string text = ensemble(1000);
  const std::size_t size = text.size();
  const RunResult r = run(std::exchange(text, {}));  // the test's own memory out of the measurement
  expect_result(r);
  EXPECT_NE(r.out.find("read, 1000 rigid conformers."), std::string::npos);
  std::printf("[ memory   ] 1000 models, %zu kB file: peak %ld kB\n", size / 1024, r.peak_kb);
#ifndef VELDRIX_SANITIZED_BUILD
  EXPECT_LT(double(r.peak_kb) * 1024.0, 2.0 * double(size) + 16.0e6);
#endif
}

TEST_F(BadInput, FragmentModelsCannotClaimMemoryBeyondTheFilesSize) {
  // A first model of 400 tryptophans (one record each, 25 atoms each in the
  // molecule), then 20,000 "models" of two records: stored in full they would
  // need about 5 GB for a file of 3 MB.
  auto record = [](int serial, int residue) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "ATOM  %5d  CA  TRP A%4d    %8.3f%8.3f%8.3f  1.00  0.00           C\n",
                  serial % 100000, residue, 3.8 * residue, 0.5 * (residue % 2), 0.0);
    return std::string(buf);
  };
  std::string text;
  int serial = 0;
  for (int i = 1; i <= 400; ++i) text += record(++serial, i);
  for (int m = 0; m < 20000; ++m) {
    text += record(++serial, 1);
    text += record(++serial, 2);
  }
  const std::size_t size = text.size();
  const RunResult r = run(std::exchange(text, {}));
  expect_fatal(r, "PDB coordinate file \"" + dir_.path("input.pdb") + "\" holds coordinates for too few atoms:");
  std::printf("[ memory   ] fragment models, %zu kB file: peak %ld kB\n", size / 1024, r.peak_kb);
#ifndef VELDRIX_SANITIZED_BUILD
  EXPECT_LT(r.peak_kb, 200L * 1024);
#endif
}

TEST_F(BadInput, LibraryWithAResidueOfTwoAtoms) {
  const std::string lib = dir_.write("two.lib",
                                     "ATOMTYPES 1\n"
                                     "   1 C_ALI      1.60    0    6\n"
                                     "RESIDUE   TWO      0    2    1    2\n"
                                     "   1 CA   C_ALI    0    0.0000    0.0000    0.0000    0.0000\n"
                                     "   2 CB   C_ALI    0    0.0000    1.5000    0.0000    0.0000\n");
  const std::string pdb = dir_.write("ok.pdb", ensemble(3));
  expect_fatal(run_veldrix({"-l", lib, pdb}), "Residue type \"TWO\" has no standard frame");
  RunOptions env;
  env.libenv = lib;
  expect_fatal(run_veldrix({pdb}, env), "Residue type \"TWO\" has no standard frame");
}

TEST_F(BadInput, LibraryFileWithLinesOfTenThousandCharacters) {
  // The built-in library as a file gives the built-in result; a comment of
  // 10,000 characters after every line changes nothing (lines are cut at 100).
  std::ifstream table(std::string(VELDRIX_TEST_DATA) + "/../../src/molecule/lib_in_code_table.inc");
  ASSERT_TRUE(table.is_open());
  std::string plain, wide;
  for (std::string l; std::getline(table, l);) {
    if (l.size() < 3 || l[0] != '"') continue;
    const std::string text = l.substr(1, l.rfind('"') - 1);
    plain += text + "\n";
    wide += text + (text.empty() ? "" : " #" + std::string(10000, 'w')) + "\n";
  }
  const std::string pdb = dir_.write("ok.pdb", ensemble(5));
  const RunResult builtin = run_veldrix({pdb});
  expect_result(builtin);
  for (const std::string& lib : {plain, wide}) {
    const RunResult r = run_veldrix({"-l", dir_.write("lib.lib", lib), pdb});
    expect_result(r);
    EXPECT_EQ(results(r), results(builtin));
    EXPECT_NE(r.out.find("read, 38 residue types."), std::string::npos) << r.out;
  }
}

#ifndef VELDRIX_SANITIZED_BUILD
// 200 MB of models (the 38 models of the mini-protein over and over): a result in
// seconds, with memory within a small multiple of the file's size. Skipped in the
// sanitizer build, where it takes minutes.
TEST_F(BadInput, TwoHundredMegabytes) {
  const std::string path = dir_.path("big.pdb");
  std::size_t size = 0, n = 0;
  {
    std::ofstream out(path, std::ios::binary);
    std::vector<std::string> blocks;
    for (std::size_t k = 0; k < 38; ++k) {
      std::string b;
      for (const std::string& l : model(k)) b += l + "\n";
      blocks.push_back(b);
    }
    while (size < 200u * 1024 * 1024) {
      out << blocks[n % 38];
      size += blocks[n % 38].size();
      ++n;
    }
  }
  const RunResult r = run_veldrix({path});
  std::filesystem::remove(path);
  expect_result(r);
  EXPECT_NE(r.out.find("read, " + std::to_string(n) + " rigid conformers."), std::string::npos) << r.out;
  std::printf("[ memory   ] %zu models, %zu MB file: peak %ld MB\n", n, size >> 20, r.peak_kb >> 10);
  EXPECT_LT(double(r.peak_kb) * 1024.0, 2.0 * double(size));
}
#endif

}  // namespace
}  // namespace veldrix::testing
