// The whole analysis against the time it takes just to read the file: gemmi's reader and veldrix's
// analysis of the same plain PDB file in one process, best of three each, per phase, with peak memory.
//
//   bench_speed [file.pdb[.gz] ...]   (default: the 13 real ensembles of tests/data and the three large
//                                      synthetic ensembles from $VELDRIX_SYNTHETIC, default ../shared/data/synthetic)
//
// Every input is decompressed to a plain PDB file first. Columns: the file's size; gemmi's read time;
// veldrix's total and its ratio to gemmi's; the four phases (each the best of the three runs); the peak
// memory of a fresh process that only analyses the file, less that of one that only starts (and the same
// for gemmi's read). The last line gives the aggregate throughput over the real ensembles: their sizes
// summed over veldrix's total times summed.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gemmi/mmread.hpp>

#include "input/source.hpp"
#include "veldrix/veldrix.hpp"

namespace {

namespace fs = std::filesystem;

double seconds_of(const std::function<void()>& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// gemmi's reader; a file it refuses is read again as gemmi reads the old PDB format (--old-pdb:
// columns 73-80 hold line counters, as in 1hdn).
gemmi::Structure gemmi_read(const std::string& path) {
  try {
    return gemmi::read_structure_file(path);
  } catch (const std::exception&) {
    return gemmi::read_pdb_file(path, gemmi::PdbReadOptions{72, false});
  }
}

// The process's peak resident memory in kB (VmHWM: getrusage's figure would carry the parent's over exec).
long max_rss_kb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// In a fresh process (this program run again): the peak resident memory in kB of doing `what`
// ("none", "gemmi" or "veldrix") with the file.
long child_peak_kb(const char* self, const char* what, const std::string& file) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], STDOUT_FILENO);
    execl(self, self, "--peak", what, file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  char buf[64] = {};
  const ssize_t n = read(fds[0], buf, sizeof buf - 1);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return n > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::atol(buf) : -1;
}

// Today's names mapped, as a user of today's archive runs it: the DNA and RNA ensembles in PDB version 3
// names (2hkb, 2koc) are analysed instead of stopping at their sequence.
veldrix::Options bench_options() {
  veldrix::Options options;
  options.names = veldrix::Names::modern;
  return options;
}

int peak_mode(const std::string& what, const std::string& file) {
  if (what == "gemmi") {
    if (gemmi_read(file).models.empty()) return 1;
  } else if (what == "veldrix") {
    try {
      if (veldrix::analyse(file, bench_options()).lines.empty()) return 1;
    } catch (const veldrix::Error&) {
    }
  }
  std::printf("%ld\n", max_rss_kb());
  return 0;
}

struct Row {
  std::string name;
  double mb = 0, gemmi = 1e30, total = 1e30;
  veldrix::PhaseTimes phases{1e30, 1e30, 1e30, 1e30};
  long peak_veldrix = -1, peak_gemmi = -1;
  bool real = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--peak") == 0) return peak_mode(argv[2], argv[3]);
  std::vector<std::pair<std::string, bool>> inputs;
  for (int k = 1; k < argc; ++k) inputs.emplace_back(argv[k], true);
  if (inputs.empty()) {
    const std::string data = std::string(VELDRIX_SOURCE_DIR) + "/tests/data";
    std::vector<std::string> real;
    for (const auto& e : fs::directory_iterator(data))
      if (e.path().string().ends_with(".pdb.gz")) real.push_back(e.path().string());
    std::sort(real.begin(), real.end());
    for (const std::string& r : real) inputs.emplace_back(r, true);
    const char* env = std::getenv("VELDRIX_SYNTHETIC");
    const std::string synthetic = env != nullptr ? env : std::string(VELDRIX_SOURCE_DIR) + "/../shared/data/synthetic";
    for (const char* name : {"big_300res_20models", "big_300res_50models", "big_600res_20models"}) {
      const std::string path = synthetic + "/" + name + ".pdb.gz";
      if (fs::exists(path))
        inputs.emplace_back(path, false);
      else
        std::printf("%s: not found (%s), skipped\n", name, path.c_str());
    }
  }
  const fs::path work = fs::temp_directory_path() / ("veldrix-speed-" + std::to_string(::getpid()));
  fs::create_directories(work);

  std::vector<Row> rows;
  for (const auto& [path, real] : inputs) {
    if (!fs::exists(path)) {
      std::printf("%s: not found, skipped\n", path.c_str());
      continue;
    }
    Row row;
    row.real = real;
    row.name = fs::path(path).filename().string();
    row.name = row.name.substr(0, row.name.find('.'));
    const std::string text = veldrix::load_structure(path).pdb_text;
    const std::string plain = (work / (row.name + ".pdb")).string();
    std::ofstream(plain, std::ios::binary) << text;
    row.mb = double(text.size()) / 1.0e6;
    for (int k = 0; k < 3; ++k) {
      row.gemmi = std::min(row.gemmi, seconds_of([&] {
                             if (gemmi_read(plain).models.empty()) std::abort();
                           }));
      veldrix::Result r;
      row.total = std::min(row.total, seconds_of([&] {
                             try {
                               r = veldrix::analyse(plain, bench_options());
                             } catch (const veldrix::Error&) {  // an input the analysis refuses is timed all the same
                             }
                           }));
      row.phases.reading = std::min(row.phases.reading, r.phases.reading);
      row.phases.order_and_variances = std::min(row.phases.order_and_variances, r.phases.order_and_variances);
      row.phases.clustering = std::min(row.phases.clustering, r.phases.clustering);
      row.phases.domain_search = std::min(row.phases.domain_search, r.phases.domain_search);
    }
    const long base = child_peak_kb(argv[0], "none", plain);
    const long pv = child_peak_kb(argv[0], "veldrix", plain);
    const long pg = child_peak_kb(argv[0], "gemmi", plain);
    row.peak_veldrix = pv >= 0 && base >= 0 ? pv - base : -1;
    row.peak_gemmi = pg >= 0 && base >= 0 ? pg - base : -1;
    fs::remove(plain);
    rows.push_back(row);
  }
  fs::remove_all(work);

  std::printf("%-20s %7s %8s %8s %6s %8s %8s %8s %8s %9s %9s\n", "input", "MB", "gemmi_s", "veldrix", "ratio",
              "reading", "ord+var", "cluster", "domains", "peak_MB", "gemmi_MB");
  double real_mb = 0, real_s = 0, worst = 0;
  for (const Row& r : rows) {
    const double ratio = r.gemmi > 0 ? r.total / r.gemmi : 0.0;
    std::printf("%-20s %7.2f %8.4f %8.4f %5.2fx %8.4f %8.4f %8.4f %8.4f %9.1f %9.1f\n", r.name.c_str(), r.mb, r.gemmi,
                r.total, ratio, r.phases.reading, r.phases.order_and_variances, r.phases.clustering,
                r.phases.domain_search, double(r.peak_veldrix) / 1024.0, double(r.peak_gemmi) / 1024.0);
    worst = std::max(worst, ratio);
    if (r.real) {
      real_mb += r.mb;
      real_s += r.total;
    }
  }
  if (real_s > 0) std::printf("real ensembles: %.2f MB in %.4f s: %.1f MB/s\n", real_mb, real_s, real_mb / real_s);
  std::printf("largest ratio to gemmi's read: %.2fx\n", worst);
  return 0;
}
