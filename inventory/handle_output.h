// The output of one handle: its node under its type node, its detail lines and its access
// line, each put into the tree and, in the same words, into its type's log block.
#pragma once
#include <cstdint>
#include <string>

#include "inventory/tree_output.h"
#include "inventory/type_table.h"

namespace lurvik {

// "Handle: " + decimal value under the row's type node; image 11.
NodeNumber AddHandleNode(TreeOutput& tree, TypeRow& row, uint64_t handleValue);
// One detail line under the handle node.
void AddDetailLine(TreeOutput& tree, TypeRow& row, NodeNumber handleNode, const std::string& text, int32_t image);
// LanguageText 8 + "0x" + hex mask + " (" + TypeGenericAll + ")"; the bracket is left out for
// a row without a GenericAll text (a type the type list does not name).
void AddAccessLine(TreeOutput& tree, TypeRow& row, NodeNumber handleNode, uint32_t mask, int32_t image);

}  // namespace lurvik
