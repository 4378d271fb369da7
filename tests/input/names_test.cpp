// Name mapping: the renames checked against the built-in library, single records, counts, real ensembles.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "input/formats_support.hpp"
#include "input/names.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

using namespace formats_testing;

// The built-in library's atom names by residue, as the program reads them.
std::map<std::string, std::set<std::string>> library_atoms() {
  InputState s;
  load_library(s);
  const VokanData& v = s.vokandata;
  std::map<std::string, std::set<std::string>> atoms;
  for (int r = 1; r <= v.naa; ++r)
    for (int a = 1; a <= v.nat(r); ++a) atoms[v.aanam(r)].insert(v.atnam(a, r));
  return atoms;
}

// Whether the reader finds the atom: as it is, an H name as its pseudo atom Q.. or QQ.., a Q name as H...
bool known(const std::set<std::string>& atoms, const std::string& name) {
  const std::string rest = name.substr(name.starts_with("QQ") ? 2 : 1);
  return atoms.count(name) || (name[0] == 'H' && (atoms.count("Q" + rest) || atoms.count("QQ" + rest))) ||
         (name[0] == 'Q' && atoms.count("H" + rest));
}

TEST(Names, EveryRenameLeadsFromAnUnknownNameToALibraryName) {
  std::map<std::string, std::set<std::string>> library = library_atoms();
  for (const ResidueRename& r : residue_renames())
    EXPECT_TRUE(!library.count(std::string(r.from)) && library.count(std::string(r.to))) << r.from << " -> " << r.to;
  for (const AtomRename& a : atom_renames()) {
    std::istringstream residues{std::string(a.residues)};
    for (std::string res; residues >> res;)
      EXPECT_TRUE(library[res].count(std::string(a.to)) && !known(library[res], std::string(a.from)))
          << res << " " << a.from;
  }
}

// An ATOM record with the atom name in columns 13-16 and the residue name in 18-21.
std::string record(const std::string& atom, const std::string& residue, int number = 1) {
  char line[96];
  std::snprintf(line, sizeof line, "ATOM      1 %s %sA%4d       1.000   2.000   3.000  1.00  0.00\n", atom.c_str(),
                residue.c_str(), number);
  return line;
}

std::string mapped(const std::string& text) {
  const NameMapping m = map_modern_names(text);
  return m.text + m.warning;
}

TEST(Names, SingleRecords) {
  const std::vector<std::array<std::string, 5>> cases = {
      // as written, as mapped, the warning's list
      {" O1P", " DT ", " OP1", "THY ", "DT→THY (1), O1P→OP1 (1)"},
      {" C5M", "  T ", " C7 ", "THY ", "T→THY (1), C5M→C7 (1)"},
      {"1H5M", "THY ", " H71", "THY ", "1H5M→H71 (1)"},
      {"1H5*", "  A ", " H5'", "RADE", "A→RADE (1), 1H5*→H5' (1)"},
      {" C1*", "  G ", " C1'", "RGUA", "G→RGUA (1), C1*→C1' (1)"},
      {"2HO*", "  U ", "HO2'", "URA ", "U→URA (1), 2HO*→HO2' (1)"},
      {"H2'2", " DC ", " H2\"", "CYT ", "DC→CYT (1), H2'2→H2\" (1)"},
      {" P  ", " RA ", " P  ", "RADE", "RA→RADE (1)"},
      {" HN ", "HSD ", " H  ", "HIS ", "HSD→HIS (1), HN→H (1)"},
      {" SG ", "CYX ", " SG ", "CYSS", "CYX→CYSS (1)"},
      {" OC1", "GLY ", " O  ", "GLY ", "OC1→O (1)"},
      {" CD ", "ILE ", " CD1", "ILE ", "CD→CD1 (1)"},
      {" HG1", "SER ", " HG ", "SER ", "HG1→HG (1)"},
      // Names the library knows, or has no name for, stay.
      {" CD ", "LEU ", " CD ", "LEU ", ""},
      {" C1*", "ALA ", " C1*", "ALA ", ""},
      {" H5T", " DA ", " H5T", "ADE ", "DA→ADE (1)"},
  };
  for (const auto& [atom, residue, new_atom, new_residue, list] : cases)
    EXPECT_EQ(mapped(record(atom, residue)),
              record(new_atom, new_residue) + (list.empty() ? "" : "Names mapped: " + list + "."));
}

TEST(Names, CountsAndOrder) {
  const std::string model = record(" P  ", " DA ", 1) + record("H5''", " DA ", 1) + record("H5''", " DT ", 2) +
                            record(" O1P", " DT ", 2) + "TER\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      // A residue counts once per stretch of records, and MODEL and ENDMDL end a stretch.
      {model + model + model, "DA→ADE (3), DT→THY (3), H5''→H5\" (6), O1P→OP1 (3)"},
      {"MODEL 1\n" + model + "ENDMDL\nMODEL 2\n" + model + "ENDMDL\n",
       "DA→ADE (2), DT→THY (2), H5''→H5\" (4), O1P→OP1 (2)"},
      {"MODEL 1\n" + record(" P  ", " DA ") + "ENDMDL\nMODEL 2\n" + record(" P  ", " DA ") + "ENDMDL\n", "DA→ADE (2)"},
      // One-letter nucleotides with a C2' and no O2' are DNA.
      {record(" C2*", "  A ", 1) + record(" O2*", "  A ", 2) + record(" C2'", "  A ", 2) + record(" P  ", "  A ", 3) +
           record(" C2'", "  C ", 4),
       "A→ADE (1), A→RADE (2), C→CYT (1), C2*→C2' (1), O2*→O2' (1)"},
  };
  for (const auto& [text, warning] : cases) EXPECT_EQ(map_modern_names(text).warning, "Names mapped: " + warning + ".");
  // Other lines, and records too short to hold a residue identifier, are left alone.
  const std::string other =
      "REMARK   DA  H5''\n" + record(" P  ", " DA ").substr(0, 26) + "\nHETATM    1  O   HOH A   9\r\n";
  EXPECT_EQ(mapped(other), other);
}

TEST(Names, RealEnsemblesMatchTheirCopiesRenamedBySed) {
  // The sequence of all chains from the entry's SEQRES (2hkb: its title and partner strand), "D" for DNA, the atoms.
  const std::vector<std::tuple<std::string, int, std::string, std::string, std::string>> ensembles = {
      {"2hkb", 10, "CTCGGCGCCATCGATGGCGCCGAG", "D", ", H5''→H5\" (240), H2''→H2\" (240)"},
      {"2koc", 20, "GGCACUUCGGUGCC", "", ", H5''→H5\" (280)"},
      {"1lcd", 3, "AATTGTGAGCGCGCTCACAATT", "D", ""},
  };
  const std::map<char, std::string> dna = {{'A', "ADE"}, {'C', "CYT"}, {'G', "GUA"}, {'T', "THY"}};
  const std::map<char, std::string> rna = {{'A', "RADE"}, {'C', "RCYT"}, {'G', "RGUA"}, {'U', "URA"}};
  auto as_read = [](const std::string& text) {  // atom names without blanks, as the reader takes them
    std::vector<std::string> lines = lines_of(text);
    for (std::string& l : lines)
      if (l.starts_with("ATOM ") || l.starts_with("HETATM")) {
        std::string name = cols(l, 13, 16);
        l.replace(12, 4, (name.erase(0, name.find_first_not_of(' ')) + "    ").substr(0, 4));
      }
    return lines;
  };
  for (const auto& [id, models, sequence, prefix, atoms] : ensembles) {
    const NameMapping m = map_modern_names(data_file(id + ".pdb.gz"));
    EXPECT_EQ(first_difference(as_read(m.text), as_read(data_file("formats/" + id + "_library_names.pdb.gz"))), "")
        << id;
    // Residue counts: the sequence's composition in every model, in order of first occurrence.
    std::string list, seen;
    for (char base : sequence)
      if (seen.find(base) == std::string::npos) {
        seen += base;
        list += (list.empty() ? "" : ", ") + prefix + base + "→" + (prefix.empty() ? rna : dna).at(base) + " (" +
                std::to_string(std::count(sequence.begin(), sequence.end(), base) * models) + ")";
      }
    EXPECT_EQ(m.warning, "Names mapped: " + list + atoms + ".") << id;
  }
}

}  // namespace
}  // namespace veldrix::testing
