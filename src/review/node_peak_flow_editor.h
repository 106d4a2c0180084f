// The node peak-flow editor: the user-recommended peak flow rates of one
// node, one per return frequency, in the node's record of its map's node
// data base.  The computer-recommended rates come from the hydrology's
// peak flows of the node (columns 226-231, overridden by 232-237 where
// those are not 0); the engineer accepts or raises them, never letting a
// rarer frequency carry less than a more frequent one.
#pragma once

#include <string_view>

#include "shell/session.h"

namespace velm {

// Asks for nodes until the engineer types EXIT; each accepted table of
// rates rewrites the node data base whole.  `model_type` is the study's
// hydrology model type: a study of type 9 keeps one node data base per
// region.
void edit_node_peak_flows(Session& session, std::string_view study_id, int model_type);

}  // namespace velm
