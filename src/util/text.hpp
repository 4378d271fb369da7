// Fixed-width text fields: the helpers that cut, pad and compare blank-padded names.
//
// Names are held as std::string without trailing blanks; these helpers give
// the field behaviour (a value longer than its field is cut at the right,
// trailing blanks never count) where matching or output depends on it.
#pragma once

#include <string>
#include <string_view>

namespace veldrix {

inline bool is_blank_char(char c) { return c == ' '; }

// Text without trailing blanks.
inline std::string_view rtrim(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

// Text without leading blanks.
inline std::string_view ltrim(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return s.substr(i);
}

inline std::string_view trim(std::string_view s) { return rtrim(ltrim(s)); }

inline bool is_blank(std::string_view s) { return rtrim(s).empty(); }

// The value a text field of the given width holds: cut at the right, trailing blanks dropped.
inline std::string field(std::string_view s, std::size_t width) {
  return std::string(rtrim(s.substr(0, std::min(width, s.size()))));
}

// The text padded with blanks (or cut) to exactly the given width.
inline std::string padded(std::string_view s, std::size_t width) {
  std::string r(s.substr(0, std::min(width, s.size())));
  r.resize(width, ' ');
  return r;
}

// Blank-padded equality: trailing blanks do not matter.
inline bool same(std::string_view a, std::string_view b) { return rtrim(a) == rtrim(b); }

// Character k (1-based) of a blank-padded field; blank beyond the text.
inline char char_at(std::string_view s, std::size_t k) { return k >= 1 && k <= s.size() ? s[k - 1] : ' '; }

// Columns a..b (1-based, inclusive) of a line, blank-padded when the line is shorter.
inline std::string columns(std::string_view line, std::size_t a, std::size_t b) {
  std::string r;
  r.reserve(b - a + 1);
  for (std::size_t k = a; k <= b; ++k) r.push_back(char_at(line, k));
  return r;
}

inline bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, std::min(prefix.size(), s.size())) == prefix;
}

}  // namespace veldrix
