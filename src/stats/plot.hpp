// The precision profile as an SVG plot: RMSF per residue with the domains shaded, order parameters below.
#pragma once

#include <string>
#include <string_view>

#include "veldrix/veldrix.hpp"

namespace veldrix {

// Text as XML character data or attribute value: & < > " ' escaped, control characters and
// bytes that are not UTF-8 replaced by '?', so that any file name makes a well-formed document.
std::string xml_text(std::string_view text);

// The "nice" tick step (1, 2 or 5 times a power of ten) at or above `least`.
double nice_step(double least);

}  // namespace veldrix
