// Whether anyone can see the program's window station. In a service, in a scheduled task that
// runs whether or not a user is logged on, and in any session without a visible desktop, a
// program opened there waits for a user who never comes.
#pragma once

namespace lurvik {

// False when the window station's flags say it is not visible (WSF_VISIBLE clear); true when
// it is, and when the flags cannot be read. Test builds with LURVIK_UNSEEN_WINDOW_STATION=1
// answer false, since Wine's window station is always visible.
bool WindowStationIsVisible();

}  // namespace lurvik
