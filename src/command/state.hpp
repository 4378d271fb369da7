// The state that the commands of one run share: printed lines, parsed parameters, phase times.
#pragma once

#include "command/message.hpp"
#include "command/params.hpp"
#include "util/profile.hpp"

namespace veldrix {

// The bottom of a session's state; each subsystem above adds its own modules.
struct CommandState {
  PrintData printdata;
  ParamData paramdata;
  Profile profile;
};

}  // namespace veldrix
