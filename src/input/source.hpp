// Structure files as the read command takes them: plain or gzip-compressed, PDB or mmCIF, judged by content.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "veldrix/veldrix.hpp"

namespace veldrix {

// A file that cannot be read as a structure file; the read command makes it a fatal message.
struct InputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Whether the bytes begin with the gzip magic number.
bool is_gzip(std::string_view bytes);

// Whether the text's first data token (after blanks and "#" comments) is a CIF data block header.
bool is_mmcif_text(std::string_view text);

// The format of the file at path, from its first bytes (decompressed when it is gzip).
FileFormat sniff_file(const std::string& path);

// The most bytes a structure file may hold, or decompress to: far above any real
// ensemble (the largest NMR entries hold a few hundred MB of PDB text), low enough
// that a decompression bomb or a device cannot take the machine's memory.
constexpr std::size_t max_structure_bytes = std::size_t(1) << 30;  // 1 GiB

// A structure file made ready for the PDB reader: its format, and the ensemble as
// PDB text (the file's own text for PDB, the converted atom records for mmCIF).
struct LoadedInput {
  FileFormat format;
  std::string pdb_text;
  bool read_error = false;  // a plain file whose reading failed after pdb_text: the reader meets the error there
};

// Reads the file at `path`: gzip is recognised by its magic bytes and decompressed
// (concatenated members too), mmCIF by its first data token "data_" and converted
// to PDB text; anything else is taken as PDB text as it is. Throws InputError.
LoadedInput load_structure(const std::string& path, std::size_t limit = max_structure_bytes);

// The same for bytes held in memory; `name` stands for the file name in messages.
LoadedInput load_structure_bytes(std::string_view bytes, const std::string& name = "-",
                                 std::size_t limit = max_structure_bytes);

// The decompressed content of gzip bytes (one or more members). Throws InputError
// naming the file for damaged or truncated data and for content beyond `limit` bytes.
std::string gunzip(std::string_view bytes, const std::string& name, std::size_t limit = max_structure_bytes);

// The limit as a message says it: "1 GiB", "64 MiB", "1000 bytes".
std::string size_text(std::size_t bytes);

}  // namespace veldrix
