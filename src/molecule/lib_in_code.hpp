// The built-in residue library: a constant table of library lines, served one line at a time.
#pragma once

#include <string_view>

namespace veldrix {

// Number of lines of the built-in library.
inline constexpr int internal_libfile_lines = 1475;

// Line i (1..internal_libfile_lines) of the built-in library, without trailing blanks
// (the reader pads it to its line width); empty for any other i.
std::string_view internal_libfile(int i);

}  // namespace veldrix
