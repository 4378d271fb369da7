// Command parameter parsing: templates, matching by name and position, conversion, fetching.
#pragma once

#include <string>
#include <string_view>

namespace veldrix {

// Result of the last parameter parse.
struct ParamData {
  std::string prefix;  // command prefix for variable look-up, e.g. "read_pdb_"
};
inline ParamData paramdata;

// Sets the command prefix from a command name ("read pdb" gives "read_pdb_").
void setcmd(std::string_view name);

}  // namespace veldrix
