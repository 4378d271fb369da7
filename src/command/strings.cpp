// String utilities on blank-padded text.
#include "command/strings.hpp"

#include "util/text.hpp"

namespace veldrix {

namespace {

// Does pattern segment `seg` (no "*", "?" matches any one character) fit text at position pos?
bool fits(std::string_view text, std::size_t pos, std::string_view seg) {
  if (pos + seg.size() > text.size()) return false;
  for (std::size_t i = 0; i < seg.size(); ++i)
    if (seg[i] != '?' && seg[i] != text[pos + i]) return false;
  return true;
}

}  // namespace

bool match(std::string_view text, std::string_view pattern) {
  const std::string_view t = rtrim(text);
  const std::string_view p = rtrim(pattern);
  if (p.empty()) return t.empty();
  std::size_t star = p.find('*');
  if (star == std::string_view::npos) return t.size() == p.size() && fits(t, 0, p);
  const std::string_view head = p.substr(0, star);
  if (!fits(t, 0, head)) return false;
  std::size_t pos = head.size();
  std::string_view rest = p.substr(star + 1);
  for (;;) {
    star = rest.find('*');
    if (star == std::string_view::npos) {
      if (rest.empty()) return true;  // the pattern ends with "*"
      return t.size() >= pos + rest.size() && fits(t, t.size() - rest.size(), rest);
    }
    const std::string_view seg = rest.substr(0, star);
    while (!fits(t, pos, seg)) {
      if (pos + seg.size() >= t.size()) return false;
      ++pos;
    }
    pos += seg.size();
    rest = rest.substr(star + 1);
  }
}

void split(std::string_view text, std::vector<std::string>& words, std::size_t max, std::size_t width) {
  std::size_t i = 0;
  while (words.size() < max) {
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
    if (i >= text.size()) return;
    std::size_t j = i;
    while (j < text.size() && static_cast<unsigned char>(text[j]) > 32) ++j;
    words.emplace_back(text.substr(i, std::min(j - i, width)));
    i = j;
  }
}

RSplit rsplit(std::string_view text, int mode) {
  const std::string_view t = rtrim(text);
  static constexpr std::string_view numeric = "0123456789+-";
  RSplit r;
  const std::size_t p = t.find_first_of(numeric);
  if (p == std::string_view::npos) {
    r.head = std::string(t);
    return r;
  }
  std::size_t q = p;
  while (q < t.size() && numeric.find(t[q]) != std::string_view::npos) ++q;
  r.head = p == 0 ? (mode == 1 ? "A" : "") : std::string(t.substr(0, p));
  // The number is read from at most 10 characters: an optional sign, then digits.
  const std::string_view run = t.substr(p, std::min<std::size_t>(q - p, 10));
  std::size_t k = 0;
  bool negative = false;
  if (k < run.size() && (run[k] == '+' || run[k] == '-')) negative = run[k++] == '-';
  long value = 0;
  bool valid = k < run.size();
  for (; k < run.size(); ++k) {
    if (run[k] < '0' || run[k] > '9') {
      valid = false;
      break;
    }
    value = value * 10 + (run[k] - '0');
  }
  if (valid && value <= 2147483647L) r.number = int(negative ? -value : value);
  r.tail = std::string(t.substr(q));
  return r;
}

std::string intstr(int i) { return std::to_string(i); }

}  // namespace veldrix
