// Fuzz harness: selection expressions over a small two-chain molecule with two structures.
//
// The first line is evaluated as an expression on its own, then handed as the
// selection of the atoms command and as the keep selection of the structures
// command; further lines are extra words of the atoms command.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.hpp"
#include "input/extseq.hpp"
#include "molecule/sequence.hpp"
#include "rmsd_var/structures.hpp"
#include "select/atoms.hpp"
#include "select/select.hpp"
#include "util/text.hpp"

using namespace veldrix;

namespace {

// Residues A1 ALA, A2 GLY, A3 SER, B7 LYS, B8 TRP from the built-in library; structure 2
// lacks the coordinates of a few atoms.
const Session& molecule() {
  static const Session m = [] {
    Session s = fuzz::library_session();
    const char* records =
        "ATOM      1  N   ALA A   1       0.000   0.000   0.000\n"
        "ATOM      2  N   GLY A   2       0.000   0.000   0.000\n"
        "ATOM      3  N   SER A   3       0.000   0.000   0.000\n"
        "ATOM      4  N   LYS B   7       0.000   0.000   0.000\n"
        "ATOM      5  N   TRP B   8       0.000   0.000   0.000\n";
    std::istringstream in(records);
    if (fuzz::run([&] {
          extseq(s, in, 3, "*", 0);
          iniseq(s);
        }))
      std::abort();
    VokanData& v = s.vokandata;
    alostr(v, 2, 1);
    copstr(v, 0, 1);
    copstr(v, 0, 2);
    v.nsstr = 2;
    v.isstr(1) = 1;
    v.isstr(2) = 2;
    for (int a = 1; a <= v.na; a += 7) v.coo(1, v.col(2, a)) = unknown_value;
    s.printdata.lines.clear();
    s.printdata.warnings.clear();
    return s;
  }();
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size > 4096) return 0;
  const std::string_view data(reinterpret_cast<const char*>(bytes), size);
  const Session& m = molecule();
  const std::vector<std::string> lines = fuzz::split_lines(data, 4);

  Session s = m;
  std::optional<Stop> stop = fuzz::run([&] {
    FArray<bool> mask;
    bool error = false;
    select(s, lines[0], mask, 1, error);
  });
  fuzz::show(s, stop);
  s.printdata.lines.clear();
  stop = fuzz::run([&] {
    std::vector<std::string> words{"select"};
    words.insert(words.end(), lines.begin(), lines.end());
    atoms(s, words);
  });
  fuzz::show(s, stop);
  s.printdata.lines.clear();
  stop = fuzz::run([&] {
    std::vector<std::string> words{"overlay", "keep=" + lines[0]};
    FArray<bool> keep;
    read_structures_command(s, words, keep);
  });
  fuzz::show(s, stop);
  return 0;
}
