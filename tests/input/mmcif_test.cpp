// mmCIF to PDB text: author numbering, records, models and errors; real ensembles converted by gemmi and back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "input/formats_support.hpp"
#include "input/mmcif.hpp"
#include "input/source.hpp"

namespace veldrix {
namespace {

using namespace formats_testing;

std::string error_of(const std::string& cif) {
  try {
    mmcif_to_pdb(cif);
  } catch (const InputError& e) {
    return e.what();
  }
  return "(no error)";
}

// The fields the PDB reader reads from a record: name 13-16, altloc 17, residue
// name 18-21, chain 22, number and insertion code 23-27, coordinates 31-54.
std::string reader_fields(const std::string& line) {
  return cols(line, 1, 6) + "|" + cols(line, 13, 16) + "|" + cols(line, 17, 17) + "|" + cols(line, 18, 21) + "|" +
         cols(line, 22, 22) + "|" + cols(line, 23, 27) + "|" + cols(line, 31, 54);
}

TEST(Mmcif, WwpdbLayoutGivesAuthorFieldsAndModels) {
  const std::vector<std::string> lines = lines_of(mmcif_to_pdb(read_bytes(data_dir + "/formats/hand_made.cif")));
  // Model 1 as the file states it: author chain P and numbers 101.. (labels A and 1..),
  // author atom name HN (label H), quotes removed, rounding as %8.3f, HETATM kept.
  const std::vector<std::string> model1 = {
      "ATOM  | N  | |ALA |P| 101 |   1.000   2.000   3.000",
      "ATOM  | CA | |ALA |P| 101 |   2.456   2.500   3.000",
      "ATOM  | HN | |ALA |P| 101 |  -0.500   2.250   3.125",
      "ATOM  | N  | |SER |P| 102A|   3.000   4.000   5.000",
      "ATOM  | CA |A|SER |P| 102A|   4.000   5.000   6.000",
      "ATOM  | CA |B|SER |P| 102A|   4.100   5.100   6.100",
      "ATOM  | OG | |SER |P| 102A|-999.9999999.999   0.001",
      "ATOM  | P  | | DA |Q|   1 |  10.000  11.000  12.000",
      "ATOM  | O5'| | DA |Q|   1 |  10.500  11.500  12.500",
      "ATOM  |H5''| | DA |Q|   1 |  11.000  12.000  13.000",
      "HETATM|ZN  | | ZN |P| 201 |  20.000  21.000  22.000",
      "HETATM| O  | |HOH |P| 301 |  30.000  31.000  32.000",
  };
  ASSERT_EQ(lines.size(), 2 * (model1.size() + 2));
  EXPECT_EQ(lines[0].substr(0, 14), "MODEL        1");
  for (std::size_t k = 0; k < model1.size(); ++k) EXPECT_EQ(reader_fields(lines[1 + k]), model1[k]);
  EXPECT_EQ(lines[model1.size() + 1].substr(0, 6), "ENDMDL");
  EXPECT_EQ(lines[model1.size() + 2].substr(0, 14), "MODEL        2");
  // Exponents and more decimals, as printf rounds them.
  EXPECT_EQ(reader_fields(lines[model1.size() + 9]), "ATOM  | OG | |SER |P| 102A|  51.000  -0.250   0.000");
  for (const std::string& line : lines) EXPECT_EQ(line.size(), 80u) << line;
}

// An atom table of the given items and rows, after a data block header.
std::string table(const std::string& items, const std::string& rows) {
  std::string cif = "data_t\nloop_\n";
  std::istringstream in(items);
  for (std::string item; in >> item;) cif += "_atom_site." + item + "\n";
  return cif + rows;
}

const std::string label_items = "id label_atom_id label_comp_id label_asym_id label_seq_id Cartn_x Cartn_y Cartn_z";

TEST(Mmcif, LabelItemsStandInForAbsentOrNullAuthorItems) {
  const std::string items = label_items + " auth_seq_id auth_asym_id auth_atom_id auth_comp_id";
  const std::vector<std::string> lines = lines_of(mmcif_to_pdb(table(items,
      "1 CA GLY A 1 1 2 3 ? ? ? ?\n"
      "2 CA GLY A 2 1 2 3 . . . .\n"
      "3 CA GLY A 3 1 2 3 7 B CB ALA\n")));
  ASSERT_EQ(lines.size(), 3u);  // no model numbers: no MODEL records
  EXPECT_EQ(reader_fields(lines[0]), "ATOM  | CA | |GLY |A|   1 |   1.000   2.000   3.000");
  EXPECT_EQ(reader_fields(lines[1]), "ATOM  | CA | |GLY |A|   2 |   1.000   2.000   3.000");
  EXPECT_EQ(reader_fields(lines[2]), "ATOM  | CB | |ALA |B|   7 |   1.000   2.000   3.000");
  const std::vector<std::string> only_labels = lines_of(mmcif_to_pdb(table(label_items, "1 CA GLY A 5 1 2 3\n")));
  ASSERT_EQ(only_labels.size(), 1u);
  EXPECT_EQ(reader_fields(only_labels[0]), "ATOM  | CA | |GLY |A|   5 |   1.000   2.000   3.000");
}

TEST(Mmcif, ModelsAreGatheredInOrderOfFirstAppearance) {
  const std::string pdb = mmcif_to_pdb(table(label_items + " pdbx_PDB_model_num",
      "1 N ALA A 1 1 1 1 7\n"
      "2 N ALA A 1 2 2 2 3\n"
      "3 CA ALA A 1 3 3 3 7\n"));
  std::vector<std::string> summary;
  for (const std::string& line : lines_of(pdb))
    summary.push_back(line.rfind("MODEL", 0) == 0 ? "MODEL " + cols(line, 11, 14)
                      : line.rfind("ENDMDL", 0) == 0 ? "ENDMDL"
                                                     : cols(line, 13, 16) + cols(line, 31, 38));
  const std::vector<std::string> expected = {"MODEL    7", " N     1.000", " CA    3.000", "ENDMDL",
                                             "MODEL    3", " N     2.000", "ENDMDL"};
  EXPECT_EQ(summary, expected);
}

TEST(Mmcif, RecordKindWithoutGroupPdbFollowsTheEntityType) {
  // As gemmi writes mmCIF: no group_PDB; _entity tells polymers from ligands and water.
  const std::string entities_as_loop = "loop_\n_entity.id\n_entity.type\n1 polymer\n2 non-polymer\n3 water\n";
  const std::string rows = "1 CA ALA A 1 1 1 1 1\n2 ZN ZN B 2 1 1 1 2\n3 O HOH C 3 1 1 1 3\n4 O HOH C 4 1 1 1 9\n";
  const std::string atoms = table(label_items + " label_entity_id", rows);
  const std::string before = "data_t\n" + entities_as_loop + atoms.substr(7);
  const std::string after = atoms + entities_as_loop;
  for (const std::string& cif : {before, after}) {
    std::string kinds;
    for (const std::string& line : lines_of(mmcif_to_pdb(cif))) kinds += line.substr(0, 6) + ",";
    EXPECT_EQ(kinds, "ATOM  ,HETATM,HETATM,ATOM  ,") << cif;  // an unknown entity stays ATOM
  }
  // A single entity written as items.
  const std::string single = "data_t\n_entity.id 2\n_entity.type non-polymer\n" + atoms.substr(7);
  EXPECT_EQ(lines_of(mmcif_to_pdb(single))[1].substr(0, 6), "HETATM");
}

TEST(Mmcif, OtherWrittenFormsOfTheTable) {
  // One atom as items, tags in any case, and a second data block that is not read.
  const std::string items =
      "data_one\n_ATOM_SITE.ID 1\n_Atom_Site.Label_Atom_Id CA\n_atom_site.label_comp_id GLY\n"
      "_atom_site.label_asym_id A\n_atom_site.label_seq_id 4\n_atom_site.cartn_x 1\n_atom_site.cartn_y 2\n"
      "_atom_site.cartn_z 3\ndata_two\nloop_\n_atom_site.id\n_atom_site.Cartn_x\n9 9\n";
  const std::vector<std::string> lines = lines_of(mmcif_to_pdb(items));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(reader_fields(lines[0]), "ATOM  | CA | |GLY |A|   4 |   1.000   2.000   3.000");
  // A text field and residue names of one, two and four characters.
  const std::vector<std::string> names = lines_of(mmcif_to_pdb(table(label_items,
      "1 P U A 1 0 0 0\n2 P DG A 2 0 0 0\n3 CA CYSS A 3 0 0 0\n4\n;N\n;\nALA A 4 0 0 0\n")));
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(cols(names[0], 13, 21), " P     U ");
  EXPECT_EQ(cols(names[1], 13, 21), " P    DG ");
  EXPECT_EQ(cols(names[2], 13, 21), " CA  CYSS");
  EXPECT_EQ(cols(names[3], 13, 21), " N   ALA ");
}

TEST(Mmcif, ErrorsAreClearAndNameTheirCause) {
  const std::string row = "1 CA GLY A 1 1 2 3\n";
  struct Case {
    const char* what;
    std::string cif;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"unterminated quote", "data_t\n#\n_a.b 1\n_a.c 'x\n", "mmCIF syntax error in line 4: unterminated 'string'."},
      // reported where the data ends without closing the field
      {"line counted through loop values, CR LF and comments",
       "data_t\r\nloop_\r\n_b.id\r\n_b.x\r\n1 2 # c\r\n\r\n3\t4\n#\n_a.b 'x\r\n",
       "mmCIF syntax error in line 9: unterminated 'string'."},
      {"unterminated text field", "data_t\n_a.b\n;x\n", "mmCIF syntax error in line 4: unterminated text field."},
      {"tag without value", "data_t\n_a.b\n_a.c 1\n", "mmCIF syntax error in line 2: tag _a.b without value."},
      {"loop not filled", "data_t\n\nloop_\n_a.b\n_a.c\n1 2 3\n", "mmCIF syntax error in line 3: wrong number of values in the loop."},
      {"no data block", "_a.b 1\n", "mmCIF syntax error in line 1: expected block header (data_)."},
      {"no atom table", "data_t\n_a.b 1\n", "The mmCIF data has no _atom_site table."},
      {"atom table in a later block only", "data_t\ndata_u\n" + table(label_items, row).substr(7),
       "The mmCIF data has no _atom_site table."},
      {"no coordinates", table("id label_atom_id label_comp_id label_asym_id label_seq_id", "1 CA GLY A 1\n"),
       "The _atom_site table has no coordinates (Cartn_x, Cartn_y, Cartn_z)."},
      {"no residue numbers", table("label_atom_id label_comp_id Cartn_x Cartn_y Cartn_z", "CA GLY 1 2 3\n"),
       "The _atom_site table has no residue numbers."},
      {"atom items in a loop of another category", "data_t\nloop_\n_entity.id\n_atom_site.Cartn_x\n1 2\n",
       "The mmCIF data has no _atom_site table."},
      {"table twice", table(label_items, row) + "loop_\n_atom_site.id\n1\n", "The _atom_site table appears more than once."},
      {"tag twice", table("Cartn_x cartn_x", "1 1\n"), "The tag _atom_site.cartn_x appears twice."},
      {"long chain name", table(label_items, "1 CA GLY AB 1 1 2 3\n"),
       "Chain \"AB\" has a name of more than one character; residue identifiers hold one chain character."},
      {"residue number above", table(label_items, "1 CA GLY A 10000 1 2 3\n"),
       "Residue number 10000 is outside -999..9999, the range of its PDB columns."},
      {"residue number below", table(label_items, "1 CA GLY A -1000 1 2 3\n"),
       "Residue number -1000 is outside -999..9999, the range of its PDB columns."},
      {"residue number not an integer", table(label_items, "1 CA GLY A 1.5 1 2 3\n"),
       "Residue number \"1.5\" is not an integer."},
      {"coordinate too large", table(label_items, "1 CA GLY A 1 10000 2 3\n"),
       "Coordinate \"10000\" is not a number that fits the 8 columns of a PDB coordinate (%8.3f)."},
      {"coordinate rounding out", table(label_items, "1 CA GLY A 1 1 -999.9996 3\n"),
       "Coordinate \"-999.9996\" is not a number that fits the 8 columns of a PDB coordinate (%8.3f)."},
      {"coordinate not a number", table(label_items, "1 CA GLY A 1 1 2 nan\n"),
       "Coordinate \"nan\" is not a number that fits the 8 columns of a PDB coordinate (%8.3f)."},
      {"coordinate unknown", table(label_items, "1 CA GLY A 1 1 ? 3\n"), "Row 1 of the _atom_site table has no coordinates."},
      {"atom name too long", table(label_items, "1 CA123 GLY A 1 1 2 3\n"),
       "Atom name \"CA123\" has more than four characters, the width of its PDB column."},
      {"residue name too long", table(label_items, "1 CA GLYGL A 1 1 2 3\n"),
       "Residue name \"GLYGL\" has more than four characters, the width of its PDB columns."},
      {"line break in a name", table(label_items, "1\n;C\nA\n;\nGLY A 1 1 2 3\n"),
       "Row 1 of the _atom_site table holds a control character in a name."},
      {"no atom name", table(label_items, "1 ? GLY A 1 1 2 3\n"), "Row 1 of the _atom_site table has no atom name."},
  };
  for (const Case& c : cases) EXPECT_EQ(error_of(c.cif), c.message) << c.what;
  // The limits themselves fit.
  EXPECT_EQ(error_of(table(label_items, "1 CA GLY A -999 -999.999 9999.999 -999.9994\n2 CA GLY A 9999 0 0 0\n")),
            "(no error)");
}

// gemmi's converter, when the machine has it (CI installs it).
constexpr const char* gemmi_tool = "/usr/bin/gemmi";

TEST(Mmcif, RealEnsemblesConvertedByGemmiComeBackToTheirAtomRecords) {
  if (!std::filesystem::exists(gemmi_tool)) GTEST_SKIP() << "gemmi is not installed";
  // gemmi writes an empty, invalid value for a blank chain: blank chains go in as A,
  // which the reader makes of a blank one too. 1hdn's columns 73-80 hold a line
  // number that gemmi would take for element and charge.
  const std::map<std::string, std::string> options = {{"1hdn", "--old-pdb"}};
  ScratchDir dir;
  for (const char* id : {"1adz", "1aj3", "1aq5", "1d3z", "1hdn", "1l2y", "1lcd", "2beg", "2hkb", "2k39", "2koc",
                         "2lc9", "2sdf"}) {
    const std::string original = data_dir + "/" + id + ".pdb.gz";
    const std::string cif = dir.file(std::string(id) + ".cif");
    const auto option = options.find(id);
    const std::string command = std::string(gemmi_tool) + " convert --rename-chain=:A " +
                                (option != options.end() ? option->second : "") + " " + original + " " + cif +
                                " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<std::string> expected = atom_records(zcat(original));
    const std::vector<std::string> got = atom_records(mmcif_to_pdb(read_bytes(cif)));
    ASSERT_EQ(got.size(), expected.size()) << id;
    for (std::size_t k = 0; k < got.size(); ++k) {
      std::string want = expected[k];
      if (cols(want, 22, 22) == " ") want[21] = 'A';
      // Columns 13-27 as they are; coordinates by value (a file may write -0.000).
      ASSERT_EQ(cols(got[k], 13, 27), cols(want, 13, 27)) << id << "\n" << got[k] << "\n" << want;
      for (std::size_t c = 31; c <= 47; c += 8)
        ASSERT_EQ(std::stod(cols(got[k], c, c + 7)), std::stod(cols(want, c, c + 7))) << id << "\n" << got[k];
    }
  }
}

}  // namespace
}  // namespace veldrix
