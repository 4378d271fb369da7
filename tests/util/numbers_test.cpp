// The one integer and one real reader behind every number rule of the inputs.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "util/numbers.hpp"

namespace veldrix {
namespace {

constexpr std::nullopt_t no = std::nullopt;
const NumberSyntax plain{};
const NumberSyntax field{.blanks_ignored = true, .empty_is_zero = true};  // fixed-column fields
const NumberSyntax unsigned_{.sign = false};
const NumberSyntax pdb3{.blanks_ignored = true, .empty_is_zero = true, .d_exponent = true, .implied_decimals = 3};
const NumberSyntax option{.sign = false, .exponent = false, .point_required = true};  // command-line reals
const NumberSyntax d_exp{.d_exponent = true};

TEST(ReadInt, EverySyntax) {
  struct Case {
    std::string text;
    NumberSyntax syntax;
    std::optional<int> value;
  };
  const std::vector<Case> cases{
      {"42", plain, 42}, {"-7", plain, -7}, {"+7", plain, 7}, {"007", plain, 7}, {"", plain, no}, {"+", plain, no},
      {"1.0", plain, no}, {"1e3", plain, no}, {" 4", plain, no}, {"0x10", plain, no}, {"-5", unsigned_, no},
      {"2147483647", plain, INT_MAX}, {"2147483648", plain, no}, {"-2147483648", plain, INT_MIN},
      {"-2147483649", plain, no}, {"99999999999999999999", plain, no}, {"", field, 0}, {"    ", field, 0},
      {" 1 2 ", field, 12}, {" - 3", field, -3}, {"  x ", field, no},
  };
  for (const Case& c : cases) EXPECT_EQ(read_int(c.text, c.syntax), c.value) << '"' << c.text << '"';
}

TEST(ReadReal, EverySyntax) {
  struct Case {
    std::string text;
    NumberSyntax syntax;
    std::optional<double> value;
  };
  const std::vector<Case> cases{
      {"1.5", plain, 1.5}, {"-.5", plain, -0.5}, {"+2.", plain, 2.0}, {"7", plain, 7.0}, {"1E-2", plain, 0.01},
      {"1.5e1", plain, 15.0}, {"3e+2", plain, 300.0}, {"", plain, no}, {".", plain, no}, {"-", plain, no},
      {"1.2.3", plain, no}, {"1,5", plain, no}, {"1e", plain, no}, {"1e+", plain, no}, {"1e2.5", plain, no},
      {"nan", plain, no}, {"inf", plain, no}, {"0x10", plain, no}, {" 1.0", plain, no},
      // D exponents only where asked for
      {"2.5d-1", plain, no}, {"2.5d-1", d_exp, 0.25}, {"2.5D2", d_exp, 250.0},
      // overflow is refused, underflow reads as 0 or a denormal
      {"1e999", plain, no}, {"1e100000000000", plain, no}, {"-1.8e308", plain, no}, {"1e-400", plain, 0.0},
      {"1e-100000000000", plain, 0.0}, {"1e-310", plain, 1e-310},
      // fixed-column fields: blanks skipped, empty is zero, implied decimals without a point
      {"", pdb3, 0.0}, {"  12345", pdb3, 12.345}, {" -1 2345", pdb3, -12.345}, {"  12.5", pdb3, 12.5},
      {"123E1", pdb3, 1.23}, {"1.5D1", pdb3, 15.0},
      // command-line reals: one point, no sign, no exponent
      {"0.4", option, 0.4}, {"4", option, no}, {"-0.4", option, no}, {"1.5e1", option, no}, {"1.", option, 1.0},
  };
  for (const Case& c : cases) EXPECT_EQ(read_real(c.text, c.syntax), c.value) << '"' << c.text << '"';
}

TEST(ShortestText, ReadsBackExactly) {
  for (const auto& [x, text] : std::vector<std::pair<double, std::string>>{
           {1.2, "1.2"}, {0.4, "0.4"}, {3.0, "3"}, {0.1, "0.1"}, {-2.5, "-2.5"}, {1e-7, "1e-07"}}) {
    EXPECT_EQ(shortest_text(x), text);
    EXPECT_EQ(read_real(shortest_text(x)), x);
  }
}

}  // namespace
}  // namespace veldrix
