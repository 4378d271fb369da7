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
#include <cmath>
#include <cstdarg>
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
V tetra_h(V c, V a, V b, V d, double len) { return c + unit((unit(a - c) + unit(b - c) + unit(d - c)) * -1.0) * len; }

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
V walk(V p0, V p1, double ang, double len, bool left) { return p1 + rot2(unit(p0 - p1), left ? -ang : ang) * len; }

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
    {"ARG", 42, 3, 31,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG2:H_ALI HG3:H_ALI QG:PSEUD CD:C_ALI HD2:H_ALI HD3:H_ALI QD:PSEUD NE:N_AMI "
     "HE:H_AMI CZ:C_VIN NH1:N_AMO HH11:H_AMI HH12:H_AMI QH1:PSEUD NH2:N_AMO HH21:H_AMI "
     "HH22:H_AMI QH2:PSEUD C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 30 0, CHI1 3 5 7 11 29, CHI2 5 7 11 15 29, CHI3 7 11 15 19 29, "
     "CHI4 11 15 19 21 29, PSI 3 5 30 32 0"},
    {"ASN", 82, 3, 18,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_BYL OD1:O_BYL ND2:N_AMI HD21:H_AMI HD22:H_AMI QD2:PSEUD C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 17 0, CHI1 3 5 7 11 16, CHI2 5 7 11 12 16, PSI 3 5 17 19 0"},
    {"ASP", 107, 3, 15,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_BYL OD1:O_BYL OD2:O_BYL C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 14 0, CHI1 3 5 7 11 13, CHI2 5 7 11 12 13, PSI 3 5 14 16 0"},
    {"CYS", 129, 3, 14,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "SG:S_RED HG:H_SUL C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 13 0, CHI1 3 5 7 11 12, CHI2 5 7 11 12 12, PSI 3 5 13 15 0"},
    {"CYSS", 150, 3, 13,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "SG:S_OXY C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 12 0, CHI1 3 5 7 11 11, PSI 3 5 12 14 0"},
    {"GLN", 169, 3, 22,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG2:H_ALI HG3:H_ALI QG:PSEUD CD:C_BYL OE1:O_BYL NE2:N_AMI HE21:H_AMI HE22:H_AMI "
     "QE2:PSEUD C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 21 0, CHI1 3 5 7 11 20, CHI2 5 7 11 15 20, CHI3 7 11 15 16 20, "
     "PSI 3 5 21 23 0"},
    {"GLU", 199, 3, 19,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG2:H_ALI HG3:H_ALI QG:PSEUD CD:C_BYL OE1:O_BYL OE2:O_BYL C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 18 0, CHI1 3 5 7 11 17, CHI2 5 7 11 15 17, CHI3 7 11 15 16 17, "
     "PSI 3 5 18 20 0"},
    {"GLY", 226, 3, 10,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA2:H_ALI HA3:H_ALI QA:PSEUD C:C_BYL O:O_BYL "
     "N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 9 0, PSI 3 5 9 11 0"},
    {"HIS", 241, 3, 20,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_VIN ND1:N_AMO CD2:C_ARO HD1:H_AMI CE1:C_ARO NE2:N_AMO HD2:H_ARO HE1:H_ARO C:C_BYL "
     "O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 19 0, CHI1 3 5 7 11 18, CHI2 5 7 11 12 18, PSI 3 5 19 21 0"},
    {"ILE", 268, 3, 24,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB:H_ALI QG2:PSEUD CG2:C_ALI "
     "HG21:H_ALI HG22:H_ALI HG23:H_ALI CG1:C_ALI HG12:H_ALI HG13:H_ALI QG1:PSEUD QD1:PSEUD "
     "CD1:C_ALI HD11:H_ALI HD12:H_ALI HD13:H_ALI C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 23 0, CHI1 3 5 7 14 22, CHI22 5 7 10 11 13, CHI21 5 7 14 19 22, "
     "CHI31 7 14 19 20 22, PSI 3 5 23 25 0"},
    {"LEU", 301, 3, 25,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG:H_ALI QD1:PSEUD QD2:PSEUD CD1:C_ALI HD11:H_ALI HD12:H_ALI HD13:H_ALI CD2:C_ALI "
     "HD21:H_ALI HD22:H_ALI HD23:H_ALI QQD:PSEUD C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 24 0, CHI1 3 5 7 11 23, CHI2 5 7 11 15 23, CHI31 7 11 15 16 18, "
     "CHI32 7 11 19 20 22, PSI 3 5 24 26 0"},
    {"LYS", 335, 3, 29,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG2:H_ALI HG3:H_ALI QG:PSEUD CD:C_ALI HD2:H_ALI HD3:H_ALI QD:PSEUD CE:C_ALI "
     "HE2:H_ALI HE3:H_ALI QE:PSEUD NZ:N_AMO HZ1:H_AMI HZ2:H_AMI HZ3:H_AMI QZ:PSEUD C:C_BYL "
     "O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 28 0, CHI1 3 5 7 11 27, CHI2 5 7 11 15 27, CHI3 7 11 15 19 27, "
     "CHI4 11 15 19 23 27, CHI5 15 19 23 24 27, PSI 3 5 28 30 0"},
    {"MET", 374, 3, 22,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG2:H_ALI HG3:H_ALI QG:PSEUD SD:S_RED QE:PSEUD CE:C_ALI HE1:H_ALI HE2:H_ALI "
     "HE3:H_ALI C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 21 0, CHI1 3 5 7 11 20, CHI2 5 7 11 15 20, CHI3 7 11 15 17 20, "
     "CHI4 11 15 17 18 20, PSI 3 5 21 23 0"},
    {"PHE", 405, 3, 26,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "QD:PSEUD QE:PSEUD QR:PSEUD CG:C_VIN CD1:C_ARO HD1:H_ARO CE1:C_ARO HE1:H_ARO CZ:C_ARO "
     "HZ:H_ARO CE2:C_ARO HE2:H_ARO CD2:C_ARO HD2:H_ARO C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 25 0, CHI1 3 5 7 14 24, CHI2 5 7 14 15 24, PSI 3 5 25 27 0"},
    {"PRO", 438, 3, 19,
     "C:C_BYL O:O_BYL N:N_AMI CD:C_ALI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_ALI HG2:H_ALI HG3:H_ALI QG:PSEUD HD2:H_ALI HD3:H_ALI QD:PSEUD C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PSI 3 5 18 20 0"},
    {"SER", 461, 3, 14,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "OG:O_HYD HG:H_OXY C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 13 0, CHI1 3 5 7 11 12, CHI2 5 7 11 12 12, PSI 3 5 13 15 0"},
    {"THR", 482, 3, 17,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB:H_ALI QG2:PSEUD OG1:O_HYD "
     "HG1:H_OXY CG2:C_ALI HG21:H_ALI HG22:H_ALI HG23:H_ALI C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 16 0, CHI1 3 5 7 10 15, CHI21 5 7 10 11 11, CHI22 5 7 12 13 15, "
     "PSI 3 5 16 18 0"},
    {"TRP", 507, 3, 27,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "CG:C_VIN CD1:C_ARO CD2:C_VIN CE3:C_ARO CE2:C_VIN NE1:N_AMI HD1:H_ARO HE3:H_ARO CZ3:C_ARO "
     "CZ2:C_ARO HE1:H_AMI HZ3:H_ARO CH2:C_ARO HZ2:H_ARO HH2:H_ARO C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 26 0, CHI1 3 5 7 11 25, CHI2 5 7 11 12 25, PSI 3 5 26 28 0"},
    {"TYR", 541, 3, 27,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB2:H_ALI HB3:H_ALI QB:PSEUD "
     "QD:PSEUD QE:PSEUD QR:PSEUD CG:C_VIN CD1:C_ARO HD1:H_ARO CE1:C_ARO HE1:H_ARO CZ:C_VIN "
     "CE2:C_ARO HE2:H_ARO CD2:C_ARO HD2:H_ARO OH:O_HYD HH:H_OXY C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 26 0, CHI1 3 5 7 14 25, CHI2 5 7 14 15 25, CHI6 17 19 24 25 25, "
     "PSI 3 5 26 28 0"},
    {"VAL", 576, 3, 21,
     "C:C_BYL O:O_BYL N:N_AMI H:H_AMI CA:C_ALI HA:H_ALI CB:C_ALI HB:H_ALI QG1:PSEUD QG2:PSEUD "
     "CG1:C_ALI HG11:H_ALI HG12:H_ALI HG13:H_ALI CG2:C_ALI HG21:H_ALI HG22:H_ALI HG23:H_ALI "
     "QQG:PSEUD C:C_BYL O:O_BYL N:N_AMI",
     "OMEGA 2 1 3 4 0, PHI 1 3 5 20 0, CHI1 3 5 7 11 19, CHI21 5 7 11 12 14, CHI22 5 7 15 16 18, "
     "PSI 3 5 20 22 0"},
    {"ADE", 605, 3, 37,
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI H2\":H_ALI Q2':PSEUD "
     "C1':C_ALI H1':H_ALI O4':O_EST N9:N_AMI C4:C_ARO N3:N_AMI C2:C_ARO H2:H_ARO N1:N_AMI "
     "C6:C_ARO N6:N_AMI H61:H_AMI H62:H_AMI Q6:PSEUD C5:C_ARO N7:N_AMI C8:C_ARO H8:H_ARO "
     "O3':O_EST P:P_ALI",
     "ZETA 1 2 3 6 0, ALPHA 2 3 6 7 0, BETA 3 6 7 11 0, GAMMA 6 7 11 13 0, DELTA 7 11 13 37 0, "
     "NU2 11 13 15 19 36, NU1 13 15 19 21 36, CHI 21 19 22 23 36, EPSI 11 13 37 38 0"},
    {"RADE", 653, 3, 37,
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI O2':O_HYD HO2':H_OXY "
     "C1':C_ALI H1':H_ALI O4':O_EST N9:N_AMI C4:C_ARO N3:N_AMI C2:C_ARO H2:H_ARO N1:N_AMI "
     "C6:C_ARO N6:N_AMI H61:H_AMI H62:H_AMI Q6:PSEUD C5:C_ARO N7:N_AMI C8:C_ARO H8:H_ARO "
     "O3':O_EST P:P_ALI",
     "ZETA 1 2 3 6 0, ALPHA 2 3 6 7 0, BETA 3 6 7 11 0, GAMMA 6 7 11 13 0, DELTA 7 11 13 37 0, "
     "NU2 11 13 15 19 36, HOXI 13 15 17 18 18, NU1 13 15 19 21 36, CHI 21 19 22 23 36, EPSI 11 "
     "13 37 38 0"},
    {"CYT", 702, 3, 35,
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI H2\":H_ALI Q2':PSEUD "
     "C1':C_ALI H1':H_ALI O4':O_EST N1:N_AMI C2:C_ARO O2:O_BYL N3:N_AMI C4:C_ARO N4:N_AMI "
     "H41:H_AMI H42:H_AMI Q4:PSEUD C5:C_ARO H5:H_ARO C6:C_ARO H6:H_ARO O3':O_EST P:P_ALI",
     "ZETA 1 2 3 6 0, ALPHA 2 3 6 7 0, BETA 3 6 7 11 0, GAMMA 6 7 11 13 0, DELTA 7 11 13 35 0, "
     "NU2 11 13 15 19 34, NU1 13 15 19 21 34, CHI 21 19 22 23 34, EPSI 11 13 35 36 0"},
    {"RCYT", 748, 3, 35,
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI O2':O_HYD HO2':H_OXY "
     "C1':C_ALI H1':H_ALI O4':O_EST N1:N_AMI C2:C_ARO O2:O_BYL N3:N_AMI C4:C_ARO N4:N_AMI "
     "H41:H_AMI H42:H_AMI Q4:PSEUD C5:C_ARO H5:H_ARO C6:C_ARO H6:H_ARO O3':O_EST P:P_ALI",
     "ZETA 1 2 3 6 0, ALPHA 2 3 6 7 0, BETA 3 6 7 11 0, GAMMA 6 7 11 13 0, DELTA 7 11 13 35 0, "
     "NU2 11 13 15 19 34, HOXI 13 15 17 18 18, NU1 13 15 19 21 34, CHI 21 19 22 23 34, EPSI 11 "
     "13 35 36 0"},
    {"GUA", 795, 3, 38,
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI H2\":H_ALI Q2':PSEUD "
     "C1':C_ALI H1':H_ALI O4':O_EST N9:N_AMI C4:C_ARO N3:N_AMI C2:C_ARO N2:N_AMI H21:H_AMI "
     "H22:H_AMI Q2:PSEUD N1:N_AMI H1:H_AMI C6:C_ARO O6:O_BYL C5:C_ARO N7:N_AMI C8:C_ARO H8:H_ARO "
     "O3':O_EST P:P_ALI",
     "ZETA 1 2 3 6 0, ALPHA 2 3 6 7 0, BETA 3 6 7 11 0, GAMMA 6 7 11 13 0, DELTA 7 11 13 38 0, "
     "NU2 11 13 15 19 37, NU1 13 15 19 21 37, CHI 21 19 22 23 37, EPSI 11 13 38 39 0"},
    {"RGUA", 844, 3, 38,
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI O2':O_HYD HO2':H_OXY "
     "C1':C_ALI H1':H_ALI O4':O_EST N9:N_AMI C4:C_ARO N3:N_AMI C2:C_ARO N2:N_AMI H21:H_AMI "
     "H22:H_AMI Q2:PSEUD N1:N_AMI H1:H_AMI C6:C_ARO O6:O_BYL C5:C_ARO N7:N_AMI C8:C_ARO H8:H_ARO "
     "O3':O_EST P:P_ALI",
     "ZETA 1 2 3 6 0, ALPHA 2 3 6 7 0, BETA 3 6 7 11 0, GAMMA 6 7 11 13 0, DELTA 7 11 13 38 0, "
     "NU2 11 13 15 19 37, HOXI 13 15 17 18 18, NU1 13 15 19 21 37, CHI 21 19 22 23 37, EPSI 11 "
     "13 38 39 0"},
    {"THY", 894, 3, 37,
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI H2\":H_ALI Q2':PSEUD "
     "C1':C_ALI H1':H_ALI O4':O_EST N1:N_AMI C2:C_ARO O2:O_BYL N3:N_AMI H3:H_AMI C4:C_ARO "
     "O4:O_BYL C5:C_ARO C7:C_ALI H71:H_ALI H72:H_ALI H73:H_ALI Q7:PSEUD C6:C_ARO H6:H_ARO "
     "O3':O_EST P:P_ALI",
     "ZETA 1 2 3 6 0, ALPHA 2 3 6 7 0, BETA 3 6 7 11 0, GAMMA 6 7 11 13 0, DELTA 7 11 13 37 0, "
     "NU2 11 13 15 19 36, NU1 13 15 19 21 36, CHI 21 19 22 23 36, CHI2 27 29 30 31 33, EPSI 11 "
     "13 37 38 0"},
    {"URA", 943, 3, 33,
     "C3':C_ALI O3':O_EST P:P_ALI OP1:O_BYL OP2:O_BYL O5':O_EST C5':C_ALI H5':H_ALI H5\":H_ALI "
     "Q5':PSEUD C4':C_ALI H4':H_ALI C3':C_ALI H3':H_ALI C2':C_ALI H2':H_ALI O2':O_HYD HO2':H_OXY "
     "C1':C_ALI H1':H_ALI O4':O_EST N1:N_AMI C2:C_ARO O2:O_BYL N3:N_AMI H3:H_AMI C4:C_ARO "
     "O4:O_BYL C5:C_ARO H5:H_ARO C6:C_ARO H6:H_ARO O3':O_EST P:P_ALI",
     "ZETA 1 2 3 6 0, ALPHA 2 3 6 7 0, BETA 3 6 7 11 0, GAMMA 6 7 11 13 0, DELTA 7 11 13 33 0, "
     "NU2 11 13 15 19 32, HOXI 13 15 17 18 18, NU1 13 15 19 21 32, CHI 21 19 22 23 32, EPSI 11 "
     "13 33 34 0"},
    {"PL", 988, 3, 5, "C:DUMMY O:DUMMY N:DUMMY Q1:DUMMY Q2:DUMMY Q3:DUMMY", "LB 2 3 4 5 0"},
    {"NL", 996, 3, 5, "C3':DUMMY O3':DUMMY P:DUMMY Q1:DUMMY Q2:DUMMY Q3:DUMMY", "LB 2 3 4 5 0"},
    {"LL", 1004, 3, 5, "Q1:DUMMY Q2:DUMMY Q3:DUMMY Q1:DUMMY Q2:DUMMY Q3:DUMMY", "LB 2 3 4 5 0"},
    {"LL2", 1012, 3, 5, "Q1:DUMMY Q2:DUMMY Q3:DUMMY Q1:DUMMY Q2:DUMMY Q3:DUMMY", "LB 2 3 4 5 0"},
    {"LL5", 1020, 3, 5, "Q1:DUMMY Q2:DUMMY Q3:DUMMY Q1:DUMMY Q2:DUMMY Q3:DUMMY", "LB 2 3 4 5 0"},
    {"LP", 1028, 3, 5, "Q1:DUMMY Q2:DUMMY Q3:DUMMY C:DUMMY O:DUMMY N:DUMMY", "LB 2 3 4 5 0"},
    {"LN", 1036, 3, 5, "Q1:DUMMY Q2:DUMMY Q3:DUMMY C3':DUMMY O3':DUMMY P:DUMMY", "LB 2 3 4 5 0"},
    {"ION", 1044, 3, 6, "Q1:DUMMY Q2:DUMMY Q3:DUMMY ME:METAL Q1:DUMMY Q2:DUMMY Q3:DUMMY", "LB 2 3 5 6 0"},
    {"ORI", 1053, 3, 9, "Q1:DUMMY Q2:DUMMY Q3:DUMMY A0:DUMMY AX:DUMMY AY:DUMMY AZ:DUMMY Q1:DUMMY Q2:DUMMY Q3:DUMMY",
     "LB 2 3 4 8 0"},
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
    {"C-", 0.0000, 0.0000, 0.0000},   {"O-", -0.6700, 0.0000, -1.0322},  {"N", 1.3290, 0.0000, 0.0000},
    {"H", 1.8069, -0.0007, 0.8553},   {"CA", 2.0929, -0.0011, -1.2414},  {"HA", 2.7479, -0.8605, -1.2295},
    {"QB", 0.9384, -0.1665, -2.7175}, {"CB", 1.1594, -0.1351, -2.4354},  {"HB1", 0.1776, 0.2265, -2.1659},
    {"HB2", 1.5440, 0.4465, -3.2598}, {"HB3", 1.0938, -1.1729, -2.7259}, {"C", 2.9378, 1.2621, -1.3672},
    {"O", 2.4397, 2.3166, -1.7634},   {"N+", 4.2169, 1.1488, -1.0273},
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

void place_pseudo(Residue& r);  // defined with the finishing steps below

// ---------------------------------------------------------------- helpers for the builders

constexpr double kCH = 1.08, kNH = 0.98, kOH = 0.96, kSH = 1.33;  // bonds to hydrogen
constexpr double kTet = 109.5;                                    // X-Y-H at a tetrahedral Y

void note(const Residue& r, const std::string& what, double value, double standard) {
  if (report)
    std::fprintf(stderr, "%-5s %-28s %9.4f  (standard %9.4f, off %+.4f)\n", r.name.c_str(), what.c_str(), value,
                 standard, value - standard);
}

// A ring-closing bond comes out of the construction; it must match its standard length.
void closure(const Residue& r, const std::string& what, V a, V b, double standard) {
  double d = dist(a, b);
  note(r, "closure " + what, d, standard);
  if (std::fabs(d - standard) > 0.02) die(r.name + ": ring closure " + what + " is off");
}

// Sets atom key at place(a, b, c, ...) and bonds it to c.
void put(Residue& r, const char* key, const char* a, const char* b, const char* c, double len, double ang, double tor) {
  r.set(key, place(r.p(a), r.p(b), r.p(c), len, ang, tor));
  r.bond(c, key);
}

// The two hydrogens of methylene c (inner neighbour p, outer neighbour q), named h2 and h3.
void put_ch2(Residue& r, const char* c, const char* p, const char* q, const char* h2, const char* h3) {
  auto [a, b] = methylene(r.p(c), r.p(p), r.p(q), kCH);
  r.set(h2, a);
  r.set(h3, b);
  r.bond(c, h2);
  r.bond(c, h3);
}

// Three staggered hydrogens on c (bonded to b); the first at torsion tor from ref-b-c.
void put_h3(Residue& r, const char* ref, const char* b, const char* c, double len, double tor,
            std::initializer_list<const char*> names) {
  double t = tor;
  for (const char* h : names) {
    put(r, h, ref, b, c, len, kTet, t);
    t += 120;
  }
}

void put_tetra_h(Residue& r, const char* h, const char* c, const char* a, const char* b, const char* d) {
  r.set(h, tetra_h(r.p(c), r.p(a), r.p(b), r.p(d), kCH));
  r.bond(c, h);
}

void put_sp2_h(Residue& r, const char* h, const char* c, const char* a, const char* b, double len) {
  r.set(h, sp2_h(r.p(c), r.p(a), r.p(b), len));
  r.bond(c, h);
}

// ---------------------------------------------------------------- amino acids
//
// Side-chain torsions: the most common rotamer of each residue type (chi1 -60 for the
// m rotamers). Methylene hydrogens are named by methylene(); methyl groups are staggered.

// The backbone shared with ALA: C, O of the preceding residue, N, H, CA, HA, CB, C, O and
// the N of the following residue, as far as the residue has them.
void backbone(Residue& r) {
  for (const char* k : {"C-", "O-", "N", "H", "CA", "HA", "CB", "C", "O", "N+"})
    if (r.has(k)) r.set(k, ala(k));
  r.chain({"O-", "C-", "N", "CA", "C", "N+"});
  r.bond("C", "O");
  if (r.has("H")) r.bond("N", "H");
  if (r.has("HA")) r.bond("CA", "HA");
  if (r.has("CB")) r.bond("CA", "CB");
}

void put_hb(Residue& r, const char* next) {  // HB2, HB3 and QB of a CH2 beta carbon
  put_ch2(r, "CB", "CA", next, "HB2", "HB3");
  r.pseudo("QB", {"HB2", "HB3"});
}

void build_arg(Residue& r) {  // rotamer mtt180
  backbone(r);
  put(r, "CG", "N", "CA", "CB", 1.520, 114.1, -60);
  put(r, "CD", "CA", "CB", "CG", 1.520, 111.3, 180);
  put(r, "NE", "CB", "CG", "CD", 1.460, 112.0, 180);
  put(r, "CZ", "CG", "CD", "NE", 1.329, 124.2, 180);
  put(r, "NH1", "CD", "NE", "CZ", 1.326, 120.0, 0);  // NH1 cis to CD
  put(r, "NH2", "CD", "NE", "CZ", 1.326, 120.0, 180);
  put_sp2_h(r, "HE", "NE", "CD", "CZ", kNH);
  put(r, "HH11", "NE", "CZ", "NH1", kNH, 120.0, 0);  // HH11, HH21 cis to NE
  put(r, "HH12", "NE", "CZ", "NH1", kNH, 120.0, 180);
  put(r, "HH21", "NE", "CZ", "NH2", kNH, 120.0, 0);
  put(r, "HH22", "NE", "CZ", "NH2", kNH, 120.0, 180);
  put_hb(r, "CG");
  put_ch2(r, "CG", "CB", "CD", "HG2", "HG3");
  put_ch2(r, "CD", "CG", "NE", "HD2", "HD3");
  r.pseudo("QG", {"HG2", "HG3"});
  r.pseudo("QD", {"HD2", "HD3"});
  r.pseudo("QH1", {"HH11", "HH12"});
  r.pseudo("QH2", {"HH21", "HH22"});
}

void build_asn(Residue& r) {  // rotamer m-20
  backbone(r);
  put(r, "CG", "N", "CA", "CB", 1.516, 112.6, -60);
  put(r, "OD1", "CA", "CB", "CG", 1.231, 120.8, -20);
  put(r, "ND2", "CA", "CB", "CG", 1.328, 116.4, 160);
  put(r, "HD21", "OD1", "CG", "ND2", kNH, 120.0, 0);  // HD21 cis to OD1
  put(r, "HD22", "OD1", "CG", "ND2", kNH, 120.0, 180);
  put_hb(r, "CG");
  r.pseudo("QD2", {"HD21", "HD22"});
}

void build_asp(Residue& r) {  // rotamer m-20
  backbone(r);
  put(r, "CG", "N", "CA", "CB", 1.516, 112.6, -60);
  put(r, "OD1", "CA", "CB", "CG", 1.249, 118.4, -20);
  put(r, "OD2", "CA", "CB", "CG", 1.249, 118.4, 160);
  put_hb(r, "CG");
}

void build_cys(Residue& r) {  // rotamer m
  backbone(r);
  put(r, "SG", "N", "CA", "CB", 1.808, 114.4, -60);
  put(r, "HG", "CA", "CB", "SG", kSH, 96.0, 180);
  put_hb(r, "SG");
}

void build_cyss(Residue& r) {  // the half-cystine of a disulfide bridge, rotamer m
  backbone(r);
  put(r, "SG", "N", "CA", "CB", 1.808, 114.4, -60);
  put_hb(r, "SG");
}

void build_gln(Residue& r) {  // rotamer mt-30
  backbone(r);
  put(r, "CG", "N", "CA", "CB", 1.520, 114.1, -60);
  put(r, "CD", "CA", "CB", "CG", 1.516, 112.6, 180);
  put(r, "OE1", "CB", "CG", "CD", 1.231, 120.8, -30);
  put(r, "NE2", "CB", "CG", "CD", 1.328, 116.4, 150);
  put(r, "HE21", "OE1", "CD", "NE2", kNH, 120.0, 0);  // HE21 cis to OE1
  put(r, "HE22", "OE1", "CD", "NE2", kNH, 120.0, 180);
  put_hb(r, "CG");
  put_ch2(r, "CG", "CB", "CD", "HG2", "HG3");
  r.pseudo("QG", {"HG2", "HG3"});
  r.pseudo("QE2", {"HE21", "HE22"});
}

void build_glu(Residue& r) {  // rotamer mt-10
  backbone(r);
  put(r, "CG", "N", "CA", "CB", 1.520, 114.1, -60);
  put(r, "CD", "CA", "CB", "CG", 1.516, 112.6, 180);
  put(r, "OE1", "CB", "CG", "CD", 1.249, 118.4, -10);
  put(r, "OE2", "CB", "CG", "CD", 1.249, 118.4, 170);
  put_hb(r, "CG");
  put_ch2(r, "CG", "CB", "CD", "HG2", "HG3");
  r.pseudo("QG", {"HG2", "HG3"});
}

void build_gly(Residue& r) {
  backbone(r);
  put_ch2(r, "CA", "N", "C", "HA2", "HA3");
  r.pseudo("QA", {"HA2", "HA3"});
  // HA3 takes the place of the alpha hydrogen of the L-amino acids.
  note(r, "HA3 to HA of ALA", dist(r.p("HA3"), ala("HA")), 0.0);
  if (dist(r.p("HA3"), ala("HA")) > 0.1) die("GLY: HA3 is not at the alpha-hydrogen position");
}

// Histidine with the proton on ND1. Ring from neutral imidazole: bonds and angles of the
// N-protonated tautomer; the ring lies in the plane, CG at the origin.
void build_his(Residue& r) {  // rotamer m-70
  backbone(r);
  V cg{0, 0, 0}, nd1{1.372, 0, 0};
  V ce1 = walk(cg, nd1, 106.9, 1.349, true);
  V ne2 = walk(nd1, ce1, 111.9, 1.313, true);
  V cd2 = walk(ce1, ne2, 104.9, 1.378, true);
  closure(r, "CD2-CG", cd2, cg, 1.358);
  note(r, "angle NE2-CD2-CG", angle(ne2, cd2, cg), 110.7);
  note(r, "angle CD2-CG-ND1", angle(cd2, cg, nd1), 105.6);
  V cb = exo(cg, nd1, cd2, 1.497, 122.7);
  V g_cg = place(r.p("N"), r.p("CA"), r.p("CB"), 1.497, 113.8, -60);
  V g_nd1 = place(r.p("CA"), r.p("CB"), g_cg, 1.372, 122.7, -70);
  Embed e(cg, cb, nd1, g_cg, r.p("CB"), g_nd1);
  r.set("CG", e(cg));
  r.set("ND1", e(nd1));
  r.set("CE1", e(ce1));
  r.set("NE2", e(ne2));
  r.set("CD2", e(cd2));
  r.chain({"CB", "CG", "ND1", "CE1", "NE2", "CD2", "CG"});
  put_sp2_h(r, "HD1", "ND1", "CG", "CE1", kNH);
  put_sp2_h(r, "HE1", "CE1", "ND1", "NE2", kCH);
  put_sp2_h(r, "HD2", "CD2", "NE2", "CG", kCH);
  put_hb(r, "CG");
}

void build_ile(Residue& r) {  // rotamer mt
  backbone(r);
  put(r, "CG1", "N", "CA", "CB", 1.530, 110.4, -60);
  // CB of isoleucine is S (priorities CA > CG1 > CG2).
  V cb = r.p("CB"), ca = r.p("CA"), cg1 = r.p("CG1");
  r.set("CG2", choose(place2(cb, ca, cg1, 1.521, 110.5, 110.7), true, [&](V x) { return chirality(cb, ca, cg1, x); }));
  r.bond("CB", "CG2");
  put(r, "CD1", "CA", "CB", "CG1", 1.513, 113.8, 170);
  put_tetra_h(r, "HB", "CB", "CA", "CG1", "CG2");
  put_h3(r, "CA", "CB", "CG2", kCH, 180, {"HG21", "HG22", "HG23"});
  put_ch2(r, "CG1", "CB", "CD1", "HG12", "HG13");
  put_h3(r, "CB", "CG1", "CD1", kCH, 180, {"HD11", "HD12", "HD13"});
  r.pseudo("QG2", {"HG21", "HG22", "HG23"});
  r.pseudo("QG1", {"HG12", "HG13"});
  r.pseudo("QD1", {"HD11", "HD12", "HD13"});
}

void build_leu(Residue& r) {  // rotamer mt
  backbone(r);
  put(r, "CG", "N", "CA", "CB", 1.530, 116.3, -60);
  put(r, "CD1", "CA", "CB", "CG", 1.521, 110.7, 175);
  // CD1 is the pro-R methyl.
  V cg = r.p("CG"), cb = r.p("CB"), cd1 = r.p("CD1");
  r.set("CD2", choose(place2(cg, cb, cd1, 1.521, 110.7, 110.8), false, [&](V x) { return chirality(cg, cb, cd1, x); }));
  r.bond("CG", "CD2");
  put_tetra_h(r, "HG", "CG", "CB", "CD1", "CD2");
  put_h3(r, "CB", "CG", "CD1", kCH, 180, {"HD11", "HD12", "HD13"});
  put_h3(r, "CB", "CG", "CD2", kCH, 180, {"HD21", "HD22", "HD23"});
  put_hb(r, "CG");
  r.pseudo("QD1", {"HD11", "HD12", "HD13"});
  r.pseudo("QD2", {"HD21", "HD22", "HD23"});
  // QQD stands for both methyl pseudo atoms; their centroid is also that of the six hydrogens.
  r.pseudo("QQD", {"QD1", "QD2"});
}

void build_lys(Residue& r) {  // rotamer mttt
  backbone(r);
  put(r, "CG", "N", "CA", "CB", 1.520, 114.1, -60);
  put(r, "CD", "CA", "CB", "CG", 1.520, 111.3, 180);
  put(r, "CE", "CB", "CG", "CD", 1.520, 111.3, 180);
  put(r, "NZ", "CG", "CD", "CE", 1.489, 111.9, 180);
  put_h3(r, "CD", "CE", "NZ", kNH, 180, {"HZ1", "HZ2", "HZ3"});
  put_hb(r, "CG");
  put_ch2(r, "CG", "CB", "CD", "HG2", "HG3");
  put_ch2(r, "CD", "CG", "CE", "HD2", "HD3");
  put_ch2(r, "CE", "CD", "NZ", "HE2", "HE3");
  r.pseudo("QG", {"HG2", "HG3"});
  r.pseudo("QD", {"HD2", "HD3"});
  r.pseudo("QE", {"HE2", "HE3"});
  r.pseudo("QZ", {"HZ1", "HZ2", "HZ3"});
}

void build_met(Residue& r) {  // rotamer mtm
  backbone(r);
  put(r, "CG", "N", "CA", "CB", 1.520, 114.1, -60);
  put(r, "SD", "CA", "CB", "CG", 1.803, 112.7, 180);
  put(r, "CE", "CB", "CG", "SD", 1.791, 100.9, -70);
  put_h3(r, "CG", "SD", "CE", kCH, 180, {"HE1", "HE2", "HE3"});
  put_hb(r, "CG");
  put_ch2(r, "CG", "CB", "SD", "HG2", "HG3");
  r.pseudo("QG", {"HG2", "HG3"});
  r.pseudo("QE", {"HE1", "HE2", "HE3"});
}

// Phenylalanine and tyrosine: a regular hexagon (C-C 1.383 A, 120 degrees) with CB on the
// axis through CG and CZ, so that QD, QE and QR stay on the axis of CHI2.
void build_aromatic6(Residue& r, double cb_cg, double ca_cb_cg, bool hydroxyl) {  // rotamer m-85
  backbone(r);
  const double s = 1.383;
  V centre{s, 0, 0};
  auto vertex = [&](double a) { return centre + V{std::cos(rad(a)), std::sin(rad(a)), 0} * s; };
  V cg = vertex(180), cd1 = vertex(120), ce1 = vertex(60), cz = vertex(0), ce2 = vertex(-60), cd2 = vertex(-120);
  V cb{-cb_cg, 0, 0};
  V g_cg = place(r.p("N"), r.p("CA"), r.p("CB"), cb_cg, ca_cb_cg, -60);
  V g_cd1 = place(r.p("CA"), r.p("CB"), g_cg, s, 120.0, -85);
  Embed e(cg, cb, cd1, g_cg, r.p("CB"), g_cd1);
  auto radial = [&](V c, double len) { return e(c + unit(c - centre) * len); };
  r.set("CG", e(cg));
  r.set("CD1", e(cd1));
  r.set("CE1", e(ce1));
  r.set("CZ", e(cz));
  r.set("CE2", e(ce2));
  r.set("CD2", e(cd2));
  r.chain({"CB", "CG", "CD1", "CE1", "CZ", "CE2", "CD2", "CG"});
  r.set("HD1", radial(cd1, kCH));
  r.set("HE1", radial(ce1, kCH));
  r.set("HE2", radial(ce2, kCH));
  r.set("HD2", radial(cd2, kCH));
  r.bond("CD1", "HD1");
  r.bond("CE1", "HE1");
  r.bond("CE2", "HE2");
  r.bond("CD2", "HD2");
  if (hydroxyl) {
    r.set("OH", radial(cz, 1.376));
    r.bond("CZ", "OH");
    put(r, "HH", "CE1", "CZ", "OH", kOH, kTet, 180);
  } else {
    r.set("HZ", radial(cz, kCH));
    r.bond("CZ", "HZ");
  }
  put_hb(r, "CG");
  r.pseudo("QD", {"HD1", "HD2"});
  r.pseudo("QE", {"HE1", "HE2"});
  // QR stands for QD and QE; in the regular ring their centroid is the ring centre.
  r.pseudo("QR", {"QD", "QE"});
  place_pseudo(r);
  double off = dist(r.p("QR"), e(centre));
  note(r, "QR to ring centre", off, 0.0);
  if (off > 1e-6) die(r.name + ": QR is not at the ring centre");
}

void build_phe(Residue& r) { build_aromatic6(r, 1.502, 113.8, false); }
void build_tyr(Residue& r) { build_aromatic6(r, 1.512, 113.9, true); }

// Proline. Its phi is fixed by the ring, at -63 degrees (the ALA block has another phi):
// the atoms beyond N-CA are those of ALA turned about N-CA. CB takes proline's own
// N-CA-CB angle, CD lies in the peptide plane, and CG closes the ring with the
// C-gamma-endo pucker (CG on the side of the carbonyl carbon).
void build_pro(Residue& r) {
  backbone(r);
  V n = r.p("N"), ca = r.p("CA");
  double turn = -63.0 - torsion(r.p("C-"), n, ca, r.p("C"));
  V axis = unit(ca - n);
  auto turned = [&](V p) {  // Rodrigues' rotation about N-CA
    V v = p - n;
    double c = std::cos(rad(turn)), s = std::sin(rad(turn));
    return n + v * c + cross(axis, v) * s + axis * (dot(axis, v) * (1 - c));
  };
  for (const char* k : {"C", "O", "N+"}) r.set(k, turned(r.p(k)));
  V c = r.p("C");
  r.set("CB", choose(place2(ca, n, c, 1.530, 103.0, 110.1), true, [&](V x) { return chirality(ca, n, c, x); }));
  r.set("CD", place(r.p("C-"), ca, n, 1.473, 112.0, 180));
  r.bond("N", "CD");
  // CG: on the circle of points 1.492 from CB and 1.503 from CD, where the ring angles come
  // closest to their standard values, on the endo side.
  V cb = r.p("CB"), cd = r.p("CD");
  V mid = (cb + cd) * 0.5, ax = unit(cd - cb);
  double d = dist(cb, cd), a = (1.492 * 1.492 - 1.503 * 1.503 + d * d) / (2 * d);
  V centre = cb + ax * a;
  double rad_c = std::sqrt(1.492 * 1.492 - a * a);
  V u = unit(cross(ax, ca - mid)), w = cross(ax, u);
  V plane_n = unit(cross(cb - n, cd - ca));
  V plane_c = (n + ca + cb + cd) * 0.25;
  double side_c = dot(plane_n, c - plane_c);
  double best = 1e30;
  V best_cg;
  for (int i = 0; i < 36000; ++i) {
    double t = rad(i * 0.01);
    V x = centre + (u * std::cos(t) + w * std::sin(t)) * rad_c;
    if ((dot(plane_n, x - plane_c) > 0) != (side_c > 0)) continue;
    double e1 = angle(ca, cb, x) - 104.5, e2 = angle(cb, x, cd) - 106.1, e3 = angle(x, cd, n) - 103.2;
    double cost = e1 * e1 + e2 * e2 + e3 * e3;
    if (cost < best) {
      best = cost;
      best_cg = x;
    }
  }
  r.set("CG", best_cg);
  r.chain({"CB", "CG", "CD"});
  note(r, "chi1 (endo)", torsion(n, ca, cb, best_cg), 30.0);
  note(r, "angle CA-CB-CG", angle(ca, cb, best_cg), 104.5);
  note(r, "angle CB-CG-CD", angle(cb, best_cg, cd), 106.1);
  note(r, "angle CG-CD-N", angle(best_cg, cd, n), 103.2);
  r.set("HA", tetra_h(ca, n, c, cb, kCH));  // bonded to CA by backbone()
  put_hb(r, "CG");
  put_ch2(r, "CG", "CB", "CD", "HG2", "HG3");
  put_ch2(r, "CD", "CG", "N", "HD2", "HD3");
  r.pseudo("QG", {"HG2", "HG3"});
  r.pseudo("QD", {"HD2", "HD3"});
}

void build_ser(Residue& r) {  // rotamer p
  backbone(r);
  put(r, "OG", "N", "CA", "CB", 1.417, 111.1, 60);
  put(r, "HG", "CA", "CB", "OG", kOH, kTet, 180);
  put_hb(r, "OG");
}

void build_thr(Residue& r) {  // rotamer p
  backbone(r);
  put(r, "OG1", "N", "CA", "CB", 1.433, 109.6, 60);
  // CB of threonine is R (priorities OG1 > CA > CG2).
  V cb = r.p("CB"), ca = r.p("CA"), og1 = r.p("OG1");
  r.set("CG2", choose(place2(cb, ca, og1, 1.521, 110.5, 109.3), false, [&](V x) { return chirality(cb, og1, ca, x); }));
  r.bond("CB", "CG2");
  put_tetra_h(r, "HB", "CB", "CA", "OG1", "CG2");
  put(r, "HG1", "CA", "CB", "OG1", kOH, kTet, 180);
  put_h3(r, "CA", "CB", "CG2", kCH, 180, {"HG21", "HG22", "HG23"});
  r.pseudo("QG2", {"HG21", "HG22", "HG23"});
}

// Tryptophan: the indole ring, five-membered ring first, CG at the origin.
void build_trp(Residue& r) {  // rotamer m95
  backbone(r);
  V cg{0, 0, 0}, cd1{1.365, 0, 0};
  V ne1 = walk(cg, cd1, 110.2, 1.374, true);
  V ce2 = walk(cd1, ne1, 108.9, 1.370, true);
  V cd2 = walk(ne1, ce2, 107.4, 1.409, true);
  closure(r, "CD2-CG", cd2, cg, 1.433);
  note(r, "angle CE2-CD2-CG", angle(ce2, cd2, cg), 107.2);
  note(r, "angle CD2-CG-CD1", angle(cd2, cg, cd1), 106.3);
  V cz2 = walk(cd2, ce2, 122.4, 1.394, true);
  V ch2 = walk(ce2, cz2, 117.5, 1.368, true);
  V cz3 = walk(cz2, ch2, 121.5, 1.400, true);
  V ce3 = walk(ch2, cz3, 121.1, 1.382, true);
  closure(r, "CE3-CD2", ce3, cd2, 1.398);
  note(r, "angle NE1-CE2-CZ2", angle(ne1, ce2, cz2), 130.1);
  note(r, "angle CG-CD2-CE3", angle(cg, cd2, ce3), 133.9);
  note(r, "angle CZ3-CE3-CD2", angle(cz3, ce3, cd2), 118.6);
  V cb = exo(cg, cd1, cd2, 1.498, 127.0);
  V g_cg = place(r.p("N"), r.p("CA"), r.p("CB"), 1.498, 113.6, -60);
  V g_cd1 = place(r.p("CA"), r.p("CB"), g_cg, 1.365, 127.0, 95);
  Embed e(cg, cb, cd1, g_cg, r.p("CB"), g_cd1);
  const std::pair<const char*, V> ring[] = {{"CG", cg},   {"CD1", cd1}, {"NE1", ne1}, {"CE2", ce2}, {"CD2", cd2},
                                            {"CZ2", cz2}, {"CH2", ch2}, {"CZ3", cz3}, {"CE3", ce3}};
  for (const auto& [k, v] : ring) r.set(k, e(v));
  r.chain({"CB", "CG", "CD1", "NE1", "CE2", "CD2", "CG"});
  r.chain({"CE2", "CZ2", "CH2", "CZ3", "CE3", "CD2"});
  put_sp2_h(r, "HD1", "CD1", "CG", "NE1", kCH);
  put_sp2_h(r, "HE1", "NE1", "CD1", "CE2", kNH);
  put_sp2_h(r, "HZ2", "CZ2", "CE2", "CH2", kCH);
  put_sp2_h(r, "HH2", "CH2", "CZ2", "CZ3", kCH);
  put_sp2_h(r, "HZ3", "CZ3", "CH2", "CE3", kCH);
  put_sp2_h(r, "HE3", "CE3", "CZ3", "CD2", kCH);
  put_hb(r, "CG");
}

void build_val(Residue& r) {  // rotamer t
  backbone(r);
  put(r, "CG1", "N", "CA", "CB", 1.521, 110.5, 175);
  // CG1 is the pro-R methyl.
  V cb = r.p("CB"), ca = r.p("CA"), cg1 = r.p("CG1");
  r.set("CG2", choose(place2(cb, ca, cg1, 1.521, 110.5, 110.8), false, [&](V x) { return chirality(cb, ca, cg1, x); }));
  r.bond("CB", "CG2");
  put_tetra_h(r, "HB", "CB", "CA", "CG1", "CG2");
  put_h3(r, "CA", "CB", "CG1", kCH, 180, {"HG11", "HG12", "HG13"});
  put_h3(r, "CA", "CB", "CG2", kCH, 180, {"HG21", "HG22", "HG23"});
  r.pseudo("QG1", {"HG11", "HG12", "HG13"});
  r.pseudo("QG2", {"HG21", "HG22", "HG23"});
  r.pseudo("QQG", {"QG1", "QG2"});
}

// ---------------------------------------------------------------- nucleotides
//
// Sugar: the furanose ring is built from C4' with the endocyclic torsions of the
// pseudorotation cycle, nu_j = nu_max cos(P + 144 (j - 2)), around the phase P = 162
// (C2'-endo, deoxyribose) or P = 18 (C3'-endo, ribose). Bond lengths and three ring angles
// are set; the phase (within 12 degrees of the nominal one) and the amplitude nu_max are
// those at which the ring closes with the standard C1'-O4' bond and the two remaining
// ring angles come closest to theirs (P = 172 and 6.8, nu_max = 33.4 and 35.6 degrees).
// Substituents of the ring follow the configuration of beta-D-(2'-deoxy)ribose:
// C1' R, C2' R (ribose), C3' S, C4' R.
// The phosphate backbone uses the torsions of B-DNA (deoxy) and A-RNA (ribo).

// The argument in [lo, hi] where f is least: a grid of 100 steps, refined four times
// around the best point (resolution better than 1e-6 of the interval).
template <class F>
double scan_min(double lo, double hi, F f) {
  double best_x = lo, best = 1e300;
  for (int level = 0; level < 5; ++level) {
    double step = (hi - lo) / 100;
    for (int i = 0; i <= 100; ++i) {
      double x = lo + i * step, e = f(x);
      if (e < best) {
        best = e;
        best_x = x;
      }
    }
    lo = best_x - step;
    hi = best_x + step;
  }
  return best_x;
}

struct SugarGeom {
  double phase;
  double c1c2, c2c3, c3c4, c4o4, o4c1, c3o3, c4c5;
  double at_c2, at_c3, at_c4, at_o4, at_c1;  // ring angles C1'-C2'-C3', C2'-C3'-C4', C3'-C4'-O4', ...
  double c3c4c5, o4c4c5, c4c3o3, c2c3o3, o4c1n, c2c1n;
  double o5c5c4;
  double alpha, beta, gamma, epsilon, zeta, chi;  // backbone and glycosidic torsions
};

const SugarGeom kDeoxy = {162.0, 1.521, 1.525, 1.528, 1.446, 1.420, 1.431, 1.510, 102.5, 103.1, 106.0,  109.7, 105.9,
                          114.7, 109.6, 110.3, 110.6, 108.0, 113.7, 110.2, -60.0, 180.0, 50.0,  -175.0, -95.0, -105.0};
const SugarGeom kRibo = {18.0,  1.528, 1.525, 1.524, 1.453, 1.414, 1.423, 1.508, 101.5, 102.6, 105.5,  109.6, 107.6,
                         115.2, 109.2, 110.5, 111.0, 108.2, 113.4, 110.2, -68.0, 178.0, 54.0,  -155.0, -70.0, -160.0};

// A planar base in the x-y plane, with the glycosidic carbon C1' in its plane.
struct Base {
  std::vector<std::pair<std::string, V>> atoms;  // ring and exocyclic atoms, C1' included
  std::vector<std::pair<std::string, std::string>> bonds;
  std::string n_glyco, next;  // N9/N1 and C4/C2: the atoms of CHI
  V at(const std::string& k) const {
    for (const auto& [n, v] : atoms)
      if (n == k) return v;
    die("base has no atom " + k);
  }
  void add(const std::string& k, V v) { atoms.emplace_back(k, v); }
};

// The two amino hydrogens of an exocyclic N (bonded to c), the first on the side of cis_to.
void amino_h(Base& b, const std::string& n, const std::string& c, const std::string& cis_to, const std::string& h_cis,
             const std::string& h_trans) {
  V pn = b.at(n), u = unit(b.at(c) - pn);
  V h1 = pn + rot2(u, 120) * kNH, h2 = pn + rot2(u, -120) * kNH;
  if (dist(h1, b.at(cis_to)) > dist(h2, b.at(cis_to))) std::swap(h1, h2);
  b.add(h_cis, h1);
  b.add(h_trans, h2);
  b.bonds.push_back({n, h_cis});
  b.bonds.push_back({n, h_trans});
}

void base_closure(const Residue& r, const Base& b, const char* x, const char* y, double standard) {
  closure(r, std::string(x) + "-" + y, b.at(x), b.at(y), standard);
}

// Purines (adenine, guanine): the shared bond C4-C5 first, the six-membered ring walked
// one way from it and the five-membered ring the other way.
Base purine(const Residue& r, bool guanine) {
  Base b;
  b.n_glyco = "N9";
  b.next = "C4";
  // Bond lengths and angles of adenine / guanine.
  const double c4c5 = guanine ? 1.379 : 1.383, c5c6 = guanine ? 1.419 : 1.406, c6n1 = guanine ? 1.391 : 1.351,
               n1c2 = guanine ? 1.373 : 1.339, c2n3 = guanine ? 1.323 : 1.331, n3c4 = guanine ? 1.350 : 1.344,
               c5n7 = guanine ? 1.388 : 1.388, n7c8 = guanine ? 1.305 : 1.311, c8n9 = guanine ? 1.374 : 1.373,
               n9c4 = guanine ? 1.375 : 1.374;
  const double a_c5 = guanine ? 118.8 : 117.0, a_c6 = guanine ? 111.5 : 117.7, a_n1 = guanine ? 125.1 : 118.6,
               a_c2 = guanine ? 123.9 : 129.3, a_c5n7 = guanine ? 110.8 : 110.7, a_n7 = guanine ? 104.3 : 103.9,
               a_c8 = guanine ? 113.1 : 113.8;
  V c4{0, 0, 0}, c5{c4c5, 0, 0};
  V c6 = walk(c4, c5, a_c5, c5c6, true);
  V n1 = walk(c5, c6, a_c6, c6n1, true);
  V c2 = walk(c6, n1, a_n1, n1c2, true);
  V n3 = walk(n1, c2, a_c2, c2n3, true);
  V n7 = walk(c4, c5, a_c5n7, c5n7, false);
  V c8 = walk(c5, n7, a_n7, n7c8, false);
  V n9 = walk(n7, c8, a_c8, c8n9, false);
  for (auto [k, v] : {std::pair<const char*, V>{"C4", c4},
                      {"C5", c5},
                      {"C6", c6},
                      {"N1", n1},
                      {"C2", c2},
                      {"N3", n3},
                      {"N7", n7},
                      {"C8", c8},
                      {"N9", n9}})
    b.add(k, v);
  base_closure(r, b, "N3", "C4", n3c4);
  base_closure(r, b, "N9", "C4", n9c4);
  note(r, "angle C2-N3-C4", angle(c2, n3, c4), guanine ? 111.9 : 110.6);
  note(r, "angle C8-N9-C4", angle(c8, n9, c4), guanine ? 106.4 : 105.8);
  b.add("C1'", exo(n9, c4, c8, 1.460, 126.4));
  b.bonds = {{"N9", "C4"}, {"C4", "N3"}, {"N3", "C2"}, {"C2", "N1"}, {"N1", "C6"},
             {"C6", "C5"}, {"C5", "C4"}, {"C5", "N7"}, {"N7", "C8"}, {"C8", "N9"}};
  b.add("H8", sp2_h(c8, n7, n9, kCH));
  b.bonds.push_back({"C8", "H8"});
  if (guanine) {
    b.add("O6", exo(c6, n1, c5, 1.237, 119.9));
    b.add("N2", exo(c2, n1, n3, 1.341, 116.2));
    b.add("H1", sp2_h(n1, c6, c2, kNH));
    b.bonds.insert(b.bonds.end(), {{"C6", "O6"}, {"C2", "N2"}, {"N1", "H1"}});
    amino_h(b, "N2", "C2", "N1", "H21", "H22");
  } else {
    b.add("N6", exo(c6, n1, c5, 1.335, 118.6));
    b.add("H2", sp2_h(c2, n1, n3, kCH));
    b.bonds.insert(b.bonds.end(), {{"C6", "N6"}, {"C2", "H2"}});
    amino_h(b, "N6", "C6", "N1", "H61", "H62");
  }
  return b;
}

// Pyrimidines (cytosine, thymine, uracil): the ring walked from N1.
Base pyrimidine(const Residue& r, char kind) {
  Base b;
  b.n_glyco = "N1";
  b.next = "C2";
  struct G {
    double n1c2, c2n3, n3c4, c4c5, c5c6, c6n1, a_c2, a_n3, a_c4, a_c5, a_c6, a_n1, c1_angle;
  };
  // Ring bonds N1-C2 .. C6-N1, ring angles at C2 .. N1, and the angle C2-N1-C1'.
  const G cytosine{1.397, 1.353, 1.335, 1.425, 1.339, 1.367, 119.2, 119.9, 121.9, 117.4, 121.0, 120.3, 118.8};
  const G thymine{1.376, 1.373, 1.382, 1.445, 1.339, 1.378, 114.6, 127.2, 115.2, 118.0, 123.7, 121.3, 118.2};
  const G uracil{1.381, 1.373, 1.380, 1.431, 1.337, 1.375, 114.9, 127.0, 114.6, 119.7, 122.7, 121.0, 117.7};
  const G& g = kind == 'C' ? cytosine : kind == 'T' ? thymine : uracil;
  V n1{0, 0, 0}, c2{g.n1c2, 0, 0};
  V n3 = walk(n1, c2, g.a_c2, g.c2n3, true);
  V c4 = walk(c2, n3, g.a_n3, g.n3c4, true);
  V c5 = walk(n3, c4, g.a_c4, g.c4c5, true);
  V c6 = walk(c4, c5, g.a_c5, g.c5c6, true);
  for (auto [k, v] : {std::pair<const char*, V>{"N1", n1}, {"C2", c2}, {"N3", n3}, {"C4", c4}, {"C5", c5}, {"C6", c6}})
    b.add(k, v);
  base_closure(r, b, "C6", "N1", g.c6n1);
  note(r, "angle C5-C6-N1", angle(c5, c6, n1), g.a_c6);
  note(r, "angle C6-N1-C2", angle(c6, n1, c2), g.a_n1);
  b.add("C1'", exo(n1, c2, c6, 1.470, g.c1_angle));
  b.bonds = {{"N1", "C2"}, {"C2", "N3"}, {"N3", "C4"}, {"C4", "C5"}, {"C5", "C6"}, {"C6", "N1"}};
  b.add("O2", exo(c2, n1, n3,
                  kind == 'C'   ? 1.240
                  : kind == 'T' ? 1.220
                                : 1.219,
                  kind == 'C'   ? 118.9
                  : kind == 'T' ? 123.1
                                : 122.8));
  b.add("H6", sp2_h(c6, c5, n1, kCH));
  b.bonds.insert(b.bonds.end(), {{"C2", "O2"}, {"C6", "H6"}});
  if (kind == 'C') {
    b.add("N4", exo(c4, n3, c5, 1.335, 118.0));
    b.add("H5", sp2_h(c5, c4, c6, kCH));
    b.bonds.insert(b.bonds.end(), {{"C4", "N4"}, {"C5", "H5"}});
    amino_h(b, "N4", "C4", "N3", "H41", "H42");
  } else {
    b.add("O4", exo(c4, n3, c5, kind == 'T' ? 1.228 : 1.232, kind == 'T' ? 119.9 : 119.4));
    b.add("H3", sp2_h(n3, c2, c4, kNH));
    b.bonds.insert(b.bonds.end(), {{"C4", "O4"}, {"N3", "H3"}});
    if (kind == 'T') {
      b.add("C7", exo(c5, c4, c6, 1.496, 119.0));
      b.bonds.push_back({"C5", "C7"});
    } else {
      b.add("H5", sp2_h(c5, c4, c6, kCH));
      b.bonds.push_back({"C5", "H5"});
    }
  }
  return b;
}

// The furanose ring for a pucker amplitude: C4', C3', O4', C2', C1'.
struct Ring {
  V c4, c3, o4, c2, c1;
};
Ring furanose(const SugarGeom& s, double numax) {
  auto nu = [&](int j) { return numax * std::cos(rad(s.phase + 144.0 * (j - 2))); };
  Ring g;
  g.c3 = {s.c3c4, 0, 0};
  g.o4 = V{std::cos(rad(s.at_c4)), std::sin(rad(s.at_c4)), 0} * s.c4o4;
  g.c2 = place(g.o4, g.c4, g.c3, s.c2c3, s.at_c3, nu(3));
  g.c1 = place(g.c4, g.c3, g.c2, s.c1c2, s.at_c2, nu(2));
  return g;
}

void build_nucleotide(Residue& r, bool ribo, char base) {
  const SugarGeom& s = ribo ? kRibo : kDeoxy;
  // Phase (within 12 degrees of the nominal one) and amplitude of the pucker: the ring
  // closes with the standard C1'-O4' bond, and the two ring angles that the construction
  // does not set (at C1' and O4') come closest to their standard values.
  auto amplitude = [&](double phase) {  // amplitude at which the ring closes
    SugarGeom t = s;
    t.phase = phase;
    return scan_min(20.0, 50.0, [&](double x) {
      Ring h = furanose(t, x);
      return std::fabs(dist(h.c1, h.o4) - s.o4c1);
    });
  };
  SugarGeom sg = s;
  double numax = 0, best = 1e30;
  for (int i = -120; i <= 120; ++i) {
    SugarGeom t = s;
    t.phase = s.phase + i * 0.1;
    double m = amplitude(t.phase);
    Ring h = furanose(t, m);
    double e1 = angle(h.c2, h.c1, h.o4) - s.at_c1, e2 = angle(h.c1, h.o4, h.c4) - s.at_o4;
    if (e1 * e1 + e2 * e2 < best) {
      best = e1 * e1 + e2 * e2;
      sg = t;
      numax = m;
    }
  }
  Ring g = furanose(sg, numax);
  note(r, "pucker phase", sg.phase, s.phase);
  note(r, "pucker amplitude", numax, 37.0);
  closure(r, "C1'-O4'", g.c1, g.o4, s.o4c1);
  note(r, "angle C2'-C1'-O4'", angle(g.c2, g.c1, g.o4), s.at_c1);
  note(r, "angle C1'-O4'-C4'", angle(g.c1, g.o4, g.c4), s.at_o4);
  r.set("C4'", g.c4);
  r.set("C3'", g.c3);
  r.set("O4'", g.o4);
  r.set("C2'", g.c2);
  r.set("C1'", g.c1);
  r.chain({"C4'", "C3'", "C2'", "C1'", "O4'", "C4'"});
  // Ring substituents, each on the side its configuration demands.
  r.set("C5'", choose(place2(g.c4, g.c3, g.o4, s.c4c5, s.c3c4c5, s.o4c4c5), false,
                      [&](V x) { return chirality(g.c4, g.o4, g.c3, x); }));  // C4' R
  r.set("O3'", choose(place2(g.c3, g.c4, g.c2, s.c3o3, s.c4c3o3, s.c2c3o3), true,
                      [&](V x) { return chirality(g.c3, x, g.c4, g.c2); }));  // C3' S
  const double c1n = base == 'A' || base == 'G' ? 1.460 : 1.470;
  V n = choose(place2(g.c1, g.o4, g.c2, c1n, s.o4c1n, s.c2c1n), false,
               [&](V x) { return chirality(g.c1, g.o4, x, g.c2); });  // C1' R
  r.chain({"C4'", "C5'"});
  r.chain({"C3'", "O3'"});
  put_tetra_h(r, "H4'", "C4'", "C3'", "O4'", "C5'");
  put_tetra_h(r, "H3'", "C3'", "C4'", "C2'", "O3'");
  if (ribo) {
    r.set("O2'", choose(place2(g.c2, g.c1, g.c3, 1.413, 110.6, 113.3), false,
                        [&](V x) { return chirality(g.c2, x, g.c1, g.c3); }));  // C2' R
    r.bond("C2'", "O2'");
    put_tetra_h(r, "H2'", "C2'", "C1'", "C3'", "O2'");
    put(r, "HO2'", "C3'", "C2'", "O2'", kOH, kTet, 180);
  } else {
    // H2'' takes the place of the ribose O2', H2' that of the ribose H2'.
    auto [h1, h2] = ch2(g.c2, g.c1, g.c3, kCH);
    if (chirality(g.c2, h1, g.c1, g.c3) > 0) std::swap(h1, h2);
    r.set("H2\"", h1);
    r.set("H2'", h2);
    r.bond("C2'", "H2'");
    r.bond("C2'", "H2\"");
    r.pseudo("Q2'", {"H2'", "H2\""});
  }
  // Endo side: the displaced ring atom is on the side of C5'.
  {
    V pn = cross(g.o4 - g.c1, g.c4 - g.c1);
    V moved = ribo ? g.c3 : g.c2;
    if ((dot(pn, moved - g.c1) > 0) != (dot(pn, r.p("C5'") - g.c1) > 0)) die(r.name + ": sugar pucker is exo");
  }
  // Backbone towards the 5' side, then the 3' phosphate.
  put(r, "O5'", "C3'", "C4'", "C5'", 1.440, s.o5c5c4, s.gamma);
  put(r, "P", "C4'", "C5'", "O5'", 1.593, 120.9, s.beta);
  put(r, "O3'-", "C5'", "O5'", "P", 1.607, 104.0, s.alpha);
  put(r, "C3'-", "O5'", "P", "O3'-", s.c3o3, 119.7, s.zeta);
  {
    V p = r.p("P"), o3 = r.p("O3'-"), o5 = r.p("O5'");
    auto [a, b] = place2(p, o3, o5, 1.485, 108.0, 108.0);
    // OP1 is the pro-R oxygen (priorities OP1 > OP2 > O3' > O5').
    if (chirality(p, a, b, o3) > 0) std::swap(a, b);
    r.set("OP1", a);
    r.set("OP2", b);
    r.bond("P", "OP1");
    r.bond("P", "OP2");
    note(r, "angle OP1-P-OP2", angle(a, p, b), 119.6);
  }
  {
    // H5' is the pro-S hydrogen of C5' (priorities O5' > C4').
    auto [a, b] = ch2(r.p("C5'"), r.p("C4'"), r.p("O5'"), kCH);
    if (chirality(r.p("C5'"), r.p("O5'"), r.p("C4'"), a) < 0) std::swap(a, b);
    r.set("H5'", a);
    r.set("H5\"", b);
    r.bond("C5'", "H5'");
    r.bond("C5'", "H5\"");
    r.pseudo("Q5'", {"H5'", "H5\""});
  }
  put(r, "P+", "C4'", "C3'", "O3'", 1.607, 119.7, s.epsilon);
  // The base: its glycosidic N on C1', its next ring atom set by CHI.
  Base b = base == 'A' ? purine(r, false) : base == 'G' ? purine(r, true) : pyrimidine(r, base);
  V ln = b.at(b.n_glyco), lc1 = b.at("C1'"), lx = b.at(b.next);
  if (std::fabs(dist(ln, lc1) - c1n) > 1e-9) die(r.name + ": glycosidic bond mismatch");
  V gx = place(r.p("O4'"), g.c1, n, dist(ln, lx), angle(lc1, ln, lx), s.chi);
  Embed e(ln, lc1, lx, n, g.c1, gx);
  for (const auto& [k, v] : b.atoms)
    if (k != "C1'") r.set(k, e(v));
  for (const auto& [x, y] : b.bonds) r.bond(x, y);
  r.bond("C1'", b.n_glyco);
  put_tetra_h(r, "H1'", "C1'", "C2'", "O4'", b.n_glyco.c_str());
  if (base == 'A') r.pseudo("Q6", {"H61", "H62"});
  if (base == 'G') r.pseudo("Q2", {"H21", "H22"});
  if (base == 'C') r.pseudo("Q4", {"H41", "H42"});
  if (base == 'T') {
    put_h3(r, "C4", "C5", "C7", kCH, 0, {"H71", "H72", "H73"});
    r.pseudo("Q7", {"H71", "H72", "H73"});
  }
}

void build_ade(Residue& r) { build_nucleotide(r, false, 'A'); }
void build_rade(Residue& r) { build_nucleotide(r, true, 'A'); }
void build_cyt(Residue& r) { build_nucleotide(r, false, 'C'); }
void build_rcyt(Residue& r) { build_nucleotide(r, true, 'C'); }
void build_gua(Residue& r) { build_nucleotide(r, false, 'G'); }
void build_rgua(Residue& r) { build_nucleotide(r, true, 'G'); }
void build_thy(Residue& r) { build_nucleotide(r, false, 'T'); }
void build_ura(Residue& r) { build_nucleotide(r, true, 'U'); }

// ---------------------------------------------------------------- linker and marker residues
//
// Linker atoms are dummies without bonds on a planar zig-zag with 1 A steps and right
// angles at the turns, as in the PL block. Where a linker carries the overlap atoms of a
// following amino acid (C, O, N) or nucleotide (C3', O3', P), those three have the
// geometry of the real bonds, so that the residue built on them is joined normally.

const double kHalf = std::sqrt(0.5);
const V kZigA{kHalf, 0, -kHalf}, kZigB{kHalf, 0, kHalf};  // alternating steps

// Zig-zag points 0..n-1 starting at the origin (point 1 below the x axis, point 2 on it).
std::vector<V> zigzag(int n) {
  std::vector<V> p{V{}};
  for (int i = 1; i < n; ++i) p.push_back(p.back() + (i % 2 ? kZigA : kZigB));
  return p;
}

void build_nl(Residue& r) {  // C3', O3' of the preceding nucleotide, P, then the zig-zag of PL
  // The triangle C3'-O3'-P in the x-z plane, C3' at the origin and P on the x axis.
  const double a = kDeoxy.c3o3, b = 1.607, gamma = rad(119.7);
  double d = std::sqrt(a * a + b * b - 2 * a * b * std::cos(gamma));
  double x = (a * a + d * d - b * b) / (2 * d);
  V c3{0, 0, 0}, o3{x, 0, -std::sqrt(a * a - x * x)}, p{d, 0, 0};
  r.set("C3'-", c3);
  r.set("O3'-", o3);
  r.set("P", p);
  const V step1{0.4483, 0, -0.8939}, step2{0.8939, 0, 0.4482};  // the steps of PL after its N
  r.set("Q1", p + step1);
  r.set("Q2", p + step1 + step2);
  r.set("Q3+", p + step1 + step2 + step1);
}

void build_ll(Residue& r) {  // LL, LL2, LL5: dummies only
  std::vector<V> z = zigzag(6);
  for (int i = 0; i < 6; ++i) r.atoms[i].pos = z[i], r.atoms[i].placed = true;
}

void build_lp(Residue& r) {  // zig-zag, then C, O, N of a peptide bond to the next amino acid
  std::vector<V> z = zigzag(4);
  r.set("Q1-", z[0]);
  r.set("Q2-", z[1]);
  r.set("Q3", z[2]);
  V c = z[3];
  V n = c + kZigB * 1.329;
  V o1 = place(z[2], n, c, 1.231, 123.0, 180), o2 = place(z[2], n, c, 1.231, 123.0, 0);
  r.set("C", c);
  r.set("N+", n);
  r.set("O", dist(o1, z[2]) > dist(o2, z[2]) ? o1 : o2);
}

void build_ln(Residue& r) {  // zig-zag, then C3', O3', P of a phosphodiester to the next nucleotide
  std::vector<V> z = zigzag(4);
  r.set("Q1-", z[0]);
  r.set("Q2-", z[1]);
  r.set("Q3", z[2]);
  V c3 = z[3];
  V o3 = c3 + kZigB * kDeoxy.c3o3;
  V p1 = place(z[2], c3, o3, 1.607, 119.7, 180), p2 = place(z[2], c3, o3, 1.607, 119.7, 0);
  r.set("C3'", c3);
  r.set("O3'", o3);
  r.set("P+", dist(p1, z[2]) > dist(p2, z[2]) ? p1 : p2);
}

void build_ion(Residue& r) {  // the metal ion ME in the middle of the zig-zag
  std::vector<V> z = zigzag(7);
  for (int i = 0; i < 7; ++i) r.atoms[i].pos = z[i], r.atoms[i].placed = true;
}

// The origin marker A0 in the middle of the zig-zag, with AX, AY, AZ one unit along the
// axes of the residue frame.
void build_ori(Residue& r) {
  std::vector<V> z = zigzag(7);
  r.set("Q1-", z[0]);
  r.set("Q2-", z[1]);
  r.set("Q3", z[2]);
  r.set("A0", z[3]);
  r.set("AX", z[3] + V{1, 0, 0});
  r.set("AY", z[3] + V{0, 1, 0});
  r.set("AZ", z[3] + V{0, 0, 1});
  r.set("Q1", z[4]);
  r.set("Q2", z[5]);
  r.set("Q3+", z[6]);
}

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
    out.push_back(fmt("%4d %-5s%5d%5d%10.4f%5d%5d%5d%5d%5d", ++k, g.name.c_str(), 0, 0, 0.0, g.at[0], g.at[1], g.at[2],
                      g.at[3], g.last));
  k = 0;
  for (const Atom& a : r.atoms) {
    int b[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < a.bonds.size(); ++i) b[i] = a.bonds[i];
    out.push_back(fmt("%4d %-5s%-5s%5d%10.4f%10.4f%10.4f%10.4f%5d%5d%5d%5d%5d", ++k, a.name.c_str(), a.type.c_str(), 0,
                      0.0, clean(a.pos.x), clean(a.pos.y), clean(a.pos.z), b[0], b[1], b[2], b[3], a.pseudo));
  }
}

// ---------------------------------------------------------------- chemical shifts
//
// The shift table (CSTABLE) holds, per residue type and atom, a count and the mean, spread,
// lowest and highest value of the atom's chemical shift in ppm. The system does not read
// it. The first five rows are the reference rows of the table; the others carry
// representative means and spreads of deposited protein and nucleic-acid shifts, with the
// count taken from a typical number of entries of the residue type and the range from
// mean - 8 spread to mean + 7 spread.

struct ShiftRow {
  const char* atom;
  int count;
  double mean, spread, low, high;
};

const ShiftRow kReferenceShifts[] = {
    // ALA
    {"N", 21679, 123.24, 3.56, 77.10, 142.81}, {"H", 23992, 8.20, 0.60, 3.53, 11.48},
    {"CA", 19703, 53.16, 1.97, 44.22, 65.52},  {"HA", 18269, 4.26, 0.44, 1.24, 6.51},
    {"QB", 17243, 1.36, 0.25, -0.83, 3.12},
};

struct ShiftSet {
  const char* residue;
  int entries;        // typical number of entries of the residue type
  const char* atoms;  // "ATOM mean spread, ..."
};

const ShiftSet kShifts[] = {
    {"ALA", 24000, "CB 19.01 1.83, C 177.74 2.13"},
    {"ARG", 14800,
     "N 120.80 3.66, H 8.24 0.61, CA 56.79 2.31, HA 4.30 0.46, CB 30.70 1.83, HB2 1.79 0.27, "
     "HB3 1.76 0.28, CG 27.21 1.20, HG2 1.57 0.27, HG3 1.55 0.28, CD 43.16 0.88, HD2 3.12 0.23, "
     "HD3 3.10 0.25, NE 84.72 1.69, HE 7.40 0.63, CZ 159.63 2.36, NH1 73.00 2.50, C 176.41 2.03"},
    {"ASN", 12100,
     "N 118.90 3.90, H 8.33 0.62, CA 53.54 1.87, HA 4.66 0.36, CB 38.70 1.68, HB2 2.80 0.31, "
     "HB3 2.75 0.33, CG 176.70 1.40, ND2 112.70 2.30, HD21 7.34 0.50, HD22 7.13 0.49, C 175.30 1.80"},
    {"ASP", 16700,
     "N 120.65 3.86, H 8.30 0.57, CA 54.69 2.03, HA 4.59 0.31, CB 40.88 1.62, HB2 2.72 0.26, "
     "HB3 2.66 0.28, CG 179.20 1.80, C 176.40 1.75"},
    {"CYS", 4000,
     "N 120.10 4.60, H 8.39 0.68, CA 58.30 3.40, HA 4.65 0.55, CB 29.50 2.10, HB2 2.96 0.44, "
     "HB3 2.89 0.46, HG 1.80 1.00, C 174.90 2.10"},
    {"CYSS", 3300,
     "N 119.80 4.50, H 8.55 0.70, CA 55.40 2.70, HA 4.75 0.50, CB 40.50 4.20, HB2 3.00 0.40, "
     "HB3 2.90 0.40, C 174.80 2.00"},
    {"GLN", 11200,
     "N 119.88 3.50, H 8.22 0.58, CA 56.60 2.12, HA 4.27 0.44, CB 29.18 1.81, HB2 2.05 0.25, "
     "HB3 2.02 0.26, CG 33.76 1.11, HG2 2.32 0.26, HG3 2.29 0.28, CD 179.70 1.30, NE2 111.90 1.70, "
     "HE21 7.22 0.45, HE22 7.02 0.44, C 176.30 2.00"},
    {"GLU", 19800,
     "N 120.66 3.46, H 8.33 0.59, CA 57.34 2.08, HA 4.25 0.41, CB 30.00 1.72, HB2 2.02 0.20, "
     "HB3 1.99 0.21, CG 36.10 1.20, HG2 2.27 0.21, HG3 2.25 0.22, CD 182.40 1.70, C 176.90 1.95"},
    {"GLY", 21400, "N 109.60 3.70, H 8.33 0.64, CA 45.36 1.30, HA2 3.97 0.37, HA3 3.90 0.37, C 173.90 1.85"},
    {"HIS", 6600,
     "N 119.60 4.00, H 8.25 0.69, CA 56.50 2.30, HA 4.61 0.44, CB 30.20 2.10, HB2 3.10 0.35, "
     "HB3 3.04 0.37, CG 131.50 3.00, ND1 195.00 18.00, HD1 11.00 3.00, CD2 119.90 2.70, "
     "HD2 7.00 0.40, CE1 137.50 2.10, HE1 8.00 0.50, NE2 181.50 15.00, C 175.30 2.00"},
    {"ILE", 16200,
     "N 121.40 4.20, H 8.28 0.68, CA 61.60 2.70, HA 4.17 0.56, CB 38.60 2.00, HB 1.78 0.29, "
     "QG2 0.77 0.27, CG2 17.50 1.30, CG1 27.70 1.70, HG12 1.27 0.40, HG13 1.19 0.41, QD1 0.68 0.29, "
     "CD1 13.40 1.60, C 175.90 1.90"},
    {"LEU", 25400,
     "N 121.80 3.90, H 8.22 0.64, CA 55.70 2.10, HA 4.31 0.47, CB 42.30 1.90, HB2 1.61 0.34, "
     "HB3 1.52 0.36, CG 26.80 1.10, HG 1.51 0.33, QD1 0.75 0.28, QD2 0.73 0.29, CD1 24.70 1.60, "
     "CD2 24.10 1.70, C 177.00 1.90"},
    {"LYS", 20900,
     "N 121.00 3.80, H 8.18 0.60, CA 56.95 2.20, HA 4.26 0.43, CB 32.80 1.80, HB2 1.78 0.25, "
     "HB3 1.75 0.26, CG 24.90 1.10, HG2 1.37 0.26, HG3 1.35 0.27, CD 29.00 1.10, HD2 1.61 0.21, "
     "HD3 1.60 0.22, CE 41.90 0.80, HE2 2.92 0.18, HE3 2.91 0.19, NZ 33.90 2.00, QZ 7.40 0.60, "
     "C 176.60 2.00"},
    {"MET", 6100,
     "N 120.10 3.60, H 8.26 0.60, CA 56.10 2.20, HA 4.41 0.48, CB 32.90 2.30, HB2 2.03 0.34, "
     "HB3 2.00 0.34, CG 32.00 1.30, HG2 2.43 0.36, HG3 2.40 0.38, QE 1.88 0.41, CE 17.20 1.60, "
     "C 176.20 2.00"},
    {"PHE", 11800,
     "N 120.40 4.10, H 8.36 0.71, CA 58.10 2.60, HA 4.63 0.56, CB 39.90 2.10, HB2 3.00 0.36, "
     "HB3 2.94 0.37, CG 138.30 1.90, QD 7.06 0.31, QE 7.08 0.31, HZ 7.00 0.42, CD1 131.60 1.20, "
     "CE1 130.70 1.30, CZ 129.20 1.50, C 175.50 2.00"},
    {"PRO", 10200,
     "N 135.20 7.00, CA 63.30 1.50, HA 4.40 0.34, CB 31.90 1.20, HB2 2.08 0.35, HB3 2.00 0.36, "
     "CG 27.30 1.10, HG2 1.93 0.31, HG3 1.90 0.32, CD 50.30 1.00, HD2 3.65 0.35, HD3 3.61 0.37, "
     "C 176.70 1.60"},
    {"SER", 17300,
     "N 116.30 3.50, H 8.28 0.59, CA 58.70 2.10, HA 4.48 0.40, CB 63.80 1.50, HB2 3.87 0.25, "
     "HB3 3.85 0.27, HG 5.40 1.10, C 174.60 1.80"},
    {"THR", 16400,
     "N 115.40 4.70, H 8.24 0.62, CA 62.20 2.60, HA 4.46 0.47, CB 69.70 1.70, HB 4.17 0.33, "
     "QG2 1.14 0.22, CG2 21.60 1.20, HG1 4.90 1.30, C 174.60 1.80"},
    {"TRP", 4100,
     "N 121.60 4.10, H 8.29 0.77, CA 57.70 2.50, HA 4.68 0.52, CB 29.90 2.00, HB2 3.19 0.34, "
     "HB3 3.12 0.35, CG 110.60 1.30, CD1 126.50 1.80, HD1 7.14 0.35, NE1 129.20 1.90, "
     "HE1 10.10 0.60, CE2 138.40 1.30, CZ2 114.30 1.10, HZ2 7.29 0.31, CH2 123.80 1.30, "
     "HH2 6.98 0.34, CZ3 121.30 1.40, HZ3 6.86 0.37, CE3 120.50 1.70, HE3 7.32 0.39, "
     "CD2 127.60 1.10, C 176.20 2.00"},
    {"TYR", 10400,
     "N 120.90 4.10, H 8.30 0.71, CA 58.10 2.50, HA 4.62 0.55, CB 39.30 2.10, HB2 2.90 0.36, "
     "HB3 2.84 0.38, CG 128.00 1.60, QD 6.93 0.30, QE 6.70 0.23, CD1 132.80 1.20, CE1 117.90 1.10, "
     "CZ 156.60 1.50, HH 9.20 1.40, C 175.40 2.00"},
    {"VAL", 19800,
     "N 121.10 4.60, H 8.29 0.67, CA 62.50 2.90, HA 4.18 0.58, CB 32.70 1.80, HB 1.98 0.32, "
     "QG1 0.83 0.26, QG2 0.80 0.28, CG1 21.50 1.40, CG2 21.30 1.60, C 175.70 1.90"},
    {"ADE", 950,
     "H1' 6.10 0.25, H2' 2.70 0.28, H2\" 2.85 0.24, H3' 4.96 0.16, H4' 4.35 0.18, H5' 4.12 0.20, "
     "H5\" 4.05 0.22, C1' 84.60 1.40, C2' 40.00 1.50, C3' 77.50 1.60, C4' 86.40 1.20, "
     "C5' 66.90 1.40, H2 7.72 0.35, H8 8.12 0.25"},
    {"RADE", 2100,
     "H1' 5.85 0.25, H2' 4.55 0.21, H3' 4.57 0.23, H4' 4.44 0.16, H5' 4.35 0.25, H5\" 4.15 0.21, "
     "C1' 92.60 1.50, C2' 75.50 1.20, C3' 73.30 1.60, C4' 82.70 1.10, C5' 65.80 1.30, "
     "H2 7.65 0.38, H8 8.02 0.24, H61 7.85 0.60, H62 6.55 0.50, C2 153.40 1.50, C8 139.90 1.30, "
     "N1 222.40 2.50, N3 214.20 3.00, N7 230.90 2.00, P -3.90 1.20"},
    {"CYT", 900,
     "H1' 5.85 0.28, H2' 2.15 0.30, H2\" 2.45 0.26, H3' 4.75 0.16, H4' 4.15 0.20, H5' 4.10 0.20, "
     "H5\" 4.05 0.22, C1' 85.90 1.40, C2' 39.70 1.50, C3' 76.50 1.60, C4' 85.80 1.20, "
     "C5' 66.70 1.40, H5 5.55 0.30, H6 7.45 0.20"},
    {"RCYT", 1950,
     "H1' 5.55 0.25, H2' 4.35 0.21, H3' 4.45 0.23, H4' 4.40 0.16, H5' 4.40 0.25, H5\" 4.08 0.21, "
     "C1' 93.50 1.50, C2' 75.70 1.20, C3' 72.70 1.60, C4' 82.20 1.10, C5' 65.00 1.30, "
     "H5 5.45 0.30, H6 7.75 0.20, H41 8.25 0.50, H42 6.95 0.40, C5 97.40 1.00, C6 141.00 1.20, "
     "N3 196.80 2.50, N4 97.50 1.50, N1 152.00 2.00, P -3.80 1.20"},
    {"GUA", 1000,
     "H1' 5.90 0.28, H2' 2.60 0.28, H2\" 2.72 0.24, H3' 4.92 0.16, H4' 4.32 0.18, H5' 4.10 0.20, "
     "H5\" 4.04 0.22, C1' 83.90 1.40, C2' 39.80 1.50, C3' 77.30 1.60, C4' 86.20 1.20, "
     "C5' 66.80 1.40, H8 7.82 0.30, H1 12.60 0.80"},
    {"RGUA", 2600,
     "H1' 5.72 0.25, H2' 4.50 0.21, H3' 4.52 0.23, H4' 4.45 0.16, H5' 4.38 0.25, H5\" 4.12 0.21, "
     "C1' 92.40 1.50, C2' 75.40 1.20, C3' 73.40 1.60, C4' 82.50 1.10, C5' 65.70 1.30, "
     "H1 12.45 0.85, H8 7.60 0.25, H21 7.90 0.90, H22 6.60 0.60, C8 137.10 1.40, C6 160.10 1.20, "
     "N1 147.10 1.40, N2 74.40 2.50, N7 235.10 3.00, N9 169.30 2.00, P -3.70 1.20"},
    {"THY", 850,
     "H1' 6.00 0.26, H2' 2.12 0.28, H2\" 2.45 0.24, H3' 4.80 0.16, H4' 4.15 0.18, H5' 4.10 0.20, "
     "H5\" 4.05 0.22, C1' 85.50 1.40, C2' 39.50 1.50, C3' 76.80 1.60, C4' 85.90 1.20, "
     "C5' 66.60 1.40, H6 7.36 0.20, Q7 1.55 0.18, H3 13.50 0.70"},
    {"URA", 1800,
     "H1' 5.58 0.25, H2' 4.40 0.21, H3' 4.50 0.23, H4' 4.40 0.16, H5' 4.35 0.25, H5\" 4.10 0.21, "
     "C1' 93.00 1.50, C2' 75.40 1.20, C3' 73.20 1.60, C4' 82.40 1.10, C5' 65.30 1.30, "
     "H3 13.00 1.10, H5 5.48 0.28, H6 7.82 0.20, C5 103.20 1.00, C6 140.60 1.30, N3 160.40 1.70, "
     "N1 145.00 2.00, C2 152.00 1.20, C4 166.20 1.40, P -3.90 1.20"},
};

// Share of the entries of a residue type that have a shift of the atom.
double shift_share(const std::string& atom) {
  if (atom == "H") return 1.0;
  if (atom == "N") return 0.91;
  if (atom == "CA") return 0.83;
  if (atom.rfind("HA", 0) == 0) return 0.77;
  if (atom == "CB") return 0.69;
  if (atom == "C") return 0.57;
  switch (atom[0]) {
    case 'H':
    case 'Q': return 0.62;
    case 'C': return 0.45;
    case 'N': return 0.22;
    default: return 0.30;
  }
}

void write_shifts(std::vector<std::string>& out) {
  std::vector<std::string> rows;
  auto row = [&](const char* res, const std::string& atom, int count, double mean, double spread, double low,
                 double high) {
    rows.push_back(fmt("%4d %-5s%-5s%5d%8.2f%8.2f%8.2f%8.2f", static_cast<int>(rows.size()) + 1, res, atom.c_str(),
                       count, mean, spread, low, high));
  };
  for (const ShiftRow& s : kReferenceShifts) row("ALA", s.atom, s.count, s.mean, s.spread, s.low, s.high);
  for (const ShiftSet& set : kShifts) {
    std::string list = set.atoms;
    std::replace(list.begin(), list.end(), ',', '\n');
    std::istringstream in(list);
    std::string entry;
    while (std::getline(in, entry)) {
      std::istringstream e(entry);
      std::string atom;
      double mean, spread;
      if (!(e >> atom >> mean >> spread)) die(std::string("bad shift entry for ") + set.residue);
      int count = static_cast<int>(std::lround(set.entries * shift_share(atom)));
      row(set.residue, atom, count, mean, spread, mean - 8 * spread, mean + 7 * spread);
    }
  }
  if (rows.size() != 410) die("the shift table has " + std::to_string(rows.size()) + " rows, not 410");
  out.push_back(fmt("CSTABLE%8d", static_cast<int>(rows.size())));
  out.insert(out.end(), rows.begin(), rows.end());
}

using Builder = void (*)(Residue&);

Builder builder_for(const std::string& name) {
  static const std::map<std::string, Builder> builders = {
      {"ALA", build_ala},   {"ARG", build_arg},   {"ASN", build_asn},   {"ASP", build_asp}, {"CYS", build_cys},
      {"CYSS", build_cyss}, {"GLN", build_gln},   {"GLU", build_glu},   {"GLY", build_gly}, {"HIS", build_his},
      {"ILE", build_ile},   {"LEU", build_leu},   {"LYS", build_lys},   {"MET", build_met}, {"PHE", build_phe},
      {"PRO", build_pro},   {"SER", build_ser},   {"THR", build_thr},   {"TRP", build_trp}, {"TYR", build_tyr},
      {"VAL", build_val},   {"ADE", build_ade},   {"RADE", build_rade}, {"CYT", build_cyt}, {"RCYT", build_rcyt},
      {"GUA", build_gua},   {"RGUA", build_rgua}, {"THY", build_thy},   {"URA", build_ura}, {"PL", build_pl},
      {"NL", build_nl},     {"LL", build_ll},     {"LL2", build_ll},    {"LL5", build_ll},  {"LP", build_lp},
      {"LN", build_ln},     {"ION", build_ion},   {"ORI", build_ori},
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
  if (out.size() != 1064) die("the residue blocks end on line " + std::to_string(out.size()));
  write_shifts(out);
  if (out.size() != 1475) die("the table has " + std::to_string(out.size()) + " lines, not 1475");
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
        std::cerr << check_file << " differs from the generator's output at line " << n
                  << ":\n  file:      " << (ga ? la : "<end>") << "\n  generated: " << (gb ? lb : "<end>") << "\n";
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
