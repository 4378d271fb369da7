// Reading numeric parameter values.
//
// The text is scanned for number tokens; operators, names and signs between
// them are skipped, not applied, and the first token is the value.
#include "command/eva.hpp"

#include <optional>
#include <vector>

#include "util/numbers.hpp"
#include "util/text.hpp"

namespace veldrix {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool ends_token(std::string_view t, std::size_t k) {
  const char c = t[k];
  if (c == ' ' || std::string_view(")*/,:=!<>|&").find(c) != std::string_view::npos) return true;
  if (c == '+' || c == '-') {
    const char prev = k > 0 ? t[k - 1] : ' ';
    return !(prev == 'e' || prev == 'E' || prev == 'd' || prev == 'D');
  }
  if (c == '.' && k + 2 < t.size()) {
    const char a = t[k + 1], b = t[k + 2];
    return a >= 'a' && a <= 'z' && b >= 'a' && b <= 'z';
  }
  return false;
}

struct Token {
  int type = 0;  // 1 integer, 2 real, 0 unreadable
  int ival = 0;
  double rval = 0.0;
};

// A run of digits (blanks skipped) that fits 32 bits.
Token read_integer(std::string_view s) {
  Token t;
  if (const std::optional<int> v = read_int(s, {.blanks_ignored = true, .sign = false})) {
    t.type = 1;
    t.ival = *v;
  }
  return t;
}

// Fixed or exponent form; "d" and "D" are exponent letters too.
Token read_real_token(std::string_view s) {
  Token t;
  if (const std::optional<double> v = read_real(s, {.sign = false, .d_exponent = true})) {
    t.type = 2;
    t.rval = *v;
  }
  return t;
}

Token convert(std::string_view s) {
  for (char c : s)
    if (!is_digit(c)) return read_real_token(s);
  return read_integer(s);
}

}  // namespace

EvaResult eva(std::string_view text, int type) {
  EvaResult r;
  r.type = type;
  if (type > 4) return r;
  const std::string_view t = rtrim(text);
  r.type = 0;
  if (t.empty()) return r;

  std::vector<Token> tokens;
  bool digits_only = true;
  for (char c : t) digits_only = digits_only && is_digit(c);
  if (digits_only) {
    Token tok = read_integer(t);
    if (tok.type == 0) {
      r.type = -1;
      return r;
    }
    tokens.push_back(tok);
  } else {
    std::size_t k = 0;
    while (k < t.size()) {
      if (!is_digit(t[k]) && t[k] != '.') {
        ++k;
        continue;
      }
      const std::size_t start = k;
      ++k;
      while (k < t.size() && !ends_token(t, k)) ++k;
      Token tok = convert(t.substr(start, k - start));
      if (tok.type == 0 || tokens.size() == 26) {
        r.type = -int(start + 1);
        return r;
      }
      tokens.push_back(tok);
    }
  }
  if (tokens.empty()) return r;

  const Token& first = tokens.front();
  if ((type == 1 && first.type == 2) || type == 4) return r;  // type conflict
  if (first.type == 1) {
    r.ival = first.ival;
    if (type == 2) r.rval = double(first.ival);
  } else {
    r.rval = first.rval;
  }
  r.type = std::max(type, first.type);
  return r;
}

int ieva(std::string_view text, int& err) {
  const EvaResult r = eva(text, 1);
  err = r.type == 1 ? 0 : -1;
  return r.ival;
}

double reva(std::string_view text, int& err) {
  const EvaResult r = eva(text, 2);
  err = r.type == 2 ? 0 : -1;
  return r.rval;
}

}  // namespace veldrix
