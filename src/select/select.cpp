// Atom selection expressions.
#include "select/select.hpp"

#include <algorithm>
#include <vector>

#include "command/message.hpp"
#include "command/params.hpp"
#include "command/strings.hpp"
#include "select/state.hpp"
#include "util/text.hpp"

namespace veldrix {

namespace {

constexpr std::size_t max_word = 200;  // longest word of an expression
constexpr std::size_t max_item = 20;   // longest item of a residue list

void size_to_atoms(const VokanData& v, FArray<bool>& a) {
  const int na = std::max(v.na, 0);
  if (!a.allocated() || a.lbound() != 1 || int(a.extent()) != na) a.allocate(Dim(na));
}

bool current_asel(const VokanData& v, int a) {
  const FArray<bool>& s = v.asel;
  return s.allocated() && a >= s.lbound() && a <= s.ubound() && s(a);
}

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string_view skip_separators(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= 32) ++i;
  return s.substr(i);
}

// Atoms whose x coordinate is known in the working structure and in every listed structure.
void mark_with_coordinates(const VokanData& v, std::vector<char>& atoms) {
  if (!v.coo.allocated()) return;
  const int cap = v.structure_capacity();
  std::vector<int> structures{0};
  for (int k = 1; k <= v.nsstr && k <= cap; ++k) structures.push_back(v.isstr(k));
  const long lo = v.coo.lbound(1), hi = v.coo.ubound(1);
  for (int a = 1; a <= v.na; ++a) {
    bool all = true;
    for (int s : structures) {
      const long c = long(s) * v.na + a;
      if (s < 0 || c < lo || c > hi || !known_coordinate(v.coo(1, c))) {
        all = false;
        break;
      }
    }
    if (all) atoms[std::size_t(a)] = 1;
  }
}

// The two axis atoms of every dihedral angle that moves atoms beyond the molecule (lda > na).
void mark_backbone(const VokanData& v, std::vector<char>& atoms) {
  if (!v.ida.allocated() || !v.lda.allocated()) return;
  const int last = std::min({v.nd, v.lda.ubound(), v.ida.ubound(1)});
  for (int i = 1; i <= last; ++i) {
    if (v.lda(i) <= v.na) continue;
    for (int j = 2; j <= 3; ++j) {
      const int a = v.ida(j, i);
      if (a >= 1 && a <= v.na) atoms[std::size_t(a)] = 1;
    }
  }
}

std::string_view type_name(const VokanData& v, int a) {
  if (!v.iatyp.allocated() || a < v.iatyp.lbound() || a > v.iatyp.ubound()) return {};
  const int t = v.iatyp(a);
  if (!v.attyp.allocated() || t < 1 || t > v.nattyp || t > v.attyp.ubound()) return {};
  return v.attyp(t);
}

std::string_view atom_name(const VokanData& v, int a) {
  const FArray<std::string>& n = v.anam;
  if (!n.allocated() || a < n.lbound() || a > n.ubound()) return {};
  return n(a);
}

std::string_view residue_id(const VokanData& v, int r) {
  const FArray<std::string>& n = v.rnum;
  if (!n.allocated() || r < n.lbound() || r > n.ubound()) return {};
  return n(r);
}

// One item of a residue list: "*", a pattern, or a range p..q / p-q.
void mark_residue_item(const VokanData& v, std::string_view item, std::vector<char>& residues) {
  const int nr = v.nr;
  item = item.substr(0, std::min(item.size(), max_item));
  if (item == "*") {
    for (int r = 1; r <= nr; ++r) residues[std::size_t(r)] = 1;
    return;
  }
  std::size_t sep = item.find("..");
  std::size_t width = 2;
  if (sep == std::string_view::npos) {
    sep = item.find('-');
    width = 1;
  }
  int first = 0, last = 0;
  if (sep == std::string_view::npos) {
    for (int r = 1; r <= nr && first == 0; ++r)
      if (match(residue_id(v, r), item)) first = r;
    last = first;
  } else {
    const std::string_view p = item.substr(0, sep), q = item.substr(sep + width);
    if (p.empty()) first = 1;
    for (int r = 1; r <= nr && first == 0; ++r)
      if (match(residue_id(v, r), p)) first = r;
    if (q.empty()) last = nr;
    for (int r = nr; r >= 1 && last == 0; --r)
      if (match(residue_id(v, r), q)) last = r;
  }
  if (first < 1 || first > last || last > nr) return;
  for (int r = first; r <= last; ++r) residues[std::size_t(r)] = 1;
}

void mark_residues(const VokanData& v, std::string_view word, std::vector<char>& residues) {
  std::string items;
  for (char c : word)
    if (c != ':' && c != ' ') items.push_back(c);
  if (items.empty() || items == "*") {
    for (int r = 1; r <= v.nr; ++r) residues[std::size_t(r)] = 1;
    return;
  }
  std::size_t p = 0;
  for (;;) {
    const std::size_t comma = items.find(',', p);
    mark_residue_item(v, std::string_view(items).substr(p, comma == std::string::npos ? std::string::npos : comma - p),
                      residues);
    if (comma == std::string::npos) break;
    p = comma + 1;
  }
}

bool is_operator_word(std::string_view w) {
  return w.empty() || w == "=" || w == "+" || w == "-" || w == "/" || w == "!";
}

}  // namespace

void select(SelectState& s, std::string_view text, FArray<bool>& selection, int mode, bool& error) {
  error = false;
  const VokanData& v = s.vokandata;
  size_to_atoms(v, selection);
  const int na = std::max(v.na, 0), nr = std::max(v.nr, 0);
  std::string_view rest = skip_separators(rtrim(text));
  if (rest.empty() || rest == "*") {
    selection.fill(true);
    return;
  }
  selection.fill(false);
  std::vector<char> atoms(std::size_t(na) + 1, 0), residues(std::size_t(nr) + 1, 0);
  bool no_atom_word = true, no_residue_word = true;
  char pending = '=';
  FArray<bool> stored;
  for (;;) {
    std::size_t end = 0;
    while (end < rest.size() && static_cast<unsigned char>(rest[end]) > 32) ++end;
    const std::string_view word = rest.substr(0, end);
    if (word.size() > max_word) {
      error = true;
      selection.fill(false);
      return;
    }
    rest = skip_separators(rest.substr(end));

    if (is_operator_word(word)) {
      for (int a = 1; a <= na; ++a) {
        const int r = v.iar.allocated() && a <= v.iar.ubound() ? v.iar(a) : 0;
        const bool in_residues = no_residue_word || (r >= 1 && r <= nr && residues[std::size_t(r)]);
        const bool t = (no_atom_word || atoms[std::size_t(a)]) && in_residues;
        bool& x = selection(a);
        switch (pending) {
          case '=': x = t; break;
          case '+': x = x || t; break;
          case '-':
          case '!': x = x && !t; break;
          case '/': x = x && t; break;
        }
      }
      if (word.empty()) return;
      std::fill(atoms.begin(), atoms.end(), 0);
      std::fill(residues.begin(), residues.end(), 0);
      no_atom_word = no_residue_word = true;
      pending = word[0];
      continue;
    }

    const char c = word[0];
    if (word == "BACKBONE" && mode == 1) {
      mark_backbone(v, atoms);
      no_atom_word = false;
    } else if (word == "WITHCOORDALL") {
      mark_with_coordinates(v, atoms);
      no_atom_word = false;
    } else if (is_letter(c) || c == '*' || c == '?') {
      bool missing = true;
      if (!s.selectdata.slinit) recsel(s, word, stored, mode, missing);
      if (!missing) {
        // A stored selection adds its atoms like any other atom word of the term.
        for (int a = 1; a <= na; ++a)
          if (stored(a)) atoms[std::size_t(a)] = 1;
      } else {
        for (int a = 1; a <= na; ++a)
          if (match(atom_name(v, a), word)) atoms[std::size_t(a)] = 1;
      }
      no_atom_word = false;
    } else if (c == '&') {
      const std::string_view pattern = word.substr(1);
      for (int a = 1; a <= na; ++a)
        if (match(type_name(v, a), pattern)) atoms[std::size_t(a)] = 1;
      no_atom_word = false;
    } else if (c == '~') {
      const std::string_view pattern = word.substr(1);
      for (int a = 1; a <= na; ++a)
        if (!match(atom_name(v, a), pattern)) atoms[std::size_t(a)] = 1;
      no_atom_word = false;
    } else {
      mark_residues(v, word, residues);
      no_residue_word = false;
    }
  }
}

int getsel(SelectState& s, std::string_view name, int mode, FArray<bool>& selection) {
  // Only atom selections exist in this program; the other modes have no objects to select.
  if (mode != 1) fatmsg(s, "Illegal selection mode.");
  const VokanData& v = s.vokandata;
  const int na = std::max(v.na, 0);
  int count = 0;
  if (!havpar(s, name)) {
    size_to_atoms(v, selection);
    for (int a = 1; a <= na; ++a) count += (selection(a) = current_asel(v, a)) ? 1 : 0;
    return count;
  }
  std::string text(ltrim(getpar(s, name)));
  // The current selection is copied first: the caller may hand asel itself as the result.
  std::vector<char> current(std::size_t(na) + 1, 0);
  for (int a = 1; a <= na; ++a) current[std::size_t(a)] = current_asel(v, a);

  bool negate_current = false, negate_new = false;
  char op = 0;
  if (!text.empty() && text[0] == '!') {
    negate_current = true;
    text = std::string(ltrim(std::string_view(text).substr(1)));
  }
  if (!text.empty() && (text[0] == '+' || text[0] == '-' || text[0] == '/')) {
    op = text[0];
    text = std::string(ltrim(std::string_view(text).substr(1)));
    if (!text.empty() && text[0] == '!') {
      negate_new = true;
      text = std::string(ltrim(std::string_view(text).substr(1)));
    }
  } else {
    negate_new = negate_current;
    negate_current = false;
  }

  bool error = false;
  select(s, text, selection, mode, error);
  if (error) {
    const std::string q = strq(s, text);
    fatmsg(s, "Illegal selection " + q + ".");
  }
  for (int a = 1; a <= na; ++a) {
    const bool n = selection(a) != negate_new;
    const bool g = bool(current[std::size_t(a)]) != negate_current;
    bool r = n;
    if (op == '+')
      r = g || n;
    else if (op == '-')
      r = g && !n;
    else if (op == '/')
      r = g && n;
    selection(a) = r;
    if (r) ++count;
  }
  return count;
}

void savsel(SelectState& s, int mode) {
  SelectData& d = s.selectdata;
  if (!d.slinit && mode != 0) return;
  d.nasl = 0;
  d.aslnam.deallocate();
  d.asl.deallocate();
  d.slinit = false;
}

void recsel(SelectState& s, std::string_view name, FArray<bool>& selection, int mode, bool& error) {
  error = true;
  const SelectData& d = s.selectdata;
  if (d.slinit) return;
  if (mode != 1) fatmsg(s, "Illegal selection save mode.");
  const std::string key = field(name, selection_name_width);
  for (int k = 1; k <= d.nasl; ++k) {
    if (!d.aslnam.allocated() || k > d.aslnam.ubound() || field(d.aslnam(k), selection_name_width) != key) continue;
    if (!d.asl.allocated() || k > d.asl.ubound(1)) return;
    size_to_atoms(s.vokandata, selection);
    const int rows = std::min(s.vokandata.na, d.asl.ubound(0));
    selection.fill(false);
    for (int a = 1; a <= rows; ++a) selection(a) = d.asl(a, k);
    error = false;
    return;
  }
}

}  // namespace veldrix
