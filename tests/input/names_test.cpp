// Name mapping: each rename checked against the built-in library, single records, counts, real ensembles.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "input/formats_support.hpp"
#include "input/names.hpp"

namespace veldrix {
namespace {

using namespace formats_testing;

// The built-in residue library's atom names per residue, from its table.
const std::map<std::string, std::set<std::string>>& library_atoms() {
  static const std::map<std::string, std::set<std::string>> atoms = [] {
    static const char* const table[] = {
#include "molecule/lib_in_code_table.inc"
    };
    std::map<std::string, std::set<std::string>> a;
    const std::size_t n = sizeof table / sizeof table[0];
    for (std::size_t i = 0; i < n; ++i) {
      std::istringstream head(table[i]);
      std::string word, residue;
      int angles = 0, count = 0;
      if (!(head >> word >> residue >> angles >> count) || word != "RESIDUE") continue;
      for (std::size_t k = i + 1 + std::size_t(angles); k < i + 1 + std::size_t(angles + count) && k < n; ++k) {
        std::istringstream line(table[k]);
        std::string number, name;
        line >> number >> name;
        a[residue].insert(name);
      }
    }
    return a;
  }();
  return atoms;
}

// Whether the PDB reader finds the atom name in the residue: as it is, or an H
// name as its pseudo atom Q.. or QQ.., or a Q name as H...
bool known(const std::set<std::string>& atoms, const std::string& name) {
  if (atoms.count(name)) return true;
  if (name.rfind("H", 0) == 0) return atoms.count("Q" + name.substr(1)) || atoms.count("QQ" + name.substr(1));
  if (name.rfind("QQ", 0) == 0) return atoms.count("H" + name.substr(2));
  if (name.rfind("Q", 0) == 0) return atoms.count("H" + name.substr(1));
  return false;
}

TEST(Names, EveryRenameLeadsFromAnUnknownNameToALibraryName) {
  const auto& library = library_atoms();
  ASSERT_GE(library.size(), 29u);  // 21 amino acids, 8 nucleotides and the linkers
  for (const ResidueRename& r : residue_renames()) {
    EXPECT_TRUE(library.count(std::string(r.to))) << r.from << " -> " << r.to;
    EXPECT_FALSE(library.count(std::string(r.from))) << r.from << " is a library residue";
  }
  for (const AtomRename& a : atom_renames()) {
    std::istringstream residues{std::string(a.residues)};
    int listed = 0;
    for (std::string residue; residues >> residue; ++listed) {
      ASSERT_TRUE(library.count(residue)) << residue;
      const std::set<std::string>& atoms = library.at(residue);
      EXPECT_TRUE(atoms.count(std::string(a.to))) << residue << " " << a.from << " -> " << a.to;
      EXPECT_FALSE(known(atoms, std::string(a.from))) << residue << " already knows " << a.from;
    }
    EXPECT_GT(listed, 0) << a.from;
  }
}

// An ATOM record with the given atom name (columns 13-16) and residue name (18-21).
std::string record(const std::string& atom, const std::string& residue, int number = 1) {
  std::string n = std::to_string(number);
  return "ATOM      1 " + atom + " " + residue + "A" + std::string(4 - n.size(), ' ') + n +
         "       1.000   2.000   3.000  1.00  0.00";
}

TEST(Names, SingleRecords) {
  struct Case {
    std::string atom, residue;         // as written
    std::string new_atom, new_residue; // expected columns 13-16 and 18-21
    std::string mapped;                // the warning's list
  };
  const std::vector<Case> cases = {
      {"H5''", " DA ", " H5\"", "ADE ", "DA→ADE (1), H5''→H5\" (1)"},
      {" P  ", "DA  ", " P  ", "ADE ", "DA→ADE (1)"},
      {"H2''", " DG ", " H2\"", "GUA ", "DG→GUA (1), H2''→H2\" (1)"},
      {" O1P", " DT ", " OP1", "THY ", "DT→THY (1), O1P→OP1 (1)"},
      {" C5M", "  T ", " C7 ", "THY ", "T→THY (1), C5M→C7 (1)"},
      {"1H5M", "THY ", " H71", "THY ", "1H5M→H71 (1)"},
      {" H52", "THY ", " H72", "THY ", "H52→H72 (1)"},
      {"1H5*", "  A ", " H5'", "RADE", "A→RADE (1), 1H5*→H5' (1)"},
      {" C1*", "  G ", " C1'", "RGUA", "G→RGUA (1), C1*→C1' (1)"},
      {"2HO*", "  U ", "HO2'", "URA ", "U→URA (1), 2HO*→HO2' (1)"},
      {"HO'2", "  C ", "HO2'", "RCYT", "C→RCYT (1), HO'2→HO2' (1)"},
      {"H2'2", " DC ", " H2\"", "CYT ", "DC→CYT (1), H2'2→H2\" (1)"},
      {" P  ", " RA ", " P  ", "RADE", "RA→RADE (1)"},
      {" HN ", "HIE ", " H  ", "HIS ", "HIE→HIS (1), HN→H (1)"},
      {" HN ", "HSD ", " H  ", "HIS ", "HSD→HIS (1), HN→H (1)"},
      {" SG ", "CYX ", " SG ", "CYSS", "CYX→CYSS (1)"},
      {" CA ", "LYN ", " CA ", "LYS ", "LYN→LYS (1)"},
      {" OT1", "ALA ", " O  ", "ALA ", "OT1→O (1)"},
      {" OC1", "GLY ", " O  ", "GLY ", "OC1→O (1)"},
      {" CD ", "ILE ", " CD1", "ILE ", "CD→CD1 (1)"},
      {" HG1", "SER ", " HG ", "SER ", "HG1→HG (1)"},
      // Names the library knows, or has no name for, stay as they are.
      {" HN ", "PRO ", " HN ", "PRO ", ""},
      {" HG1", "THR ", " HG1", "THR ", ""},
      {"1HB ", "ALA ", "1HB ", "ALA ", ""},
      {" CD ", "LEU ", " CD ", "LEU ", ""},
      {" OT2", "ALA ", " OT2", "ALA ", ""},
      {"H5''", "HOH ", "H5''", "HOH ", ""},
      {" C1*", "ALA ", " C1*", "ALA ", ""},
      {" H5T", " DA ", " H5T", "ADE ", "DA→ADE (1)"},
  };
  for (const Case& c : cases) {
    const std::string line = record(c.atom, c.residue);
    const NameMapping m = map_modern_names(line + "\n");
    ASSERT_EQ(m.text.size(), line.size() + 1) << line;
    EXPECT_EQ(m.text.substr(12, 4), c.new_atom) << line;
    EXPECT_EQ(m.text.substr(17, 4), c.new_residue) << line;
    EXPECT_EQ(m.text.substr(0, 12) + m.text.substr(16, 1) + m.text.substr(21), line.substr(0, 12) + line.substr(16, 1) + line.substr(21) + "\n");
    EXPECT_EQ(m.warning, c.mapped.empty() ? "" : "Names mapped: " + c.mapped + ".") << line;
  }
}

TEST(Names, OneLetterNucleotidesWithADeoxySugarAreDna) {
  // The old PDB format wrote DNA as A, C, G, T: a residue with C2' and no O2' is DNA.
  const std::string text = record(" C2*", "  A ", 1) + "\n" + record(" O2*", "  A ", 2) + "\n" + record(" C2'", "  A ", 2) +
                           "\n" + record(" P  ", "  A ", 3) + "\n" + record(" C2'", "  C ", 4) + "\n";
  const NameMapping m = map_modern_names(text);
  std::vector<std::string> residues;
  for (const std::string& line : lines_of(m.text)) residues.push_back(line.substr(17, 4));
  EXPECT_EQ(residues, (std::vector<std::string>{"ADE ", "RADE", "RADE", "RADE", "CYT "}));
  EXPECT_EQ(m.warning, "Names mapped: A→ADE (1), A→RADE (2), C→CYT (1), C2*→C2' (1), O2*→O2' (1).");
}

TEST(Names, CountsAndOrderOverModels) {
  const std::string model = record(" P  ", " DA ", 1) + "\n" + record("H5''", " DA ", 1) + "\n" + record("H5''", " DT ", 2) +
                            "\n" + record(" O1P", " DT ", 2) + "\nTER\n";
  // A residue counts once per model; with MODEL records, also a one-residue molecule.
  const std::string single = "MODEL 1\n" + record(" P  ", " DA ") + "\nENDMDL\nMODEL 2\n" + record(" P  ", " DA ") + "\nENDMDL\n";
  struct Case {
    std::string text, warning;
  };
  const std::vector<Case> cases = {
      {model + model + model, "Names mapped: DA→ADE (3), DT→THY (3), H5''→H5\" (6), O1P→OP1 (3)."},
      {"MODEL 1\n" + model + "ENDMDL\nMODEL 2\n" + model + "ENDMDL\n", "Names mapped: DA→ADE (2), DT→THY (2), H5''→H5\" (4), O1P→OP1 (2)."},
      {single, "Names mapped: DA→ADE (2)."},
      // Other lines, and records too short to hold a residue identifier, are left alone.
      {"REMARK   DA  H5''\n" + record(" P  ", " DA ").substr(0, 26) + "\nHETATM    1  O   HOH A   9\r\n", ""},
  };
  for (const Case& c : cases) {
    const NameMapping m = map_modern_names(c.text);
    EXPECT_EQ(m.warning, c.warning) << c.text;
    EXPECT_EQ(m.text.size(), c.text.size());
    if (c.warning.empty()) {
      EXPECT_EQ(m.text, c.text);
    }
  }
}

// The atom name as the reader reads it: trimmed, a leading digit moved to the end.
std::string reader_atom(const std::string& line) {
  std::string s = cols(line, 13, 16);
  s.erase(0, s.find_first_not_of(' '));
  s.erase(s.find_last_not_of(' ') + 1);
  if (!s.empty() && s[0] >= '0' && s[0] <= '9') s = s.substr(1) + s[0];
  return s;
}

std::string reader_residue(const std::string& line) {
  std::string s = cols(line, 18, 21);
  return s.erase(s.find_last_not_of(' ') + 1);
}

TEST(Names, RealEnsemblesMatchTheirCopiesRenamedBySed) {
  struct Ensemble {
    std::string id;
    int models;
    std::string sequence;  // of all chains, from the entry's SEQRES (2hkb: its title and partner strand)
    std::string prefix;    // "D" for DNA
    std::string atoms;     // the atom part of the warning
  };
  const std::vector<Ensemble> ensembles = {
      {"2hkb", 10, "CTCGGCGCCATCGATGGCGCCGAG", "D", ", H5''→H5\" (240), H2''→H2\" (240)"},
      {"2koc", 20, "GGCACUUCGGUGCC", "", ", H5''→H5\" (280)"},
      {"1lcd", 3, "AATTGTGAGCGCGCTCACAATT", "D", ""},
  };
  const std::map<char, std::string> dna = {{'A', "ADE"}, {'C', "CYT"}, {'G', "GUA"}, {'T', "THY"}};
  const std::map<char, std::string> rna = {{'A', "RADE"}, {'C', "RCYT"}, {'G', "RGUA"}, {'U', "URA"}};
  for (const Ensemble& e : ensembles) {
    const NameMapping m = map_modern_names(zcat(data_dir + "/" + e.id + ".pdb.gz"));
    const std::vector<std::string> mapped = lines_of(m.text);
    const std::vector<std::string> renamed = lines_of(zcat(data_dir + "/formats/" + e.id + "_library_names.pdb.gz"));
    ASSERT_EQ(mapped.size(), renamed.size()) << e.id;
    for (std::size_t k = 0; k < mapped.size(); ++k) {
      const std::string& a = mapped[k];
      const std::string& b = renamed[k];
      if (a.rfind("ATOM ", 0) != 0 && a.rfind("HETATM", 0) != 0) {
        ASSERT_EQ(a, b) << e.id;
        continue;
      }
      ASSERT_EQ(reader_residue(a), reader_residue(b)) << e.id << "\n" << a << "\n" << b;
      ASSERT_EQ(reader_atom(a), reader_atom(b)) << e.id << "\n" << a << "\n" << b;
      ASSERT_EQ(a.substr(0, 12) + a.substr(16, 1) + a.substr(21), b.substr(0, 12) + b.substr(16, 1) + b.substr(21));
    }
    // Residue counts: the sequence's composition in every model, in order of first occurrence.
    std::string list;
    std::string seen;
    for (char base : e.sequence) {
      if (seen.find(base) != std::string::npos) continue;
      seen += base;
      const long count = std::count(e.sequence.begin(), e.sequence.end(), base) * e.models;
      const std::string library = e.prefix.empty() ? rna.at(base) : dna.at(base);
      list += (list.empty() ? "" : ", ") + e.prefix + base + "→" + library + " (" + std::to_string(count) + ")";
    }
    EXPECT_EQ(m.warning, "Names mapped: " + list + e.atoms + ".") << e.id;
  }
}

}  // namespace
}  // namespace veldrix
