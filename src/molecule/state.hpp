// The state of a run up to the molecule: the command state and the molecular data model.
#pragma once

#include "command/state.hpp"
#include "molecule/vokandata.hpp"

namespace veldrix {

struct MoleculeState : CommandState {
  VokanData vokandata;
};

}  // namespace veldrix
