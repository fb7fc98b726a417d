// FindNode: one walk in top-down order. The kept nodes link each node to its next one only, so
// a search up walks down as well and keeps the last match before `from` (else the last after
// it): the same single pass as the longest search down.
#include "shell/node_search.h"

namespace lurvik {

NodeNumber FindNode(const TreeModel& nodes, NodeNumber from, TextMatcher& matcher, bool down) {
  if (down) {
    NodeNumber node = from == 0 ? nodes.First() : nodes.Next(from);
    for (bool wrapped = false;; node = nodes.Next(node)) {
      if (node == 0) {
        if (wrapped || from == 0) return 0;
        wrapped = true;
        node = nodes.First();
        if (node == 0) return 0;
      }
      if (matcher.Matches(nodes.Text(node))) return node;
      if (node == from) return 0;
    }
  }
  NodeNumber before = 0, after = 0;
  bool passed = from == 0;
  for (NodeNumber node = nodes.First(); node != 0; node = nodes.Next(node)) {
    const bool matches = matcher.Matches(nodes.Text(node));
    if (node == from) {
      passed = true;
      if (matches) after = node;  // found again only when nothing else matches
      continue;
    }
    if (matches) (passed ? after : before) = node;
  }
  return before != 0 ? before : after;
}

}  // namespace lurvik
