// Fuzz harness: arbitrary text through the mmCIF conversion, and its PDB text through the name mapping.
//
// The conversion either gives PDB records or ends with InputError. Its records
// must be whole 80-column lines of the four kinds it writes, with a residue
// number and three coordinates the PDB reader can read; the name mapping must
// keep every line's length.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "input/mmcif.hpp"
#include "input/names.hpp"
#include "input/source.hpp"

using namespace veldrix;

namespace {

constexpr std::size_t max_input = 64 * 1024;

bool number_field(std::string_view f, bool integer) {
  std::size_t i = 0;
  while (i < f.size() && f[i] == ' ') ++i;
  if (i < f.size() && f[i] == '-') ++i;
  std::size_t digits = 0, points = 0;
  for (; i < f.size(); ++i) {
    if (f[i] >= '0' && f[i] <= '9')
      ++digits;
    else if (f[i] == '.' && !integer)
      ++points;
    else
      return false;
  }
  return digits > 0 && points == (integer ? 0u : 1u);
}

void check_records(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos || end - at != 80) __builtin_trap();
    const std::string_view line = text.substr(at, 80);
    if (line.substr(0, 6) == "ATOM  " || line.substr(0, 6) == "HETATM") {
      if (!number_field(line.substr(22, 4), true)) __builtin_trap();
      for (std::size_t k = 0; k < 3; ++k)
        if (!number_field(line.substr(30 + 8 * k, 8), false)) __builtin_trap();
    } else if (line.substr(0, 6) != "MODEL " && line.substr(0, 6) != "ENDMDL") {
      __builtin_trap();
    }
    at = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > max_input) return 0;
  const std::string_view cif(reinterpret_cast<const char*>(data), size);
  std::string pdb;
  try {
    pdb = mmcif_to_pdb(cif);
  } catch (const InputError&) {
    return 0;
  }
  check_records(pdb);
  const NameMapping mapped = map_modern_names(pdb);
  if (mapped.text.size() != pdb.size()) __builtin_trap();
  check_records(mapped.text);
  if (mapped.warning.empty() != (mapped.text == pdb)) __builtin_trap();
  return 0;
}
