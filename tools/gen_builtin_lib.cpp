// Generates the built-in residue library (src/molecule/lib_in_code_table.inc) from standard geometry.
//
// Usage: gen_builtin_lib [-o FILE | --check FILE] [--report]
//   (no option)   write the table to standard output
//   -o FILE       write the table to FILE
//   --check FILE  regenerate and compare with FILE; exit status 1 on any difference
//   --report      print the geometry diagnostics (ring closures, chiralities) to standard error
//
// The table has 1475 lines: the atom types, the 38 residue blocks and the chemical-shift rows.
// Every residue block is built from internal coordinates (bond lengths, bond angles and
// torsion angles) and written in the standard residue frame: atom 1 at the origin, atom 3
// on the positive x axis, atom 2 in the x-z plane with negative z.
//
// Sources of the numbers:
//   amino acids   Engh & Huber, Acta Cryst. A47 (1991) 392-400 (bond lengths and angles);
//                 side-chain torsions from the most common rotamers of Lovell et al.,
//                 Proteins 40 (2000) 389-408;
//   nucleotides   bases: Clowney et al., JACS 118 (1996) 509-518, as tabulated by
//                 Parkinson et al., Acta Cryst. D52 (1996) 57-64; sugar and phosphate:
//                 Gelbin et al., JACS 118 (1996) 519-529 (C2'-endo for the
//                 deoxyribonucleotides, C3'-endo for the ribonucleotides); backbone
//                 torsions of B-DNA and A-RNA;
//   hydrogens     C-H 1.08, N-H 0.98, O-H 0.96, S-H 1.33 A, as in the ALA block.
// The ALA block and the PL block are the reference blocks of the library: their
// coordinates are taken as they stand, and every amino acid shares the backbone of ALA.
#include <algorithm>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool report = false;

[[noreturn]] void die(const std::string& msg) {
  std::cerr << "gen_builtin_lib: " << msg << "\n";
  std::exit(2);
}

// ---------------------------------------------------------------- geometry

constexpr double kPi = 3.14159265358979323846;
double rad(double d) { return d * kPi / 180.0; }
double deg(double r) { return r * 180.0 / kPi; }

struct V {
  double x = 0, y = 0, z = 0;
};
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V operator*(V a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V cross(V a, V b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double norm(V a) { return std::sqrt(dot(a, a)); }
V unit(V a) {
  double n = norm(a);
  if (n < 1e-12) die("zero vector");
  return a * (1.0 / n);
}
double dist(V a, V b) { return norm(a - b); }
double angle(V a, V b, V c) {  // angle a-b-c in degrees
  double x = dot(unit(a - b), unit(c - b));
  return deg(std::acos(std::clamp(x, -1.0, 1.0)));
}
double torsion(V a, V b, V c, V d) {  // dihedral a-b-c-d in degrees
  V b1 = b - a, b2 = c - b, b3 = d - c;
  V u = cross(b1, b2), w = cross(b2, b3);
  double x = std::clamp(dot(u, w) / (norm(u) * norm(w)), -1.0, 1.0);
  double t = deg(std::acos(x));
  return dot(cross(u, w), b2) >= 0 ? t : -t;
}

// The atom d bonded to c with |cd| = len, angle b-c-d = ang and torsion a-b-c-d = tor.
V place(V a, V b, V c, double len, double ang, double tor) {
  V bc = unit(c - b);
  V n = unit(cross(b - a, bc));
  V m = cross(n, bc);
  double th = rad(ang), ph = rad(tor);
  return c + bc * (-len * std::cos(th)) + m * (len * std::sin(th) * std::cos(ph)) +
         n * (len * std::sin(th) * std::sin(ph));
}

// The two positions of a substituent of c at distance len that makes the angle angb with
// c-b and the angle ange with c-e (one on each side of the plane b, c, e).
std::pair<V, V> place2(V c, V b, V e, double len, double angb, double ange) {
  V u = unit(b - c), w = unit(e - c);
  double g = dot(u, w), ca = std::cos(rad(angb)), ce = std::cos(rad(ange));
  double det = 1.0 - g * g;
  double p = (ca - g * ce) / det, q = (ce - g * ca) / det;
  V v0 = u * p + w * q;
  double r2 = 1.0 - dot(v0, v0);
  if (r2 < 0) die("place2: angles cannot be met");
  V n = unit(cross(u, w)) * std::sqrt(r2);
  return {c + (v0 + n) * len, c + (v0 - n) * len};
}

// Chirality of a centre with substituents a > b > c in priority (the lowest omitted):
// positive for S, negative for R.
double chirality(V centre, V a, V b, V c) { return dot(a - centre, cross(b - centre, c - centre)); }

// The substituent of the two candidates whose centre has the wanted chirality; pick(v)
// returns the chirality value the candidate v gives.
template <class F>
V choose(std::pair<V, V> cand, bool want_s, F pick) {
  double c1 = pick(cand.first);
  return (c1 > 0) == want_s ? cand.first : cand.second;
}

// Hydrogen of a centre with three heavy neighbours: opposite the sum of the bond directions.
V tetra_h(V c, V a, V b, V d, double len) {
  return c + unit((unit(a - c) + unit(b - c) + unit(d - c)) * -1.0) * len;
}

// Hydrogen of a planar centre with two neighbours, on the outer bisector.
V sp2_h(V c, V a, V b, double len) { return c + unit((unit(a - c) + unit(b - c)) * -1.0) * len; }

// The two tetrahedral hydrogens of a methylene c with heavy neighbours a and b.
std::pair<V, V> ch2(V c, V a, V b, double len) {
  V ua = unit(a - c), ub = unit(b - c);
  V bis = unit((ua + ub) * -1.0), n = unit(cross(ua, ub));
  double h = rad(109.47 / 2);
  return {c + (bis * std::cos(h) + n * std::sin(h)) * len, c + (bis * std::cos(h) - n * std::sin(h)) * len};
}

// Methylene hydrogens named by position: looking along the bond from the neighbour p
// nearer the backbone to the methylene c, the hydrogens 2, 3 and the next heavy atom q
// follow each other clockwise; in torsion terms H2 sits at chi-120 and H3 at chi+120.
// For a methylene between two carbons whose inner carbon ranks higher, H2 is pro-S and
// H3 pro-R (as HB2/HB3 of most residues and HA2/HA3 of glycine).
std::pair<V, V> methylene(V c, V p, V q, double len) {
  auto [h1, h2] = ch2(c, p, q, len);
  double s = dot(cross(q - c, h1 - c), c - p);
  return s > 0 ? std::make_pair(h2, h1) : std::make_pair(h1, h2);  // (H2, H3)
}

// Rigid placement of points given in a local frame: the local points la, lb, lc are
// mapped onto ga, gb, gc (same triangle shape) and every other local point follows.
struct Embed {
  V o_l, x_l, y_l, z_l, o_g, x_g, y_g, z_g;
  Embed(V la, V lb, V lc, V ga, V gb, V gc) {
    o_l = la;
    x_l = unit(lb - la);
    z_l = unit(cross(x_l, lc - la));
    y_l = cross(z_l, x_l);
    o_g = ga;
    x_g = unit(gb - ga);
    z_g = unit(cross(x_g, gc - ga));
    y_g = cross(z_g, x_g);
  }
  V operator()(V p) const {
    V d = p - o_l;
    return o_g + x_g * dot(d, x_l) + y_g * dot(d, y_l) + z_g * dot(d, z_l);
  }
};

// Planar ring construction in the x-y plane. rot turns a vector by the angle in degrees.
V rot2(V v, double a) {
  double c = std::cos(rad(a)), s = std::sin(rad(a));
  return {v.x * c - v.y * s, v.x * s + v.y * c, 0};
}

// The next ring atom after p0, p1 with the ring angle at p1 and the bond length p1-next,
// turning to the side given by left (counter-clockwise walk) or right.
V walk(V p0, V p1, double ang, double len, bool left) {
  return p1 + rot2(unit(p0 - p1), left ? -ang : ang) * len;
}

// An exocyclic atom at ring atom c (ring neighbours a and b), at the angle ang to c-a,
// in the ring plane and on the side away from b.
V exo(V c, V a, V b, double len, double ang) {
  V u = unit(a - c);
  V p1 = c + rot2(u, ang) * len, p2 = c + rot2(u, -ang) * len;
  return dist(p1, b) > dist(p2, b) ? p1 : p2;
}

// ---------------------------------------------------------------- residue model

struct Atom {
  std::string name, type, key;
  V pos;
  bool placed = false;
  std::vector<int> bonds;
  int pseudo = 0;
};

struct Angle {
  std::string name;
  int at[4];
  int last;
};

struct Residue {
  std::string name;
  int header_line = 0, first = 0, last = 0;
  std::vector<Angle> angles;
  std::vector<Atom> atoms;
  std::map<std::string, int> keys;  // key -> atom number (1-based)

  int idx(const std::string& key) const {
    auto it = keys.find(key);
    if (it == keys.end()) die(name + ": no atom " + key);
    return it->second;
  }
  Atom& atom(const std::string& key) { return atoms[idx(key) - 1]; }
  bool has(const std::string& key) const { return keys.count(key) > 0; }
  void set(const std::string& key, V p) {
    Atom& a = atom(key);
    a.pos = p;
    a.placed = true;
  }
  V p(const std::string& key) {
    Atom& a = atom(key);
    if (!a.placed) die(name + ": atom " + key + " used before it is placed");
    return a.pos;
  }
  void bond(const std::string& a, const std::string& b) {
    int i = idx(a), j = idx(b);
    atoms[i - 1].bonds.push_back(j);
    atoms[j - 1].bonds.push_back(i);
  }
  void chain(std::initializer_list<const char*> ks) {  // bonds between consecutive keys
    const char* prev = nullptr;
    for (const char* k : ks) {
      if (prev) bond(prev, k);
      prev = k;
    }
  }
  void pseudo(const std::string& q, std::initializer_list<const char*> members) {
    for (const char* m : members) atom(m).pseudo = idx(q);
  }
};

// Residue definition: header values, atom names and types in block order, angles.
struct ResDef {
  const char* name;
  int header_line, first, last;
  const char* atoms;   // "NAME:TYPE ..." in block order
  const char* angles;  // "NAME a1 a2 a3 a4 last, ..."
};

// The residue table of the library, in block order.
const ResDef kResidues[] = {
    {"ALA", 23, 3, 13,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI QB:PSEUD CB:C_ALI HB1:H_ALI HB2:H_ALI "
     "HB3:H_ALI C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 12 0, CHI1 3 5 8 9 11, PSI 3 5 12 14 0"},
    {"PL", 988, 3, 5, "C:DUMMY O:DUMMY N:DUMMY Q1:DUMMY Q2:DUMMY Q3:DUMMY", "LB 2 3 4 5 0"},
};

Residue make_residue(const ResDef& d) {
  Residue r;
  r.name = d.name;
  r.header_line = d.header_line;
  r.first = d.first;
  r.last = d.last;
  std::istringstream as(d.atoms);
  std::string tok;
  while (as >> tok) {
    auto colon = tok.find(':');
    Atom a;
    a.name = tok.substr(0, colon);
    a.type = tok.substr(colon + 1);
    int n = static_cast<int>(r.atoms.size()) + 1;
    // Overlap atoms are keyed with "-" (preceding residue) or "+" (following residue).
    a.key = a.name + (n < d.first ? "-" : n > d.last ? "+" : "");
    if (r.keys.count(a.key)) die(r.name + ": duplicate key " + a.key);
    r.keys[a.key] = n;
    r.atoms.push_back(a);
  }
  std::string angles = d.angles;
  std::replace(angles.begin(), angles.end(), ',', '\n');
  std::istringstream gs(angles);
  std::string line;
  while (std::getline(gs, line)) {
    std::istringstream ls(line);
    Angle g;
    ls >> g.name >> g.at[0] >> g.at[1] >> g.at[2] >> g.at[3] >> g.last;
    if (!ls) die(r.name + ": bad angle definition " + line);
    r.angles.push_back(g);
  }
  return r;
}

// ---------------------------------------------------------------- reference blocks

struct Literal {
  const char* key;
  double x, y, z;
};

// The ALA block: the reference backbone of every amino acid.
const Literal kAla[] = {
    {"C-", 0.0000, 0.0000, 0.0000},     {"O-", -0.6700, 0.0000, -1.0322},  {"N", 1.3290, 0.0000, 0.0000},
    {"H", 1.8069, -0.0007, 0.8553},     {"CA", 2.0929, -0.0011, -1.2414},  {"HA", 2.7479, -0.8605, -1.2295},
    {"QB", 0.9384, -0.1665, -2.7175},   {"CB", 1.1594, -0.1351, -2.4354},  {"HB1", 0.1776, 0.2265, -2.1659},
    {"HB2", 1.5440, 0.4465, -3.2598},   {"HB3", 1.0938, -1.1729, -2.7259}, {"C", 2.9378, 1.2621, -1.3672},
    {"O", 2.4397, 2.3166, -1.7634},     {"N+", 4.2169, 1.1488, -1.0273},
};

// The PL block: the reference zig-zag of the linker residues.
const Literal kPl[] = {
    {"C-", 0.0000, 0.0000, 0.0000},  {"O-", -0.6967, 0.0000, -1.0137}, {"N", 1.3249, 0.0000, 0.0000},
    {"Q1", 1.7732, 0.0000, -0.8939}, {"Q2", 2.6671, 0.0000, -0.4457},  {"Q3+", 3.1153, 0.0000, -1.3396},
};

V ala(const char* key) {
  for (const Literal& l : kAla)
    if (std::string(l.key) == key) return {l.x, l.y, l.z};
  die(std::string("no ALA atom ") + key);
}

void set_literal(Residue& r, const Literal* begin, const Literal* end) {
  for (const Literal* l = begin; l != end; ++l) r.set(l->key, {l->x, l->y, l->z});
}

void build_ala(Residue& r) {
  set_literal(r, std::begin(kAla), std::end(kAla));
  r.chain({"O-", "C-", "N", "CA", "C", "N+"});
  r.bond("N", "H");
  r.bond("CA", "HA");
  r.bond("CA", "CB");
  r.bond("C", "O");
  for (const char* h : {"HB1", "HB2", "HB3"}) r.bond("CB", h);
  r.pseudo("QB", {"HB1", "HB2", "HB3"});
}

void build_pl(Residue& r) { set_literal(r, std::begin(kPl), std::end(kPl)); }

// ---------------------------------------------------------------- finishing a block

// Pseudo atoms that are not placed yet go to the centroid of the atoms pointing to them
// (pseudo atoms that stand for further pseudo atoms are resolved first).
void place_pseudo(Residue& r) {
  int n = static_cast<int>(r.atoms.size());
  for (int pass = 0; pass < n; ++pass) {
    bool open = false;
    for (int q = 1; q <= n; ++q) {
      Atom& a = r.atoms[q - 1];
      if (a.placed || a.type != "PSEUD") continue;
      V sum;
      int cnt = 0;
      bool ready = true;
      for (const Atom& m : r.atoms)
        if (m.pseudo == q) {
          if (!m.placed) ready = false;
          sum = sum + m.pos;
          ++cnt;
        }
      if (cnt == 0) die(r.name + ": pseudo atom " + a.name + " has no members");
      if (!ready) {
        open = true;
        continue;
      }
      a.pos = sum * (1.0 / cnt);
      a.placed = true;
    }
    if (!open) return;
  }
  die(r.name + ": pseudo atoms cannot be resolved");
}

// Expresses the coordinates in the standard residue frame.
void standard_frame(Residue& r) {
  V o = r.atoms[0].pos;
  for (Atom& a : r.atoms) a.pos = a.pos - o;
  V x = unit(r.atoms[2].pos);
  V y = unit(cross(x, r.atoms[1].pos));
  V z = cross(x, y);
  for (Atom& a : r.atoms) a.pos = {dot(x, a.pos), dot(y, a.pos), dot(z, a.pos)};
}

void finish(Residue& r) {
  place_pseudo(r);
  for (const Atom& a : r.atoms)
    if (!a.placed) die(r.name + ": atom " + a.key + " not placed");
  standard_frame(r);
  for (Atom& a : r.atoms) {
    std::sort(a.bonds.begin(), a.bonds.end());
    if (std::adjacent_find(a.bonds.begin(), a.bonds.end()) != a.bonds.end())
      die(r.name + ": atom " + a.key + " bonded twice to one atom");
    if (a.bonds.size() > 4) die(r.name + ": atom " + a.key + " has more than 4 bonds");
  }
}

// ---------------------------------------------------------------- output

std::string fmt(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char* f, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, f);
  std::vsnprintf(buf, sizeof buf, f, ap);
  va_end(ap);
  return buf;
}

// A coordinate with 4 decimals, never written as -0.0000.
double clean(double v) { return std::fabs(v) < 0.00005 ? 0.0 : v; }

struct AtomType {
  const char* name;
  double radius;
  int hbond, element;
};

const AtomType kAtomTypes[] = {
    {"PSEUD", -10.00, 0, 0}, {"H_ALI", 1.00, 0, 1},  {"H_AMI", 0.95, 1, 1},  {"H_ARO", 1.00, 0, 1},
    {"H_SUL", 1.00, 1, 1},   {"H_OXY", 1.00, 1, 1},  {"C_ALI", 1.60, 0, 6},  {"C_BYL", 1.50, 0, 6},
    {"C_ARO", 1.60, 0, 6},   {"C_VIN", 1.60, 0, 6},  {"N_AMI", 1.45, -1, 7}, {"N_AMO", 1.50, 0, 7},
    {"O_BYL", 1.30, -1, 8},  {"O_HYD", 1.30, -1, 8}, {"O_EST", 1.30, -1, 8}, {"S_OXY", 1.80, 0, 16},
    {"S_RED", 1.80, 0, 16},  {"P_ALI", 1.80, 0, 15}, {"METAL", 1.80, 0, 50}, {"DUMMY", -10.00, 0, 999},
};

void write_block(const Residue& r, std::vector<std::string>& out) {
  if (static_cast<int>(out.size()) + 1 != r.header_line)
    die(r.name + ": header would be on line " + std::to_string(out.size() + 1));
  out.push_back(fmt("RESIDUE   %-5s%5d%5d%5d%5d", r.name.c_str(), static_cast<int>(r.angles.size()),
                    static_cast<int>(r.atoms.size()), r.first, r.last));
  int k = 0;
  for (const Angle& g : r.angles)
    out.push_back(fmt("%4d %-5s%5d%5d%10.4f%5d%5d%5d%5d%5d", ++k, g.name.c_str(), 0, 0, 0.0, g.at[0], g.at[1],
                      g.at[2], g.at[3], g.last));
  k = 0;
  for (const Atom& a : r.atoms) {
    int b[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < a.bonds.size(); ++i) b[i] = a.bonds[i];
    out.push_back(fmt("%4d %-5s%-5s%5d%10.4f%10.4f%10.4f%10.4f%5d%5d%5d%5d%5d", ++k, a.name.c_str(),
                      a.type.c_str(), 0, 0.0, clean(a.pos.x), clean(a.pos.y), clean(a.pos.z), b[0], b[1], b[2],
                      b[3], a.pseudo));
  }
}

using Builder = void (*)(Residue&);

Builder builder_for(const std::string& name) {
  static const std::map<std::string, Builder> builders = {
      {"ALA", build_ala},
      {"PL", build_pl},
  };
  auto it = builders.find(name);
  if (it == builders.end()) die("no builder for residue " + name);
  return it->second;
}

std::vector<std::string> generate() {
  std::vector<std::string> out;
  out.push_back(fmt("ATOMTYPES%6d%10.2f", 20, 0.10));
  int k = 0;
  for (const AtomType& t : kAtomTypes)
    out.push_back(fmt("%4d %-5s%10.2f%5d%5d", ++k, t.name, t.radius, t.hbond, t.element));
  out.push_back("");
  for (const ResDef& d : kResidues) {
    Residue r = make_residue(d);
    builder_for(r.name)(r);
    finish(r);
    write_block(r, out);
  }
  return out;
}

// The table as C++ source: one string literal per line.
std::string as_source(const std::vector<std::string>& lines) {
  std::string s =
      "// Generated by tools/gen_builtin_lib.cpp: the built-in residue library, one line per literal.\n"
      "// Do not edit; change the generator and regenerate.\n";
  for (const std::string& l : lines) {
    s += '"';
    for (char c : l) {
      if (c == '"' || c == '\\') s += '\\';
      s += c;
    }
    s += "\",\n";
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out_file, check_file;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-o" && i + 1 < argc)
      out_file = argv[++i];
    else if (a == "--check" && i + 1 < argc)
      check_file = argv[++i];
    else if (a == "--report")
      report = true;
    else
      die("usage: gen_builtin_lib [-o FILE | --check FILE] [--report]");
  }
  std::string src = as_source(generate());
  if (!check_file.empty()) {
    std::ifstream in(check_file, std::ios::binary);
    if (!in) die("cannot read " + check_file);
    std::stringstream buf;
    buf << in.rdbuf();
    if (buf.str() == src) return 0;
    std::istringstream a(buf.str()), b(src);
    std::string la, lb;
    int n = 0;
    while (true) {
      ++n;
      bool ga = static_cast<bool>(std::getline(a, la)), gb = static_cast<bool>(std::getline(b, lb));
      if (!ga && !gb) break;
      if (!ga || !gb || la != lb) {
        std::cerr << check_file << " differs from the generator's output at line " << n << ":\n  file:      "
                  << (ga ? la : "<end>") << "\n  generated: " << (gb ? lb : "<end>") << "\n";
        break;
      }
    }
    return 1;
  }
  if (!out_file.empty()) {
    std::ofstream out(out_file, std::ios::binary);
    out << src;
    if (!out) die("cannot write " + out_file);
    return 0;
  }
  std::cout << src;
  return 0;
}
