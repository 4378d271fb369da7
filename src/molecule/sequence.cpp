// Sequence construction: residues from coordinate records, atom and angle layout, initialisation.
#include "molecule/sequence.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <unordered_map>

#include "command/message.hpp"
#include "command/strings.hpp"
#include "molecule/tree.hpp"
#include "util/text.hpp"

namespace veldrix {

std::unordered_map<std::string, int> residue_types(const VokanData& v) {
  std::unordered_map<std::string, int> types;
  for (int j = 1; j <= v.naa; ++j)
    if (same(v.aatyp(j), "RESID")) types.emplace(std::string(rtrim(v.aanam(j))), j);
  return types;
}

namespace {

constexpr int dummy_element = 900;  // element numbers from here on mark dummy atoms

Vec3 lib_xyz(const VokanData& v, int j, int c) { return {v.coord(1, j, c), v.coord(2, j, c), v.coord(3, j, c)}; }

Vec3 xyz(const VokanData& v, int s, int a) {
  const int col = v.col(s, a);
  return {v.coo(1, col), v.coo(2, col), v.coo(3, col)};
}

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

// Whether library angle k of residue i (type c) exists in the molecule. The
// first residue keeps only angles whose second atom is its own, the last only
// angles whose third atom precedes its last own atom; a single residue is both.
// With `mark`, the first atom reached before the first residue is recorded.
bool angle_kept(VokanData& v, int i, int c, int k, bool mark) {
  const int a1 = v.idihat(1, k, c), a2 = v.idihat(2, k, c), a3 = v.idihat(3, k, c);
  if (i == 1 && a2 < v.ifirat(c)) return false;
  if (i == v.nr && a3 >= v.lasat(c)) return false;
  if (mark && i == 1 && a1 < v.ifirat(c)) v.mdihat = a1;
  return true;
}

// Rule 1..4 for the overlap atoms of residue i: library atom k of the preceding
// type p that stands for atom m of type c, or 0.
int overlap_atom(const VokanData& v, int rule, int m, int p, int c) {
  const int n = v.nat(p);
  switch (rule) {
    case 1:
      for (int k = n; k >= 4; --k)
        if (same(v.atnam(k, p), v.atnam(m, c))) return k;
      return 0;
    case 2: {
      int dummies = 0;
      for (int k = n; k >= 4; --k) {
        if (v.iatel(v.iattyp(k, p)) >= dummy_element) ++dummies;
        if (dummies == 4 - m) return k;
      }
      return 0;
    }
    case 3:
      for (int k = n; k >= 4; --k)
        if (same(v.atnam(k, p), v.atnam(m, p))) return k;
      return 0;
    default: {
      const int k = m + n - 3;
      if (k < 1 || k > n) return 0;
      for (int d = 1; d <= v.ndih(p); ++d)
        if (k <= v.ldihat(d, p)) return 0;
      return k;
    }
  }
}

// Atom map of residue i >= 2 (its first three library atoms found among the atoms
// of the preceding residue, the others its own).
void map_residue(MoleculeState& s, int i) {
  VokanData& v = s.vokandata;
  const int c = v.irlib(i), p = v.irlib(i - 1);
  const int q = v.ifira(i - 1) - v.ifirat(p);
  int rule = 1;
  std::array<int, 3> found{};
  for (; rule <= 4; ++rule) {
    bool all = true;
    for (int m = 1; m <= 3 && all; ++m) {
      found[std::size_t(m - 1)] = overlap_atom(v, rule, m, p, c);
      all = found[std::size_t(m - 1)] > 0;
    }
    if (all) break;
  }
  if (rule > 4)
    fatmsg(s, "Overlap atoms " + strp(s, v.atnam(1, c)) + ", " + strp(s, v.atnam(2, c)) + ", " +
                  strp(s, v.atnam(3, c)) + " not found for residue " + strq(s, v.rnam(i)) + ".");
  if (rule > 1)
    wrnmsg(s,
           "Differently named overlap atoms for residues " + strq(s, v.aanam(p)) + " and " + strq(s, v.aanam(c)) + ".");
  for (int m = 1; m <= 3; ++m) v.joffst(m, i) = found[std::size_t(m - 1)] + q;
  for (int j = 4; j <= v.nat(c); ++j) v.joffst(j, i) = v.ifira(i) - v.ifirat(c) + j;
}

// An index array sized for this molecule: an array left by a molecule of another size is replaced.
void fresh(FArray<int>& a, int n) {
  if (a.allocated() && int(a.extent()) != n) a.deallocate();
  ialo(a, n, 0);
}

}  // namespace

std::optional<double> tor(const Vec3& p1, const Vec3& p2, const Vec3& p3, const Vec3& p4) {
  const Vec3 b1 = minus(p2, p1), b2 = minus(p3, p2), b3 = minus(p4, p3);
  const Vec3 u = cross(b1, b2), w = cross(b2, b3);
  const double lu = std::sqrt(dot(u, u)), lw = std::sqrt(dot(w, w));
  if (!(lu > 0.0) || !(lw > 0.0) || !std::isfinite(lu) || !std::isfinite(lw)) return std::nullopt;
  const double cosine = std::clamp(dot(u, w) / (lu * lw), -1.0, 1.0);
  if (std::isnan(cosine)) return std::nullopt;
  const double angle = std::acos(cosine);
  return dot(cross(u, w), b2) >= 0.0 ? angle : -angle;
}

void build(MoleculeState& s) {
  VokanData& v = s.vokandata;
  v.na = v.nd = 0;
  v.mdihat = 1;
  if (v.nr <= 0) fatmsg(s, "No amino acid residues in sequence.");
  const int nr = v.nr;
  fresh(v.irlib, nr);
  fresh(v.ifird, nr + 1);
  fresh(v.ifira, nr + 1);

  // Counting pass.
  const std::unordered_map<std::string, int> types = residue_types(v);
  for (int i = 1; i <= nr; ++i) {
    v.ifira(i) = v.na + 1;
    const auto t = types.find(std::string(rtrim(v.rnam(i))));
    if (t == types.end()) fatmsg(s, "Illegal residue type " + strq(s, v.rnam(i)) + ".");
    const int c = t->second;
    v.irlib(i) = c;
    v.na += v.lasat(c) - v.ifirat(c) + 1;
    for (int k = 1; k <= v.ndih(c); ++k)
      if (angle_kept(v, i, c, k, false)) ++v.nd;
  }
  v.ifira(nr + 1) = v.na + 1;
  const int na = v.na, nd = v.nd;

  dstroy(v);
  v.idr.allocate(Dim(nd));
  v.dval0.allocate(Dim(nd));
  v.dnam.allocate(Dim(nd));
  v.ida.allocate(Dim(4), Dim(-1, nd));
  v.lda.allocate(Dim(-1, nd));
  v.idord.allocate(Dim(0, nd));
  v.anam.allocate(Dim(na));
  v.iatyp.allocate(Dim(na));
  v.iael.allocate(Dim(na));
  v.iar.allocate(Dim(na));
  v.adisp.allocate(Dim(na));
  v.joffst.allocate(Dim(std::max(v.maxat, 1)), Dim(nr));

  // Atom map.
  const int first = v.irlib(1);
  for (int j = 1; j <= v.nat(first); ++j) v.joffst(j, 1) = std::max(0, v.ifira(1) - v.ifirat(first) + j);
  for (int i = 2; i <= nr; ++i) map_residue(s, i);

  // Angle pass.
  v.ida(2, -1) = -1;
  v.ida(3, -1) = 0;
  v.ida(2, 0) = 0;
  v.ida(3, 0) = 1;
  v.lda(-1) = v.lda(0) = na + 1;
  int k_mol = 0;
  for (int i = 1; i <= nr; ++i) {
    const int c = v.irlib(i);
    v.ifird(i) = k_mol + 1;
    for (int k = 1; k <= v.ndih(c); ++k) {
      if (!angle_kept(v, i, c, k, true)) continue;
      ++k_mol;
      std::array<int, 4> a;
      for (int m = 1; m <= 4; ++m) a[std::size_t(m - 1)] = v.idihat(m, k, c);
      v.idr(k_mol) = i;
      v.dval0(k_mol) =
          tor(lib_xyz(v, a[0], c), lib_xyz(v, a[1], c), lib_xyz(v, a[2], c), lib_xyz(v, a[3], c)).value_or(0.0);
      for (int m = 1; m <= 4; ++m) v.ida(m, k_mol) = std::min(v.joffst(a[std::size_t(m - 1)], i), na + 1);
      const int last = v.ldihat(k, c);
      v.lda(k_mol) = last <= 0 ? na + 1 : std::min(v.joffst(last, i), na + 1);
      v.dnam(k_mol) = v.dihnam(k, c);
    }
  }
  v.ifird(nr + 1) = k_mol + 1;
  for (int k = 0; k <= nd; ++k) v.idord(k) = k;

  // Own atoms must be numbered consecutively over the whole molecule.
  int running = 0;
  for (int i = 1; i <= nr; ++i) {
    const int c = v.irlib(i);
    for (int j = v.ifirat(c); j <= v.lasat(c); ++j)
      if (v.joffst(j, i) != ++running)
        fatmsg(s,
               "Mismatch between residue " + strp(s, v.aanam(c)) + " " + strp(s, v.rnum(i)) + " and its predecessor.");
  }

  // Atom pass.
  for (int i = 1; i <= nr; ++i) {
    const int c = v.irlib(i);
    for (int j = v.ifirat(c); j <= v.lasat(c); ++j) {
      const int a = v.joffst(j, i);
      v.iar(a) = i;
      v.anam(a) = v.atnam(j, c);
      v.iatyp(a) = v.iattyp(j, c);
      v.iael(a) = v.iatel(v.iatyp(a));
    }
  }
}

void iniseq(MoleculeState& s) {
  VokanData& v = s.vokandata;
  const int na = v.na, nd = v.nd, nr = v.nr;
  v.asel.allocate(Dim(na));
  v.ichain.allocate(Dim(nr));
  alostr(v, 0, 1);

  // Peptide bonds: an angle that moves everything to the end about a carbon-nitrogen
  // bond between consecutive residues is fixed, trans unless its residue is cis.
  auto atom = [&](int a) { return a >= 1 && a <= na; };
  FArray<bool> free{Dim(nd)};
  for (int k = 1; k <= nd; ++k) {
    const int a2 = v.ida(2, k), a3 = v.ida(3, k);
    const bool fixed =
        v.lda(k) > na && atom(a2) && atom(a3) && v.iael(a2) == 6 && v.iael(a3) == 7 && v.iar(a3) == v.iar(a2) + 1;
    free(k) = !fixed;
    v.dval(k) = fixed && !v.cis(v.idr(k)) ? std::numbers::pi : 0.0;
  }
  tree(v, free);
  for (int k = -6; k <= v.ndfree; ++k) v.dval(k) = 0.0;
  v.dval(0) = 1.0;
  v.i0styp = 1;
  gener(v);

  // Chain ends: a substitute atom for an angle atom outside the molecule, and the
  // offset between the torsion measured with it and the true one.
  v.ida1 = v.ida4 = 0;
  v.dcorr1 = v.dcorr4 = 0.0;
  if (v.ida(1, 1) == 0) {
    const int hi = nr >= 2 ? v.ifira(2) - 1 : na;
    for (int a = 1; a <= hi && v.ida1 == 0; ++a)
      if (v.iaunit(a) == 0 && a != v.ida(2, 1) && a != v.ida(3, 1)) v.ida1 = a;
    if (v.ida1 == 0) fatmsg(s, strp(s, v.dnam(1)) + " of the first residue " + "cannot be calculated.");
  }
  const int last = v.idord(nd);
  if (v.ida(4, last) > na) {
    if (v.ida(3, last) >= na) fatmsg(s, strp(s, v.dnam(last)) + " of the last residue cannot be calculated.");
    v.ida4 = v.ida(3, last) + 1;
  }
  auto measured = [&](int k) {
    const int a1 = v.ida(1, k) == 0 ? v.ida1 : v.ida(1, k);
    const int a4 = v.ida(4, k) > na ? v.ida4 : v.ida(4, k);
    if (!atom(a1) || !atom(v.ida(2, k)) || !atom(v.ida(3, k)) || !atom(a4)) return 0.0;
    return tor(xyz(v, 0, a1), xyz(v, 0, v.ida(2, k)), xyz(v, 0, v.ida(3, k)), xyz(v, 0, a4)).value_or(0.0) - v.dval(k);
  };
  if (v.ida1 != 0) v.dcorr1 = measured(1);
  if (v.ida4 != 0) v.dcorr4 = measured(last);

  v.asel.fill(true);
  setcha(v);
}

void msplit(const VokanData& v, FArray<std::string>& prefixes, FArray<int>& numbers, bool& anyprefix) {
  const int nr = std::max(v.nr, 0);
  prefixes.allocate(Dim(nr));
  numbers.allocate(Dim(nr));
  anyprefix = false;
  for (int r = 1; r <= nr; ++r) {
    RSplit split = rsplit(v.rnum(r), 0);
    anyprefix = anyprefix || !is_blank(split.head);
    prefixes(r) = std::move(split.head);
    numbers(r) = split.number;
  }
}

void setcha(VokanData& v) {
  const int nr = v.nr;
  if (nr <= 0) return;
  if (!v.ichain.allocated() || int(v.ichain.extent()) != nr) v.ichain.allocate(Dim(nr));
  FArray<std::string> prefixes;
  FArray<int> numbers;
  bool anyprefix = false;
  msplit(v, prefixes, numbers, anyprefix);
  // A new chain begins where the prefix (chain letter) changes, or without
  // prefixes where the numbering does not continue.
  v.ichain(1) = 1;
  for (int i = 2; i <= nr; ++i) {
    const bool next = anyprefix ? !same(prefixes(i), prefixes(i - 1)) : numbers(i) != numbers(i - 1) + 1;
    v.ichain(i) = v.ichain(i - 1) + (next ? 1 : 0);
  }
}

}  // namespace veldrix
