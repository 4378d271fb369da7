// Today's residue and atom names (PDB v3, simulation programs) mapped to the names of the residue library.
#include "input/names.hpp"

#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
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
    {"DA", "ADE"},
    {"DC", "CYT"},
    {"DG", "GUA"},
    {"DT", "THY"},
    {"A", "RADE"},
    {"C", "RCYT"},
    {"G", "RGUA"},
    {"U", "URA"},
    {"T", "THY"},
    {"RA", "RADE"},
    {"RC", "RCYT"},
    {"RG", "RGUA"},
    {"RU", "URA"},
    // Protonation states of AMBER, CHARMM and GROMACS.
    {"HID", "HIS"},
    {"HIE", "HIS"},
    {"HIP", "HIS"},
    {"HSD", "HIS"},
    {"HSE", "HIS"},
    {"HSP", "HIS"},
    {"CYX", "CYSS"},
    {"CYM", "CYS"},
    {"ASH", "ASP"},
    {"GLH", "GLU"},
    {"LYN", "LYS"},
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

bool atom_record(std::string_view line) {
  return line.size() >= residue_columns && (line.substr(0, 5) == "ATOM " || line.substr(0, 6) == "HETATM");
}

// Calls f(offset, line) for every line of the text.
template <class F>
void for_each_line(std::string_view text, F f) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    f(at, text.substr(at, end - at));
    at = end + 1;
  }
}

// The residues named A, C or G that have a 2'-deoxy sugar (a C2' and no O2' atom), by residue identifier.
std::unordered_map<std::string, bool> deoxy_residues(std::string_view text) {
  std::unordered_map<std::string, std::array<bool, 2>> sugar;  // {C2' seen, O2' seen}
  for_each_line(text, [&](std::size_t, std::string_view line) {
    if (!atom_record(line)) return;
    const std::string_view name = trim(line.substr(17, 4));
    if (name != "A" && name != "C" && name != "G") return;
    const std::string atom = primed(reader_atom_name(line.substr(12, 4)));
    auto& seen = sugar[std::string(line.substr(17, 10))];
    if (atom == "C2'") seen[0] = true;
    if (atom == "O2'") seen[1] = true;
  });
  std::unordered_map<std::string, bool> deoxy;
  for (const auto& [id, seen] : sugar) deoxy.emplace(id, seen[0] && !seen[1]);
  return deoxy;
}

std::string_view deoxy_form(std::string_view name) { return name == "A" ? "ADE" : name == "C" ? "CYT" : "GUA"; }

// Counts of the mappings applied, in order of first occurrence.
class Tally {
 public:
  // The entry of a mapping, made (with no count yet) on first sight.
  std::size_t entry(std::string_view from, std::string_view to) {
    std::string key = std::string(from).append("\xe2\x86\x92").append(to);  // U+2192 RIGHTWARDS ARROW
    const auto [it, added] = index_.emplace(key, entries_.size());
    if (added) entries_.push_back({std::move(key), 0});
    return it->second;
  }
  void count(std::size_t entry) { ++entries_[entry].second; }
  const std::vector<std::pair<std::string, long long>>& entries() const { return entries_; }

 private:
  std::unordered_map<std::string, std::size_t> index_;
  std::vector<std::pair<std::string, long long>> entries_;
};

// The atom name field (columns 13-16) and the residue name field (columns 18-21) as one key.
std::uint64_t packed_names(std::string_view line) {
  char bytes[8];
  std::memcpy(bytes, line.data() + 12, 4);
  std::memcpy(bytes + 4, line.data() + 17, 4);
  std::uint64_t key;
  std::memcpy(&key, bytes, 8);
  return key;
}

}  // namespace

std::span<const ResidueRename> residue_renames() { return residue_table; }

std::span<const AtomRename> atom_renames() { return atom_table; }

NameMapping map_modern_names(std::string_view pdb_text) {
  NameMapping result{std::string(pdb_text), {}};
  result.warning = map_modern_names_in_place(result.text);
  return result;
}

std::string map_modern_names_in_place(std::string& pdb_text) {
  const std::unordered_map<std::string, bool> deoxy = deoxy_residues(pdb_text);

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

  // The atom rename of a record depends only on its atom name field and its library residue: looked up
  // once per pair (a protein file has a few hundred of them), not once per record.
  std::unordered_set<std::string> primed_names;  // owns the names that are not in the table
  const auto atom_target = [&](std::string_view library, std::string_view field) -> std::string_view {
    std::string atom = reader_atom_name(field);
    const bool nucleic = is_nucleotide(library);
    if (nucleic) atom = primed(std::move(atom));
    if (const auto it = atom_map.find(std::string(library) + " " + atom); it != atom_map.end()) return it->second;
    if (nucleic && field.find('*') != std::string_view::npos) return *primed_names.insert(std::move(atom)).first;
    return {};
  };
  std::unordered_map<std::string, std::string_view> targets;  // atom field + library residue -> atom

  // What a record's names become: the residue's library name and the atom's (empty where a name stays),
  // and the entries of the two in the warning's tallies. It depends on the two name fields alone, but
  // for the residues A, C and G (DNA or RNA by their sugar), so it is worked out once per pair of fields.
  struct Outcome {
    std::string_view library, target;
    std::size_t residue_entry = 0, atom_entry = 0;
  };
  std::unordered_map<std::uint64_t, Outcome> outcomes;
  Tally residues, atoms;
  std::string key;
  const auto outcome_of = [&](std::string_view name, std::string_view field, std::string_view id) {
    Outcome o;
    std::string_view library = name;
    if (const auto it = residue_map.find(name); it != residue_map.end()) {
      library = it->second;
      if (const auto d = deoxy.find(std::string(id)); d != deoxy.end() && d->second) library = deoxy_form(name);
      o.library = library;
      o.residue_entry = residues.entry(name, library);
    }
    key.assign(field);
    key.append(library);
    auto found = targets.find(key);
    if (found == targets.end()) found = targets.emplace(key, atom_target(library, field)).first;
    o.target = found->second;
    if (!o.target.empty()) o.atom_entry = atoms.entry(trim(field), o.target);
    return o;
  };

  std::string previous;  // residue identifier of the previous record of the stretch, as read
  for_each_line(pdb_text, [&](std::size_t at, std::string_view line) {
    if (!atom_record(line)) {
      if (line.substr(0, 5) == "MODEL" || line.substr(0, 6) == "ENDMDL") previous.clear();
      return;
    }
    // The record is rewritten below through `out`: what is read of it is read first.
    char* out = pdb_text.data() + at;
    const std::string_view id = line.substr(17, 10);
    const std::string_view name = trim(line.substr(17, 4));
    const bool new_residue = id != previous;
    previous.assign(id);
    Outcome o;
    if (name == "A" || name == "C" || name == "G") {
      o = outcome_of(name, line.substr(12, 4), id);
    } else {
      const std::uint64_t packed = packed_names(line);
      auto it = outcomes.find(packed);
      if (it == outcomes.end()) it = outcomes.emplace(packed, outcome_of(name, line.substr(12, 4), id)).first;
      o = it->second;
    }
    if (!o.library.empty()) {
      if (new_residue) residues.count(o.residue_entry);
      std::memset(out + 17, ' ', 4);
      std::memcpy(out + 17, o.library.data(), o.library.size());
    }
    if (o.target.empty()) return;
    // As PDB writers place names: from column 14 unless four characters long.
    std::memset(out + 12, ' ', 4);
    std::memcpy(out + (o.target.size() < 4 ? 13 : 12), o.target.data(), o.target.size());
    atoms.count(o.atom_entry);
  });

  std::string list;
  for (const Tally* t : {&residues, &atoms})
    for (const auto& [mapping, count] : t->entries())
      list += (list.empty() ? "" : ", ") + mapping + " (" + std::to_string(count) + ")";
  return list.empty() ? std::string() : "Names mapped: " + list + ".";
}

}  // namespace veldrix
