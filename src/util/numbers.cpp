// Reading numbers from text.
#include "util/numbers.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace veldrix {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string without_blanks(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text)
    if (c != ' ') s.push_back(c);
  return s;
}

}  // namespace

std::optional<int> read_int(std::string_view text, const NumberSyntax& syntax) {
  const std::string s = syntax.blanks_ignored ? without_blanks(text) : std::string(text);
  if (s.empty()) return syntax.empty_is_zero ? std::optional<int>(0) : std::nullopt;
  std::size_t k = 0;
  bool negative = false;
  if (syntax.sign && (s[0] == '+' || s[0] == '-')) negative = s[k++] == '-';
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

std::optional<double> read_real(std::string_view text, const NumberSyntax& syntax) {
  const std::string s = syntax.blanks_ignored ? without_blanks(text) : std::string(text);
  if (s.empty()) return syntax.empty_is_zero ? std::optional<double>(0.0) : std::nullopt;
  std::size_t k = 0;
  bool negative = false;
  if (syntax.sign && (s[0] == '+' || s[0] == '-')) negative = s[k++] == '-';
  std::string digits;  // mantissa as "int.frac" for an exactly rounded conversion
  int ndigits = 0, points = 0;
  while (k < s.size() && (is_digit(s[k]) || (s[k] == '.' && points == 0))) {
    if (s[k] == '.')
      ++points;
    else
      ++ndigits;
    digits.push_back(s[k++]);
  }
  if (ndigits == 0 || (syntax.point_required && points != 1)) return std::nullopt;
  long long exponent = 0;
  if (k < s.size()) {
    const char e = s[k];
    const bool letter = e == 'E' || e == 'e' || (syntax.d_exponent && (e == 'D' || e == 'd'));
    if (!syntax.exponent || !letter) return std::nullopt;
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
  if (points == 0) exponent -= syntax.implied_decimals;
  const std::string number = digits + "e" + std::to_string(exponent);
  double value = 0.0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec == std::errc::result_out_of_range) {
    if (exponent > 0) return std::nullopt;
    value = std::strtod(number.c_str(), nullptr);  // underflow: a denormal or 0
  } else if (ec != std::errc() || end != number.data() + number.size()) {
    return std::nullopt;
  }
  if (!std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
}

std::string shortest_text(double x) {
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x);
  return ec == std::errc() ? std::string(buf, end) : std::string();
}

}  // namespace veldrix
