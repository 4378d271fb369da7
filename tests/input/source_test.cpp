// Loading structure files: gzip by content (members, damage, size limit), mmCIF by content, regular files only.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "input/formats_support.hpp"
#include "input/mmcif.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

using namespace formats_testing;

const std::string pdb_text =
    "MODEL        1\n"
    "ATOM      1  N   ALA A   1       1.000   2.000   3.000  1.00  0.00           N\n"
    "ENDMDL\n";

std::string kind(FileFormat f) {
  return (f.format == Format::mmcif ? "mmcif" : "pdb") + std::string(f.compressed ? ".gz" : "");
}

TEST(Gzip, MembersDamageAndTheSizeLimit) {
  constexpr std::size_t limit = std::size_t(1) << 20;
  const std::string gz = gzip(pdb_text), a = pdb_text.substr(0, 40), b = pdb_text.substr(40), exact(limit, 'x');
  std::string bad_crc = gz;
  bad_crc[gz.size() - 6] ^= 1;
  const std::string damaged = "Input file \"x.gz\" is a damaged gzip file: ", cut = damaged + "unexpected end of data.";
  const std::string more = "Input file \"x.gz\" decompresses to more than 1 MiB, the limit for structure files.";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {gz, pdb_text},
      {gzip(a, 1) + gzip(b, 9), pdb_text},  // as cat joins files
      {gzip(a) + gzip("") + gzip(b), pdb_text},
      {gz + std::string(512, '\0'), pdb_text},  // as tar pads them
      {gz.substr(0, 2), cut},
      {gz.substr(0, gz.size() / 2), cut},
      {gz.substr(0, gz.size() - 1), cut},
      {gz + gz.substr(0, 20), cut},
      {bad_crc, damaged + "incorrect data check."},
      {gz + "ATOM", damaged + "data after the end of the compressed stream."},
      {gzip(std::string(16 * limit, ' '), 9), more},  // 16 MiB of blanks in some 16 KB
      {gzip(exact), exact},
      {gzip(exact) + gzip("y"), more},
      {exact, exact},
      {exact + "y", "Input file \"x.gz\" holds more than 1 MiB, the limit for structure files."},
  };
  for (const auto& [bytes, text] : cases) {
    const std::string got = outcome([&] { return load_structure_bytes(bytes, "x.gz", limit).pdb_text; });
    EXPECT_TRUE(got == text) << got.substr(0, 99) << " from " << bytes.size() << " bytes";
  }
}

TEST(Load, FormatIsJudgedByContentNeverByName) {
  const std::string cif = data_file("formats/hand_made.cif"), converted = mmcif_to_pdb(cif);
  TempDir dir("source");
  const std::vector<std::array<std::string, 4>> cases = {
      // misleading names
      {"plain.cif.gz", pdb_text, "pdb", pdb_text},
      {"zipped.cif", gzip(pdb_text), "pdb.gz", pdb_text},
      {"entry.pdb", cif, "mmcif", converted},
      {"entry.pdb.gz", gzip("# comment first\n" + cif), "mmcif.gz", converted},
      {"upper.txt", "\n\t# c\r\n DATA_" + cif.substr(5), "mmcif", converted},
      {"late.cif", "REMARK\ndata_x\n", "pdb", "REMARK\ndata_x\n"},
      {"short.cif", "data", "pdb", "data"},
      {"empty.cif", "", "pdb", ""},
  };
  for (const auto& [name, bytes, format, text] : cases) {
    const std::string path = dir.write(name, bytes);
    const LoadedInput l = load_structure(path);
    EXPECT_EQ(std::tuple(kind(sniff_file(path)), kind(l.format), l.pdb_text), std::tuple(format, format, text));
  }
}

TEST(Load, OnlyRegularFilesAreOpened) {
  TempDir dir("source");
  const std::string fifo = dir.path("pipe.pdb");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {dir.path("missing.pdb"), dir.path().string(), fifo, std::string("/dev/zero")})
    EXPECT_EQ(outcome([&] { return load_structure(path).pdb_text; }) + outcome([&] { return kind(sniff_file(path)); }),
              "Input file \"" + path + "\" cannot be opened.Input file \"" + path + "\" cannot be opened.");
}

}  // namespace
}  // namespace veldrix::testing
