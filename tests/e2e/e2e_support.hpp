// Running the veldrix executable on test data, and reading its result lines.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace veldrix::testing {

struct RunResult {
  int status = -1;
  std::string out;  // standard output and standard error
};

// Runs veldrix with the arguments in directory cwd, without VELDRIXLIB unless env sets it.
inline RunResult run_veldrix(const std::string& args, const std::filesystem::path& cwd, const std::string& env = "") {
  const std::string cmd = "cd '" + cwd.string() + "' && env -u VELDRIXLIB " + env + " '" + VELDRIX_EXE + "' " +
                          args + " 2>&1";
  RunResult r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) r.out.append(buf, n);
  const int rc = pclose(p);
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return r;
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// One printed domain: its ranges as residue-number pairs, its RMSD and counts.
struct Domain {
  std::vector<std::pair<int, int>> ranges;
  double rmsd = -1.0;
  int gaps = -1;
  int residues = -1;
};

// The result lines of an output ("Optimal range 5..42, 48..60: RMSD 0.52 A, 1 gap, 51 residues.");
// chain letters in the range list are dropped.
inline std::vector<Domain> result_lines(const std::string& out) {
  static const std::regex line(R"(^    Optimal range (.*): RMSD (\S+) A, (\d+) gaps?, (\d+) residues?\.$)");
  static const std::regex range(R"([A-Za-z]?(-?\d+)(?:\.\.[A-Za-z]?(-?\d+))?)");
  std::vector<Domain> domains;
  std::istringstream in(out);
  for (std::string l; std::getline(in, l);) {
    std::smatch m;
    if (!std::regex_match(l, m, line)) continue;
    Domain d;
    const std::string list = m[1];
    for (auto it = std::sregex_iterator(list.begin(), list.end(), range); it != std::sregex_iterator(); ++it) {
      const int a = std::stoi((*it)[1]);
      d.ranges.emplace_back(a, (*it)[2].matched ? std::stoi((*it)[2]) : a);
    }
    d.rmsd = std::stod(m[2]);
    d.gaps = std::stoi(m[3]);
    d.residues = std::stoi(m[4]);
    domains.push_back(d);
  }
  return domains;
}

}  // namespace veldrix::testing
