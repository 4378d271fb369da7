// Helpers of the tests of file loading, mmCIF conversion and name mapping: raw bytes, gzip, PDB columns.
#pragma once

#include <zlib.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "input/source.hpp"

namespace veldrix::formats_testing {

inline std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One gzip member of the bytes, made by zlib itself.
inline std::string gzip(std::string_view bytes, int level = 6) {
  z_stream zs{};
  deflateInit2(&zs, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, uLong(bytes.size())), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  zs.avail_in = uInt(bytes.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = uInt(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

inline std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> lines;
  std::istringstream in{std::string(text)};
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The first line where two texts differ, as "line N: got | want"; empty when they are the same.
inline std::string first_difference(std::vector<std::string> got, std::vector<std::string> want) {
  std::size_t k = 0;
  while (k < got.size() && k < want.size() && got[k] == want[k]) ++k;
  if (got.size() == want.size() && k == got.size()) return "";
  got.resize(k + 1, "(end)"), want.resize(k + 1, "(end)");
  return "line " + std::to_string(k + 1) + ": " + got[k] + " | " + want[k];
}

// What f gives, or the message of the InputError it throws.
template <typename F>
std::string outcome(F f) {
  try {
    return f();
  } catch (const InputError& e) {
    return e.what();
  }
}

// Columns a..b (1-based) of a line, blank beyond its end.
inline std::string cols(const std::string& line, std::size_t a, std::size_t b) {
  std::string s = line.size() >= a ? line.substr(a - 1, b - a + 1) : "";
  s.resize(b - a + 1, ' ');
  return s;
}

}  // namespace veldrix::formats_testing
