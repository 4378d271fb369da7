// The files a batch writes beside its records: superposed structures and plots, named after the inputs.
#pragma once

#include <optional>
#include <string>
#include <vector>
#include <veldrix/veldrix.hpp>

#include "batch/inputs.hpp"

namespace veldrix::batch {

// Creates the directory (and its parents) when missing; the reason when it cannot be written.
std::optional<std::string> prepare_directory(const std::string& dir);

// The name of each input's files: its file name without ".gz" and without a structure extension
// (.pdb, .ent, .cif, .mmcif); a name that an earlier input already has gets "_2", "_3", ... added.
std::vector<std::string> output_names(const std::vector<Input>& inputs);

// Writes DIR/NAME.domainK.EXT for each domain K (EXT pdb or cif after the input's format) and/or
// DIR/NAME.svg with the plot titled with the input's file name; each directory is optional.
// Returns the reason for each file that could not be written.
std::vector<std::string> write_files(const std::string& input, const std::string& name, const veldrix::Result& result,
                                     const std::optional<std::string>& superpose_dir,
                                     const std::optional<std::string>& plot_dir);

}  // namespace veldrix::batch
