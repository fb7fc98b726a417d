// SubtreeText: one walk to measure the text and one to write it, so a copy of a few hundred
// thousand lines is made in one allocation.
#include "shell/subtree_text.h"

namespace lurvik {

namespace {

// Calls visit(node, depth below top) for top and every node under it, in top-down order.
template <typename Visit>
void WalkSubtree(const TreeModel& nodes, NodeNumber top, Visit visit) {
  size_t depth = 0;
  for (NodeNumber node = top;;) {
    visit(node, depth);
    if (nodes.FirstChild(node) != 0) {
      node = nodes.FirstChild(node);
      ++depth;
      continue;
    }
    while (node != top && nodes.NextSibling(node) == 0) {
      node = nodes.Parent(node);
      --depth;
    }
    if (node == top) return;
    node = nodes.NextSibling(node);
  }
}

}  // namespace

std::string SubtreeText(const TreeModel& nodes, NodeNumber top) {
  if (top == 0 || top > nodes.Count()) return {};
  size_t topLevel = 1;  // the process nodes stand at level 1, the type nodes at 2
  for (NodeNumber node = nodes.Parent(top); node != 0; node = nodes.Parent(node)) ++topLevel;
  auto shown = [&](NodeNumber node, size_t depth) {
    return depth == 0 || topLevel + depth != 2 || nodes.FirstChild(node) != 0;
  };
  size_t size = 0;
  WalkSubtree(nodes, top, [&](NodeNumber node, size_t depth) {
    if (shown(node, depth)) size += 2 * depth + nodes.Text(node).size() + 2;
  });
  std::string text;
  text.reserve(size);
  WalkSubtree(nodes, top, [&](NodeNumber node, size_t depth) {
    if (!shown(node, depth)) return;
    text.append(2 * depth, ' ').append(nodes.Text(node)).append("\r\n");
  });
  return text;
}

}  // namespace lurvik
