// Reading PDB text: bounded lines, numeric fields read the Fortran way, chain identifiers.
#include "input/pdbfields.hpp"

#include <istream>

#include "command/strings.hpp"
#include "util/lines.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"

namespace veldrix {

bool read_pdb_line(std::istream& in, std::string& line) { return read_line(in, line, pdb_line_width); }

std::optional<int> int_field(std::string_view text) {
  return read_int(text, {.blanks_ignored = true, .empty_is_zero = true});
}

std::optional<double> real_field(std::string_view text, int implied) {
  return read_real(text, {.blanks_ignored = true, .empty_is_zero = true, .d_exponent = true,
                          .implied_decimals = implied});
}

char record_chain(std::string_view line) {
  const char c = char_at(line, 22);
  return c == ' ' ? 'A' : c;
}

bool chain_selected(char chain, std::string_view chains) {
  const std::string_view sel = trim(chains);
  if (sel == "*" || sel == "all") return true;
  return match(std::string_view(&chain, 1), sel);
}

std::string residue_id(char chain, int number) { return std::string(1, chain).append(intstr(number)); }

}  // namespace veldrix
