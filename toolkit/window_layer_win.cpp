// Placeholder of the window layer: no window exists yet, so there is nothing to close.
#include "toolkit/window_layer_win.h"

namespace lurvik {

void CloseAllWindows() {}

}  // namespace lurvik
