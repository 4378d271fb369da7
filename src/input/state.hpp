// The state of a run up to the structure input: selections, the PDB reader's and the read command's modules.
#pragma once

#include "input/getcor.hpp"
#include "input/readf.hpp"
#include "select/state.hpp"

namespace veldrix {

struct InputState : SelectState {
  PdbReadData pdbread;
  ReadData readdata;
};

}  // namespace veldrix
