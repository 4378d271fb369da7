// The integer and real readers in every syntax the inputs use, and the quicksorts' order of equal keys.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "util/numbers.hpp"
#include "util/sort.hpp"

namespace veldrix {
namespace {

constexpr std::nullopt_t no = std::nullopt;
const NumberSyntax plain{}, unsigned_{.sign = false}, field{.blanks_ignored = true, .empty_is_zero = true};
const NumberSyntax pdb{.blanks_ignored = true, .empty_is_zero = true, .d_exponent = true, .implied_decimals = 3};
const NumberSyntax option{.sign = false, .exponent = false, .point_required = true};  // command-line reals

TEST(Numbers, EverySyntaxAndItsLimits) {
  const std::vector<std::tuple<std::string, NumberSyntax, std::optional<int>>> ints{{"-7", plain, -7},
                                                                                    {"+007", plain, 7},
                                                                                    {"", plain, no},
                                                                                    {"+", plain, no},
                                                                                    {"1.0", plain, no},
                                                                                    {" 4", plain, no},
                                                                                    {"1e3", plain, no},
                                                                                    {"-5", unsigned_, no},
                                                                                    {"2147483647", plain, INT_MAX},
                                                                                    {"2147483648", plain, no},
                                                                                    {"-2147483648", plain, INT_MIN},
                                                                                    {"99999999999999999999", plain, no},
                                                                                    {"    ", field, 0},
                                                                                    {" - 1 2 ", field, -12},
                                                                                    {"  x ", field, no}};
  for (const auto& [text, syntax, value] : ints) EXPECT_EQ(read_int(text, syntax), value) << '"' << text << '"';
  const std::vector<std::tuple<std::string, NumberSyntax, std::optional<double>>> reals{{"-.5", plain, -0.5},
                                                                                        {"+2.", plain, 2.0},
                                                                                        {"7", plain, 7.0},
                                                                                        {"1E-2", plain, 0.01},
                                                                                        {"3e+2", plain, 300.0},
                                                                                        {".", plain, no},
                                                                                        {"1.2.3", plain, no},
                                                                                        {"1,5", plain, no},
                                                                                        {"1e", plain, no},
                                                                                        {"1e+", plain, no},
                                                                                        {"1e2.5", plain, no},
                                                                                        {"nan", plain, no},
                                                                                        {"inf", plain, no},
                                                                                        {" 1.0", plain, no},
                                                                                        {"2.5d-1", plain, no},
                                                                                        {"1e999", plain, no},
                                                                                        {"1e100000000000", plain, no},
                                                                                        {"-1.8e308", plain, no},
                                                                                        {"1e-400", plain, 0.0},
                                                                                        {"1e-100000000000", plain, 0.0},
                                                                                        {"1e-310", plain, 1e-310},
                                                                                        {"", pdb, 0.0},
                                                                                        {" -1 2345", pdb, -12.345},
                                                                                        {"  12.5", pdb, 12.5},
                                                                                        {"123E1", pdb, 1.23},
                                                                                        {"2.5d-1", pdb, 0.25},
                                                                                        {"2.5D2", pdb, 250.0},
                                                                                        {"0.4", option, 0.4},
                                                                                        {"1.", option, 1.0},
                                                                                        {"4", option, no},
                                                                                        {"-0.4", option, no},
                                                                                        {"1.5e1", option, no}};
  for (const auto& [text, syntax, value] : reals) EXPECT_EQ(read_real(text, syntax), value) << '"' << text << '"';
  for (const auto& [x, text] : std::vector<std::pair<double, std::string>>{
           {1.2, "1.2"}, {0.1, "0.1"}, {3.0, "3"}, {-2.5, "-2.5"}, {1e-7, "1e-07"}}) {
    EXPECT_EQ(shortest_text(x), text);
    EXPECT_EQ(read_real(text), x);
  }
}

// The permutations were worked out by hand from the partition steps (middle pivot, equal keys swapped,
// the smaller part sorted first); later analysis steps rely on them.
TEST(Sort, EqualKeysLandInTheOrderOfThePartitionSteps) {
  using V = std::vector<int>;
  for (const auto& [keys, perm] : std::vector<std::pair<V, V>>{{{3, 1, 2}, {2, 3, 1}},
                                                               {{1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 7}},
                                                               {{2, 1, 2, 1, 2}, {4, 2, 5, 1, 3}},
                                                               {{5, 5, 5, 5}, {3, 4, 1, 2}},
                                                               {{5, -1000, 3, -1000, 9}, {2, 4, 3, 1, 5}}}) {
    V a = keys, p(a.size()), q(a.size());
    std::vector<double> r(keys.begin(), keys.end());
    isort(a, p, 0);
    rsort(r, q, 0);
    EXPECT_EQ(p, perm);
    EXPECT_EQ(q, perm);
  }
  V a{3, 1, 2}, p{10, 20, 30};  // mode 1 carries a given permutation along
  isort(a, p, 1);
  EXPECT_EQ(p, (V{20, 30, 10}));
}

}  // namespace
}  // namespace veldrix
