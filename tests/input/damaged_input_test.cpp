// Damaged coordinate input: streams that fail while being read, records cut short,
// coordinates no position can have, and models that are mere fragments.
#include <gtest/gtest.h>

#include <ios>
#include <streambuf>

#include "input/getcor.hpp"
#include "input/input_support.hpp"
#include "input/pdbfields.hpp"
#include "input/readf.hpp"
#include "util/text.hpp"

namespace veldrix::testing {
namespace {

// The sequence of two alanines A1 and A2, read and set up; returns its PDB text.
std::string set_up_two_alanines() {
  load_library();
  std::string two = sequence_text({{"ALA", 'A', 1}, {"ALA", 'A', 2}});
  std::istringstream seq(two);
  extseq(seq, 3, "*", 2);
  iniseq();
  return two;
}

TEST(DamagedInput, AReadErrorEndsTheLineReadingWithABadStream) {
  FailingBuffer buf("ATOM first line\nsecond, cut by the err");
  std::istream in(&buf);
  std::string line;
  ASSERT_TRUE(read_pdb_line(in, line));
  EXPECT_EQ(line, "ATOM first line");
  EXPECT_FALSE(read_pdb_line(in, line));
  EXPECT_TRUE(in.bad());
  EXPECT_FALSE(read_pdb_line(in, line)) << "a bad stream stays at its end";
}

TEST(DamagedInput, ReadErrorsAreFatalWithTheLineNumber) {
  const std::string two = sequence_text({{"ALA", 'A', 1}, {"ALA", 'A', 2}});
  {
    // The sequence reader: line 3 cannot be read.
    Captured out;
    load_library();
    FailingBuffer buf(two);
    std::istream in(&buf);
    EXPECT_EQ(stop_status([&] { extseq(in, 3, "*", 2); }), 1);
    EXPECT_EQ(out.text(), "*** FATAL ERROR: Cannot read line 3:\n \n");
  }
  {
    // The coordinate reader, on the molecule the good text built.
    Captured out;
    set_up_two_alanines();
    FailingBuffer buf(two + two.substr(0, 20));
    std::istream in(&buf);
    int mode = 3, state = 0;
    vokandata.i0styp = 2;
    EXPECT_EQ(stop_status([&] { getcor(in, mode, "*", state, 2); }), 1);
    EXPECT_EQ(out.text(), "*** FATAL ERROR: Cannot read line 3:\n \n");
  }
}

TEST(DamagedInput, RecordsMustHoldTheirWholeCoordinates) {
  Captured out;
  const std::string two = set_up_two_alanines();
  const std::string full = atom_record(3, "CA", "ALA", 'A', 2, 1.5, -2.25, 3.125);
  ASSERT_GE(full.size(), 54u);
  struct Case {
    std::string record;
    bool readable;
  };
  const std::vector<Case> cases = {
      {full, true},
      {full.substr(0, 54), true},                       // ends with the z field
      {full.substr(0, 53), false},                      // z cut: would read 3.12 or less
      {full.substr(0, 46), false},                      // no z at all: would read 0
      {full.substr(0, 30), false},                      // no coordinates
      {full.substr(0, 38) + "  9.9E7 " + full.substr(46), true},
      {full.substr(0, 38) + "  1.0E8 " + full.substr(46), false},
      {full.substr(0, 30) + "-1.00E10" + full.substr(38), false},  // the marker of an unknown position
      {full.substr(0, 46) + " 1.0D+30" + full.substr(54), false},
  };
  for (const Case& c : cases) {
    out.clear();
    std::istringstream in(two + c.record + "\n");
    int mode = 3, state = 0;
    vokandata.i0styp = 2;
    const std::optional<int> status = stop_status([&] { getcor(in, mode, "*", state, 2); });
    if (c.readable) {
      EXPECT_FALSE(status.has_value()) << c.record << "\n" << out.text();
    } else {
      EXPECT_EQ(status, 1) << c.record;
      EXPECT_EQ(out.text(), "*** FATAL ERROR: Cannot read line 3:\n                 " + std::string(rtrim(c.record)) + "\n");
    }
  }
}

TEST(DamagedInput, CoordinatesOfAModelAreCountedOncePerAtom) {
  Captured out;
  set_up_two_alanines();
  // N of A1 twice, CA and the pseudo atom QB of A2: three atoms get positions.
  const std::string text = atom_record(1, "N", "ALA", 'A', 1, 1, 2, 3) + "\n" +
                           atom_record(2, "N", "ALA", 'A', 1, 1, 2, 4) + "\n" +
                           atom_record(3, "CA", "ALA", 'A', 1, 2, 2, 3) + "\n" +
                           atom_record(4, "QB", "ALA", 'A', 2, 2, 2, 3) + "\n" +
                           atom_record(5, "CA", "ALA", 'A', 2, 5, 2, 3) + "\n";
  std::istringstream in(text);
  int mode = 3, state = 0;
  vokandata.i0styp = 2;
  getcor(in, mode, "*", state, 2);
  EXPECT_EQ(pdbread.stored, 3);
}

TEST(DamagedInput, StoredModelsStayInProportionToTheirPositions) {
  // 100 alanines (1,100 atoms), a full first model of 100 positions, then models
  // of 2 positions: 16 atoms per position and a first million atoms are allowed.
  auto fit = [](int models) { return models_fit(models, 1100, 100 + 2LL * (models - 1)); };
  EXPECT_TRUE(fit(1));
  EXPECT_TRUE(fit(937));
  EXPECT_FALSE(fit(938));
  EXPECT_FALSE(fit(100000));
  // Complete models always fit, also very many of them; a model without any position only within the allowance.
  EXPECT_TRUE(models_fit(1000000, 5000, 1000000LL * 5000));
  EXPECT_TRUE(models_fit(1, 1000000, 0));
  EXPECT_FALSE(models_fit(2, 1000000, 0));
}

TEST(DamagedInput, FragmentModelsStopTheRead) {
  // A first model of 400 alanines (4,400 atoms), then models of one position
  // each: the read stops at the model that breaks the proportion.
  std::vector<SeqEntry> seq;
  for (int i = 1; i <= 400; ++i) seq.push_back({"ALA", 'A', i});
  std::string text = sequence_text(seq);
  for (int m = 0; m < 400; ++m) text += sequence_text({{"ALA", 'A', 1}, {"ALA", 'A', 2}});
  const TempFile file(text);
  Captured out;
  load_library();
  std::vector<std::string> words{"pdb", file.path(), "unknown=skip"};
  EXPECT_EQ(stop_status([&] { readf(words, true); }), 1);
  int m = 1;
  while (models_fit(m + 1, 4400, 400 + 2LL * m)) ++m;
  EXPECT_EQ(out.text(), "*** FATAL ERROR: PDB coordinate file \"" + file.path() +
                            "\" holds coordinates for too few atoms: " + std::to_string(400 + 2 * m) + " positions in " +
                            std::to_string(m + 1) + " models of 4400 atoms.\n");
  EXPECT_LT(m + 1, 400) << "the file has more models than the read took";
}

}  // namespace
}  // namespace veldrix::testing
