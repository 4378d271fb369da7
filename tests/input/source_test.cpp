// Loading structure files: gzip by content (members, damage, size limit), mmCIF by content, plain PDB as it is.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "input/formats_support.hpp"
#include "input/mmcif.hpp"
#include "input/source.hpp"

namespace veldrix {
namespace {

using namespace formats_testing;

const std::string pdb_text =
    "MODEL        1\n"
    "ATOM      1  N   ALA A   1       1.000   2.000   3.000  1.00  0.00           N\n"
    "ATOM      2  CA  ALA A   1       2.000   3.000   4.000  1.00  0.00           C\n"
    "ENDMDL\n";

std::string load_error(std::string_view bytes, std::size_t limit = max_structure_bytes) {
  try {
    load_structure_bytes(bytes, "x.gz", limit);
  } catch (const InputError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(Gzip, MembersAreDecompressedAndJoined) {
  const std::string half1 = pdb_text.substr(0, 40), half2 = pdb_text.substr(40);
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"one member", gzip(pdb_text)},
      {"two members, as cat joins them", gzip(half1, 1) + gzip(half2, 9)},
      {"an empty member between", gzip(half1) + gzip("") + gzip(half2)},
      {"zero padding after the last member", gzip(pdb_text) + std::string(512, '\0')},
  };
  for (const Case& c : cases) {
    const LoadedInput loaded = load_structure_bytes(c.bytes, "x.gz");
    EXPECT_TRUE(loaded.format.compressed) << c.what;
    EXPECT_EQ(loaded.format.format, Format::pdb) << c.what;
    EXPECT_EQ(loaded.pdb_text, pdb_text) << c.what;
  }
}

TEST(Gzip, DamageIsReportedNamingTheFile) {
  const std::string gz = gzip(pdb_text);
  std::string flipped = gz;
  flipped[gz.size() / 2] = char(flipped[gz.size() / 2] ^ 0x55);
  std::string bad_crc = gz;
  bad_crc[gz.size() - 6] = char(bad_crc[gz.size() - 6] ^ 0x01);
  struct Case {
    const char* what;
    std::string bytes;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"magic bytes only", gz.substr(0, 2), "unexpected end of data"},
      {"cut in the header", gz.substr(0, 6), "unexpected end of data"},
      {"cut in the data", gz.substr(0, gz.size() / 2), "unexpected end of data"},
      {"cut in the trailer", gz.substr(0, gz.size() - 1), "unexpected end of data"},
      {"second member cut", gz + gz.substr(0, 20), "unexpected end of data"},
      {"wrong check sum", bad_crc, "incorrect data check"},
      {"garbage after the member", gz + "ATOM", "data after the end of the compressed stream"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(load_error(c.bytes), "Input file \"x.gz\" is a damaged gzip file: " + c.reason + ".") << c.what;
  // A flipped byte in the deflate data may break the code or only the check sum.
  EXPECT_EQ(load_error(flipped).rfind("Input file \"x.gz\" is a damaged gzip file: ", 0), 0u) << load_error(flipped);
}

TEST(Gzip, DecompressionStopsAtTheLimit) {
  constexpr std::size_t limit = std::size_t(1) << 20;
  const std::string bomb = gzip(std::string(64 * limit, ' '), 9);  // 64 MiB of blanks in about 64 KB
  ASSERT_LT(bomb.size(), limit / 8);
  EXPECT_EQ(load_error(bomb, limit), "Input file \"x.gz\" decompresses to more than 1 MiB, the limit for structure files.");
  // The limit itself is allowed; one byte more is not, also across members.
  const std::string exact(limit, 'x');
  EXPECT_EQ(load_structure_bytes(gzip(exact), "x.gz", limit).pdb_text.size(), limit);
  EXPECT_NE(load_error(gzip(exact) + gzip("y"), limit), "(no error)");
  EXPECT_EQ(load_error(std::string(limit + 1, 'x'), limit), "Input file \"x.gz\" holds more than 1 MiB, the limit for structure files.");
  EXPECT_EQ(size_text(max_structure_bytes), "1 GiB");
  EXPECT_EQ(size_text(1000), "1000 bytes");
}

TEST(Load, FormatIsJudgedByContentNeverByName) {
  const std::string cif = read_bytes(data_dir + "/formats/hand_made.cif");
  const std::string converted = mmcif_to_pdb(cif);
  ScratchDir dir;
  struct Case {
    std::string name;  // deliberately misleading
    std::string bytes;
    Format format;
    bool compressed;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"plain.cif.gz", pdb_text, Format::pdb, false, pdb_text},
      {"zipped.cif", gzip(pdb_text), Format::pdb, true, pdb_text},
      {"entry.pdb", cif, Format::mmcif, false, converted},
      {"entry.pdb.gz", gzip("# comment first\n" + cif), Format::mmcif, true, converted},
      {"empty.pdb", "", Format::pdb, false, ""},
  };
  for (const Case& c : cases) {
    write_bytes(dir.file(c.name), c.bytes);
    const LoadedInput loaded = load_structure(dir.file(c.name));
    EXPECT_EQ(loaded.format.format, c.format) << c.name;
    EXPECT_EQ(loaded.format.compressed, c.compressed) << c.name;
    EXPECT_EQ(loaded.pdb_text, c.text) << c.name;
  }
}

TEST(Load, RealEnsembleGzipGivesZlibsText) {
  for (const char* name : {"1l2y.pdb.gz", "2koc.pdb.gz"}) {
    const std::string path = data_dir + "/" + name;
    const LoadedInput loaded = load_structure(path);
    EXPECT_TRUE(loaded.format.compressed);
    EXPECT_EQ(loaded.format.format, Format::pdb);
    EXPECT_EQ(loaded.pdb_text, zcat(path)) << name;
  }
}

TEST(Load, OnlyRegularFilesAreOpened) {
  ScratchDir dir;
  const std::string fifo = dir.file("pipe.pdb");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  write_bytes(dir.file("mmcif_error.cif"), "data_x\nloop_\n_atom_site.id\n1\n");
  for (const std::string& path : {dir.file("missing.pdb"), dir.file(""), fifo, std::string("/dev/zero")}) {
    try {
      load_structure(path);
      ADD_FAILURE() << path << " was loaded";
    } catch (const InputError& e) {
      EXPECT_EQ(std::string(e.what()), "Input file \"" + path + "\" cannot be opened.");
    }
  }
  // Conversion errors name the file.
  try {
    load_structure(dir.file("mmcif_error.cif"));
    ADD_FAILURE() << "converted";
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "Input file \"" + dir.file("mmcif_error.cif") +
                                         "\": The _atom_site table has no coordinates (Cartn_x, Cartn_y, Cartn_z).");
  }
}

}  // namespace
}  // namespace veldrix
