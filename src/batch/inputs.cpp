// Finding the inputs: directory search in sorted order, safe from symlink loops; lists of paths.
#include "batch/inputs.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

namespace veldrix::batch {

namespace fs = std::filesystem;

namespace {

using DirId = std::pair<dev_t, ino_t>;

std::optional<DirId> directory_id(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return DirId{st.st_dev, st.st_ino};
}

// Adds the structure files below `dir` to `found`. A directory already seen (through a
// symlink back to an ancestor, say) is not searched again, so that no loop runs forever.
void search(const fs::path& dir, std::set<DirId>& seen, std::vector<Input>& found) {
  const std::optional<DirId> id = directory_id(dir.string());
  if (id && !seen.insert(*id).second) return;
  // Entries in sorted order, so that which path reaches a directory seen twice does not depend on
  // the order the file system lists them in.
  std::error_code ec;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
  std::sort(entries.begin(), entries.end());
  for (const fs::path& path : entries) {
    if (directory_id(path.string()))
      search(path, seen, found);
    else if (structure_suffix(path.filename().string()) > 0)
      found.push_back({path.string(), std::nullopt});
  }
  if (ec)
    found.push_back({dir.string(), "The directory \"" + dir.string() + "\" cannot be read: " + ec.message() + "."});
}

void add_named(const std::string& name, std::vector<Input>& inputs) {
  if (!directory_id(name)) {
    inputs.push_back({name, std::nullopt});  // whatever it is: the analysis says what is wrong with it
    return;
  }
  std::set<DirId> seen;
  std::vector<Input> found;
  search(fs::path(name), seen, found);
  std::stable_sort(found.begin(), found.end(), [](const Input& a, const Input& b) { return a.file < b.file; });
  inputs.insert(inputs.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
}

}  // namespace

std::size_t structure_suffix(std::string_view name) {
  const auto ends_with = [](std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
      char c = s[s.size() - suffix.size() + i];
      if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
      if (c != suffix[i]) return false;
    }
    return true;
  };
  const std::size_t gz = ends_with(name, ".gz") ? 3 : 0;
  name.remove_suffix(gz);
  for (std::string_view ext : {".pdb", ".ent", ".cif", ".mmcif"})
    if (name.size() > ext.size() && ends_with(name, ext)) return gz + ext.size();
  return 0;
}

std::vector<Input> find_inputs(std::span<const std::string> args, std::istream& list) {
  std::vector<Input> inputs;
  for (const std::string& arg : args) {
    if (arg != "-") {
      add_named(arg, inputs);
      continue;
    }
    for (std::string line; std::getline(list, line);) {
      if (line.ends_with('\r')) line.pop_back();
      if (!line.empty()) add_named(line, inputs);
    }
  }
  return inputs;
}

}  // namespace veldrix::batch
