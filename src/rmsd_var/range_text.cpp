// Range lists of residue masks, as printed in the result lines.
#include <algorithm>
#include <optional>

#include "rmsd_var/range_text.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"

namespace veldrix {

namespace {

// The residue number in characters 2 to 6 of a residue label, blanks ignored
// (an all-blank field reads 0). A field that is not an integer, as with an
// insertion code, has no number: such a residue neither continues a range nor
// is continued.
std::optional<int> label_number(std::string_view label) {
  return read_int(columns(label, 2, 6), {.blanks_ignored = true, .empty_is_zero = true});
}

}  // namespace

void rrstr(const VokanData& v, const FArray<bool>& mask, std::string& text, int& ngap, int length,
           std::vector<std::pair<int, int>>* runs) {
  text.clear();
  ngap = 0;
  const int nr = v.nr;
  if (nr < 1) return;
  // One chain letter throughout (first and last residue agree): labels without it.
  const std::size_t skip = char_at(v.rnum(1), 1) == char_at(v.rnum(nr), 1) ? 2 : 1;
  auto label = [&v, skip](int r) {
    const std::string_view s = rtrim(v.rnum(r));
    return skip - 1 < s.size() ? std::string(s.substr(skip - 1)) : std::string();
  };
  int last = 0;
  for (int r = 1; r <= nr; ++r)
    if (mask(r)) last = r;
  int j = 1;
  for (;;) {
    while (j <= nr && !mask(j)) ++j;
    if (j > nr) break;
    if (!text.empty()) text += ", ";
    text += label(j);
    const char chain = char_at(v.rnum(j), 1);
    int e = j;
    while (e + 1 <= nr && mask(e + 1) && char_at(v.rnum(e + 1), 1) == chain) {
      const std::optional<int> here = label_number(v.rnum(e)), next = label_number(v.rnum(e + 1));
      if (!here || !next || *next != *here + 1) break;
      ++e;
    }
    if (e < nr && last > e) ++ngap;
    if (e != j) text += ".." + label(e);
    if (runs) runs->emplace_back(j, e);
    j = e + 1;
  }
  if (text.size() > std::size_t(length)) text.resize(std::size_t(std::max(length, 0)));
}

}  // namespace veldrix
