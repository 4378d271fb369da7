// Structure files as the read command takes them: format detection by content.
#include "input/source.hpp"

#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace veldrix {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// The first bytes of a gzip file after decompression; as many as one read gives.
std::string gzip_head(const std::string& path, std::size_t n) {
  const std::unique_ptr<gzFile_s, int (*)(gzFile)> gz(gzopen(path.c_str(), "rb"), gzclose);
  if (!gz) throw InputError("Input file \"" + path + "\" cannot be opened.");
  std::string head(n, '\0');
  const int got = gzread(gz.get(), head.data(), unsigned(n));
  head.resize(got > 0 ? std::size_t(got) : 0);
  return head;
}

}  // namespace

bool is_gzip(std::string_view bytes) {
  return bytes.size() >= 2 && (unsigned char)bytes[0] == 0x1f && (unsigned char)bytes[1] == 0x8b;
}

bool is_mmcif_text(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (is_space(text[i])) {
      ++i;
    } else if (text[i] == '#') {
      while (i < text.size() && text[i] != '\n') ++i;
    } else {
      break;
    }
  }
  const std::string_view token = text.substr(i, 5);
  if (token.size() < 5) return false;
  std::string head;
  for (char c : token) head.push_back(lower(c));
  return head == "data_";
}

FileFormat sniff_file(const std::string& path) {
  std::error_code ec;
  std::ifstream file;
  if (std::filesystem::is_regular_file(path, ec)) file.open(path, std::ios::binary);
  if (!file.is_open()) throw InputError("Input file \"" + path + "\" cannot be opened.");
  std::string head(64 * 1024, '\0');
  file.read(head.data(), std::streamsize(head.size()));
  head.resize(std::size_t(file.gcount()));
  FileFormat f;
  f.compressed = is_gzip(head);
  if (f.compressed) head = gzip_head(path, 64 * 1024);
  f.format = is_mmcif_text(head) ? Format::mmcif : Format::pdb;
  return f;
}

}  // namespace veldrix
