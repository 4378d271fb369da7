// Reading numeric parameter values: the first number token of a text, integer or real.
#pragma once

#include <string_view>

namespace veldrix {

struct EvaResult {
  int type = 0;  // 1 integer, 2 real, 0 no value or type conflict, < 0 failed at that position
  int ival = 0;
  double rval = 0.0;
};

// Evaluates text with a requested type (0 any, 1 integer, 2 real).
EvaResult eva(std::string_view text, int type);
// Integer value; err = 0 on success, -1 otherwise.
int ieva(std::string_view text, int& err);
// Real value; err = 0 on success, -1 otherwise.
double reva(std::string_view text, int& err);

}  // namespace veldrix
