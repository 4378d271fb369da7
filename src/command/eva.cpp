// Reading numeric parameter values.
//
// The text is scanned for number tokens; operators, names and signs between
// them are skipped, not applied, and the first token is the value.
#include "command/eva.hpp"

#include <cstdlib>
#include <string>
#include <vector>

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

// Integer of up to 20 digits; values beyond 32 bits do not convert.
Token read_integer(std::string_view s) {
  Token t;
  long long v = 0;
  int digits = 0;
  for (char c : s) {
    if (c == ' ') continue;
    if (!is_digit(c) || ++digits > 20) return t;
    v = v * 10 + (c - '0');
    if (v > 2147483647LL) return t;
  }
  if (digits == 0) return t;
  t.type = 1;
  t.ival = int(v);
  return t;
}

// Fixed or exponent form; "d" and "D" are exponent letters too.
Token read_real(std::string_view s) {
  Token t;
  std::size_t k = 0;
  int mant = 0;
  while (k < s.size() && is_digit(s[k])) ++k, ++mant;
  if (k < s.size() && s[k] == '.') {
    ++k;
    while (k < s.size() && is_digit(s[k])) ++k, ++mant;
  }
  if (mant == 0) return t;
  if (k < s.size()) {
    const char e = s[k];
    if (e != 'e' && e != 'E' && e != 'd' && e != 'D') return t;
    ++k;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    int exp = 0;
    while (k < s.size() && is_digit(s[k])) ++k, ++exp;
    if (exp == 0 || k != s.size()) return t;
  }
  std::string c(s);
  for (char& ch : c)
    if (ch == 'd' || ch == 'D') ch = 'e';
  t.type = 2;
  t.rval = std::strtod(c.c_str(), nullptr);
  return t;
}

Token convert(std::string_view s) {
  for (char c : s)
    if (!is_digit(c)) return read_real(s);
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

int jchar(char c) { return static_cast<unsigned char>(c); }

}  // namespace veldrix
