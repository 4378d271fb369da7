// Running the veldrix executable on test data, and reading its result lines.
#pragma once

#include <sys/wait.h>

#include <cstdio>
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

// One printed domain: its ranges as residue-number pairs, its RMSD and counts.
struct PrintedDomain {
  std::string text;  // the range list as printed
  std::vector<std::pair<int, int>> ranges;
  std::string rmsd;  // as printed, 2 decimals
  int gaps = -1;
  int residues = -1;
};

// The result lines of an output ("Optimal range 5..42, 48..60: RMSD 0.52 A, 1 gap, 51 residues.");
// chain letters in the range list are dropped.
inline std::vector<PrintedDomain> result_lines(const std::string& out) {
  static const std::regex line(R"(^    Optimal range (.*): RMSD (\S+) A, (\d+) gaps?, (\d+) residues?\.$)");
  static const std::regex range(R"([A-Za-z]?(-?\d+)(?:\.\.[A-Za-z]?(-?\d+))?)");
  std::vector<PrintedDomain> domains;
  std::istringstream in(out);
  for (std::string l; std::getline(in, l);) {
    std::smatch m;
    if (!std::regex_match(l, m, line)) continue;
    PrintedDomain d;
    d.text = m[1];
    for (auto it = std::sregex_iterator(d.text.begin(), d.text.end(), range); it != std::sregex_iterator(); ++it) {
      const int a = std::stoi((*it)[1]);
      d.ranges.emplace_back(a, (*it)[2].matched ? std::stoi((*it)[2]) : a);
    }
    d.rmsd = m[2];
    d.gaps = std::stoi(m[3]);
    d.residues = std::stoi(m[4]);
    domains.push_back(d);
  }
  return domains;
}

// Lines joined, each ended by a newline.
inline std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

}  // namespace veldrix::testing
