// Reading PDB text: bounded lines, numeric fields read the Fortran way, chain identifiers.
#include "input/pdbfields.hpp"

#include <charconv>
#include <cmath>
#include <istream>

#include "command/strings.hpp"
#include "util/lines.hpp"
#include "util/text.hpp"

namespace veldrix {

bool read_pdb_line(std::istream& in, std::string& line) { return read_line(in, line, pdb_line_width); }

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The field without its blanks (Fortran reads numeric fields with blanks ignored).
std::string squeezed(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text)
    if (c != ' ') s.push_back(c);
  return s;
}

}  // namespace

std::optional<int> int_field(std::string_view text) {
  const std::string s = squeezed(text);
  if (s.empty()) return 0;
  std::size_t k = 0;
  bool negative = false;
  if (s[k] == '+' || s[k] == '-') negative = s[k++] == '-';
  if (k == s.size()) return std::nullopt;
  long long value = 0;
  for (; k < s.size(); ++k) {
    if (!is_digit(s[k])) return std::nullopt;
    value = value * 10 + (s[k] - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return std::nullopt;
  return int(value);
}

std::optional<double> real_field(std::string_view text, int implied) {
  const std::string s = squeezed(text);
  if (s.empty()) return 0.0;
  std::size_t k = 0;
  std::string digits;  // mantissa as "int.frac" for an exactly rounded conversion
  bool negative = false;
  if (s[k] == '+' || s[k] == '-') negative = s[k++] == '-';
  int ndigits = 0;
  bool point = false;
  while (k < s.size() && (is_digit(s[k]) || (s[k] == '.' && !point))) {
    if (s[k] == '.') point = true;
    else ++ndigits;
    digits.push_back(s[k++]);
  }
  if (ndigits == 0) return std::nullopt;
  long long exponent = 0;
  if (k < s.size()) {
    if (s[k] != 'E' && s[k] != 'e' && s[k] != 'D' && s[k] != 'd') return std::nullopt;
    ++k;
    bool eneg = false;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) eneg = s[k++] == '-';
    if (k == s.size()) return std::nullopt;
    for (; k < s.size(); ++k) {
      if (!is_digit(s[k])) return std::nullopt;
      exponent = std::min(exponent * 10 + (s[k] - '0'), 100000LL);
    }
    if (eneg) exponent = -exponent;
  }
  if (!point) exponent -= implied;
  std::string number = digits + "e" + std::to_string(exponent);
  double value = 0.0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is not a coordinate.
    if (exponent > 0) return std::nullopt;
    value = 0.0;
  } else if (ec != std::errc() || end != number.data() + number.size()) {
    return std::nullopt;
  }
  if (!std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
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
