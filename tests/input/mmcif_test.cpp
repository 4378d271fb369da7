// mmCIF to PDB text: author fields over labels, models, record kinds, errors; real ensembles through gemmi and back.
#include <gtest/gtest.h>

#include <cstdlib>

#include "input/formats_support.hpp"
#include "input/mmcif.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

using namespace formats_testing;

// What the PDB reader takes from each line: record name, columns 13-27 (atom name, altloc, residue name, chain,
// number and insertion code) and, when asked for, the coordinates 31-54; MODEL with its number, ENDMDL.
std::string fields(const std::string& pdb, bool coordinates = false) {
  std::string s;
  for (const std::string& l : lines_of(pdb))
    s += l.starts_with("MODEL")    ? "MODEL " + cols(l, 11, 14) + "\n"
         : l.starts_with("ENDMDL") ? "ENDMDL\n"
                                   : cols(l, 1, 6) + cols(l, 13, 27) + (coordinates ? cols(l, 31, 54) : "") + "\n";
  return s;
}

TEST(Mmcif, WwpdbLayoutGivesAuthorFields) {
  // Author chain, numbers and atom names (P, 101.., HN) over labels (A, 1.., H); rounding as printf's %8.3f.
  const std::string pdb = fields(mmcif_to_pdb(data_file("formats/hand_made.cif")), true);
  EXPECT_EQ(pdb.substr(0, pdb.find("MODEL    2")),
            "MODEL    1\n"
            "ATOM   N   ALA P 101    1.000   2.000   3.000\n"
            "ATOM   CA  ALA P 101    2.456   2.500   3.000\n"
            "ATOM   HN  ALA P 101   -0.500   2.250   3.125\n"
            "ATOM   N   SER P 102A   3.000   4.000   5.000\n"
            "ATOM   CA ASER P 102A   4.000   5.000   6.000\n"
            "ATOM   CA BSER P 102A   4.100   5.100   6.100\n"
            "ATOM   OG  SER P 102A-999.9999999.999   0.001\n"
            "ATOM   P    DA Q   1   10.000  11.000  12.000\n"
            "ATOM   O5'  DA Q   1   10.500  11.500  12.500\n"
            "ATOM  H5''  DA Q   1   11.000  12.000  13.000\n"
            "HETATMZN    ZN P 201   20.000  21.000  22.000\n"
            "HETATM O   HOH P 301   30.000  31.000  32.000\n"
            "ENDMDL\n");
  EXPECT_NE(pdb.find("ATOM   OG  SER P 102A  51.000  -0.250   0.000\n", pdb.find("MODEL    2")), std::string::npos);
}

// An atom table of the given items and rows, after a data block header.
std::string table(const std::string& items, const std::string& rows) {
  std::string cif = "data_t\nloop_\n";
  std::istringstream in(items);
  for (std::string item; in >> item;) cif += "_atom_site." + item + "\n";
  return cif + rows;
}

TEST(Mmcif, ConversionsAndErrors) {
  const std::string labels = "id label_atom_id label_comp_id label_asym_id label_seq_id Cartn_x Cartn_y Cartn_z";
  auto rows = [&labels](const std::string& r) { return table(labels, r); };
  const std::string gly = "1 CA GLY A 1 1 2 3\n", gly_out = "ATOM   CA  GLY A   1 \n";
  const std::string entities = "loop_\n_entity.id\n_entity.type\n1 polymer\n2 non-polymer\n3 water\n";
  const std::string kinds = table(labels + " label_entity_id",
                                  "1 N A A 1 1 1 1 1\n2 N B B 2 1 1 1 2\n3 N C C 3 1 1 1 3\n4 N D D 4 1 1 1 9\n");
  const std::string kinds_out =
      "ATOM   N     A A   1 \nHETATM N     B B   2 \nHETATM N     C C   3 \nATOM   N     D D   4 \n";
  const std::string outside = " is outside -999..9999, the range of its PDB columns.";
  const std::string unfit = "\" is not a number that fits the 8 columns of a PDB coordinate (%8.3f).";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {table(labels + " auth_seq_id auth_asym_id auth_atom_id auth_comp_id",
             "1 CA GLY A 1 1 2 3 ? ? ? ?\n2 CA GLY A 2 1 2 3 . . . .\n3 CA GLY A 3 1 2 3 7 B CB ALA\n"),
       gly_out + "ATOM   CA  GLY A   2 \nATOM   CB  ALA B   7 \n"},
      {table(labels + " pdbx_PDB_model_num", "1 N ALA A 1 1 1 1 7\n2 N ALA A 1 2 2 2 3\n3 CA ALA A 1 3 3 3 7\n"),
       "MODEL    7\nATOM   N   ALA A   1 \nATOM   CA  ALA A   1 \nENDMDL\n"
       "MODEL    3\nATOM   N   ALA A   1 \nENDMDL\n"},
      // Without group_PDB, the entity type makes the record kind, the types before or after the atoms.
      {"data_t\n" + entities + kinds.substr(7), kinds_out},
      {kinds + entities, kinds_out},
      {"data_t\n_entity.id 2\n_entity.type non-polymer\n" + kinds.substr(7),
       "ATOM   N     A A   1 \nHETATM N     B B   2 \nATOM   N     C C   3 \nATOM   N     D D   4 \n"},
      // One atom as items, tags in any case; a second data block is not read.
      {"data_one\n_ATOM_SITE.ID 1\n_Atom_Site.Label_Atom_Id CA\n_atom_site.label_comp_id GLY\n"
       "_atom_site.label_asym_id A\n_atom_site.label_seq_id 1\n_atom_site.cartn_x 1\n_atom_site.cartn_y 2\n"
       "_atom_site.cartn_z 3\ndata_two\nloop_\n_atom_site.id\n_atom_site.Cartn_x\n9 9\n",
       gly_out},
      {rows("1 P U A 1 0 0 0\n2 P DG A 2 0 0 0\n3 CA CYSS A 3 0 0 0\n4\n;N\n;\nALA A 4 0 0 0\n"),
       "ATOM   P     U A   1 \nATOM   P    DG A   2 \nATOM   CA  CYSSA   3 \nATOM   N   ALA A   4 \n"},
      {rows("1 CA GLY A -999 1 2 3\n2 CA GLY A 9999 1 2 3\n"), "ATOM   CA  GLY A-999 \nATOM   CA  GLY A9999 \n"},
      {"data_t\r\nloop_\r\n_b.id\r\n_b.x\r\n1 2 # c\r\n\r\n3\t4\n#\n_a.b 'x\r\n",
       "mmCIF syntax error in line 9: unterminated 'string'."},
      {"data_t\n_a.b\n;x\n", "mmCIF syntax error in line 4: unterminated text field."},
      {"data_t\n_a.b\n_a.c 1\n", "mmCIF syntax error in line 2: tag _a.b without value."},
      {"data_t\n\nloop_\n_a.b\n_a.c\n1 2 3\n", "mmCIF syntax error in line 3: wrong number of values in the loop."},
      {"_a.b 1\n", "mmCIF syntax error in line 1: expected block header (data_)."},
      {"data_t\n_a.b 1\n", "The mmCIF data has no _atom_site table."},
      {"data_t\ndata_u\n" + rows(gly).substr(7), "The mmCIF data has no _atom_site table."},
      {"data_t\nloop_\n_entity.id\n_atom_site.Cartn_x\n1 2\n", "The mmCIF data has no _atom_site table."},
      {table("id label_atom_id label_comp_id label_asym_id label_seq_id", "1 CA GLY A 1\n"),
       "The _atom_site table has no coordinates (Cartn_x, Cartn_y, Cartn_z)."},
      {table("label_atom_id label_comp_id Cartn_x Cartn_y Cartn_z", "CA GLY 1 2 3\n"),
       "The _atom_site table has no residue numbers."},
      {rows(gly) + "loop_\n_atom_site.id\n1\n", "The _atom_site table appears more than once."},
      {table("Cartn_x cartn_x", "1 1\n"), "The tag _atom_site.cartn_x appears twice."},
      {rows("1 CA GLY AB 1 1 2 3\n"),
       "Chain \"AB\" has a name of more than one character; residue identifiers hold one chain character."},
      {rows("1 CA GLY A 10000 1 2 3\n"), "Residue number 10000" + outside},
      {rows("1 CA GLY A -1000 1 2 3\n"), "Residue number -1000" + outside},
      {rows("1 CA GLY A 1.5 1 2 3\n"), "Residue number \"1.5\" is not an integer."},
      {rows("1 CA GLY A 1 10000 2 3\n"), "Coordinate \"10000" + unfit},
      {rows("1 CA GLY A 1 1 -999.9996 3\n"), "Coordinate \"-999.9996" + unfit},
      {rows("1 CA GLY A 1 1 2 nan\n"), "Coordinate \"nan" + unfit},
      {rows("1 CA GLY A 1 1 ? 3\n"), "Row 1 of the _atom_site table has no coordinates."},
      {rows("1 CA123 GLY A 1 1 2 3\n"),
       "Atom name \"CA123\" has more than four characters, the width of its PDB column."},
      {rows("1 CA GLYGL A 1 1 2 3\n"),
       "Residue name \"GLYGL\" has more than four characters, the width of its PDB columns."},
      {rows("1\n;C\nA\n;\nGLY A 1 1 2 3\n"), "Row 1 of the _atom_site table holds a control character in a name."},
      {rows(gly + "2 ? GLY A 1 1 2 3\n"), "Row 2 of the _atom_site table has no atom name."},
  };
  for (const auto& [cif, result] : cases) EXPECT_EQ(outcome([&] { return fields(mmcif_to_pdb(cif)); }), result) << cif;
}

TEST(Mmcif, RealEnsemblesConvertedByGemmiComeBackToTheirAtomRecords) {
  if (!std::filesystem::exists("/usr/bin/gemmi")) GTEST_SKIP() << "gemmi is not installed";
  TempDir dir("mmcif");
  // Columns 13-27, a blank chain as A; coordinates by value (a file may write -0.000).
  auto atoms = [](const std::string& text, bool blank_chain_as_a) {
    std::vector<std::string> out;
    for (std::string l : lines_of(text))
      if (l.starts_with("ATOM ")) {
        if (blank_chain_as_a && l[21] == ' ') l[21] = 'A';
        out.push_back(cols(l, 13, 27));
        for (std::size_t c = 31; c <= 47; c += 8)
          out.back() += " " + std::to_string(std::stod(cols(l, c, c + 7)) + 0.0);
      }
    return out;
  };
  for (const std::string id :
       {"1adz", "1aj3", "1aq5", "1d3z", "1hdn", "1l2y", "1lcd", "2beg", "2hkb", "2k39", "2koc", "2lc9", "2sdf"}) {
    // Blank chains go in as A (gemmi writes an invalid empty value); 1hdn's columns 73-80 hold line numbers.
    const std::string cif = dir.path(id + ".cif"), options = id == "1hdn" ? "--old-pdb " : "";
    const std::string command = "/usr/bin/gemmi convert --rename-chain=:A " + options + VELDRIX_TEST_DATA + "/" + id +
                                ".pdb.gz " + cif + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<std::string> got = atoms(mmcif_to_pdb(read_bytes(cif)), false);
    EXPECT_EQ(first_difference(got, atoms(data_file(id + ".pdb.gz"), true)), "") << id;
  }
}

}  // namespace
}  // namespace veldrix::testing
