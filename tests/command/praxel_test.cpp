// Interpreter state: start-up defaults, the error flag and the day count.
#include <gtest/gtest.h>

#include "command/message.hpp"
#include "command/params.hpp"
#include "command/praxel.hpp"
#include "test_support.hpp"

namespace veldrix {
namespace {

using testing::Captured;

TEST(Praxel, StartUpDefaults) {
  Captured cap;
  paramdata.prefix = "old_";
  praxel(" ", 50, ".vok", std::string(200, ' '), std::string(400, ' '));
  const PraxelData& px = praxeldata;
  EXPECT_EQ(px.infos, 2);
  EXPECT_EQ(px.infof, 2);
  EXPECT_EQ(px.infos2, 2);
  EXPECT_EQ(px.infof2, 2);
  EXPECT_EQ(px.iured, 0);
  EXPECT_FALSE(px.erflag);
  EXPECT_EQ(px.lp.size(), 50u);
  EXPECT_EQ(vardata.iunit, 10);
  EXPECT_EQ(vardata.nvar, 0);
  EXPECT_GE(vardata.var.size(), 21u) << "room for 1 + 20 variables";
  EXPECT_EQ(vardata.extnsn, ".vok");
  EXPECT_EQ(paramdata.prefix, "") << "start-up clears the command prefix";
  EXPECT_DOUBLE_EQ(px.timing, double(1.0e20f));
  EXPECT_FALSE(px.startup_exists);

  // Level 3 stays silent at the default level 2; level 2 is shown.
  putlin(3, "hidden");
  putlin(2, "shown");
  EXPECT_EQ(cap.text(), "    shown\n");

  // Later calls only keep the command text.
  praxeldata.infos = 5;
  praxel("atoms select", 10, ".x", "", "");
  EXPECT_EQ(praxeldata.infos, 5);
  EXPECT_EQ(praxeldata.lp.size(), 50u);
  EXPECT_EQ(praxeldata.command, "atoms select");
}

TEST(Praxel, ErrorFlag) {
  Captured cap;
  EXPECT_FALSE(haverr());
  wrnmsg("only a warning");
  EXPECT_FALSE(haverr());
  errmsg("a real error");
  EXPECT_TRUE(haverr());
  EXPECT_EQ(cap.text(), "*** WARNING: only a warning\n*** ERROR: a real error\n");
  reset_interpreter();
  EXPECT_FALSE(haverr());
  seterr();
  EXPECT_TRUE(haverr());
}

TEST(Praxel, DayCount) {
  EXPECT_EQ(numday(1970, 1, 1), 0);
  EXPECT_EQ(numday(2000, 1, 1), 10957);
  EXPECT_EQ(numday(1970, 1, 2), 1);
  EXPECT_EQ(numday(1969, 12, 31), -1);
  EXPECT_EQ(numday(2000, 3, 1) - numday(2000, 2, 28), 2) << "2000 is a leap year";
  EXPECT_EQ(numday(1900, 3, 1) - numday(1900, 2, 28), 1) << "1900 is not";
}

}  // namespace
}  // namespace veldrix
