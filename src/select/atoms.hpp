// The atoms command: sets or counts the global atom selection.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veldrix {

// First-stage template: the action, the rest handed on.
inline constexpr std::string_view atoms_template =
    "action=select|count|set|list|stereo|swap|shifts|glomsa|calibrate|"
    "observable|attach|substitute|gyration=select **";
// Template of the select and count actions.
inline constexpr std::string_view atoms_select_template = "selection=*= save=*=";

struct SelectState;

// Handler of "atoms <action> ...". select: asel becomes the evaluated selection;
// count: evaluates it and changes nothing. The other actions are accepted and do nothing.
void atoms(SelectState& s, std::vector<std::string>& words);

}  // namespace veldrix
