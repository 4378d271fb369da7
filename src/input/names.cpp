// Today's residue and atom names (PDB v3, simulation programs) mapped to the names of the residue library.
#include "input/names.hpp"

#include <array>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace veldrix {

namespace {

// Library residues by kind, for the atom renames.
constexpr std::string_view amino_acids_with_h =
    "ALA ARG ASN ASP CYS CYSS GLN GLU GLY HIS ILE LEU LYS MET PHE SER THR TRP TYR VAL";
constexpr std::string_view amino_acids =
    "ALA ARG ASN ASP CYS CYSS GLN GLU GLY HIS ILE LEU LYS MET PHE PRO SER THR TRP TYR VAL";
constexpr std::string_view nucleotides = "ADE CYT GUA THY RADE RCYT RGUA URA";
constexpr std::string_view deoxy_nucleotides = "ADE CYT GUA THY";
constexpr std::string_view ribo_nucleotides = "RADE RCYT RGUA URA";

constexpr auto residue_table = std::to_array<ResidueRename>({
    // PDB v3 DNA and RNA; RA..RU as some programs write RNA; T and U of the old PDB format.
    {"DA", "ADE"}, {"DC", "CYT"}, {"DG", "GUA"}, {"DT", "THY"},
    {"A", "RADE"}, {"C", "RCYT"}, {"G", "RGUA"}, {"U", "URA"}, {"T", "THY"},
    {"RA", "RADE"}, {"RC", "RCYT"}, {"RG", "RGUA"}, {"RU", "URA"},
    // Protonation states of AMBER, CHARMM and GROMACS.
    {"HID", "HIS"}, {"HIE", "HIS"}, {"HIP", "HIS"}, {"HSD", "HIS"}, {"HSE", "HIS"}, {"HSP", "HIS"},
    {"CYX", "CYSS"}, {"CYM", "CYS"}, {"ASH", "ASP"}, {"GLH", "GLU"}, {"LYN", "LYS"},
});

constexpr auto atom_table = std::to_array<AtomRename>({
    // CHARMM and X-PLOR amide hydrogen; C-terminal oxygens of CHARMM (OT1) and GROMACS (OC1).
    {amino_acids_with_h, "HN", "H"},
    {amino_acids, "OT1", "O"},
    {amino_acids, "OC1", "O"},
    // CHARMM and GROMOS name isoleucine's delta carbon CD; CHARMM the hydroxyl hydrogens HG1.
    {"ILE", "CD", "CD1"},
    {"SER CYS", "HG1", "HG"},
    // Phosphate oxygens of the old PDB format and CHARMM.
    {nucleotides, "O1P", "OP1"},
    {nucleotides, "O2P", "OP2"},
    // The library writes the second 5' and 2' hydrogens H5" and H2"; AMBER's old names
    // H5'1, H5'2, H2'1, H2'2 and HO'2 are also the old PDB format's 1H5*, 2H5*, ... as read.
    {nucleotides, "H5''", "H5\""},
    {nucleotides, "H5'1", "H5'"},
    {nucleotides, "H5'2", "H5\""},
    {nucleotides, "H2'1", "H2'"},
    {deoxy_nucleotides, "H2''", "H2\""},
    {deoxy_nucleotides, "H2'2", "H2\""},
    {ribo_nucleotides, "HO'2", "HO2'"},
    // Thymine's methyl group: C5M of the old PDB format and CHARMM, its hydrogens 1H5M.. and H51..
    {"THY", "C5M", "C7"},
    {"THY", "H5M1", "H71"},
    {"THY", "H5M2", "H72"},
    {"THY", "H5M3", "H73"},
    {"THY", "H51", "H71"},
    {"THY", "H52", "H72"},
    {"THY", "H53", "H73"},
});

constexpr std::size_t residue_columns = 27;  // a record's residue identifier ends in column 27

std::string_view trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool listed(std::string_view list, std::string_view name) {
  while (!list.empty()) {
    const std::size_t blank = list.find(' ');
    if (list.substr(0, blank) == name) return true;
    if (blank == std::string_view::npos) break;
    list.remove_prefix(blank + 1);
  }
  return false;
}

bool is_nucleotide(std::string_view library_name) { return listed(nucleotides, library_name); }

// The atom name as the PDB reader takes it from columns 13-16: blanks trimmed, a leading digit moved to the end.
std::string reader_atom_name(std::string_view field) {
  const std::string_view s = trim(field);
  if (s.empty() || s[0] < '0' || s[0] > '9') return std::string(s);
  std::string name;
  for (char c : s.substr(1))
    if (c != ' ') name.push_back(c);
  name.push_back(s[0]);
  return name;
}

// The old PDB format's asterisk in nucleotide atom names stands for the prime.
std::string primed(std::string name) {
  for (char& c : name)
    if (c == '*') c = '\'';
  return name;
}

struct Record {
  std::size_t begin;  // offset of the line
  std::string_view line;
};

bool atom_record(std::string_view line) {
  return line.size() >= residue_columns && (line.substr(0, 5) == "ATOM " || line.substr(0, 6) == "HETATM");
}

// The residues named A, C or G that have a 2'-deoxy sugar (a C2' and no O2' atom), by residue identifier.
std::unordered_map<std::string_view, bool> deoxy_residues(const std::vector<Record>& records) {
  std::unordered_map<std::string_view, std::array<bool, 2>> sugar;  // {C2' seen, O2' seen}
  for (const Record& r : records) {
    const std::string_view name = trim(r.line.substr(17, 4));
    if (name != "A" && name != "C" && name != "G") continue;
    const std::string atom = primed(reader_atom_name(r.line.substr(12, 4)));
    auto& seen = sugar[r.line.substr(17, 10)];
    if (atom == "C2'") seen[0] = true;
    if (atom == "O2'") seen[1] = true;
  }
  std::unordered_map<std::string_view, bool> deoxy;
  for (const auto& [id, seen] : sugar) deoxy.emplace(id, seen[0] && !seen[1]);
  return deoxy;
}

std::string_view deoxy_form(std::string_view name) {
  return name == "A" ? "ADE" : name == "C" ? "CYT" : "GUA";
}

// Counts of the mappings applied, in order of first occurrence.
class Tally {
 public:
  void add(const std::string& from, std::string_view to) {
    std::string key = from + "\xe2\x86\x92" + std::string(to);  // U+2192 RIGHTWARDS ARROW
    const auto [it, added] = index_.emplace(key, entries_.size());
    if (added) entries_.push_back({std::move(key), 0});
    ++entries_[it->second].second;
  }
  const std::vector<std::pair<std::string, long long>>& entries() const { return entries_; }

 private:
  std::unordered_map<std::string, std::size_t> index_;
  std::vector<std::pair<std::string, long long>> entries_;
};

}  // namespace

std::span<const ResidueRename> residue_renames() { return residue_table; }

std::span<const AtomRename> atom_renames() { return atom_table; }

NameMapping map_modern_names(std::string_view pdb_text) {
  std::vector<Record> records;
  std::vector<std::size_t> stretch_ends;  // offsets of MODEL and ENDMDL lines
  for (std::size_t at = 0; at < pdb_text.size();) {
    std::size_t end = pdb_text.find('\n', at);
    if (end == std::string_view::npos) end = pdb_text.size();
    const std::string_view line = pdb_text.substr(at, end - at);
    if (atom_record(line)) records.push_back({at, line});
    else if (line.substr(0, 5) == "MODEL" || line.substr(0, 6) == "ENDMDL") stretch_ends.push_back(at);
    at = end + 1;
  }
  const std::unordered_map<std::string_view, bool> deoxy = deoxy_residues(records);

  std::unordered_map<std::string_view, std::string_view> residue_map;
  for (const ResidueRename& r : residue_table) residue_map.emplace(r.from, r.to);
  std::unordered_map<std::string, std::string_view> atom_map;  // "RESIDUE ATOM" -> library atom
  for (const AtomRename& a : atom_table) {
    std::string_view list = a.residues;
    while (!list.empty()) {
      const std::size_t blank = list.find(' ');
      atom_map.emplace(std::string(list.substr(0, blank)) + " " + std::string(a.from), a.to);
      if (blank == std::string_view::npos) break;
      list.remove_prefix(blank + 1);
    }
  }

  NameMapping result{std::string(pdb_text), {}};
  Tally residues, atoms;
  std::string_view previous;  // residue identifier of the previous record of the stretch
  std::size_t next_end = 0;
  for (const Record& r : records) {
    while (next_end < stretch_ends.size() && stretch_ends[next_end] < r.begin) {
      previous = {};
      ++next_end;
    }
    char* out = result.text.data() + r.begin;
    const std::string_view id = r.line.substr(17, 10);
    const std::string_view name = trim(r.line.substr(17, 4));
    std::string_view library = name;
    if (const auto it = residue_map.find(name); it != residue_map.end()) {
      library = it->second;
      if (const auto d = deoxy.find(id); d != deoxy.end() && d->second) library = deoxy_form(name);
      std::memset(out + 17, ' ', 4);
      std::memcpy(out + 17, library.data(), library.size());
      if (id != previous) residues.add(std::string(name), library);
    }
    previous = id;

    const std::string_view written = trim(r.line.substr(12, 4));
    std::string atom = reader_atom_name(r.line.substr(12, 4));
    const bool nucleic = is_nucleotide(library);
    if (nucleic) atom = primed(std::move(atom));
    std::string_view target;
    if (const auto it = atom_map.find(std::string(library) + " " + atom); it != atom_map.end()) target = it->second;
    else if (nucleic && written.find('*') != std::string_view::npos) target = atom;
    if (target.empty()) continue;
    // As PDB writers place names: from column 14 unless four characters long.
    std::memset(out + 12, ' ', 4);
    std::memcpy(out + (target.size() < 4 ? 13 : 12), target.data(), target.size());
    atoms.add(std::string(written), target);
  }

  std::string list;
  for (const Tally* t : {&residues, &atoms})
    for (const auto& [mapping, count] : t->entries())
      list += (list.empty() ? "" : ", ") + mapping + " (" + std::to_string(count) + ")";
  if (!list.empty()) result.warning = "Names mapped: " + list + ".";
  return result;
}

}  // namespace veldrix
