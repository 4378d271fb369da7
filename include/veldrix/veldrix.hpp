// VELDRIX: the well-defined residue ranges of an NMR ensemble, as a library.
//
//   veldrix::Result r = veldrix::analyse("1d3z.pdb");
//   for (const veldrix::Domain& d : r.domains) std::cout << d.ranges << " " << d.rmsd << "\n";
//
// Every call is independent: it keeps no state between calls, prints nothing and
// never ends the process. Calls may run at the same time on different threads.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veldrix {

// How the residue and atom names of the input meet the residue library: as they
// are (library), or with today's PDB and simulation names mapped to the
// library's first (modern: DA to ADE, HN to H, HIE to HIS, ...).
enum class Names { library, modern };

// The parameters of one analysis, with the defaults of the veldrix command line.
struct Options {
  double gap = 0.4;          // weight of a residue removal that would split a range in two
  double decrease = 1.2;     // relative RMSD decrease a residue removal must reach
  double absdecrease = 1.6;  // absolute RMSD decrease a residue removal must reach
  double upper_rmsd = 0.1;   // the refinement of a domain stops below this RMSD (A)
  int gapwidth = 3;          // gaps narrower than this are closed again
  int buffer = 3;            // residues added on both sides of a domain candidate
  int minimum = 8;           // residues a reported domain has at least
  std::string range{};       // residue range, e.g. "A1-A40,A60-A90"; empty: all residues
  std::string library{};     // residue library file; empty: the built-in library
  Names names = Names::library;
};

// File formats read, judged by content, never by name.
enum class Format { pdb, mmcif };
struct FileFormat {
  Format format = Format::pdb;
  bool compressed = false;  // gzip
};

// One stretch of consecutive residues of a domain.
struct Segment {
  std::string chain;  // chain letter
  std::string first;  // residue identifiers: chain letter and number, e.g. "A5"
  std::string last;
};

// A rigid motion x' = rotation * x + translation; rotation row by row.
struct Transform {
  std::array<double, 9> rotation{1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
  std::array<double, 3> translation{};
};

// The RMSD of the conformers to their mean structure (A) after their iterative
// superposition on these atoms: mean and sample standard deviation over the
// conformers, with the atoms (present in every conformer) and conformers behind it.
// Fewer than four atoms leave the conformers unfitted.
struct RmsdStat {
  double mean = 0.0;
  double sd = 0.0;
  int atoms = 0;
  int conformers = 0;
};

// The structure statistics of a domain. Backbone atoms are N, CA, C of amino
// acids and P, O5', C5', C4', C3', O3' of nucleotides; heavy atoms are all atoms
// but hydrogens. The *_all figures cover every residue of the molecule (the same
// for every domain), for comparison.
struct DomainStats {
  RmsdStat backbone, heavy, backbone_all, heavy_all;
};

// One rigid domain, as its result line reports it.
struct Domain {
  std::string ranges;             // the text between "Optimal range " and ":", e.g. "5..42, 48..60"
  std::vector<Segment> segments;  // the ranges, in order
  double rmsd = 0.0;              // ensemble RMSD on the domain (A), full precision
  int gaps = 0;
  int residues = 0;
  std::vector<std::string> residue_ids;  // the domain's residues in sequence order
  DomainStats stats;
  // Per conformer in file order: the motion of its coordinates as in the file onto
  // the mean structure of the domain's backbone (iterative fit to the mean: first
  // onto conformer 1, then onto the mean until it moves less than 1e-4 A RMS, at
  // most 50 rounds).
  std::vector<Transform> superposition;
};

// The precision profile of one residue of the sequence.
struct ResidueProfile {
  std::string id;    // chain letter and number, e.g. "A12"
  std::string name;  // residue name, e.g. "ALA"
  // RMS over the conformers and the residue's backbone atoms of the distance to the atom's
  // mean position, after the superposition on the first domain (A). Absent without a
  // domain or without backbone atoms present in every conformer.
  std::optional<double> rmsf;
  // Circular order parameters |<exp(i angle)>| over the conformers of phi (C(i-1)-N-CA-C)
  // and psi (N-CA-C-N(i+1)), measured on the coordinates. Absent for residues that are no
  // amino acids, at chain ends, across chain breaks (neighbours in another chain, or a
  // peptide bond longer than 2 A in some conformer) and where one of the four atoms lacks
  // coordinates in some conformer.
  std::optional<double> s_phi, s_psi;
  std::optional<int> domain;  // number of the domain holding the residue: 1 for domains[0], ...
};

struct Conformers {
  int rigid = 0;
  int flexible = 0;
};

// Wall time of the phases of one analysis, in seconds.
struct PhaseTimes {
  double reading = 0.0;
  double order_and_variances = 0.0;
  double clustering = 0.0;
  double domain_search = 0.0;
};

struct Result {
  std::vector<Domain> domains;        // in printed order
  Conformers conformers;              // conformers read
  FileFormat file_format;             // of the input
  int residues = 0;                   // residues of the molecule
  int range_residues = 0;             // residues with an atom in the range analysed
  std::vector<std::string> warnings;  // warning texts, without "*** WARNING: "
  std::vector<std::string> lines;     // every line veldrix prints for this input, byte for byte
  PhaseTimes phases;
  std::vector<ResidueProfile> per_residue;  // one per residue of the sequence, in order
};

// A fatal message. what() is the text veldrix prints after "*** FATAL ERROR: "
// (lines of a longer message joined by "\n"); lines() are the lines printed before it.
class Error : public std::runtime_error {
 public:
  Error(const std::string& message, std::vector<std::string> lines)
      : std::runtime_error(message), lines_(std::move(lines)) {}
  const std::vector<std::string>& lines() const noexcept { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// Analyses the ensemble in the file at `path`. Throws Error for a fatal message.
Result analyse(const std::string& path, const Options& options = {});

// Analyses an ensemble held in memory; `name` stands for the file name in the printed lines.
Result analyse_text(std::string_view text, const Options& options = {}, const std::string& name = "-");

// The format of a structure file: gzip by its magic bytes, mmCIF by a first
// data token "data_", anything else PDB. Throws Error when it cannot be read.
FileFormat detect_format(const std::string& path);

// Writes every atom of every model of the structure file `input` (PDB or mmCIF, gzip or
// not; the file analysed into `result`) to `output` in the input's format, uncompressed,
// each model moved by result.domains[domain].superposition, the B-factor column holding
// the RMSF of the atom's residue (0 where there is none). Throws Error when the file
// cannot be read, its models do not match the conformers, or the output cannot be written.
void write_superposed(const std::string& input, const Result& result, std::size_t domain, const std::string& output);

// A plot of the precision profile as a standalone SVG document: the RMSF per residue with
// the domains' ranges shaded and a legend, S(phi) and S(psi) below, `title` on top.
std::string plot_svg(const Result& result, std::string_view title);

// The library's version, e.g. "2.0.0".
std::string version();

}  // namespace veldrix
