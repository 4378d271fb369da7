// Structure statistics: the iterative fit by hand, order parameters of known torsions, synthetic ensembles with
// known answers, every shared ensemble with its superposed files read back by gemmi.
#include <gtest/gtest.h>

#include <gemmi/cif.hpp>
#include <gemmi/mmcif.hpp>
#include <gemmi/pdb.hpp>

#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "input/extseq.hpp"
#include "input/pdbfields.hpp"
#include "molecule/sequence.hpp"
#include "molecule/tree.hpp"
#include "rmsd_var/variance.hpp"
#include "stats/fit.hpp"
#include "stats/plot.hpp"
#include "stats/stats.hpp"
#include "superpose/transform.hpp"
#include "test_support.hpp"
#include "util/text.hpp"

namespace veldrix::testing {
namespace {

constexpr double degree = std::numbers::pi / 180;

// Three tetrahedra scaled by 1, 1.3 and 1.5 about their centre, the second and third also turned and moved: by
// symmetry every fit leaves the turn undone and no other, so the mean is the tetrahedron scaled by the mean
// scale 3.8/3, and conformer k lies |s_k - 3.8/3| * sqrt(3) from it: sqrt(3) * (0.8, 0.1, 0.7) / 3.
TEST(MeanFit, ThreeTetrahedraOfFourAtomsByHand) {
  const double tetrahedron[4][3] = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
  const double scale[3] = {1.0, 1.3, 1.5};
  Transform turn;
  turn.rotation = {0, -1, 0, 1, 0, 0, 0, 0, 1};  // 90 degrees about z
  turn.translation = {5, -2, 3};
  const Transform moves[3] = {Transform{}, turn, then(turn, turn)};
  std::vector<double> coords;
  for (int k = 0; k < 3; ++k)
    for (const auto& corner : tetrahedron) {
      double p[3] = {scale[k] * corner[0], scale[k] * corner[1], scale[k] * corner[2]};
      apply(moves[k], p);
      coords.insert(coords.end(), p, p + 3);
    }
  const std::vector<double> stored = coords;
  const MeanFit fit = fit_to_mean(coords, 3, 4);
  EXPECT_EQ(fit.rounds, 1);  // the first fit onto the mean already moves nothing
  for (int i = 0; i < 4; ++i)
    for (int x = 0; x < 3; ++x) EXPECT_NEAR(fit.mean[std::size_t(3 * i + x)], 3.8 / 3 * tetrahedron[i][x], 1e-9);
  const double off[3] = {0.8 / 3, 0.1 / 3, 0.7 / 3};
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(fit.rmsd[std::size_t(k)], std::sqrt(3.0) * off[k], 1e-9);
  // Mean sqrt(3) * 1.6 / 9; deviations sqrt(3) * (0.8, -1.3, 0.5) / 9, their squares' sum / 2 = 3 * 2.58 / 162.
  const RmsdStat stat = summarise(fit, 4);
  EXPECT_NEAR(stat.mean, std::sqrt(3.0) * 1.6 / 9, 1e-9);
  EXPECT_NEAR(stat.sd, std::sqrt(3 * 2.58 / 162), 1e-9);
  EXPECT_EQ(std::pair(stat.atoms, stat.conformers), std::pair(4, 3));
  // The motion of each conformer onto its fitted place undoes its turn.
  for (int k = 1; k < 3; ++k) {
    const Transform t = fit_transform(std::span(stored).subspan(12 * std::size_t(k), 12),
                                      std::span(coords).subspan(12 * std::size_t(k), 12), 4);
    for (std::size_t i = 0; i < 9; ++i) EXPECT_NEAR(t.rotation[i], inverse(moves[k]).rotation[i], 1e-9) << k;
  }
}

TEST(OrderParameters, DihedralsAndTheirSpread) {
  const double a[3] = {1, 0, 0}, b[3] = {0, 0, 0}, c[3] = {0, 0, 1};
  for (const double angle : {0.0, 60.0, 179.0, -90.0}) {
    const double d[3] = {std::cos(angle * degree), std::sin(angle * degree), 1};
    EXPECT_NEAR(*dihedral(a, b, c, d), angle * degree, 1e-12) << angle;
  }
  const double in_line[3] = {0, 0, 2};
  EXPECT_FALSE(dihedral(a, b, c, in_line));
  const std::vector<std::pair<std::vector<double>, double>> cases = {
      {{1.0, 1.0, 1.0}, 1.0},
      {{0.0, std::numbers::pi}, 0.0},
      {{-60 * degree, 60 * degree, -60 * degree, 60 * degree}, 0.5},  // cos 60
      {{0.0, 90 * degree}, std::sqrt(0.5)}};
  for (const auto& [angles, s] : cases) EXPECT_NEAR(calc_order_parameter(angles), s, 1e-12);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

gemmi::Structure read_text(std::string text, const std::string& name) {
  if (trim(text).starts_with("data_"))
    return gemmi::make_structure(gemmi::cif::read_memory(text.data(), text.size(), name.c_str()));
  gemmi::PdbReadOptions old;  // 1hdn: the entry's code and line numbers past column 72
  old.max_line_length = text.find("1HDN 115") != std::string::npos ? 72 : 0;
  return gemmi::read_pdb_from_memory(text.data(), text.size(), name, old);
}

// Per model: chain, residue number and name of every atom, in order.
std::vector<std::vector<std::string>> atom_names(const gemmi::Structure& st) {
  std::vector<std::vector<std::string>> out;
  for (const gemmi::Model& model : st.models) {
    auto& names = out.emplace_back();
    for (const gemmi::Chain& c : model.chains)
      for (const gemmi::Residue& r : c.residues)
        for (const gemmi::Atom& a : r.atoms) names.push_back(c.name + std::to_string(r.seqid.num.value) + a.name);
  }
  return out;
}

// The mean over the models of their RMSD to the mean position of the backbone atoms of the residues `ids`
// that every model has, as the coordinates of the file stand.
double backbone_rmsd_as_written(const gemmi::Structure& st, const std::vector<std::string>& ids) {
  static const std::set<std::string> backbone = {"N", "CA", "C", "P", "O5'", "C5'", "C4'", "C3'", "O3'"};
  const std::set<std::string> wanted(ids.begin(), ids.end());
  std::map<std::string, std::vector<gemmi::Position>> atoms;
  for (const gemmi::Model& model : st.models)
    for (const gemmi::Chain& c : model.chains)
      for (const gemmi::Residue& r : c.residues)
        for (const gemmi::Atom& a : r.atoms) {
          const std::string id =
              (c.name.empty() ? std::string("A") : c.name.substr(0, 1)) + std::to_string(r.seqid.num.value);
          if (wanted.count(id) && backbone.count(a.name) && (a.altloc == '\0' || a.altloc == 'A'))
            atoms[id + "/" + a.name].push_back(a.pos);
        }
  const std::size_t m = st.models.size();
  std::vector<double> sums(m, 0.0);
  int n = 0;
  for (const auto& [key, pos] : atoms) {
    if (pos.size() != m) continue;
    gemmi::Position mean(0, 0, 0);
    for (const gemmi::Position& p : pos) mean += p / double(m);
    for (std::size_t k = 0; k < m; ++k) sums[k] += pos[k].dist_sq(mean);
    ++n;
  }
  double total = 0;
  for (const double sum : sums) total += std::sqrt(sum / n);
  return total / double(m);
}

// Model 1 of 1d3z: its ATOM records and their coordinates.
struct Model {
  std::vector<std::string> records;
  std::vector<std::array<double, 3>> xyz;
  std::vector<int> residue;
};

Model first_model() {
  Model m;
  std::istringstream in(data_file("1d3z.pdb.gz"));
  for (std::string l; std::getline(in, l) && !l.starts_with("ENDMDL");)
    if (l.starts_with("ATOM")) {
      m.records.push_back(l);
      m.xyz.push_back({std::stod(l.substr(30, 8)), std::stod(l.substr(38, 8)), std::stod(l.substr(46, 8))});
      m.residue.push_back(std::stoi(l.substr(22, 4)));
    }
  return m;
}

// The model's records once per conformer, with the coordinates each conformer gives them.
std::string ensemble_text(const Model& m, const std::vector<std::vector<std::array<double, 3>>>& conformers) {
  std::string text;
  char buf[32];
  for (std::size_t k = 0; k < conformers.size(); ++k) {
    text += "MODEL     " + std::to_string(k + 1) + "\n";
    for (std::size_t i = 0; i < m.records.size(); ++i) {
      std::snprintf(buf, sizeof buf, "%8.3f%8.3f%8.3f", conformers[k][i][0], conformers[k][i][1], conformers[k][i][2]);
      text += m.records[i].substr(0, 30) + buf + m.records[i].substr(54) + "\n";
    }
    text += "ENDMDL\n";
  }
  return text;
}

// A turn by `angle` about the unit axis through `centre`.
Transform turn_about(const std::array<double, 3>& axis, double angle, const std::array<double, 3>& centre) {
  const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
  const auto [x, y, z] = axis;
  Transform r;
  r.rotation = {t * x * x + c,     t * x * y - s * z, t * x * z + s * y, t * x * y + s * z, t * y * y + c,
                t * y * z - s * x, t * x * z - s * y, t * y * z + s * x, t * z * z + c};
  r.translation = {-centre[0], -centre[1], -centre[2]};
  apply(Transform{r.rotation, {}}, r.translation.data());
  for (std::size_t i = 0; i < 3; ++i) r.translation[i] += centre[i];
  return r;
}

// Rigid copies of model 1 with Gaussian noise of sigma on every coordinate, each moved as a whole at random
// (identical copies, without noise, stay where they are);
// residues from `hinge` on turned about a fixed axis through the hinge by an angle of up to 25 degrees.
Result synthetic(const Model& m, int copies, double sigma, int hinge = 0, unsigned seed = 11) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::uniform_real_distribution<double> angle(-25 * degree, 25 * degree);
  std::vector<std::vector<std::array<double, 3>>> conformers;
  const std::array<double, 3> centre = m.xyz[0], axis = {0.6, 0.0, 0.8};
  for (int k = 0; k < copies; ++k) {
    const Transform pose = sigma > 0 ? turn_about({0.0, 0.8, 0.6}, angle(rng) * 4, {1, 2, 3}) : Transform{};
    const Transform bend = turn_about(axis, angle(rng), centre);
    auto& c = conformers.emplace_back(m.xyz);
    for (std::size_t i = 0; i < c.size(); ++i) {
      if (hinge > 0 && m.residue[i] >= hinge) apply(bend, c[i].data());
      for (double& x : c[i]) x += sigma * noise(rng);
      apply(pose, c[i].data());
    }
  }
  return analyse_text(ensemble_text(m, conformers));
}

std::vector<RmsdStat> figures(const Domain& d) {
  return {d.stats.backbone, d.stats.heavy, d.stats.backbone_all, d.stats.heavy_all};
}

TEST(Statistics, SyntheticEnsemblesWithKnownAnswers) {
  const Model m = first_model();
  // Noise of 0.3 A: the RMSD to the mean is sigma * sqrt(3) * sqrt((n-1)/n), and so is the RMSF of a residue.
  const Result noisy = synthetic(m, 20, 0.3);
  const double expected = 0.3 * std::sqrt(3.0) * std::sqrt(19.0 / 20);
  ASSERT_FALSE(noisy.domains.empty());
  for (const RmsdStat& s : figures(noisy.domains[0])) {
    EXPECT_NEAR(s.mean, expected, 0.03 * expected);
    EXPECT_LT(s.sd, 0.1 * expected);
    EXPECT_EQ(s.conformers, 20);
  }
  double sum = 0;
  for (const ResidueProfile& p : noisy.per_residue) sum += p.rmsf.value();
  EXPECT_NEAR(sum / double(noisy.per_residue.size()), expected, 0.05 * expected);

  // Identical conformers: no figure above zero, every defined order parameter 1.
  const Result same = synthetic(m, 10, 0.0, 0, 0);
  ASSERT_EQ(same.domains.size(), 1u);
  for (const RmsdStat& s : figures(same.domains[0])) EXPECT_NEAR(s.mean + s.sd, 0.0, 1e-6);
  for (const ResidueProfile& p : same.per_residue) {
    EXPECT_NEAR(p.rmsf.value(), 0.0, 1e-6) << p.id;
    for (const std::optional<double>& s : {p.s_phi, p.s_psi}) EXPECT_NEAR(s.value_or(1.0), 1.0, 1e-9) << p.id;
  }
  EXPECT_FALSE(same.per_residue.front().s_phi);  // chain ends
  EXPECT_FALSE(same.per_residue.back().s_psi);

  // Two rigid halves turned against each other at residue 39: each half precise, the whole not.
  const Result halves = synthetic(m, 20, 0.02, 39);
  ASSERT_GE(halves.domains.size(), 2u);
  std::set<std::pair<int, bool>> sides;  // (domain, residues from the hinge on)
  for (std::size_t d = 0; d < 2; ++d) {
    const DomainStats& s = halves.domains[d].stats;
    EXPECT_LT(s.backbone.mean, 0.1) << d;
    EXPECT_GT(s.backbone_all.mean, 1.0) << d;
  }
  for (std::size_t i = 0; i < halves.per_residue.size(); ++i)
    if (const std::optional<int> d = halves.per_residue[i].domain; d && *d <= 2) sides.emplace(*d, i + 1 >= 39);
  EXPECT_EQ(sides.size(), 2u) << "each domain lies in one half";
}

// A chain of 12 alanines built on the library's geometry in 10 conformers: every angle the same but phi of
// residue 6, -60 degrees in five conformers and +60 in the others: S(phi) = cos 60 there, 1 elsewhere.
TEST(Statistics, OrderParametersOfKnownTorsionsInFlexibleConformers) {
  Session s;
  load_library(s);
  std::string seq;
  for (int i = 1; i <= 12; ++i) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "ATOM  %5d  N   ALA A%4d       0.000   0.000   0.000  1.00  0.00\n", i, i);
    seq += buf;
  }
  PdbText in(seq);
  extseq(s, in, 3, "*", 2);
  iniseq(s);
  VokanData& v = s.vokandata;
  std::string text;
  for (int k = 0; k < 10; ++k) {
    for (int a = 1; a <= v.ndfree; ++a) {
      const std::string name(rtrim(v.dnam(a)));
      v.dval(a) = (name == "PHI" ? (v.idr(a) == 6 ? (k < 5 ? -60 : 60) : -120) : name == "PSI" ? 130 : 180) * degree;
    }
    gener(v);
    Transform pose = turn_about({0, 0, 1}, 0.3 * k, {0, 0, 0});  // each model in a pose of its own
    pose.translation[0] = 3.0 * k;
    text += "MODEL     " + std::to_string(k + 1) + "\n";
    for (int a = 1; a <= v.na; ++a) {
      if (v.iael(a) == 0) continue;
      double p[3] = {v.coo(1, v.col(0, a)), v.coo(2, v.col(0, a)), v.coo(3, v.col(0, a))};
      apply(pose, p);
      char buf[96];
      std::snprintf(buf, sizeof buf, "ATOM  %5d %-4s ALA A%4d    %8.3f%8.3f%8.3f  1.00  0.00\n", a,
                    (v.anam(a).size() < 4 ? " " + v.anam(a) : v.anam(a)).c_str(), v.iar(a), p[0], p[1], p[2]);
      text += buf;
    }
    text += "ENDMDL\n";
  }
  Options o;
  o.minimum = 4;
  const Result r = analyse_text(text, o);
  ASSERT_EQ(r.conformers.flexible, 10);
  ASSERT_EQ(r.per_residue.size(), 12u);
  for (std::size_t i = 0; i < 12; ++i) {
    const ResidueProfile& p = r.per_residue[i];
    EXPECT_EQ(p.s_phi.has_value(), i > 0) << p.id;
    EXPECT_EQ(p.s_psi.has_value(), i < 11) << p.id;
    EXPECT_NEAR(p.s_phi.value_or(1), i == 5 ? 0.5 : 1.0, 1e-3) << p.id;
    EXPECT_NEAR(p.s_psi.value_or(1), 1.0, 1e-3) << p.id;
  }
  // The file's coordinates, which the conformers' angles reproduce within the reader's tolerance but in a
  // frame of their own.
  ASSERT_FALSE(r.domains.empty());
  TempDir dir("flexible");
  write_superposed(dir.write("in.pdb", text), r, 0, dir.path("out.pdb"));
  EXPECT_NEAR(backbone_rmsd_as_written(read_text(read_file(dir.path("out.pdb")), "out"), r.domains[0].residue_ids),
              r.domains[0].stats.backbone.mean, 0.01);
}

const std::vector<std::string> ensembles = {"1adz", "1aj3", "1aq5", "1d3z", "1hdn", "1l2y", "1lcd",
                                            "2beg", "2hkb", "2k39", "2koc", "2lc9", "2sdf"};

// Whether the text is one well-formed XML element after an optional declaration: tags nested and closed,
// attribute values quoted, the five named entities and character references only.
bool well_formed(std::string_view x) {
  static const std::regex name(R"([A-Za-z_:][-A-Za-z0-9_:.]*)"),
      attributes(R"((\s+[A-Za-z_:][-A-Za-z0-9_:.]*="[^"<]*")*\s*/?)");
  static const std::regex entity(R"(&(amp|lt|gt|quot|apos|#[0-9]+|#x[0-9a-fA-F]+);)");
  if (x.starts_with("<?xml")) x.remove_prefix(x.find("?>") + 2);
  std::vector<std::string> open;
  bool root_done = false;
  for (std::size_t at = 0; at < x.size();) {
    const std::size_t lt = x.find('<', at);
    const std::string text(x.substr(at, lt == std::string_view::npos ? lt : lt - at));
    if (std::regex_replace(text, entity, "").find('&') != std::string::npos) return false;
    if ((open.empty() || root_done) && text.find_first_not_of(" \t\r\n") != std::string::npos) return false;
    if (lt == std::string_view::npos) break;
    const std::size_t gt = x.find('>', lt);
    if (gt == std::string_view::npos) return false;
    std::string tag(x.substr(lt + 1, gt - lt - 1));
    if (std::regex_replace(tag, entity, "").find('&') != std::string::npos) return false;
    if (tag.starts_with("/")) {
      if (open.empty() || open.back() != tag.substr(1)) return false;
      open.pop_back();
      root_done = open.empty();
    } else {
      const std::size_t end = std::min(tag.find_first_of(" \t\n/"), tag.size());
      if (root_done || !std::regex_match(tag.substr(0, end), name) || !std::regex_match(tag.substr(end), attributes))
        return false;
      if (!tag.ends_with("/")) open.push_back(tag.substr(0, end));
      root_done = open.empty();
    }
    at = gt + 1;
  }
  return open.empty() && root_done;
}

// The texts of the plot's <text> elements.
std::vector<std::string> texts(const std::string& svg) {
  static const std::regex text(R"(<text[^>]*>([^<]*)</text>)");
  std::vector<std::string> out;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), text); it != std::sregex_iterator(); ++it)
    out.push_back((*it)[1]);
  return out;
}

// 10 residues, and 600 in two chains with a jump in the numbering: every number labelled for 10, labels at a
// readable spacing for 600, both chains named, one break mark per jump, a legend line per domain.
TEST(Plot, WellFormedAndReadableForTenAndSixHundredResidues) {
  for (const int n : {10, 600}) {
    Result r;
    r.conformers.rigid = 20;
    for (int i = 0; i < n; ++i) {
      const bool b = i >= n / 2;
      r.per_residue.push_back(
          {std::string(b ? "B" : "A") + std::to_string(i % (n / 2) + 1 + (b && i % (n / 2) >= 5 ? 7 : 0)), "ALA",
           0.1 + (i % 7) * 0.3, 0.9, std::nullopt, i % 3 == 0 ? std::optional(1 + int(b)) : std::nullopt});
    }
    r.domains.resize(2);
    r.domains[1].ranges = "B10..B20, B30..B40";
    const std::string svg = plot_svg(r, "a&b <1>.pdb");
    ASSERT_TRUE(well_formed(svg)) << svg;
    const std::vector<std::string> t = texts(svg);
    EXPECT_EQ(t.front(), "a&amp;b &lt;1&gt;.pdb");
    int numbers = 0;
    for (const std::string& s : t) numbers += std::regex_match(s, std::regex("[0-9]+"));
    if (n == 10)
      EXPECT_EQ(numbers, 10);
    else
      EXPECT_TRUE(numbers >= 20 && numbers <= 40) << numbers;
    EXPECT_EQ(std::count(t.begin(), t.end(), "chain A") + std::count(t.begin(), t.end(), "chain B"), 2);
    EXPECT_EQ(std::count(t.begin(), t.end(), "B10..B20, B30..B40"), 1);
    // Chromium, where the machine has it, draws more than a blank page of the same size.
    if (n == 10 || !std::filesystem::exists("/usr/bin/chromium")) continue;
    TempDir dir("plot");
    auto render = [&](const std::string& name, const std::string& content) {
      const std::string png = dir.path(name + ".png"),
                        command =
                            "timeout 120 /usr/bin/chromium --headless --no-sandbox "
                            "--disable-gpu --disable-background-networking --no-first-run --user-data-dir=" +
                            dir.path("profile") + " --screenshot=" + png + " --window-size=1200,800 " +
                            dir.write(name + ".svg", content) + " >/dev/null 2>&1";
      EXPECT_EQ(std::system(command.c_str()), 0);
      return std::filesystem::exists(png) ? std::filesystem::file_size(png) : 0;
    };
    EXPECT_GT(render("plot", svg),
              4 * render("blank", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1200\" height=\"800\"/>"));
  }
  if (!std::filesystem::exists("/usr/bin/chromium"))
    GTEST_SKIP() << "chromium is not installed: the plot was not rendered";
}

// Figures finite, heavy atoms at least as spread as the backbone (but where checked otherwise), and each
// domain's superposed file read back by gemmi: the input's models and atoms, coordinates giving its RMSD.
TEST(Statistics, EverySharedEnsembleAndItsSuperposedFiles) {
  // Heavy atoms below the backbone, found so with gemmi's own superposition too: the stacked bases of the
  // DNA of 2hkb lie better than its phosphodiester backbone; all residues of 1aq5 count disordered tails
  // of small residues whose weight the heavy atoms of the ordered core lessen.
  const std::set<std::string> heavy_below = {"2hkb domain", "2hkb all", "1aq5 all"};
  TempDir dir("stats");
  std::vector<std::string> inputs;
  for (const std::string& id : ensembles) inputs.push_back(id + ".pdb.gz");
  inputs.push_back("formats/2beg.cif.gz");
  for (const std::string& name : inputs) {
    SCOPED_TRACE(name);
    const std::string path = std::string(VELDRIX_TEST_DATA) + "/" + name, id = name.substr(name.rfind('/') + 1, 4);
    const Result r = analyse(path, Options{.names = Names::modern});
    ASSERT_FALSE(r.domains.empty());
    ASSERT_EQ(r.per_residue.size(), std::size_t(r.residues));
    for (const ResidueProfile& p : r.per_residue) {
      EXPECT_TRUE(std::isfinite(p.rmsf.value()) && *p.rmsf >= 0) << p.id;
      for (const std::optional<double>& s : {p.s_phi, p.s_psi}) EXPECT_TRUE(!s || (*s >= 0 && *s <= 1)) << p.id;
    }
    EXPECT_TRUE(well_formed(plot_svg(r, name)));
    const gemmi::Structure input = read_text(data_file(name), name);
    for (std::size_t k = 0; k < r.domains.size(); ++k) {
      const Domain& d = r.domains[k];
      for (const RmsdStat& s : figures(d))
        EXPECT_TRUE(std::isfinite(s.mean) && std::isfinite(s.sd) && s.atoms >= 4 &&
                    s.conformers == int(input.models.size()));
      EXPECT_EQ(d.stats.heavy.mean >= d.stats.backbone.mean, !heavy_below.count(id + " domain"));
      EXPECT_EQ(d.stats.heavy_all.mean >= d.stats.backbone_all.mean, !heavy_below.count(id + " all"));
      const std::string out = dir.path(id + ".domain" + std::to_string(k + 1));
      write_superposed(path, r, k, out);
      const gemmi::Structure written = read_text(read_file(out), out);
      EXPECT_EQ(atom_names(written), atom_names(input));
      EXPECT_NEAR(backbone_rmsd_as_written(written, d.residue_ids), d.stats.backbone.mean, 2e-3);
      EXPECT_EQ(trim(read_file(out)).starts_with("data_"), name.ends_with(".cif.gz"));
    }
  }
}

}  // namespace
}  // namespace veldrix::testing
