// The veldrix-batch executable end to end: the same answers as veldrix, order, isolation of crashes
// and hangs, interrupts, bad inputs, standard error and exit statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <set>

#include "batch/batch_support.hpp"

namespace veldrix::batch::testing {
namespace {

const std::string data = VELDRIX_TEST_DATA;
// A small ensemble (3 conformers) that even the sanitizer build analyses well within the time-out.
const std::string quick = "2k39.pdb.gz";
#ifdef VELDRIX_SANITIZED_BUILD
const std::string timeout = "10";
#else
const std::string timeout = "1";
#endif

// Every ensemble of the test data, plain and (but in the slower sanitizer build) as it is, gzip, in
// one directory; returns their number.
std::size_t lay_out_ensembles(const TempDir& dir) {
  std::size_t n = 0;
  for (const std::string sub : {"", "synthetic/"})
    for (const auto& e : fs::directory_iterator(data + "/" + sub))
      if (e.path().extension() == ".gz") {
        gunzip(sub + e.path().filename().string(), dir.path() / "plain" / sub / e.path().stem());
        ++n;
#ifndef VELDRIX_SANITIZED_BUILD
        fs::create_directories(dir.path() / "gzip" / sub);
        fs::copy_file(e.path(), dir.path() / "gzip" / sub / e.path().filename());
        ++n;
#endif
      }
  return n;
}

std::vector<std::string> with_prefix(const std::vector<std::string>& lines, std::string_view prefix) {
  std::vector<std::string> out;
  for (const std::string& l : lines)
    if (l.starts_with(prefix)) out.push_back(l.substr(prefix.size()));
  return out;
}

// For every input, what veldrix prints: its result lines, warnings and fatal message.
TEST(Batch, SameAnswersAsVeldrix) {
  TempDir dir;
  const std::size_t inputs = lay_out_ensembles(dir);
  const Ran batch = run({.args = {"--names", "library", "-j", "2", dir.path().string()}}, dir);
  const std::vector<Json> rs = records(batch.out);
  std::vector<std::string> sorted = files_of(rs);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(files_of(rs), sorted);
  ASSERT_EQ(rs.size(), inputs);
  bool any_failed = false;
  for (const Json& r : rs) {
    const std::string file = r["file"];
    SCOPED_TRACE(file);
    EXPECT_EQ(r["compressed"], file.ends_with(".gz"));
    const Ran v = run({.args = {file}, .exe = VELDRIX_EXE}, dir);
    const std::vector<std::string> lines = lines_of(v.out);
    const std::vector<std::string> fatal = with_prefix(lines, "*** FATAL ERROR: ");
    EXPECT_EQ(r["status"] == "ok", v.status == 0);
    EXPECT_EQ(r["error"], fatal.empty() ? Json(nullptr) : Json(fatal[0]));
    EXPECT_EQ(r["warnings"], Json(with_prefix(lines, "*** WARNING: ")));
    const std::vector<std::string> printed = with_prefix(lines, "    Optimal range ");
    ASSERT_EQ(r["domains"].size(), printed.size());
    for (std::size_t i = 0; i < printed.size(); ++i) {
      const Json& d = r["domains"][i];
      char rmsd[32];
      std::snprintf(rmsd, sizeof rmsd, "%.2f", d["rmsd"].get<double>());
      const int gaps = d["gaps"];
      EXPECT_EQ(d["ranges"].get<std::string>() + ": RMSD " + rmsd + " A, " + std::to_string(gaps) +
                    (gaps == 1 ? " gap, " : " gaps, ") + std::to_string(d["residues"].get<int>()) + " residues.",
                printed[i]);
      EXPECT_EQ(d["segments"].size(), std::size_t(gaps + 1));
      EXPECT_EQ(d["residue_ids"].size(), d["residues"].get<std::size_t>());
      EXPECT_EQ(d["residue_ids"].front(), d["segments"].front()["first"]);
      EXPECT_EQ(d["residue_ids"].back(), d["segments"].back()["last"]);
    }
    any_failed = any_failed || r["status"] == "error";
  }
  EXPECT_EQ(batch.status, any_failed ? 1 : 0);
}

TEST(Batch, SameBytesWhateverTheJobs) {
  TempDir dir;
  for (const char* name : {"1d3z", "2hkb", "1l2y", "1lcd"})
    gunzip(std::string(name) + ".pdb.gz", dir.path() / "in" / (std::string(name) + ".pdb"));
  std::ofstream(dir.path() / "in" / "zz_empty.pdb") << "END\n";
  const std::string in = dir / "in";
  const Ran one = run({.args = {"-j", "1", in, in + "/1d3z.pdb"}}, dir);
  const Ran two = run({.args = {"-j", "2", in, in + "/1d3z.pdb"}}, dir);
  EXPECT_EQ(one.status, 1);
  EXPECT_EQ(records(one.out).size(), 6u);
  EXPECT_EQ(without_seconds(one.out), without_seconds(two.out));

  // TSV: a header, one row per domain, one per failed input, every row with the header's columns.
  const Ran tsv = run({.args = {"--format", "tsv", in}}, dir);
  const std::vector<std::string> rows = lines_of(tsv.out);
  ASSERT_EQ(rows.size(), 6u);  // the header, a domain of each ensemble, the empty file
  EXPECT_TRUE(rows[0].starts_with("file\tformat\tcompressed\tstatus\tdomain\tranges\trmsd"));
  for (const std::string& row : rows) EXPECT_EQ(std::count(row.begin(), row.end(), '\t'), 22) << row;
  EXPECT_NE(rows[5].find("\terror\t"), std::string::npos);
  EXPECT_NE(rows[5].find("No amino acid residues in sequence."), std::string::npos);
}

// --superpose and --plot: a file per domain and a plot per input that succeeded, named after the input (a name
// met before numbered); a directory that cannot be made is a usage error before any work.
TEST(Batch, SuperposedFilesAndPlots) {
  TempDir dir;
  gunzip("1d3z.pdb.gz", dir.path() / "in/1d3z.pdb");
  gunzip("1d3z.pdb.gz", dir.path() / "in/again/1d3z.pdb");
  fs::copy_file(data + "/formats/2beg.cif.gz", dir.path() / "in/2beg.cif.gz");
  write_file(dir.path() / "in/empty.pdb", "END\n");
  const Ran r = run({.args = {"--superpose", dir / "out/sp", "--plot", dir / "out/pl", dir / "in"}}, dir);
  EXPECT_EQ(r.status, 1);
  std::set<std::string> made;
  for (const auto& e : fs::recursive_directory_iterator(dir.path() / "out"))
    if (e.is_regular_file() && e.file_size() > 0) made.insert(fs::relative(e.path(), dir.path() / "out").string());
  EXPECT_EQ(made, (std::set<std::string>{"sp/2beg.domain1.cif", "sp/1d3z.domain1.pdb", "sp/1d3z_2.domain1.pdb",
                                         "pl/2beg.svg", "pl/1d3z.svg", "pl/1d3z_2.svg"}));
  for (const Json& rec : records(r.out))
    EXPECT_EQ(rec["per_residue"].size(), rec["residues"].is_null() ? 0 : rec["residues"].get<std::size_t>());
  write_file(dir.path() / "file", "");
  const Ran refused = run({.args = {"--plot", dir / "file/sub", dir / "in"}}, dir);
  EXPECT_EQ(std::pair(refused.status, refused.out), std::pair(2, std::string()));
  EXPECT_NE(refused.err.find("cannot write into"), std::string::npos) << refused.err;
}

// A crash, a hang and a fatal message each give an error record; the batch goes on.
TEST(Batch, CrashesAndHangsAreIsolated) {
  TempDir dir;
  for (const char* name : {"a", "b", "c", "d"}) gunzip(quick, dir.path() / "in" / (std::string(name) + ".pdb"));
  write_file(dir.path() / "in/e.pdb", "not a structure\n");
  const Ran r = run({.args = {"--timeout", timeout, "-j", "2", dir / "in"},
                     .env = {"VELDRIX_BATCH_TEST_FAULT=crash:b.pdb,hang:c.pdb"}},
                    dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_LT(r.seconds, 3 * std::stod(timeout) + 10);
  const std::vector<Json> rs = records(r.out);
  ASSERT_EQ(rs.size(), 5u);
  const std::vector<std::pair<std::string, Json>> expected = {
      {"ok", nullptr},
      {"error", "The analysis crashed (signal 11, Segmentation fault)."},
      {"error", "The analysis ran past the time-out of " + timeout + " s."},
      {"ok", nullptr},
      {"error", "No amino acid residues in sequence."}};
  for (std::size_t i = 0; i < rs.size(); ++i) {
    EXPECT_EQ(rs[i]["status"], expected[i].first) << i;
    EXPECT_EQ(rs[i]["error"], expected[i].second) << i;
    EXPECT_EQ(rs[i]["format"], "pdb") << i;  // known before the worker failed
  }
}

// Processes whose command line holds `text` (the workers of an interrupted run would).
int processes_with(const std::string& text) {
  int n = 0;
  for (const auto& e : fs::directory_iterator("/proc")) {
    std::string cmd = read_file(e.path() / "cmdline");
    std::replace(cmd.begin(), cmd.end(), '\0', ' ');
    if (cmd.find(text) != std::string::npos && e.path().filename() != std::to_string(::getpid())) ++n;
  }
  return n;
}

TEST(Batch, InterruptFlushesTheFinishedRecordsAndStops) {
  TempDir dir;
  for (const char* name : {"a", "b", "c", "d"}) gunzip(quick, dir.path() / "in" / (std::string(name) + ".pdb"));
  const Ran r =
      run({.args = {"--timeout", "300", "-j", "1", dir / "in"},
           .env = {"VELDRIX_BATCH_TEST_FAULT=hang:c.pdb"},
           .interrupt_when = [](const std::string& out) { return std::count(out.begin(), out.end(), '\n') == 2; }},
          dir);
  EXPECT_EQ(r.status, 130);
  EXPECT_LT(r.seconds, 60.0);
  EXPECT_EQ(files_of(records(r.out)), (std::vector<std::string>{dir / "in/a.pdb", dir / "in/b.pdb"}));
  EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
  EXPECT_EQ(processes_with(dir / "in"), 0);
}

TEST(Batch, BadInputs) {
  TempDir dir;
  const fs::path in = dir.path() / "in";
  gunzip("1d3z.pdb.gz", in / "good.pdb");
  write_file(in / "notes.txt", "not a structure\n");
  write_file(in / "junk.pdb", "not a structure\n");
  fs::create_directory_symlink("..", in / "up");
  fs::create_symlink("loop.pdb", in / "loop.pdb");
  const std::string good = (in / "good.pdb").string(), notes = (in / "notes.txt").string();

  // Found by the search: non-structure names skipped, the rest analysed, loops end.
  Ran r = run({.args = {in.string()}}, dir);
  EXPECT_EQ(r.status, 1);
  std::vector<Json> rs = records(r.out);
  ASSERT_EQ(files_of(rs), (std::vector<std::string>{dir / "in/good.pdb", dir / "in/junk.pdb", dir / "in/loop.pdb"}));
  EXPECT_EQ(rs[1]["error"], "No amino acid residues in sequence.");
  EXPECT_EQ(rs[2]["error"], "Input file \"" + dir / "in/loop.pdb" + "\" cannot be opened.");

  // Named: analysed whatever the name, twice when named twice, in order.
  r = run({.args = {notes, good, "-"}, .input = good + "\n"}, dir);
  rs = records(r.out);
  ASSERT_EQ(files_of(rs), (std::vector<std::string>{notes, good, good}));
  EXPECT_EQ(rs[0]["status"], "error");

  // Nothing to do: an empty list is no failure; no input at all is a usage error.
  r = run({.args = {"-"}}, dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("no input found"), std::string::npos);
  r = run({.args = {}}, dir);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Usage: veldrix-batch"), std::string::npos);

  // An output that cannot be written stops the batch before any work.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);  // no reader: refused, not waited for
  for (const std::string& out : {dir / "in", dir / "missing/out.jsonl", dir / "fifo"}) {
    r = run({.args = {"-o", out, good}, .env = {"VELDRIX_BATCH_TEST_FAULT=hang:good.pdb"}}, dir);
    EXPECT_EQ(r.status, 2) << out;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

TEST(Batch, UnreadableFilesAndDirectories) {
  TempDir dir;
  gunzip("1d3z.pdb.gz", dir.path() / "in/locked.pdb");
  gunzip("1d3z.pdb.gz", dir.path() / "in/closed/x.pdb");
  fs::permissions(dir.path() / "in/locked.pdb", fs::perms::none);
  fs::permissions(dir.path() / "in/closed", fs::perms::none);
  RunSpec spec{.args = {"-j", "2", dir / "in"}};
  if (::geteuid() == 0) spec.user = 65534;  // root reads everything
  const Ran r = run(spec, dir);
  fs::permissions(dir.path() / "in/closed", fs::perms::owner_all);
  if (r.status == 127) GTEST_SKIP() << "cannot run as an unprivileged user here";
  EXPECT_EQ(r.status, 1);
  const std::vector<Json> rs = records(r.out);
  ASSERT_EQ(rs.size(), 2u);
  EXPECT_EQ(rs[0]["file"], dir / "in/closed");
  EXPECT_EQ(rs[0]["error"], "The directory \"" + dir / "in/closed" + "\" cannot be read: Permission denied.");
  EXPECT_EQ(rs[1]["error"], "Input file \"" + dir / "in/locked.pdb" + "\" cannot be opened.");
}

// Not on a terminal: no progress line, only the summary; nothing at all with --quiet.
TEST(Batch, StandardErrorHoldsTheSummaryOnly) {
  TempDir dir;
  const std::string good = gunzip(quick, dir.path() / "good.pdb");
  const Ran r = run({.args = {good, dir / "missing.pdb"}}, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(std::regex_match(r.err, std::regex("2 inputs: 1 ok, 1 failed in [0-9]+\\.[0-9] s\n"))) << r.err;
  const Ran quiet = run({.args = {"--quiet", good}}, dir);
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(records(quiet.out).size(), 1u);
}

}  // namespace
}  // namespace veldrix::batch::testing
