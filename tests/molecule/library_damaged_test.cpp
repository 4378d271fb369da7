// A residue library whose input fails while it is read.
#include <gtest/gtest.h>

#include <ios>
#include <istream>
#include <streambuf>
#include <string>

#include "molecule/library.hpp"
#include "test_support.hpp"

namespace veldrix::testing {
namespace {

TEST(LibraryDamaged, AReadErrorIsFatalWithTheLineNumberNotAnEarlyEnd) {
  // Without the error the two complete lines would be a valid (empty) library.
  for (const std::string& text : {std::string("# a comment\nATOMTYPES 0\n"), std::string("# one\n# two\n# thr")}) {
    Captured out;
    FailingBuffer buf(text);
    std::istream in(&buf);
    EXPECT_EQ(stop_status([&] { getlib(&in); }), 1) << text;
    EXPECT_EQ(out.text(), "*** FATAL ERROR: Cannot read line 3:\n \n") << text;
  }
}

}  // namespace
}  // namespace veldrix::testing
