// The two questions that can block forever on file-like objects, each asked on the scan's
// probe worker, waited for at most 50 pauses of 1 ms and killed when still inside its call:
// the file type and the object name. Also the FILE branch of the resolution, which hands both
// questions of a file to the worker in one trip.
#pragma once
#include <cstdint>
#include <string>

#include "inventory/handle_resolution.h"
#include "inventory/inventory_system.h"

namespace lurvik {

// The object's name, as ANSI text of at most 2502 bytes, or "" when it has none, the query
// failed or was abandoned.
std::string QueryObjectNameBounded(ScanState& state, SysHandle handle);
// The same question asked on the scan thread, for types whose name never waits.
std::string QueryObjectNameDirectly(ScanState& state, SysHandle handle);

// The FILE branch: pipes (image 5, name line), folders (image 1) and files (image 7) on
// lettered volumes; nothing for any other kind or a hung probe.
void ResolveFileHandle(HandleResolution& resolution);

}  // namespace lurvik
