// The state of a run up to the selections: the superposition state and the store of named selections.
#pragma once

#include "select/select.hpp"
#include "superpose/state.hpp"

namespace veldrix {

struct SelectState : SuperposeState {
  SelectData selectdata;
};

}  // namespace veldrix
