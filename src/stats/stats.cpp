// Structure statistics of an analysed ensemble: per-domain RMSD figures and superpositions, per-residue profiles.
#include "stats/stats.hpp"

#include <array>
#include <cmath>
#include <unordered_map>

#include "rmsd_var/variance.hpp"
#include "stats/fit.hpp"
#include "superpose/transform.hpp"
#include "util/text.hpp"

namespace veldrix {

namespace {

// Atom names of the backbone: amino acids, then nucleotides. No residue type has both kinds.
constexpr std::array<std::string_view, 9> backbone_names = {"N", "CA", "C", "P", "O5'", "C5'", "C4'", "C3'", "O3'"};

// Longest peptide bond C(i-1)-N(i) taken as one (A); longer is a chain break.
constexpr double max_peptide_bond = 2.0;

enum class Atoms { backbone, heavy };

// The ensemble as stored: atom a of member k (0-based) at coords(k, a).
struct Ensemble {
  const VokanData& v;
  int members;
  const double* at(int k, int a) const { return v.coo.ptr(1, v.col(v.isstr(k + 1), a)); }
  bool everywhere(int a) const {
    for (int k = 0; k < members; ++k) {
      const double* c = at(k, a);
      if (!known_coordinate(c[0]) || !known_coordinate(c[1]) || !known_coordinate(c[2])) return false;
    }
    return true;
  }
};

bool selected(const VokanData& v, int a, Atoms kind) {
  const int el = v.iael(a);
  if (el <= 1 || el >= 900) return false;  // hydrogens, pseudo atoms and the dummy atoms of linkers
  if (kind == Atoms::heavy) return true;
  const std::string_view name = rtrim(v.anam(a));
  for (const std::string_view b : backbone_names)
    if (name == b) return true;
  return false;
}

// The atoms of the flagged residues (1..nr) of the kind, present in every member.
std::vector<int> atoms_of(const Ensemble& e, const std::vector<char>& residues, Atoms kind) {
  const VokanData& v = e.v;
  std::vector<int> atoms;
  for (int r = 1; r <= v.nr; ++r)
    if (residues[std::size_t(r)])
      for (int a = v.ifira(r); a < v.ifira(r + 1); ++a)
        if (selected(v, a, kind) && e.everywhere(a)) atoms.push_back(a);
  return atoms;
}

// The atoms' coordinates of every member, one block after the other.
std::vector<double> gather(const Ensemble& e, const std::vector<int>& atoms) {
  std::vector<double> out;
  out.reserve(3 * atoms.size() * std::size_t(e.members));
  for (int k = 0; k < e.members; ++k)
    for (const int a : atoms) out.insert(out.end(), e.at(k, a), e.at(k, a) + 3);
  return out;
}

struct Superposition {
  RmsdStat stat;
  std::vector<Transform> moves;  // per member: its stored coordinates onto the mean
};

// The members fitted to their mean over the residues' atoms of the kind; with `moves`, also each
// member's motion onto the mean (the domains' backbone fits give them to the superposition).
Superposition superpose(const Ensemble& e, const std::vector<char>& residues, Atoms kind, bool moves = false) {
  const std::vector<int> atoms = atoms_of(e, residues, kind);
  const int n = int(atoms.size());
  const std::vector<double> stored = gather(e, atoms);
  std::vector<double> moved = stored;
  const MeanFit fit = fit_to_mean(moved, e.members, n);
  Superposition s{summarise(fit, n), {}};
  if (!moves) return s;
  const std::size_t block = 3 * std::size_t(n);
  for (int k = 0; k < e.members; ++k) {
    const std::size_t at = std::size_t(k) * block;
    s.moves.push_back(fit_transform(std::span(stored).subspan(at, block), std::span(moved).subspan(at, block), n));
  }
  return s;
}

// Backbone RMSF of every residue after the members are moved by `moves`.
std::vector<std::optional<double>> rmsf(const Ensemble& e, const std::vector<Transform>& moves) {
  const VokanData& v = e.v;
  std::vector<std::optional<double>> out(std::size_t(v.nr) + 1);
  std::vector<double> p(3 * std::size_t(e.members));
  for (int r = 1; r <= v.nr; ++r) {
    double sum = 0.0;
    int atoms = 0;
    for (int a = v.ifira(r); a < v.ifira(r + 1); ++a) {
      if (!selected(v, a, Atoms::backbone) || !e.everywhere(a)) continue;
      std::array<double, 3> mean{};
      for (int k = 0; k < e.members; ++k) {
        double* q = &p[3 * std::size_t(k)];
        std::copy(e.at(k, a), e.at(k, a) + 3, q);
        apply(moves[std::size_t(k)], q);
        for (std::size_t x = 0; x < 3; ++x) mean[x] += q[x] / e.members;
      }
      for (int k = 0; k < e.members; ++k)
        for (std::size_t x = 0; x < 3; ++x) sum += std::pow(p[3 * std::size_t(k) + x] - mean[x], 2);
      ++atoms;
    }
    if (atoms > 0) out[std::size_t(r)] = std::sqrt(sum / (double(atoms) * e.members));
  }
  return out;
}

int atom_named(const VokanData& v, int r, std::string_view name) {
  if (r < 1 || r > v.nr) return 0;
  for (int a = v.ifira(r); a < v.ifira(r + 1); ++a)
    if (rtrim(v.anam(a)) == name && v.iael(a) > 0 && v.iael(a) < 900) return a;
  return 0;
}

double distance(const double* a, const double* b) {
  return std::sqrt(std::pow(a[0] - b[0], 2) + std::pow(a[1] - b[1], 2) + std::pow(a[2] - b[2], 2));
}

// S of the torsion of the four atoms over the members; absent when an atom is missing or
// lacks coordinates somewhere, when the bond from `bond[0]` to `bond[1]` is broken, or the angle undefined.
std::optional<double> torsion_order(const Ensemble& e, std::array<int, 4> atoms, std::array<int, 2> bond) {
  for (const int a : atoms)
    if (a == 0 || !e.everywhere(a)) return std::nullopt;
  std::vector<double> angles;
  for (int k = 0; k < e.members; ++k) {
    if (distance(e.at(k, bond[0]), e.at(k, bond[1])) > max_peptide_bond) return std::nullopt;
    const std::optional<double> t =
        dihedral(e.at(k, atoms[0]), e.at(k, atoms[1]), e.at(k, atoms[2]), e.at(k, atoms[3]));
    if (!t) return std::nullopt;
    angles.push_back(*t);
  }
  return std::min(1.0, calc_order_parameter(angles));
}

}  // namespace

std::optional<double> dihedral(const double* a, const double* b, const double* c, const double* d) {
  using V = std::array<double, 3>;
  auto sub = [](const double* p, const double* q) { return V{p[0] - q[0], p[1] - q[1], p[2] - q[2]}; };
  auto cross = [](const V& p, const V& q) {
    return V{p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2], p[0] * q[1] - p[1] * q[0]};
  };
  auto dot = [](const V& p, const V& q) { return p[0] * q[0] + p[1] * q[1] + p[2] * q[2]; };
  const V b1 = sub(b, a), b2 = sub(c, b), b3 = sub(d, c);
  const V n1 = cross(b1, b2), n2 = cross(b2, b3);
  const double len2 = std::sqrt(dot(b2, b2));
  // Points in line (or on top of each other) leave a plane, and so the angle, undefined.
  constexpr double tiny = 1e-12;
  if (dot(n1, n1) < tiny || dot(n2, n2) < tiny || len2 < tiny) return std::nullopt;
  // Positive clockwise, looking from b to c (IUPAC).
  return std::atan2(dot(cross(n1, n2), b2) / len2, dot(n1, n2));
}

void add_statistics(const Session& s, Result& r) {
  const VokanData& v = s.vokandata;
  const Ensemble e{v, v.nsstr};
  if (e.members < 1 || v.nr < 1) return;

  std::unordered_map<std::string, int> index;
  for (int i = 1; i <= v.nr; ++i) index.emplace(std::string(rtrim(v.rnum(i))), i);
  std::vector<int> domain_of(std::size_t(v.nr) + 1, 0);

  // The figures over all residues are the same for every domain.
  const std::vector<char> all(std::size_t(v.nr) + 1, 1);
  const RmsdStat backbone_all = r.domains.empty() ? RmsdStat{} : superpose(e, all, Atoms::backbone).stat;
  const RmsdStat heavy_all = r.domains.empty() ? RmsdStat{} : superpose(e, all, Atoms::heavy).stat;
  std::vector<Transform> first_moves;
  for (std::size_t d = 0; d < r.domains.size(); ++d) {
    Domain& domain = r.domains[d];
    std::vector<char> residues(std::size_t(v.nr) + 1, 0);
    for (const std::string& id : domain.residue_ids)
      if (const auto it = index.find(id); it != index.end()) {
        residues[std::size_t(it->second)] = 1;
        if (domain_of[std::size_t(it->second)] == 0) domain_of[std::size_t(it->second)] = int(d) + 1;
      }
    Superposition backbone = superpose(e, residues, Atoms::backbone, true);
    domain.stats = {backbone.stat, superpose(e, residues, Atoms::heavy).stat, backbone_all, heavy_all};
    if (d == 0) first_moves = backbone.moves;
    // The motions as they apply to the file's coordinates: a flexible conformer is kept in
    // the frame of its angles, which the reader's frame carries onto the file's.
    for (int k = 0; k < e.members; ++k) {
      const std::size_t model = std::size_t(v.isstr(k + 1)) - 1;
      const Transform frame = model < s.readdata.frames.size() ? s.readdata.frames[model] : Transform{};
      domain.superposition.push_back(then(inverse(frame), backbone.moves[std::size_t(k)]));
    }
  }

  const std::vector<std::optional<double>> fluctuation =
      first_moves.empty() ? std::vector<std::optional<double>>(std::size_t(v.nr) + 1) : rmsf(e, first_moves);
  for (int i = 1; i <= v.nr; ++i) {
    ResidueProfile p;
    p.id = std::string(rtrim(v.rnum(i)));
    p.name = std::string(rtrim(v.rnam(i)));
    p.rmsf = fluctuation[std::size_t(i)];
    const int n = atom_named(v, i, "N"), ca = atom_named(v, i, "CA"), c = atom_named(v, i, "C");
    const bool amino = n != 0 && ca != 0 && c != 0;
    if (amino && i > 1 && v.ichain(i - 1) == v.ichain(i)) {
      const int before = atom_named(v, i - 1, "C");
      p.s_phi = torsion_order(e, {before, n, ca, c}, {before, n});
    }
    if (amino && i < v.nr && v.ichain(i + 1) == v.ichain(i)) {
      const int after = atom_named(v, i + 1, "N");
      p.s_psi = torsion_order(e, {n, ca, c, after}, {c, after});
    }
    if (domain_of[std::size_t(i)] > 0) p.domain = domain_of[std::size_t(i)];
    r.per_residue.push_back(std::move(p));
  }
}

}  // namespace veldrix
