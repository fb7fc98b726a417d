// The text of a node and everything under it, in the log's form: the node at no indent, two
// blanks more for each level below, CR LF line ends; type nodes without handles are left out,
// as the log leaves them out. So a process node gives exactly that process's lines of the log.
#pragma once
#include <string>

#include "toolkit/tree_model.h"

namespace lurvik {

std::string SubtreeText(const TreeModel& nodes, NodeNumber top);

}  // namespace lurvik
