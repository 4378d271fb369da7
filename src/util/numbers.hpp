// Reading numbers from text: one integer reader and one real reader, with the variations the inputs need.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veldrix {

// What a number's text may look like besides digits.
struct NumberSyntax {
  bool blanks_ignored = false;  // fixed-column fields: blanks anywhere are skipped
  bool empty_is_zero = false;   // an empty or blank text reads 0
  bool sign = true;             // an optional leading + or -
  bool exponent = true;         // reals: an exponent after E or e
  bool d_exponent = false;      // reals: D and d are exponent letters too
  bool point_required = false;  // reals: exactly one decimal point
  int implied_decimals = 0;     // reals without a decimal point: the last digits are the fraction
};

// An integer that fits 32 bits; nullopt for any other text.
std::optional<int> read_int(std::string_view text, const NumberSyntax& syntax = {});

// A finite real (a value too small for a double reads as 0 or a denormal); nullopt for any other text.
std::optional<double> read_real(std::string_view text, const NumberSyntax& syntax = {});

// The shortest text that reads back as x (1.2, 0.4, 3).
std::string shortest_text(double x);

}  // namespace veldrix
