// Copy from the tree: the selected node and everything under it, in the log's form, put on the
// clipboard as CF_TEXT (from which the system makes the Unicode form).
#pragma once

namespace lurvik {

// Nothing selected: the clipboard stays as it is.
void CopySelectedSubtree();

}  // namespace lurvik
