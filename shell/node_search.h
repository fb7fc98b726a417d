// The search of the find dialog over the kept nodes, in the tree's top-down order: from the
// selected node (or the top) down or up, going round the end once.
#pragma once
#include <string>

#include "toolkit/tree_model.h"
#include "toolkit/text_match.h"

namespace lurvik {

struct NodeSearch {
  std::string text;
  bool down = true;
  bool matchCase = false;
  bool wholeWord = false;
};

// The first matching node after `from` in the search's direction, round the end and back to
// `from` itself last; from 0 (nothing selected) down from the first node, up from the last.
// 0 when no node matches.
NodeNumber FindNode(const TreeModel& nodes, NodeNumber from, TextMatcher& matcher, bool down);

}  // namespace lurvik
