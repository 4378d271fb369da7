// Every form of an ensemble gives the same lines: PDB, PDB.gz, mmCIF and mmCIF.gz, in the library and in the
// executable; a wwPDB-layout entry prints author numbers; today's names give the results of copies renamed by hand.
#include <gtest/gtest.h>

#include <set>

#include "input/formats_support.hpp"
#include "test_support.hpp"
#include "util/text.hpp"
#include "veldrix/veldrix.hpp"

namespace veldrix::testing {
namespace {

using formats_testing::gzip;

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

const std::vector<std::string> ensembles = {"1adz", "1aj3", "1aq5", "1d3z", "1hdn", "1l2y", "1lcd",
                                            "2beg", "2hkb", "2k39", "2koc", "2lc9", "2sdf"};

// What the executable prints for the bytes, with the file called x.pdb.
std::string outcome(std::string_view bytes, const Options& options = {}) {
  try {
    return joined(analyse_text(bytes, options, "x.pdb").lines);
  } catch (const Error& e) {
    return joined(e.lines()) + "*** FATAL ERROR: " + e.what() + "\n";
  }
}

// The ensemble as gemmi's converter writes it in mmCIF (blank chains named A, as the reader takes them).
std::string gemmi_mmcif(const std::string& id, const TempDir& dir) {
  const std::string out = (dir.path() / (id + ".cif")).string();
  const std::string command = std::string("/usr/bin/gemmi convert --rename-chain=:A ") +
                              (id == "1hdn" ? "--old-pdb " : "") + VELDRIX_TEST_DATA + "/" + id + ".pdb.gz " + out +
                              " >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return formats_testing::read_bytes(out);
}

// The ATOM records of a PDB text as a wwPDB-layout mmCIF: every label and author item, the label
// numbering running from 1 while the author numbers stay, one model per MODEL record.
std::string wwpdb_mmcif(const std::string& pdb) {
  std::string cif =
      "data_TEST\nloop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
      "_atom_site.label_alt_id\n_atom_site.label_comp_id\n_atom_site.label_asym_id\n_atom_site.label_entity_id\n"
      "_atom_site.label_seq_id\n_atom_site.pdbx_PDB_ins_code\n_atom_site.Cartn_x\n_atom_site.Cartn_y\n"
      "_atom_site.Cartn_z\n_atom_site.occupancy\n_atom_site.B_iso_or_equiv\n_atom_site.auth_seq_id\n"
      "_atom_site.auth_comp_id\n_atom_site.auth_asym_id\n_atom_site.auth_atom_id\n_atom_site.pdbx_PDB_model_num\n";
  int model = 1, serial = 0, first = 0;
  std::istringstream in(pdb);
  for (std::string l; std::getline(in, l);) {
    if (l.rfind("ENDMDL", 0) == 0) ++model;
    if (l.rfind("ATOM  ", 0) != 0) continue;
    auto col = [&l](std::size_t a, std::size_t b) {
      return std::string(trim(std::string_view(l).substr(a - 1, b - a + 1)));
    };
    const int number = std::stoi(col(23, 26));
    if (serial == 0) first = number;
    const std::string name = col(13, 16), chain = col(22, 22).empty() ? "A" : col(22, 22);
    const std::string quoted = name.find('\'') != std::string::npos ? "\"" + name + "\"" : name;
    cif += "ATOM " + std::to_string(++serial) + " " + (name.empty() ? "X" : name.substr(0, 1)) + " " + quoted + " . " +
           col(18, 20) + " " + chain + " 1 " + std::to_string(number - first + 1) + " ? " + col(31, 38) + " " +
           col(39, 46) + " " + col(47, 54) + " 1.00 0.00 " + std::to_string(number) + " " + col(18, 20) + " " + chain +
           " " + quoted + " " + std::to_string(model) + "\n";
  }
  return cif;
}

TEST(Formats, EveryFormOfAnEnsembleGivesTheSameLines) {
  if (!std::filesystem::exists("/usr/bin/gemmi")) GTEST_SKIP() << "gemmi's converter is not installed";
  TempDir dir("formats");
  for (const std::string& id : ensembles) {
    const std::string pdb = data_file(id + ".pdb.gz"), cif = gemmi_mmcif(id, dir);
    const std::string expected = outcome(pdb);
    const std::vector<std::pair<std::string, FileFormat>> forms = {
        {formats_testing::read_bytes(std::string(VELDRIX_TEST_DATA) + "/" + id + ".pdb.gz"), {Format::pdb, true}},
        {cif, {Format::mmcif, false}},
        {gzip(cif), {Format::mmcif, true}}};
    for (const auto& [bytes, format] : forms) {
      EXPECT_EQ(outcome(bytes), expected)
          << id << (format.format == Format::mmcif ? " mmCIF" : " PDB") << (format.compressed ? ".gz" : "");
      if (expected.find("FATAL") == std::string::npos) {
        const FileFormat got = analyse_text(bytes).file_format;
        EXPECT_EQ(std::make_pair(got.format, got.compressed), std::make_pair(format.format, format.compressed)) << id;
      }
    }
    if (id == "1d3z" || id == "2hkb") {  // the executable: the same file name in four directories
      std::vector<std::string> printed;
      const std::vector<std::string> all = {pdb, forms[0].first, cif, forms[2].first};
      for (std::size_t k = 0; k < all.size(); ++k) {
        const std::filesystem::path sub = dir.path() / std::to_string(k);
        std::filesystem::create_directories(sub);
        std::ofstream(sub / "x.pdb", std::ios::binary) << all[k];
        const RunResult r = run_veldrix({"x.pdb"}, {.cwd = sub.string()});
        printed.push_back(std::to_string(r.status) + r.out);
      }
      EXPECT_EQ(std::set<std::string>(printed.begin(), printed.end()).size(), 1u) << id;
    }
  }
}

TEST(Formats, WwpdbLayoutWithOffsetLabelNumbersPrintsAuthorNumbers) {
  for (const std::string id : {"1d3z", "2beg"}) {
    const std::string pdb = data_file(id + ".pdb.gz");
    const std::string cif = wwpdb_mmcif(pdb);
    ASSERT_NE(cif.find(" 1 ? "), std::string::npos);
    EXPECT_EQ(outcome(cif), outcome(pdb)) << id;
  }
  // The archive's own entry of 2beg.
  EXPECT_EQ(outcome(formats_testing::read_bytes(std::string(VELDRIX_TEST_DATA) + "/formats/2beg.cif.gz")),
            outcome(data_file("2beg.pdb.gz")));
}

TEST(Formats, TodaysNamesGiveTheResultsOfCopiesRenamedToTheLibrarys) {
  for (const std::string id : {"2hkb", "2koc", "1lcd"}) {
    std::string modern = outcome(data_file(id + ".pdb.gz"), Options{.names = Names::modern});
    const std::string renamed = outcome(data_file("formats/" + id + "_library_names.pdb.gz"));
    const std::size_t at = modern.find("*** WARNING: Names mapped: ");
    ASSERT_NE(at, std::string::npos) << modern;
    modern.erase(at, modern.find('\n', at) - at + 1);
    EXPECT_EQ(modern, renamed) << id;
    EXPECT_EQ(renamed.find("FATAL"), std::string::npos) << renamed;
  }
}

// Damaged and hostile files in the new formats end with one clear fatal line and status 1.
TEST(Formats, DamagedFilesEndWithOneClearMessage) {
  TempDir dir("formats");
  const std::string pdb = data_file("2k39.pdb.gz"), gz = gzip(pdb), cif = wwpdb_mmcif(pdb);
  std::string two_atoms_less = cif;  // the last model lacks two atoms: read by the rules of PDB files
  for (int k = 0; k < 2; ++k) two_atoms_less.erase(two_atoms_less.rfind("\nATOM") + 1);
  const std::string block = gzip(std::string(std::size_t(64) << 20, ' '));
  std::string bomb;  // 17 members of 64 MiB: past the limit of 1 GiB
  for (int k = 0; k < 17; ++k) bomb += block;
  std::string corrupt = gz;
  corrupt[corrupt.size() / 2] = char(corrupt[corrupt.size() / 2] ^ 0x55);
  const std::string head = "data_X\nloop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.label_atom_id\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {gz.substr(0, gz.size() / 2), "Input file \"x.pdb\" is a damaged gzip file: unexpected end of data."},
      {corrupt, "Input file \"x.pdb\" is a damaged gzip file: "},
      {bomb, "Input file \"x.pdb\" decompresses to more than 1 GiB, the limit for structure files."},
      {"data_X\n_entry.id X\n", "Input file \"x.pdb\": The mmCIF data has no _atom_site table."},
      {head + "ATOM 1 CA\n", "Input file \"x.pdb\": The _atom_site table has no coordinates"},
      {"data_X\n_a.b 1\n_a.c\n", "Input file \"x.pdb\": mmCIF syntax error in line 3: tag _a.c without value."},
      {two_atoms_less, ""}};
  for (const auto& [bytes, message] : cases) {
    std::ofstream(dir.path() / "x.pdb", std::ios::binary) << bytes;
    const RunResult r = run_veldrix({"x.pdb"}, {.cwd = dir.path().string()});
    const std::size_t at = r.out.find("*** FATAL ERROR: ");
    if (message.empty()) {
      EXPECT_EQ(r.status, 0) << r.out;
      EXPECT_NE(r.out.find("Optimal range"), std::string::npos) << r.out;
      continue;
    }
    EXPECT_EQ(r.status, 1) << message;
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(at + 17, message.size()), message);
    EXPECT_EQ(r.out.find('\n', at), r.out.size() - 1) << "one line, the last: " << r.out;
  }
}

}  // namespace
}  // namespace veldrix::testing
