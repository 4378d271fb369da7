// Reading text input line by line with a bounded line length.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

namespace veldrix {

// Reads the next line, keeping its first `width` characters (the rest of a longer
// line is passed over, so any line length is safe). A carriage return that ends
// the line belongs to the line break. Returns false, leaving `line` alone, at the
// end of input, and after a read error, which leaves the stream bad (`in.bad()`).
bool read_line(std::istream& in, std::string& line, std::size_t width);

}  // namespace veldrix
