// PDB coordinate reader: one model at a time into the working structure, flexible or rigid.
#include "input/getcor.hpp"

#include <cmath>
#include <cstdint>
#include <numbers>

#include "command/message.hpp"
#include "input/pdbfields.hpp"
#include "input/state.hpp"
#include "molecule/tree.hpp"
#include "superpose/rmsd.hpp"
#include "superpose/transform.hpp"
#include "util/text.hpp"

namespace veldrix {

namespace {

constexpr std::string_view extra_digits_remark = "B-FACTOR COLUMN STORES ADDITIONAL COORDINATE DIGITS";
constexpr std::size_t name_width = 5;

void build_index(PdbReadData& d, const VokanData& v) {
  d.index.clear();
  d.index.reserve(std::size_t(std::max(v.nr, 0)));
  for (int i = 1; i <= v.nr; ++i) d.index.emplace(std::string(rtrim(v.rnum(i))), i);
  d.index_valid = true;
}

// First residue whose identifier is id, or (for chain A) id without its chain character.
int find_residue(PdbReadData& d, const VokanData& v, std::string_view id) {
  if (!d.index_valid) build_index(d, v);
  int found = 0;
  const std::string key(rtrim(id));
  if (auto it = d.index.find(key); it != d.index.end()) found = it->second;
  if (!key.empty() && key[0] == 'A') {
    if (auto it = d.index.find(key.substr(1)); it != d.index.end() && (found == 0 || it->second < found))
      found = it->second;
  }
  return found;
}

// Atom name of a record: left-adjusted; a leading digit goes to the end, blanks dropped (1HB is HB1).
// Written into `out` (4 characters at most); the name is the returned view of it.
std::string_view record_atom_name(std::string_view line, char (&out)[4]) {
  const std::string_view s = trim(line.size() >= 13 ? line.substr(12, 4) : std::string_view());
  std::size_t n = 0;
  if (s.empty() || s[0] < '0' || s[0] > '9') {
    for (char c : s) out[n++] = c;
    return std::string_view(out, n);
  }
  for (char c : s.substr(1))
    if (c != ' ') out[n++] = c;
  out[n++] = s[0];
  return std::string_view(out, n);
}

// A name of at most 7 characters packed into an integer, first character lowest, its length in
// the highest byte; `unpacked` for a longer one.
std::uint64_t pack_name(std::string_view name) {
  if (name.size() > 7) return PdbReadData::unpacked;
  std::uint64_t key = std::uint64_t(name.size());
  for (std::size_t k = name.size(); k-- > 0;) key = (key << 8) | std::uint64_t(static_cast<unsigned char>(name[k]));
  return key;
}

void pack_names(PdbReadData& d, const VokanData& v) {
  d.names.assign(std::size_t(std::max(v.na, 0)) + 1, PdbReadData::unpacked);
  for (int a = 1; a <= v.na; ++a) d.names[std::size_t(a)] = pack_name(rtrim(v.anam(a)));
}

// The atom iatom finds for a record's name: the first of the residue's atoms with that
// name, looked up among the packed names; iatom itself when the name is not there
// (its other names and messages) or a name cannot be packed.
int record_atom(InputState& s, std::string_view name, int residue, int unknown) {
  const VokanData& v = s.vokandata;
  const PdbReadData& d = s.pdbread;
  const std::uint64_t key = pack_name(name);
  if (!name.empty() && key != PdbReadData::unpacked && std::size_t(v.na) + 1 == d.names.size()) {
    const int lo = v.ifira(residue), hi = v.ifira(residue + 1) - 1;
    for (int a = lo; a <= hi; ++a) {
      const std::uint64_t k = d.names[std::size_t(a)];
      if (k == key) return a;
      if (k == PdbReadData::unpacked) break;
    }
  }
  return iatom(s, name, residue, unknown);
}

// Adds the extra digits of columns 61-66 to the coordinates: a sign code, then one digit per axis.
void add_extra_digits(CommandState& s, std::string_view line, int number, double& x, double& y, double& z) {
  const std::optional<int> code = int_field(columns(line, 61, 62));
  const std::optional<int> dx = int_field(columns(line, 63, 63));
  const std::optional<int> dy = int_field(columns(line, 65, 65));
  const std::optional<int> dz = int_field(columns(line, 66, 66));
  if (!code || !dx || !dy || !dz) cannot_read(s, number, line);
  int sign = *code;
  for (auto [c, digit] : {std::pair<double*, int>{&x, *dx}, {&y, *dy}, {&z, *dz}}) {
    float correction = float(digit) * 0.0001f;
    if (sign % 2 != 0) correction = -correction;
    *c += double(correction);
    sign /= 2;
  }
}

bool has_coordinates(const double* p) {
  return known_coordinate(p[0]) && known_coordinate(p[1]) && known_coordinate(p[2]);
}

// End of a model: angles measured, reference rebuilt, and the model kept as
// generated from its angles (flexible) or as read (rigid).
void finish_model(InputState& s, int mode, int unknown) {
  VokanData& v = s.vokandata;
  PdbReadData& d = s.pdbread;
  const int nf = v.ndfree, na = v.na;
  d.frame = {};
  int defined = 0;
  for (int i = 1; i <= v.nd; ++i) {
    const double value = calang(v, i, 0);
    const bool known = !(value > 2.0 * std::numbers::pi);
    if (i <= nf) {
      v.dval(i) = known ? value : 0.0;
      defined += known ? 1 : 0;
    } else if (known && std::abs(value - v.dval(i)) > 0.0001) {
      v.dval(i) = value;
    }
  }
  if (defined < nf) {
    v.i0styp = 2;
    if (unknown <= 1) wrnmsg(s, plural(s, nf - defined, "free angle") + " not defined.");
  }
  // A rigid model keeps its coordinates as read: the tree's frames are rebuilt by the
  // next model that needs them.
  if (v.i0styp == 2) return;
  const auto keep_rigid = [&] {
    v.i0styp = 2;
    for (int a = 1; a <= na; ++a)
      for (int x = 1; x <= 3; ++x) v.coo(x, v.col(0, a)) = d.saved[3 * std::size_t(a - 1) + std::size_t(x - 1)];
  };
  const double threshold = 0.003 * std::sqrt(double(v.nr)) * (mode == 2 ? 10.0 : 1.0);
  d.saved.resize(3 * std::size_t(na));
  for (int a = 1; a <= na; ++a)
    for (int x = 1; x <= 3; ++x) d.saved[3 * std::size_t(a - 1) + std::size_t(x - 1)] = v.coo(x, v.col(0, a));
  if (v.i0styp == 0) {
    // Undecided: the model is flexible when the coordinates generated from its angles
    // reproduce the coordinates as read. Those coordinates are the reference structure
    // that gencor assembles, moved as a rigid body, so the reference alone tells a model
    // that is rigid by a clear margin; one near the threshold or below it is judged
    // on the generated coordinates themselves.
    assemble_reference(v);
    d.as_read.clear();
    d.rebuilt.clear();
    for (int a = 1; a <= na; ++a) {
      const double* read = &d.saved[3 * std::size_t(a - 1)];
      if (!has_coordinates(read)) continue;
      d.as_read.insert(d.as_read.end(), read, read + 3);
      d.rebuilt.insert(d.rebuilt.end(), {v.coo0(1, a), v.coo0(2, a), v.coo0(3, a)});
    }
    const int n = int(d.as_read.size() / 3);
    double unused[3] = {0.0, 0.0, 0.0};
    if (n > 3 && rmsd(d.rebuilt, d.as_read, n, 0, unused, 1) > threshold * (1.0 + 1.0e-6)) return keep_rigid();
  }
  gencor(v);
  if (v.i0styp == 1) {
    gener(v);
    return;
  }

  v.i0styp = 1;
  gener(v);
  d.as_read.clear();
  d.rebuilt.clear();
  for (int a = 1; a <= na; ++a) {
    const double* read = &d.saved[3 * std::size_t(a - 1)];
    const double* made = v.coo.ptr(1, v.col(0, a));
    if (!has_coordinates(read) || made[0] == unknown_value) continue;
    d.as_read.insert(d.as_read.end(), read, read + 3);
    d.rebuilt.insert(d.rebuilt.end(), made, made + 3);
  }
  const int n = int(d.as_read.size() / 3);
  bool rigid;
  if (n <= 3) {
    wrnmsg(s, "Too few atoms. Assuming a rigid structure.");
    rigid = true;
  } else {
    double unused[3] = {0.0, 0.0, 0.0};
    const double deviation = rmsd(d.rebuilt, d.as_read, n, 0, unused, 1);
    rigid = !(deviation <= threshold);
  }
  if (!rigid) d.frame = fit_transform(d.rebuilt, d.as_read, n);
  if (rigid) keep_rigid();
}

}  // namespace

int iresid(InputState& s, std::string_view id, std::string_view name, int unknown) {
  PdbReadData& d = s.pdbread;
  if (unknown == 3) {
    d.rnp = std::string(rtrim(id));
    d.rp = std::string(rtrim(name));
    d.index_valid = false;
    d.last_valid = false;
    return 0;
  }
  const VokanData& v = s.vokandata;
  const int r = find_residue(d, v, id);
  const std::string_view given = rtrim(name);
  if (r > 0) {
    if (unknown < 2 && !same(given, v.rnam(r)) && given != "*" && !(same(id, d.rnp) && same(given, d.rp)))
      wrnmsg(s, "Wrong name " + strq(s, given) + " for residue " + strp(s, v.rnam(r)) + " " + strp(s, v.rnum(r)) + ".");
  } else {
    if (unknown == 0) fatmsg(s, "Illegal residue number " + strp(s, rtrim(id)) + ".");
    if (unknown == 1 && !same(id, d.rnp)) wrnmsg(s, "Illegal residue number " + strp(s, rtrim(id)) + ".");
  }
  d.rnp = std::string(rtrim(id));
  d.rp = std::string(given);
  return r;
}

int iatom(InputState& s, std::string_view name, int residue, int unknown) {
  const VokanData& v = s.vokandata;
  PdbReadData& d = s.pdbread;
  const std::string_view n = rtrim(name);
  const int lo = v.ifira(residue), hi = v.ifira(residue + 1) - 1;
  auto find = [&](std::string_view x) {
    if (x.empty()) return 0;
    for (int a = lo; a <= hi; ++a)
      if (same(v.anam(a), x)) return a;
    return 0;
  };
  if (const int a = find(n)) return a;
  d.a1.clear();
  d.a2.clear();
  if (starts_with(n, "H")) {
    d.a1 = field(std::string("Q").append(n.substr(1)), name_width);
    d.a2 = field(std::string("QQ").append(n.substr(1)), name_width);
  } else if (starts_with(n, "QQ")) {
    d.a1 = field(std::string("H").append(n.substr(2)), name_width);
  } else if (starts_with(n, "Q")) {
    d.a1 = field(std::string("H").append(n.substr(1)), name_width);
  }
  if (const int a = find(d.a1)) return a;
  if (const int a = find(d.a2)) return a;
  if (unknown <= 1) {
    const std::string text = "Illegal atom name " + strq(s, n) + " for residue " + strp(s, v.rnam(residue)) + " " +
                             strp(s, v.rnum(residue)) + ".";
    if (unknown == 0) fatmsg(s, text);
    wrnmsg(s, text);
  }
  return 0;
}

void getcor(InputState& s, PdbText& in, int& mode, std::string_view chains, int& state, int unknown) {
  VokanData& v = s.vokandata;
  PdbReadData& d = s.pdbread;
  const int na = v.na;
  for (int a = 1; a <= na; ++a)
    for (int x = 1; x <= 3; ++x) v.coo(x, v.col(0, a)) = unknown_value;
  if (state == 0) {
    d.lineno = 0;
    d.extra = false;
    d.atom_seen = false;
    build_index(d, v);
    pack_names(d, v);
  }
  d.last_valid = false;
  bool pending = state > 0;  // the record that ended the previous model opens this one
  state = -1;
  d.ch1 = ' ';
  d.stored = 0;
  d.seen.assign(std::size_t(std::max(v.nr, 0)) + 1, 0);
  const std::string_view sel = trim(chains);
  const bool first_only = sel == "first";
  const bool every_chain = sel == "*" || sel == "all";
  int previous = 0;  // residue of the last record that named a residue of the sequence
  char atom_name[4];

  for (;;) {
    if (pending) {
      pending = false;
    } else {
      if (!in.next(d.line)) {
        if (in.bad()) cannot_read(s, d.lineno + 1, "");
        break;
      }
      ++d.lineno;
    }
    const std::string_view line = d.line;
    if (is_blank(line)) continue;
    if (starts_with(line, "REMARK")) {
      if (line.find(extra_digits_remark) != std::string_view::npos) d.extra = true;
      continue;
    }
    if (!starts_with(line, "ATOM ")) continue;
    if (!d.atom_seen) {
      d.atom_seen = true;
      if (mode == 3 && !d.extra) mode = 2;
    }

    const std::optional<int> number = int_columns(line, 23, 26);
    std::optional<double> x = real_columns(line, 31, 38);
    std::optional<double> y = real_columns(line, 39, 46);
    std::optional<double> z = real_columns(line, 47, 54);
    if (!number || !x || !y || !z || !complete_atom_record(line)) cannot_read(s, d.lineno, line);
    const char chain = record_chain(line);
    if (mode == 3) add_extra_digits(s, line, d.lineno, *x, *y, *z);
    for (const double c : {*x, *y, *z})
      if (!known_coordinate(c)) cannot_read(s, d.lineno, line);

    if (d.ch1 == ' ') d.ch1 = chain;
    if (first_only) {
      if (chain != d.ch1) break;  // state stays -1: the file ends with this model
    } else if (!every_chain && !chain_selected(chain, sel)) {
      continue;
    }
    const char alt = char_at(line, 17);
    if (alt >= 'B' && alt <= 'Z') continue;

    const std::string_view name = rtrim(line.size() >= 18 ? line.substr(17, 4) : std::string_view());
    int r;
    if (d.last_valid && chain == d.last_chain && *number == d.last_number && name == d.last_name) {
      r = d.last_residue;
    } else {
      r = iresid(s, residue_id(chain, *number), name, unknown);
      d.last_valid = true;
      d.last_chain = chain;
      d.last_number = *number;
      d.last_name.assign(name);
      d.last_residue = r;
    }
    if (r == 0) continue;
    if (r != previous && d.seen[std::size_t(r)]) {
      state = d.lineno;  // this record begins the next model
      break;
    }
    d.seen[std::size_t(r)] = 1;
    previous = r;
    const int a = record_atom(s, record_atom_name(line, atom_name), r, unknown);
    if (a == 0) continue;
    if (v.iael(a) != 0) {  // pseudo atoms have no coordinates of their own
      const int col = v.col(0, a);
      if (v.coo(1, col) == unknown_value) ++d.stored;
      v.coo(1, col) = *x;
      v.coo(2, col) = *y;
      v.coo(3, col) = *z;
    }
  }
  finish_model(s, mode, unknown);
}

}  // namespace veldrix
