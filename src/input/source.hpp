// Structure files as the read command takes them: plain or gzip-compressed, PDB or mmCIF, judged by content.
#pragma once

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

}  // namespace veldrix
