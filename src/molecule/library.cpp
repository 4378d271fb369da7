// Residue library reader: two passes over the library text, the standard residue frame and the check.
#include "molecule/library.hpp"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <istream>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "command/message.hpp"
#include "command/strings.hpp"
#include "molecule/lib_in_code.hpp"
#include "molecule/state.hpp"
#include "util/lines.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"

namespace veldrix {

namespace {

constexpr std::size_t line_width = 100;  // characters of a library line that are read
constexpr std::size_t token_width = 20;  // characters kept of a token
constexpr std::size_t name_width = 5;    // atom-type, residue, angle and atom names

// Atoms 1, 2, 3 closer to one line than this (in A) give no usable frame; the
// library coordinates carry 4 decimals, so this is well below any real geometry.
constexpr double frame_tolerance = 1.0e-3;

// The lines of one library source, one at a time, cut to 100 characters and
// with the comment removed: an open stream, or the built-in text.
struct LineSource {
  LineSource(CommandState& state, std::istream* input) : s(state), in(input) {}
  CommandState& s;
  std::istream* in;  // nullptr: the built-in text
  int count = 0;     // lines obtained in this pass
  std::string line;  // the current line; after the end of input, the last line

  bool next();
  void rewind();
};

static_assert(builtin_library_lines == internal_libfile_lines, "one line count for the built-in library");

bool LineSource::next() {
  if (in != nullptr) {
    if (!read_line(*in, line, line_width)) {
      if (in->bad()) cannot_read(s, count + 1, "");
      return false;
    }
  } else {
    if (count >= builtin_library_lines) return false;
    line.assign(internal_libfile(count + 1).substr(0, line_width));
  }
  ++count;
  if (const std::size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
  return true;
}

void LineSource::rewind() {
  count = 0;
  if (in == nullptr) return;
  in->clear();
  in->seekg(0);
  if (in->fail()) fatmsg(s, "The residue library input cannot be rewound for its second reading.");
}

// At top level a line whose first 8 characters are blank carries nothing.
bool blank_head(std::string_view s) {
  const std::string_view head = s.substr(0, std::min<std::size_t>(8, s.size()));
  return head.find_first_not_of(' ') == std::string_view::npos;
}

bool all_blank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

// Integer from the first 10 characters of a token.
std::optional<int> read_integer(std::string_view token) { return read_int(token.substr(0, 10)); }

// Atom reference from the first 5 characters of a token: "-" (no atom) or digits.
std::optional<int> read_reference(std::string_view token) {
  const std::string_view s = token.substr(0, 5);
  if (s == "-") return 0;
  return read_int(s, {.sign = false});
}

// Pass 2 found more than pass 1 sized the arrays for: the input is not the same
// text the second time.
[[noreturn]] void input_changed(CommandState& s) {
  fatmsg(s, "The residue library input changed while it was being read.");
}

// One non-blank library line split into tokens, with the number its messages report.
struct Record {
  explicit Record(CommandState& state) : s(state) {}
  CommandState& s;
  int number = 0;
  std::string text;
  std::vector<std::string> tok;

  void take(int n, std::string_view line, std::size_t max_tokens) {
    number = n;
    text.assign(line);
    tok.clear();
    split(text, tok, max_tokens, token_width);
  }
  int size() const { return int(tok.size()); }
  const std::string& token(int k) const { return tok[std::size_t(k - 1)]; }
  std::string name(int k) const { return field(token(k), name_width); }

  [[noreturn]] void fail() const { cannot_read(s, number, text); }
  void need(int n) const {
    if (size() < n) fail();
  }
  int integer(int k) const {
    const std::optional<int> v = read_integer(token(k));
    if (!v) fail();
    return *v;
  }
  // A count announced by a header: an integer that is not negative.
  int amount(int k) const {
    const int v = integer(k);
    if (v < 0) fail();
    return v;
  }
  double real(int k) const {
    const std::optional<double> v = read_real(token(k));  // e or E exponent
    if (!v) fail();
    return *v;
  }
  int reference(int k) const {
    const std::optional<int> v = read_reference(token(k));
    if (!v) fail();
    return *v;
  }
  // A trailing atom reference that may be left out (no atom).
  int optional_reference(int k) const { return k <= size() ? reference(k) : 0; }
};

[[noreturn]] void not_an_atom(const Record& rec, int atom, std::string_view residue, int natoms) {
  CommandState& s = rec.s;
  fatmsg(s, "Atom reference " + intp(s, atom) + " in line " + intp(s, rec.number) + " is not an atom of residue " +
                strq(s, residue) + " (1.." + intp(s, natoms) + "):" + "@/" + strp(s, rec.text));
}

std::string key(std::string_view name) { return std::string(rtrim(name)); }

// Parses the kept lines of residue type r: `lines` holds its ndih angle lines,
// then its nat atom lines. Kept line k is reported as line header.number + k.
void parse_block(MoleculeState& s, int r, const Record& header, const std::vector<std::string>& lines,
                 const std::unordered_map<std::string, int>& type_index, Record& rec) {
  VokanData& v = s.vokandata;
  const int nd = v.ndih(r);
  const int n = v.nat(r);
  const std::string residue = v.aanam(r);
  if (v.ifirat(r) < 1 || v.ifirat(r) > v.lasat(r) || v.lasat(r) > n)
    fatmsg(s, "Residue " + strq(s, residue) + " has an invalid range of own atoms " + intp(s, v.ifirat(r)) + ".." +
                  intp(s, v.lasat(r)) + " for its " + intp(s, n) + " atoms in line " + intp(s, header.number) + ":" +
                  "@/" + strp(s, header.text));

  for (int k = 1; k <= nd; ++k) {
    rec.take(header.number + k, lines[std::size_t(k - 1)], 10);
    rec.need(9);
    v.dihnam(k, r) = rec.name(2);
    for (int m = 1; m <= 4; ++m) {
      const int atom = rec.reference(5 + m);
      if (atom < 1 || atom > n) not_an_atom(rec, atom, residue, n);
      v.idihat(m, k, r) = atom;
    }
    const int last = rec.optional_reference(10);
    if (last > n) not_an_atom(rec, last, residue, n);
    v.ldihat(k, r) = last;
  }

  for (int j = 1; j <= n; ++j) {
    rec.take(header.number + nd + j, lines[std::size_t(nd + j - 1)], 13);
    rec.need(8);
    v.atnam(j, r) = rec.name(2);
    const auto type = type_index.find(rec.name(3));
    if (type == type_index.end()) fatmsg(s, "Illegal atom type " + strq(s, rec.token(3)) + ".");
    v.iattyp(j, r) = type->second;
    for (int x = 1; x <= 3; ++x) v.coord(x, j, r) = rec.real(5 + x);
    // The bonded atoms are checked; nothing of this program uses the bonds themselves.
    for (int m = 1; m <= 4; ++m) {
      const int atom = rec.optional_reference(8 + m);
      if (atom > n) not_an_atom(rec, atom, residue, n);
    }
    v.ipatom(j, r) = rec.optional_reference(13);
  }

  // A pseudo-atom pointer names a pseudo atom of the residue type, which may in
  // turn stand for a further pseudo atom.
  for (int j = 1; j <= n; ++j) {
    const int p = v.ipatom(j, r);
    if (p <= 0) continue;
    bool wrong = p > n || v.iatel(v.iattyp(p, r)) != 0;
    if (!wrong) {
      const int p2 = v.ipatom(p, r);
      wrong = p2 > 0 && (p2 > n || v.iatel(v.iattyp(p2, r)) != 0);
    }
    if (wrong) fatmsg(s, "Wrong pseudoatom pointer in residue " + strq(s, residue) + ".");
  }
}

double dot(const std::array<double, 3>& a, const std::array<double, 3>& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

}  // namespace

std::array<double, 3> crossp(const std::array<double, 3>& a, const std::array<double, 3>& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

void getlib(MoleculeState& s, std::istream* input) {
  VokanData& v = s.vokandata;
  LineSource src{s, input};
  const int types_before = v.nattyp;
  const int residues_before = v.naa;
  Record rec{s};

  // Pass 1: sizes. It follows the blocks as pass 2 will, so that only lines that
  // are present count: an announced count never sizes anything by itself.
  int type_lines = 0;
  bool type_header = false;
  int headers = 0;
  while (src.next()) {
    if (blank_head(src.line)) continue;
    rec.take(src.count, src.line, 4);
    if (rec.size() == 0) continue;
    if (rec.token(1) == "ATOMTYPES") {
      rec.need(2);
      const int n = rec.amount(2);
      type_header = true;
      int got = 0;
      while (got < n && src.next())
        if (!all_blank(src.line)) ++got;
      type_lines += got;
    } else if (rec.token(1) == "RESIDUE") {
      rec.need(4);
      const int angles = rec.amount(3);
      const int atoms = rec.amount(4);
      ++headers;
      const long long need = (long long)angles + atoms;
      long long got = 0;
      while (got < need && src.next())
        if (!all_blank(src.line)) ++got;
      // An incomplete block is rejected by pass 2 before any of its lines is stored.
      if (got == need) {
        v.maxdih = std::max(v.maxdih, angles);
        v.maxat = std::max(v.maxat, atoms);
      }
    }
  }
  src.rewind();
  alolib(v, (type_header ? type_lines : types_before) + types_before, residues_before + headers, v.maxdih, v.maxat);

  // Pass 2: reading.
  int t = types_before;
  int r = residues_before;
  std::unordered_map<std::string, int> type_index;  // name -> first type of that name
  for (int i = 1; i <= t; ++i) type_index.emplace(key(v.attyp(i)), i);
  std::unordered_set<std::string> loaded;  // residue types present before this read
  for (int i = 1; i <= r; ++i) loaded.insert(key(v.aanam(i)));
  Record header{s};
  std::vector<std::string> block;  // kept lines of the current residue block
  while (src.next()) {
    if (blank_head(src.line)) continue;
    header.take(src.count, src.line, 6);
    if (header.size() == 0) continue;
    if (header.token(1) == "ATOMTYPES") {
      header.need(2);
      const int n = header.amount(2);
      if (header.size() > 2) header.real(3);  // the 1-4 correction factor: checked, not used
      int got = 0;
      while (got < n && src.next()) {
        if (all_blank(src.line)) continue;
        ++got;
        rec.take(src.count, src.line, 5);
        rec.need(5);
        if (t + 1 > int(v.attyp.extent())) input_changed(s);
        const std::string name = rec.name(2);
        v.attyp(t + 1) = name;
        rec.real(3);     // radius and
        rec.integer(4);  // hydrogen-bond class: checked, not used
        v.iatel(t + 1) = rec.integer(5);
        if (type_index.emplace(name, t + 1).second) ++t;  // the first definition of a name wins
      }
    } else if (header.token(1) == "RESIDUE") {
      header.need(6);
      ++r;
      if (r > int(v.aanam.extent())) input_changed(s);
      v.aatyp(r) = header.name(1);
      v.aanam(r) = header.name(2);
      v.ndih(r) = header.amount(3);
      v.nat(r) = header.amount(4);
      v.ifirat(r) = header.integer(5);
      v.lasat(r) = header.integer(6);
      const std::size_t need = std::size_t(v.ndih(r)) + std::size_t(v.nat(r));
      std::size_t got = 0;
      while (got < need) {
        // A library that ends inside a block is rejected at its last line.
        if (!src.next()) cannot_read(s, src.count, src.line);
        if (all_blank(src.line)) continue;
        if (got == block.size()) block.emplace_back();
        block[got++] = src.line;
      }
      if (loaded.count(v.aanam(r)) != 0) {  // the earlier definition wins
        --r;
        continue;
      }
      if (v.ndih(r) > int(v.dihnam.extent(0)) || v.nat(r) > int(v.atnam.extent(0))) input_changed(s);
      parse_block(s, r, header, block, type_index, rec);
    }
  }

  v.nattyp = t;
  v.naa = r;
  alolib(v, t, r, v.maxdih, v.maxat);
  for (int i = 1; i <= r; ++i) librot(s, i);
}

namespace {

// The library arrays of a data model and their sizes.
struct LibraryArrays {
  int nattyp = 0, naa = 0, maxat = 0, maxdih = 0;
  FArray<std::string> attyp;
  FArray<int> iatel;
  FArray<std::string> aanam, aatyp;
  FArray<int> ndih, nat, ifirat, lasat;
  FArray<std::string, 2> dihnam;
  FArray<int, 3> idihat;
  FArray<int, 2> ldihat;
  FArray<std::string, 2> atnam;
  FArray<int, 2> iattyp;
  FArray<double, 3> coord;
  FArray<int, 2> ipatom;
};

template <class From, class To>
void copy_library(const From& f, To& t) {
  t.nattyp = f.nattyp;
  t.naa = f.naa;
  t.maxat = f.maxat;
  t.maxdih = f.maxdih;
  t.attyp = f.attyp;
  t.iatel = f.iatel;
  t.aanam = f.aanam;
  t.aatyp = f.aatyp;
  t.ndih = f.ndih;
  t.nat = f.nat;
  t.ifirat = f.ifirat;
  t.lasat = f.lasat;
  t.dihnam = f.dihnam;
  t.idihat = f.idihat;
  t.ldihat = f.ldihat;
  t.atnam = f.atnam;
  t.iattyp = f.iattyp;
  t.coord = f.coord;
  t.ipatom = f.ipatom;
}

}  // namespace

void load_builtin_library(MoleculeState& s) {
  static const LibraryArrays builtin = [] {
    MoleculeState fresh;
    getlib(fresh, nullptr);
    libchk(fresh);
    LibraryArrays arrays;
    copy_library(fresh.vokandata, arrays);
    return arrays;
  }();
  copy_library(builtin, s.vokandata);
}

void librot(MoleculeState& s, int i) {
  VokanData& v = s.vokandata;
  const int n = v.nat(i);
  const std::string residue = v.aanam(i);
  if (n < 3) fatmsg(s, "Residue type " + strq(s, residue) + " has no standard frame: it has fewer than 3 atoms.");
  auto position = [&](int j) { return std::array<double, 3>{v.coord(1, j, i), v.coord(2, j, i), v.coord(3, j, i)}; };
  auto out_of_range = [&]() {
    fatmsg(s, "Residue type " + strq(s, residue) + " has no standard frame: its coordinates are out of range.");
  };

  const std::array<double, 3> origin = position(1);
  for (int j = 1; j <= n; ++j)
    for (int x = 1; x <= 3; ++x) {
      double& c = v.coord(x, j, i);
      c -= origin[std::size_t(x - 1)];
      if (!std::isfinite(c)) out_of_range();
    }

  std::array<double, 3> ex = position(3);
  const double length = std::sqrt(dot(ex, ex));
  std::array<double, 3> ey = crossp(ex, position(2));
  // |a3 x a2| / |a3| is the distance of atom 2 from the line through atoms 1 and 3.
  const double off_line = length > 0.0 ? std::sqrt(dot(ey, ey)) / length : 0.0;
  if (!(length > frame_tolerance) || !(off_line > frame_tolerance))
    fatmsg(s, "Residue type " + strq(s, residue) + " has no standard frame: its atoms 1, 2 and 3 lie on one line.");
  for (double& c : ex) c /= length;
  ey = crossp(ex, position(2));
  const double ylength = std::sqrt(dot(ey, ey));
  for (double& c : ey) c /= ylength;
  const std::array<double, 3> ez = crossp(ex, ey);

  for (int j = 1; j <= n; ++j) {
    const std::array<double, 3> c = position(j);
    const std::array<double, 3> t = {dot(ex, c), dot(ey, c), dot(ez, c)};
    for (int x = 1; x <= 3; ++x) {
      if (!std::isfinite(t[std::size_t(x - 1)])) out_of_range();
      v.coord(x, j, i) = t[std::size_t(x - 1)];
    }
  }
}

void libchk(MoleculeState& s) {
  const VokanData& v = s.vokandata;
  std::unordered_map<std::string, int> occurrences;
  for (int i = 1; i <= v.naa; ++i) ++occurrences[key(v.aanam(i))];

  std::unordered_map<std::string, int> names;
  std::set<int> defining;  // atoms that define the angles checked so far
  for (int i = 1; i <= v.naa; ++i) {
    const std::string residue = key(v.aanam(i));
    // The first type of a repeated name is the first one with a later twin.
    if (occurrences[residue] > 1) fatmsg(s, "Duplicate residue name " + strq(s, residue) + ".");

    names.clear();
    for (int k = 1; k <= v.ndih(i); ++k) ++names[key(v.dihnam(k, i))];
    for (int k = 1; k <= v.ndih(i); ++k) {
      const std::string angle = key(v.dihnam(k, i));
      if (names[angle] > 1)
        fatmsg(s, "Duplicate angle name " + strq(s, angle) + " in residue " + strq(s, residue) + ".");
    }

    // Overlap atoms may repeat the names of own atoms; only own atoms are compared.
    names.clear();
    for (int j = v.ifirat(i); j <= v.lasat(i); ++j) ++names[key(v.atnam(j, i))];
    for (int j = v.ifirat(i); j <= v.lasat(i); ++j) {
      const std::string atom = key(v.atnam(j, i));
      if (names[atom] > 1) fatmsg(s, "Duplicate atom name " + strq(s, atom) + " in residue " + strq(s, residue) + ".");
    }

    // A rotation about angle k moves the atoms a3+1..last; none of them may
    // define an angle listed before k.
    defining.clear();
    for (int k = 1; k <= v.ndih(i); ++k) {
      const int last = v.ldihat(k, i) < 1 ? v.nat(i) : v.ldihat(k, i);
      const int a3 = v.idihat(3, k, i);
      const auto moved = defining.upper_bound(a3);
      if (moved != defining.end() && *moved <= last)
        fatmsg(s, "Angle " + strq(s, key(v.dihnam(k, i))) + " in residue " + strq(s, residue) +
                      " affects preceding angle(s).");
      for (int m = 1; m <= 4; ++m) defining.insert(v.idihat(m, k, i));
    }
  }
}

}  // namespace veldrix
