// Helpers of the tests of file loading, mmCIF conversion and name mapping: files, gzip, PDB record fields.
#pragma once

#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace veldrix::formats_testing {

inline const std::string data_dir = VELDRIX_TEST_DATA;

inline std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void write_bytes(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// A .gz file's content through zlib's own file reader (not the code under test).
inline std::string zcat(const std::string& path) {
  gzFile gz = gzopen(path.c_str(), "rb");
  if (gz == nullptr) throw std::runtime_error("cannot open " + path);
  std::string text;
  char buffer[1 << 16];
  int n;
  while ((n = gzread(gz, buffer, sizeof buffer)) > 0) text.append(buffer, std::size_t(n));
  gzclose(gz);
  return text;
}

// One gzip member of the bytes.
inline std::string gzip(std::string_view bytes, int level = 6) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::bad_alloc();
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

// A directory of its own for one test, removed with its contents.
class ScratchDir {
 public:
  ScratchDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "veldrix-formats-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = templ;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> lines;
  std::istringstream in{std::string(text)};
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The ATOM records of a PDB text ("ATOM " as the reader takes them).
inline std::vector<std::string> atom_records(std::string_view text) {
  std::vector<std::string> records;
  for (std::string& line : lines_of(text))
    if (line.rfind("ATOM ", 0) == 0) records.push_back(std::move(line));
  return records;
}

// Columns a..b (1-based) of a line, blank beyond its end.
inline std::string cols(const std::string& line, std::size_t a, std::size_t b) {
  std::string s = line.size() >= a ? line.substr(a - 1, b - a + 1) : "";
  s.resize(b - a + 1, ' ');
  return s;
}

}  // namespace veldrix::formats_testing
