// One input's analysis as a JSON record: the keys in a fixed order, the same for every caller.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <veldrix/veldrix.hpp>

namespace veldrix::batch {

using Json = nlohmann::ordered_json;

// What the analysis of one input came to.
struct Outcome {
  std::optional<veldrix::FileFormat> format;  // as detect_format judged the file; absent when unreadable
  std::optional<veldrix::Result> result;      // the analysis, when it ran to its end
  std::optional<std::string> error;           // set: the input failed, with this message
  double seconds = 0.0;                       // wall time of the analysis
};

// Analyses the file (`format` as detected; none when it could not be). A fatal message, or a range
// (`range_text` as the user typed it) that selects no residue, makes a failed outcome.
Outcome analyse_input(const std::string& path, std::optional<veldrix::FileFormat> format,
                      const veldrix::Options& options, std::string_view range_text);

// The failure of an analysis whose range (`range_text` as the user typed it) selects no residue.
std::optional<std::string> empty_range_error(const veldrix::Result& result, const veldrix::Options& options,
                                             std::string_view range_text);

// The record of one input (see docs/record.schema.json).
Json record(std::string_view file, const Outcome& outcome, const veldrix::Options& options);

// The effective analysis options, as the record's "parameters".
Json parameters(const veldrix::Options& options);

// {"format": ..., "compressed": ...}, nulls when unknown.
Json format_fields(const std::optional<veldrix::FileFormat>& format);
std::optional<veldrix::FileFormat> format_from_fields(const Json& fields);

// One line of JSON; text that is not UTF-8 (a file name, say) is replaced, never an exception.
std::string to_line(const Json& j);

}  // namespace veldrix::batch
