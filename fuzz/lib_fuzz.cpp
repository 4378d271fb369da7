// Fuzz harness: a residue library text through the reader and the check, then a
// small molecule of its residue types through sequence construction, model reading
// and the range analysis, in the same session.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/run_script.hpp"
#include "fuzz_support.hpp"
#include "molecule/library.hpp"
#include "rmsd_var/structures.hpp"
#include "select/atoms.hpp"
#include "util/text.hpp"

using namespace veldrix;

namespace {

// An ATOM record in the fixed columns of the coordinate file.
std::string atom_record(int serial, std::string_view atom, std::string_view residue, int number, double x, double y,
                        double z) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "ATOM  %5d %-4.4s %-4.4sA%4d    %8.3f%8.3f%8.3f  1.00  0.00\n", serial % 100000,
                std::string(atom).c_str(), std::string(residue).c_str(), number, x, y, z);
  return buf;
}

// Two models of a chain of three residues made of the first (up to three) residue
// types of the loaded library, every own atom at its library position shifted
// along x per residue, the second model displaced a little.
std::string molecule_text(const VokanData& v) {
  std::vector<int> types;
  for (int t = 1; t <= v.naa && types.size() < 3; ++t)
    if (same(v.aatyp(t), "RESID") && !is_blank(v.aanam(t))) types.push_back(t);
  if (types.empty()) return {};
  std::string text;
  for (int model = 1; model <= 2; ++model) {
    int serial = 0;
    for (std::size_t i = 0; i < 3; ++i) {
      const int t = types[i % types.size()];
      for (int j = v.ifirat(t); j <= v.lasat(t); ++j) {
        const double shift = 3.8 * double(i) + 0.05 * double(model - 1) * double(j % 3);
        const double x = v.coord(1, j, t) + shift, y = v.coord(2, j, t), z = v.coord(3, j, t);
        if (!(std::abs(x) < 9999.0 && std::abs(y) < 9999.0 && std::abs(z) < 9999.0)) return {};
        text += atom_record(++serial, v.atnam(j, t), v.aanam(t), int(i) + 1, x, y, z);
      }
    }
    text += "END\n";
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size > fuzz::max_input) return 0;
  const std::string data(reinterpret_cast<const char*>(bytes), size);

  Session s;
  std::optional<Stop> stop = fuzz::run([&] {
    std::istringstream in(data);
    getlib(s, &in);
    libchk(s);
  });
  if (stop) {
    fuzz::show(s, stop);
    return 0;
  }

  // The molecule step keeps each run short: at most three residue types.
  const std::string text = molecule_text(s.vokandata);
  if (text.empty() || s.vokandata.maxat > 200) return 0;
  s.readdata.content = text;
  stop = fuzz::run([&] {
    std::vector<std::string> param{"pdb", "molecule.pdb", "unknown=skip", "chains=*"};
    readf(s, param, true);
    param = {"select", "BACKBONE ALL / WITHCOORDALL - &DUMMY"};
    atoms(s, param);
    param = overlay_command(Options{});
    structures(s, param);
  });
  fuzz::show(s, stop);
  fuzz::check_output(s, stop);
  return 0;
}
