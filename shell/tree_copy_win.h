// Copy from the tree: the selected node and everything under it, in the log's form, put on the
// clipboard as CF_TEXT (from which the system makes the Unicode form).
#pragma once

namespace lurvik {

// Nothing selected: the clipboard stays as it is. A clipboard held by another program is tried
// once more after a short pause; a copy that fails beeps, as a find without a match does.
void CopySelectedSubtree();

}  // namespace lurvik
