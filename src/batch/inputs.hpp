// The inputs of a batch: files as named, directories searched for structure files, lists of paths.
#pragma once

#include <istream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veldrix::batch {

struct Input {
  std::string file;                  // as given or found
  std::optional<std::string> error;  // known before any analysis (a directory that cannot be read)
};

// The length of a structure file's suffix (.pdb, .ent, .cif, .mmcif, each also with .gz, in any case)
// at the end of `name`, 0 when it has none or is nothing but the suffix. A directory search takes the
// names that have one.
std::size_t structure_suffix(std::string_view name);

// The inputs in order: a named file as it is (whatever its name), a directory's structure files in
// sorted order, and for "-" the paths listed in `list`, one per line, each taken as if named.
std::vector<Input> find_inputs(std::span<const std::string> args, std::istream& list);

}  // namespace veldrix::batch
