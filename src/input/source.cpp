// Structure files as the read command takes them: format detection by content, decompression, conversion.
#include "input/source.hpp"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "input/mmcif.hpp"

namespace veldrix {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

[[noreturn]] void cannot_open(const std::string& path) {
  throw InputError("Input file " + quoted(path) + " cannot be opened.");
}

[[noreturn]] void too_large(const std::string& path, std::size_t limit, bool compressed) {
  throw InputError("Input file " + quoted(path) + (compressed ? " decompresses to" : " holds") + " more than " +
                   size_text(limit) + ", the limit for structure files.");
}

[[noreturn]] void damaged(const std::string& path, const std::string& why) {
  throw InputError("Input file " + quoted(path) + " is a damaged gzip file: " + why + ".");
}

// The first bytes of a gzip file after decompression; as many as one read gives.
std::string gzip_head(const std::string& path, std::size_t n) {
  const std::unique_ptr<gzFile_s, int (*)(gzFile)> gz(gzopen(path.c_str(), "rb"), gzclose);
  if (!gz) cannot_open(path);
  std::string head(n, '\0');
  const int got = gzread(gz.get(), head.data(), unsigned(n));
  head.resize(got > 0 ? std::size_t(got) : 0);
  return head;
}

// Only a regular file will do: a directory cannot be read, and a pipe or a device
// may never end. The file is read to its end, whatever its size said before; a
// read error ends it early and is reported through `failed`.
std::string read_file(const std::string& path, std::size_t limit, bool& failed) {
  std::error_code ec;
  std::ifstream file;
  if (std::filesystem::is_regular_file(path, ec)) file.open(path, std::ios::binary);
  if (!file.is_open()) cannot_open(path);
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > limit) too_large(path, limit, false);
  // The size the file has is read at once; whatever follows (a file that grew) in chunks.
  std::string bytes(!ec ? std::size_t(size) : 0, '\0');
  file.read(bytes.data(), std::streamsize(bytes.size()));
  bytes.resize(std::size_t(file.gcount()));
  if (file) {
    std::vector<char> chunk(std::size_t(1) << 16);
    while (file) {
      if (bytes.size() > limit) too_large(path, limit, false);
      file.read(chunk.data(), std::streamsize(chunk.size()));
      bytes.append(chunk.data(), std::size_t(file.gcount()));
    }
  }
  failed = file.bad();
  if (bytes.size() > limit) too_large(path, limit, false);
  return bytes;
}

struct Inflater {
  z_stream zs{};
  Inflater() {
    // 16 + 15: a gzip wrapper, the largest window.
    if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
  }
  ~Inflater() { inflateEnd(&zs); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
};

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
  if (!file.is_open()) cannot_open(path);
  std::string head(64 * 1024, '\0');
  file.read(head.data(), std::streamsize(head.size()));
  head.resize(std::size_t(file.gcount()));
  FileFormat f;
  f.compressed = is_gzip(head);
  if (f.compressed) head = gzip_head(path, 64 * 1024);
  f.format = is_mmcif_text(head) ? Format::mmcif : Format::pdb;
  return f;
}

std::string size_text(std::size_t bytes) {
  constexpr std::size_t mib = std::size_t(1) << 20, gib = std::size_t(1) << 30;
  if (bytes >= gib && bytes % gib == 0) return std::to_string(bytes / gib) + " GiB";
  if (bytes >= mib && bytes % mib == 0) return std::to_string(bytes / mib) + " MiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string gunzip(std::string_view bytes, const std::string& name, std::size_t limit) {
  Inflater z;
  std::string out;
  // A first guess from the usual ratio of PDB text; the buffer grows as needed, up
  // to one byte beyond the limit, which tells that the limit was passed.
  out.resize(std::min(limit + 1, std::max<std::size_t>(bytes.size() * 4, 1 << 16)));
  std::size_t produced = 0;
  std::size_t consumed = 0;
  for (;;) {
    if (produced == out.size()) {
      if (out.size() > limit) too_large(name, limit, true);
      out.resize(std::min(limit + 1, out.size() * 2));
    }
    // zlib counts in unsigned int: the input and output are handed over in pieces.
    const std::size_t in_piece = std::min<std::size_t>(bytes.size() - consumed, UINT_MAX);
    const std::size_t out_piece = std::min<std::size_t>(out.size() - produced, UINT_MAX);
    z.zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + consumed));
    z.zs.avail_in = unsigned(in_piece);
    z.zs.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
    z.zs.avail_out = unsigned(out_piece);
    const int status = inflate(&z.zs, Z_NO_FLUSH);
    consumed += in_piece - z.zs.avail_in;
    produced += out_piece - z.zs.avail_out;
    if (status == Z_STREAM_END) {
      // Another member may follow (files joined with cat); zero bytes after the
      // last member are padding (as tar leaves them), anything else is damage.
      const std::string_view rest = bytes.substr(consumed);
      if (rest.find_first_not_of('\0') == std::string_view::npos) break;
      if (!is_gzip(rest)) damaged(name, "data after the end of the compressed stream");
      if (inflateReset(&z.zs) != Z_OK) damaged(name, "cannot restart after a member");
      continue;
    }
    if (status == Z_DATA_ERROR) damaged(name, z.zs.msg != nullptr ? z.zs.msg : "invalid compressed data");
    if (status == Z_MEM_ERROR) throw std::bad_alloc();
    if (status == Z_BUF_ERROR || status == Z_OK) {
      // No progress with input left means the output is full; without input, the data ended early.
      if (consumed == bytes.size() && z.zs.avail_out > 0) damaged(name, "unexpected end of data");
      continue;
    }
    damaged(name, "invalid compressed data");
  }
  if (produced > limit) too_large(name, limit, true);
  out.resize(produced);
  return out;
}

LoadedInput load_structure_bytes(std::string_view bytes, const std::string& name, std::size_t limit) {
  if (bytes.size() > limit) too_large(name, limit, false);
  LoadedInput loaded;
  std::string text;
  std::string_view content = bytes;
  if (is_gzip(bytes)) {
    loaded.format.compressed = true;
    text = gunzip(bytes, name, limit);
    content = text;
  }
  if (is_mmcif_text(content)) {
    loaded.format.format = Format::mmcif;
    try {
      loaded.pdb_text = mmcif_to_pdb(content);
    } catch (const InputError& e) {
      throw InputError("Input file " + quoted(name) + ": " + e.what());
    }
  } else if (loaded.format.compressed) {
    loaded.pdb_text = std::move(text);
  } else {
    loaded.pdb_text.assign(bytes);
  }
  return loaded;
}

LoadedInput load_structure(const std::string& path, std::size_t limit) {
  bool failed = false;
  std::string bytes = read_file(path, limit, failed);
  if (!is_gzip(bytes) && !is_mmcif_text(bytes)) {
    // Plain PDB: the bytes are the text, without a copy; a read error is met where the text ends.
    LoadedInput loaded;
    loaded.pdb_text = std::move(bytes);
    loaded.read_error = failed;
    return loaded;
  }
  if (failed) throw InputError("Input file " + quoted(path) + " cannot be read.");
  return load_structure_bytes(bytes, path, limit);
}

}  // namespace veldrix
