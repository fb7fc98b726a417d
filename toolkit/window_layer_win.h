// The toolkit's window layer (placeholder until the windows exist): the program end closes
// every window the toolkit has made.
#pragma once

namespace lurvik {

void CloseAllWindows();

}  // namespace lurvik
