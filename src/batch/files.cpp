// The files a batch writes beside its records: superposed structures and plots, named after the inputs.
#include "batch/files.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "batch/inputs.hpp"

namespace veldrix::batch {

namespace fs = std::filesystem;

namespace {

std::string stem(const std::string& file) {
  std::string name = fs::path(file).filename().string();
  name.resize(name.size() - structure_suffix(name));
  return name.empty() || name == "." || name == ".." ? "input" : name;
}

}  // namespace

std::optional<std::string> prepare_directory(const std::string& dir) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) return ec.message();
  if (!fs::is_directory(dir, ec)) return "not a directory";
  // A probe file, since permission bits alone do not tell (a read-only file system, root).
  std::string probe = (fs::path(dir) / ".veldrix-batch-XXXXXX").string();
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  fs::remove(probe, ec);
  return std::nullopt;
}

std::vector<std::string> output_names(const std::vector<Input>& inputs) {
  std::set<std::string> taken;
  std::vector<std::string> names;
  for (const Input& in : inputs) {
    const std::string base = stem(in.file);
    std::string name = base;
    for (int k = 2; taken.count(name); ++k) name = base + "_" + std::to_string(k);
    taken.insert(name);
    names.push_back(name);
  }
  return names;
}

std::vector<std::string> write_files(const std::string& input, const std::string& name, const veldrix::Result& result,
                                     const std::optional<std::string>& superpose_dir,
                                     const std::optional<std::string>& plot_dir) {
  std::vector<std::string> failures;
  if (superpose_dir) {
    const std::string ext = result.file_format.format == veldrix::Format::mmcif ? ".cif" : ".pdb";
    for (std::size_t k = 0; k < result.domains.size(); ++k) {
      const std::string out = (fs::path(*superpose_dir) / (name + ".domain" + std::to_string(k + 1) + ext)).string();
      try {
        veldrix::write_superposed(input, result, k, out);
      } catch (const std::exception& e) {
        failures.push_back("Superposed file \"" + out + "\" not written: " + e.what());
      }
    }
  }
  if (plot_dir) {
    const std::string out = (fs::path(*plot_dir) / (name + ".svg")).string();
    const std::string svg = veldrix::plot_svg(result, fs::path(input).filename().string());
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    if (!file || !file.write(svg.data(), std::streamsize(svg.size())) || !file.flush())
      failures.push_back("Plot \"" + out + "\" not written.");
  }
  return failures;
}

}  // namespace veldrix::batch
