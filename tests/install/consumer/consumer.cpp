// Analyses the files given, sequentially and on four threads at once; every domain must say what its
// printed line says, and the threads must give the sequential results. Exit status 1 on any difference.
#include <veldrix/veldrix.hpp>

#include <cstdio>
#include <iostream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// The domains agree with the result lines: ranges, RMSD to two decimals, gaps, residues.
bool consistent(const veldrix::Result& r) {
  static const std::regex line(R"(^    Optimal range (.*): RMSD (\S+) A, (\d+) gaps?, (\d+) residues?\.$)");
  std::size_t k = 0;
  for (const std::string& l : r.lines) {
    std::smatch m;
    if (!std::regex_match(l, m, line)) continue;
    if (k >= r.domains.size()) return false;
    const veldrix::Domain& d = r.domains[k++];
    char rmsd[32];
    std::snprintf(rmsd, sizeof rmsd, "%.2f", d.rmsd);
    if (m[1] != d.ranges || m[2] != rmsd || std::stoi(m[3]) != d.gaps || std::stoi(m[4]) != d.residues) return false;
  }
  return k == r.domains.size();
}

struct Outcome {
  std::string text;        // the lines and the domains, or the error
  bool consistent = true;  // an ensemble the library refuses has no domains to check
  std::size_t domains = 0;
};

Outcome outcome(const std::string& path) {
  Outcome o;
  std::ostringstream out;
  try {
    const veldrix::Result r = veldrix::analyse(path);
    for (const std::string& l : r.lines) out << l << "\n";
    for (const veldrix::Domain& d : r.domains)
      out << d.ranges << "|" << d.rmsd << "|" << d.gaps << "|" << d.residues << "\n";
    o.consistent = consistent(r);
    o.domains = r.domains.size();
  } catch (const veldrix::Error& e) {
    out << "error: " << e.what() << "\n";
  }
  o.text = out.str();
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> files(argv + 1, argv + argc);
  std::vector<std::string> sequential;
  std::size_t domains = 0;
  bool ok = true;
  for (const std::string& f : files) {
    const Outcome o = outcome(f);
    sequential.push_back(o.text);
    domains += o.domains;
    if (!o.consistent) {
      std::cerr << f << ": domains differ from their lines\n";
      ok = false;
    }
  }
  if (domains == 0) {
    std::cerr << "no domain found: the files given were not analysed\n";
    ok = false;
  }
  std::vector<std::vector<std::string>> got(4, std::vector<std::string>(files.size()));
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (std::size_t k = 0; k < files.size(); ++k) {
        const std::size_t i = (k + t) % files.size();
        got[t][i] = outcome(files[i]).text;
      }
    });
  for (std::thread& th : threads) th.join();
  for (std::size_t t = 0; t < 4; ++t)
    if (got[t] != sequential) {
      std::cerr << "thread " << t << " differs from the sequential results\n";
      ok = false;
    }
  std::cout << files.size() << " files, veldrix " << veldrix::version() << (ok ? ": agree\n" : ": DIFFER\n");
  return ok ? 0 : 1;
}
