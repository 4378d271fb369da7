// Finding the inputs: sorted directory search, symlink loops, named files, lists on standard input.
#include "batch/inputs.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "batch/batch_support.hpp"

namespace veldrix::batch::testing {
namespace {

std::vector<std::string> found(const std::vector<std::string>& args, const std::string& list = "") {
  std::istringstream in(list);
  std::vector<std::string> files;
  for (const Input& i : find_inputs(args, in)) {
    EXPECT_FALSE(i.error) << i.file << ": " << *i.error;
    files.push_back(i.file);
  }
  return files;
}

class InputSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name :
         {"b.pdb", "a.cif.gz", "notes.txt", "sub/z.ent", "sub/deeper/c.mmcif", "sub.pdb", "other/x.pdb.gz"})
      write_file(dir_.path() / name, "text");
    // Links back to an ancestor and to a sibling: each directory is searched once.
    fs::create_directory_symlink("..", dir_.path() / "sub/up");
    fs::create_directory_symlink(dir_.path() / "other", dir_.path() / "sub/link");
    fs::create_symlink("loop.pdb", dir_.path() / "loop.pdb");  // a file link loop: found, fails later
  }
  std::string at(const std::string& name) const { return dir_ / name; }
  TempDir dir_;
};

TEST_F(InputSearch, DirectoriesGiveTheirStructureFilesSorted) {
  const std::string root = dir_.path().string();
  EXPECT_EQ(found({root}), (std::vector<std::string>{at("a.cif.gz"), at("b.pdb"), at("loop.pdb"), at("other/x.pdb.gz"),
                                                     at("sub.pdb"), at("sub/deeper/c.mmcif"), at("sub/z.ent")}));
}

TEST_F(InputSearch, NamedFilesAreTakenAsTheyAreAndInOrder) {
  EXPECT_EQ(found({at("notes.txt"), at("missing.pdb"), at("b.pdb"), at("b.pdb"), at("sub/deeper")}),
            (std::vector<std::string>{at("notes.txt"), at("missing.pdb"), at("b.pdb"), at("b.pdb"),
                                      at("sub/deeper/c.mmcif")}));
}

TEST_F(InputSearch, ListsOnStandardInput) {
  EXPECT_EQ(found({at("b.pdb"), "-"}, at("notes.txt") + "\r\n\n" + at("sub/deeper") + "\n" + at("b.pdb")),
            (std::vector<std::string>{at("b.pdb"), at("notes.txt"), at("sub/deeper/c.mmcif"), at("b.pdb")}));
  EXPECT_TRUE(found({"-"}, "").empty());
  EXPECT_TRUE(found({"-"}, "\n\n").empty());
}

}  // namespace
}  // namespace veldrix::batch::testing
