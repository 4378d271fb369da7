// Reading PDB text: bounded lines, numeric fields read the Fortran way, chain identifiers.
#include "input/pdbfields.hpp"

#include <algorithm>
#include <cstdint>
#include <istream>

#include "command/strings.hpp"
#include "util/lines.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"

namespace veldrix {

bool read_pdb_line(std::istream& in, std::string& line) { return read_line(in, line, pdb_line_width); }

bool PdbText::next(std::string_view& line) {
  if (bad_ || ended_) return false;
  if (pos_ >= text_.size()) {
    (fails_ ? bad_ : ended_) = true;
    return false;
  }
  const std::size_t start = pos_;
  std::size_t end = text_.find('\n', start);
  if (end == std::string_view::npos) {
    end = pos_ = text_.size();
    if (fails_) {  // the read beyond the last byte fails before the line is complete
      bad_ = true;
      return false;
    }
    ended_ = true;
  } else {
    pos_ = end + 1;
  }
  const std::size_t length = end - start;
  line = text_.substr(start, std::min(length, pdb_line_width));
  if (length > 0 && length <= pdb_line_width && text_[end - 1] == '\r') line.remove_suffix(1);
  return true;
}

namespace {

constexpr double powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Columns a..b of the line as far as it reaches.
std::string_view columns_view(std::string_view line, std::size_t a, std::size_t b) {
  return a > line.size() ? std::string_view() : line.substr(a - 1, b - a + 1);
}

}  // namespace

std::optional<int> int_columns(std::string_view line, std::size_t a, std::size_t b) {
  const std::string_view f = columns_view(line, a, b);
  // Blanks anywhere, a sign first, then at most nine digits.
  bool negative = false, sign = false;
  int digits = 0, value = 0;
  for (const char c : f) {
    if (c == ' ') continue;
    if (c >= '0' && c <= '9' && digits < 9) {
      value = value * 10 + (c - '0');
      ++digits;
    } else if ((c == '-' || c == '+') && digits == 0 && !sign) {
      sign = true;
      negative = c == '-';
    } else {
      return int_field(f);
    }
  }
  if (digits == 0) return int_field(f);
  return negative ? -value : value;
}

std::optional<double> real_columns(std::string_view line, std::size_t a, std::size_t b, int implied) {
  const std::string_view f = columns_view(line, a, b);
  // The usual form first: leading blanks, a minus sign, digits, a point and digits to the field's end;
  // quickest with the PDB's three decimals.
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (f.size() == 8 && f[4] == '.' && digit(f[5]) && digit(f[6]) && digit(f[7])) {
    std::size_t i = 0;
    while (i < 4 && f[i] == ' ') ++i;
    const bool negative = i < 4 && f[i] == '-';
    if (negative) ++i;
    if (i < 4) {
      std::int64_t m = 0;
      while (i < 4 && digit(f[i])) m = m * 10 + (f[i++] - '0');
      if (i == 4) {
        m = m * 1000 + (f[5] - '0') * 100 + (f[6] - '0') * 10 + (f[7] - '0');
        const double value = double(m) / 1000.0;
        return negative ? -value : value;
      }
    }
  }
  {
    const std::size_t len = f.size();
    std::size_t i = 0;
    while (i < len && f[i] == ' ') ++i;
    const bool negative = i < len && f[i] == '-';
    if (negative) ++i;
    std::int64_t m = 0;
    const std::size_t start = i;
    while (i < len && f[i] >= '0' && f[i] <= '9') m = m * 10 + (f[i++] - '0');
    const std::size_t whole = i - start;
    if (i < len && f[i] == '.' && whole > 0) {
      const std::size_t point = ++i;
      while (i < len && f[i] >= '0' && f[i] <= '9') m = m * 10 + (f[i++] - '0');
      const std::size_t fraction = i - point;
      if (i == len && whole + fraction <= 15) {
        const double value = double(m) / powers_of_ten[fraction];
        return negative ? -value : value;
      }
    }
  }
  // Blanks anywhere, a sign first, then at most 15 digits with at most one point: the
  // integer of the digits divided by a power of ten is the correctly rounded value,
  // as the general reader gives it.
  bool negative = false, sign = false, point = false;
  int digits = 0, fraction = 0;
  std::int64_t m = 0;
  for (const char c : f) {
    if (c == ' ') continue;
    if (c >= '0' && c <= '9' && digits < 15) {
      m = m * 10 + (c - '0');
      ++digits;
      if (point) ++fraction;
    } else if (c == '.' && !point) {
      point = true;
    } else if ((c == '-' || c == '+') && digits == 0 && !point && !sign) {
      sign = true;
      negative = c == '-';
    } else {
      return real_field(f, implied);
    }
  }
  const int scale = point ? fraction : implied;
  if (digits == 0 || scale < 0 || scale > 22) return real_field(f, implied);
  const double value = double(m) / powers_of_ten[scale];
  return negative ? -value : value;
}

std::optional<int> int_field(std::string_view text) {
  return read_int(text, {.blanks_ignored = true, .empty_is_zero = true});
}

std::optional<double> real_field(std::string_view text, int implied) {
  return read_real(text,
                   {.blanks_ignored = true, .empty_is_zero = true, .d_exponent = true, .implied_decimals = implied});
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
