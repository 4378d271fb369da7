// Reading text input line by line.
#include "util/lines.hpp"

#include <istream>

namespace veldrix {

bool read_line(std::istream& in, std::string& line, std::size_t width) {
  using traits = std::char_traits<char>;
  std::streambuf* sb = in.rdbuf();
  if (!in.good() || sb == nullptr) return false;
  // A file buffer reports a failed read (an I/O error) by throwing; the callers
  // see a bad stream and report the line.
  try {
    int c = sb->sbumpc();
    if (traits::eq_int_type(c, traits::eof())) {
      in.setstate(std::ios::eofbit);
      return false;
    }
    line.clear();
    std::size_t length = 0;
    char last = 0;
    while (!traits::eq_int_type(c, traits::eof()) && c != '\n') {
      last = traits::to_char_type(c);
      if (line.size() < width) line.push_back(last);
      ++length;
      c = sb->sbumpc();
    }
    if (traits::eq_int_type(c, traits::eof())) in.setstate(std::ios::eofbit);
    if (last == '\r' && length <= width) line.pop_back();
    return true;
  } catch (const std::ios_base::failure&) {
    in.setstate(std::ios::badbit);
    return false;
  }
}

}  // namespace veldrix
