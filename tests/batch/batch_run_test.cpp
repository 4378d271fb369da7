// veldrix-batch end to end: the same answers as veldrix, the same bytes whatever the jobs, TSV, crashes, hangs
// and interrupts isolated, bad inputs, standard error and exit statuses.
#include <sys/stat.h>

#include <regex>
#include <set>

#include "batch/batch_support.hpp"

namespace veldrix::batch::testing {
namespace {

#ifdef VELDRIX_SANITIZED_BUILD
const std::string timeout = "10";
#else
const std::string timeout = "1";
#endif

std::vector<std::string> with_prefix(const std::string& text, std::string_view prefix) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (l.starts_with(prefix)) out.push_back(l.substr(prefix.size()));
  return out;
}

// Every ensemble of the test data, plain and (but in the slower sanitizer build) gzip, against what veldrix prints.
TEST(Batch, SameAnswersAsVeldrix) {
  TempDir dir("batch");
  std::size_t inputs = 0;
  for (const std::string sub : {"", "synthetic/"})
    for (const auto& e : fs::directory_iterator(std::string(VELDRIX_TEST_DATA) + "/" + sub))
      if (e.path().extension() == ".gz") {
        write_file(dir.path() / "plain" / sub / e.path().stem(), data_file(sub + e.path().filename().string()));
#ifndef VELDRIX_SANITIZED_BUILD
        write_file(dir.path() / "gzip" / sub / e.path().filename(), read_file(e.path()));
        ++inputs;
#endif
        ++inputs;
      }
  const Ran batch = run({.args = {"--names", "library", "-j", "2", dir.path().string()}}, dir);
  const std::vector<Json> rs = records(batch.out);
  const std::vector<std::string> files = files_of(rs);
  ASSERT_EQ(rs.size(), inputs);
  EXPECT_TRUE(std::is_sorted(files.begin(), files.end()));
  bool any_failed = false;
  for (const Json& r : rs) {
    const std::string file = r["file"];
    const Ran v = run({.args = {file}, .exe = VELDRIX_EXE}, dir);
    const std::vector<std::string> fatal = with_prefix(v.out, "*** FATAL ERROR: ");
    std::vector<std::string> ranges;
    for (const Json& d : r["domains"]) {
      const std::size_t gaps = d["gaps"], residues = d["residues"];
      char line[256];
      std::snprintf(line, sizeof line, "%s: RMSD %.2f A, %zu gap%s, %zu residues.",
                    d["ranges"].get<std::string>().c_str(), d["rmsd"].get<double>(), gaps, gaps == 1 ? "" : "s",
                    residues);
      const bool agree = d["segments"].size() == gaps + 1 && d["residue_ids"].size() == residues &&
                         d["residue_ids"].front() == d["segments"].front()["first"] &&
                         d["residue_ids"].back() == d["segments"].back()["last"];
      ranges.push_back(line + std::string(agree ? "" : " (segments and residues disagree)"));
    }
    EXPECT_EQ(std::tuple(r["status"] == "ok", r["compressed"], r["error"], r["warnings"], ranges),
              std::tuple(v.status == 0, Json(file.ends_with(".gz")), fatal.empty() ? Json() : Json(fatal[0]),
                         Json(with_prefix(v.out, "*** WARNING: ")), with_prefix(v.out, "    Optimal range ")))
        << file;
    any_failed = any_failed || r["status"] == "error";
  }
  EXPECT_EQ(batch.status, any_failed ? 1 : 0);
}

TEST(Batch, SameBytesWhateverTheJobsAndTsv) {
  TempDir dir("batch");
  for (const std::string id : {"1d3z", "2hkb", "1l2y", "1lcd"})
    write_file(dir.path() / "in" / (id + ".pdb"), data_file(id + ".pdb.gz"));
  const std::string in = dir.path("in"), empty = write_file(dir.path() / "in/zz_empty.pdb", "END\n");
  std::vector<std::string> outputs, files;
  for (const char* jobs : {"1", "2", "4"}) {
    const Ran r = run({.args = {"-j", jobs, "-o", dir.path("out.jsonl"), in, in + "/1d3z.pdb"}}, dir);
    const std::vector<Json> rs = records(read_file(dir.path("out.jsonl")));
    files = files_of(rs);
    outputs.push_back(std::to_string(r.status) + "\n");
    for (Json rec : rs) {
      rec.erase("seconds");
      outputs.back() += to_line(rec) + "\n";
    }
  }
  EXPECT_EQ(outputs, std::vector<std::string>(3, outputs[0]));
  EXPECT_EQ(files, (std::vector<std::string>{in + "/1d3z.pdb", in + "/1l2y.pdb", in + "/1lcd.pdb", in + "/2hkb.pdb",
                                             empty, in + "/1d3z.pdb"}));
  // A header, one row per domain and one per failed input, each with the header's columns.
  const std::string tsv = run({.args = {"--format", "tsv", in}}, dir).out;
  EXPECT_EQ(tsv.substr(0, tsv.find('\n')),
            "file\tformat\tcompressed\tstatus\tdomain\tranges\trmsd\tgaps\tresidues\tbackbone_rmsd\tbackbone_sd\t"
            "backbone_atoms\theavy_rmsd\theavy_sd\theavy_atoms\tbackbone_all_rmsd\tbackbone_all_sd\theavy_all_rmsd\t"
            "heavy_all_sd\trigid\tflexible\twarnings\terror");
  EXPECT_TRUE(tsv.ends_with(empty + "\tpdb\tfalse\terror" + std::string(17, '\t') +
                            "\t0\tNo amino acid residues in sequence.\n"))
      << tsv;
  for (const std::string& row : with_prefix(tsv, "")) EXPECT_EQ(std::count(row.begin(), row.end(), '\t'), 22) << row;
}

// --superpose and --plot: a file per domain and a plot per input that succeeded, named after the input (a name
// met before numbered), and the per-residue profile in each record.
TEST(Batch, SuperposedFilesAndPlots) {
  TempDir dir("batch");
  write_file(dir.path() / "in/1d3z.pdb", data_file("1d3z.pdb.gz"));
  write_file(dir.path() / "in/again/1d3z.pdb", data_file("1d3z.pdb.gz"));
  fs::copy_file(std::string(VELDRIX_TEST_DATA) + "/formats/2beg.cif.gz", dir.path() / "in/2beg.cif.gz");
  write_file(dir.path() / "in/empty.pdb", "END\n");
  const Ran r = run({.args = {"--superpose", dir.path("out/sp"), "--plot", dir.path("out/pl"), dir.path("in")}}, dir);
  EXPECT_EQ(r.status, 1);
  std::set<std::string> made;
  for (const auto& e : fs::recursive_directory_iterator(dir.path() / "out"))
    if (e.is_regular_file() && e.file_size() > 0) made.insert(fs::relative(e.path(), dir.path() / "out").string());
  EXPECT_EQ(made, (std::set<std::string>{"sp/2beg.domain1.cif", "sp/1d3z.domain1.pdb", "sp/1d3z_2.domain1.pdb",
                                         "pl/2beg.svg", "pl/1d3z.svg", "pl/1d3z_2.svg"}));
  for (const Json& rec : records(r.out))
    EXPECT_EQ(rec["per_residue"].size(), rec["residues"].is_null() ? 0 : rec["residues"].get<std::size_t>());
}

// Each run's status, its records as "file format: ok or error [range] domains", and standard error, with the
// directory's path and the summary's seconds left out.
std::string outline(const Ran& r, const std::string& root) {
  std::string s = std::to_string(r.status) + "\n";
  for (const Json& rec : records(r.out)) {
    s += rec["file"].get<std::string>() + " " + (rec["format"].is_null() ? "null" : rec["format"].get<std::string>()) +
         ": " + (rec["status"] == "ok" ? "ok" : rec["error"].get<std::string>());
    if (const Json& range = rec["parameters"]["range"]; !range.is_null()) {
      s += " [" + range.get<std::string>() + "]";
      for (const Json& d : rec["domains"]) s += " " + d["ranges"].get<std::string>();
    }
    s += "\n";
  }
  s += std::regex_replace(r.err, std::regex(" in [0-9]+\\.[0-9] s\n"), "\n");
  for (std::size_t at; (at = s.find(root)) != std::string::npos;) s.erase(at, root.size());
  return s;
}

TEST(Batch, FaultsBadInputsAndOptions) {
  TempDir dir("batch");
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  const std::string root = dir.path().string() + "/",
                    good = write_file(root + "bad/good.pdb", data_file("1d3z.pdb.gz"));
  for (const char* name : {"a", "b", "c", "d"}) write_file(root + "quick/" + name + ".pdb", data_file("2k39.pdb.gz"));
  for (const char* name : {"quick/e.pdb", "bad/notes.txt", "bad/junk.pdb", "bad/caf\xe9\xff.pdb"})
    write_file(root + name, "not a structure\n");
  fs::create_directories(root + "bad/sub");
  fs::create_directory_symlink("..", root + "bad/sub/up");  // back to an ancestor
  fs::create_symlink("loop.pdb", root + "bad/loop.pdb");
  write_file(root + "locked/closed/x.pdb", data_file("1d3z.pdb.gz"));
  write_file(root + "locked/locked.pdb", data_file("1d3z.pdb.gz"));
  fs::permissions(root + "locked/locked.pdb", fs::perms::none);
  fs::permissions(root + "locked/closed", fs::perms::none);
  ASSERT_EQ(::mkfifo((root + "fifo").c_str(), 0644), 0);  // no reader: refused, not waited for
  const std::optional<uid_t> nobody = ::geteuid() == 0 ? std::optional<uid_t>(65534) : std::nullopt;  // root reads all
  const std::string no_amino = " pdb: No amino acid residues in sequence.\n",
                    hang_good = "VELDRIX_BATCH_TEST_FAULT=hang:good.pdb";
  const std::vector<std::pair<RunSpec, std::string>> cases = {
      {{.args = {"--timeout", timeout, "-j", "2", root + "quick"},
        .env = {"VELDRIX_BATCH_TEST_FAULT=crash:b.pdb,hang:c.pdb"}},
       "1\nquick/a.pdb pdb: ok\nquick/b.pdb pdb: The analysis crashed (signal 11, Segmentation fault).\n"
       "quick/c.pdb pdb: The analysis ran past the time-out of " +
           timeout + " s.\nquick/d.pdb pdb: ok\nquick/e.pdb" + no_amino + "5 inputs: 2 ok, 3 failed\n"},
      {{.args = {"--timeout", "300", "-j", "1", root + "quick"},
        .env = {"VELDRIX_BATCH_TEST_FAULT=hang:c.pdb"},
        .interrupt_when = [](const std::string& out) { return std::count(out.begin(), out.end(), '\n') == 2; }},
       "130\nquick/a.pdb pdb: ok\nquick/b.pdb pdb: ok\n5 inputs: 2 ok, 0 failed, 3 not done (interrupted)\n"},
      {{.args = {root + "bad"}},
       "1\nbad/caf\xef\xbf\xbd\xef\xbf\xbd.pdb" + no_amino + "bad/good.pdb pdb: ok\nbad/junk.pdb" + no_amino +
           "bad/loop.pdb null: Input file \"bad/loop.pdb\" cannot be opened.\n4 inputs: 1 ok, 3 failed\n"},
      {{.args = {"--quiet", root + "bad/notes.txt", good, "-"}, .input = good + "\n"},
       "1\nbad/notes.txt" + no_amino + "bad/good.pdb pdb: ok\nbad/good.pdb pdb: ok\n"},
      {{.args = {"-"}},
       "0\nveldrix-batch: no input found (an empty list, or no structure files in the directories)\n"
       "0 inputs: 0 ok, 0 failed\n"},
      {{.args = {}}, "2\nUsage: veldrix-batch [OPTIONS] INPUT...\nRun with --help for the options.\n"},
      {{.args = {"-o", root + "bad", good}, .env = {hang_good}},
       "2\nveldrix-batch: cannot write \"bad\": Is a directory\n"},
      {{.args = {"-o", root + "no/out", good}, .env = {hang_good}},
       "2\nveldrix-batch: cannot write \"no/out\": No such file or directory\n"},
      {{.args = {"-o", root + "fifo", good}, .env = {hang_good}},
       "2\nveldrix-batch: cannot write \"fifo\": No such device or address\n"},
      {{.args = {"--plot", root + "fifo/plots", good}, .env = {hang_good}},
       "2\nveldrix-batch: cannot write into \"fifo/plots\": Not a directory\n"},
      {{.args = {"-j", "2", root + "locked"}, .user = nobody},
       "1\nlocked/closed null: The directory \"locked/closed\" cannot be read: Permission denied.\n"
       "locked/locked.pdb null: Input file \"locked/locked.pdb\" cannot be opened.\n2 inputs: 0 ok, 2 failed\n"},
      // The unrestricted analysis finds 1..72; a range without chain reaches every chain.
      {{.args = {"--range", "1-40", good}}, "0\nbad/good.pdb pdb: ok [?1-?40] 1..40\n1 input: 1 ok, 0 failed\n"},
      {{.args = {"--range", "Z1-Z40", good}},
       "1\nbad/good.pdb pdb: The range \"Z1-Z40\" selects no residue. [Z1-Z40]\n1 input: 0 ok, 1 failed\n"},
  };
  for (const auto& [spec, expected] : cases) EXPECT_EQ(outline(run(spec, dir), root), expected);
  fs::permissions(root + "locked/closed", fs::perms::owner_all);
}

}  // namespace
}  // namespace veldrix::batch::testing
