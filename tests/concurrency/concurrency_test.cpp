// Analyses in sessions of their own: four threads, each analysing every end-to-end ensemble in turn,
// give exactly the sequential results (also under ThreadSanitizer).
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "test_support.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix::testing {
namespace {

// Everything an analysis gives, as one text: its lines, its domains as data, its fatal message.
std::string outcome(const std::string& text, const std::string& name) {
  std::ostringstream out;
  try {
    const Result r = analyse_text(text, {}, name);
    for (const std::string& l : r.lines) out << l << "\n";
    out.precision(17);
    for (const Domain& d : r.domains) {
      out << d.ranges << "|" << d.rmsd << "|" << d.gaps << "|" << d.residues << "|";
      for (const std::string& id : d.residue_ids) out << id << ",";
      out << "\n";
    }
  } catch (const Error& e) {
    for (const std::string& l : e.lines()) out << l << "\n";
    out << "*** FATAL ERROR: " << e.what() << "\n";
  }
  return out.str();
}

TEST(Concurrency, FourThreadsGiveTheSequentialResults) {
  const std::vector<std::string> names = {"1adz", "1aj3", "1aq5", "1d3z", "1hdn", "1l2y",
                                          "1lcd", "2beg", "2hkb", "2k39", "2lc9", "2sdf"};
  std::vector<std::string> texts, sequential;
  for (const std::string& name : names) {
    texts.push_back(data_file(name + ".pdb.gz"));
    sequential.push_back(outcome(texts.back(), name));
  }
  // Every ensemble but the DNA-only one is analysed: the comparison is of results, not of one error.
  EXPECT_EQ(std::count_if(sequential.begin(), sequential.end(),
                          [](const std::string& o) { return o.find("Optimal range") != std::string::npos; }),
            std::ptrdiff_t(names.size() - 1));
  std::vector<std::vector<std::string>> got(4, std::vector<std::string>(names.size()));
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (std::size_t k = 0; k < names.size(); ++k) {
        const std::size_t i = (k + 3 * t) % names.size();  // each thread starts elsewhere
        got[t][i] = outcome(texts[i], names[i]);
      }
    });
  for (std::thread& th : threads) th.join();
  for (std::size_t t = 0; t < 4; ++t) EXPECT_EQ(got[t], sequential) << "thread " << t;
}

}  // namespace
}  // namespace veldrix::testing
