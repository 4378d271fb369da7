// Interpreter state: start-up defaults, the error flag and the day count.
#include <gtest/gtest.h>

#include "command/message.hpp"
#include "command/params.hpp"
#include "command/praxel.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

TEST(Praxel, StartUpDefaultsAndLevels) {
  testing::Captured cap;
  paramdata.prefix = "old_";
  praxel(" ", 50, ".vok", std::string(200, ' '), std::string(400, ' '));
  const PraxelData& px = praxeldata;
  EXPECT_EQ(px.infos + px.infof + px.infos2 + px.infof2, 8) << "all four levels are 2";
  EXPECT_EQ(px.iured, 0);
  EXPECT_FALSE(px.erflag);
  EXPECT_EQ(px.lp.size(), 50u);
  EXPECT_EQ(vardata.iunit, 10);
  EXPECT_EQ(vardata.nvar, 0);
  EXPECT_EQ(vardata.extnsn, ".vok");
  EXPECT_EQ(paramdata.prefix, "");
  putlin(3, "hidden");
  putlin(2, "shown");
  EXPECT_EQ(cap.text(), "    shown\n");
  praxeldata.infos = 5;  // a second call only keeps the command text
  praxel("atoms select", 10, ".x", "", "");
  EXPECT_EQ(praxeldata.infos, 5);
  EXPECT_EQ(praxeldata.command, "atoms select");
}

TEST(Praxel, ErrorFlagAndDayCount) {
  testing::Captured cap;
  wrnmsg("only a warning");
  EXPECT_FALSE(haverr());
  errmsg("a real error");
  EXPECT_TRUE(haverr());
  EXPECT_EQ(numday(1970, 1, 1), 0);
  EXPECT_EQ(numday(2000, 1, 1), 10957);
  EXPECT_EQ(numday(1969, 12, 31), -1);
  EXPECT_EQ(numday(2000, 3, 1) - numday(2000, 2, 28), 2) << "2000 is a leap year";
  EXPECT_EQ(numday(1900, 3, 1) - numday(1900, 2, 28), 1) << "1900 is not";
}

}  // namespace
}  // namespace veldrix
