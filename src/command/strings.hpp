// String utilities on blank-padded text: wildcard match, word split, identifier split, number text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veldrix {

// Wildcard match: "*" any run of characters, "?" one character; trailing blanks
// never count. The part before the first "*" is anchored at the start of the
// text, and the part after the last "*" at its end.
bool match(std::string_view text, std::string_view pattern);

// Appends the words of text (runs of characters with codes above 32), each cut
// to `width` characters, until `words` holds `max` entries.
void split(std::string_view text, std::vector<std::string>& words, std::size_t max, std::size_t width = 400);

// A residue designation split into leading text, number and trailing text.
struct RSplit {
  std::string head;
  int number = 0;
  std::string tail;
};
// head = text before the first of "0123456789+-" (blank, or "A" in mode 1, when
// the text starts with the number), number = the integer of that run, tail = the rest.
RSplit rsplit(std::string_view text, int mode);

// Decimal text of an integer, without leading blanks.
std::string intstr(int i);

}  // namespace veldrix
