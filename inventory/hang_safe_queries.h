// The two questions that can block forever on file-like objects, each asked on the scan's
// probe worker, waited for at most 50 pauses in each call and killed when still inside it:
// the file type and the object name. Also the FILE branch of the resolution, whose question
// (both calls of a file) went to the worker with the rest of its stretch.
#pragma once
#include <cstdint>
#include <string>

#include "inventory/file_stretch.h"
#include "inventory/handle_resolution.h"
#include "inventory/inventory_system.h"

namespace lurvik {

// A question's storage, with its record buffer; null when the buffer cannot be had.
std::shared_ptr<ProbeStorage> NewProbeQuestion(SysHandle handle);

// The object's name, as ANSI text of at most 2502 bytes, or "" when it has none, the query
// failed or was abandoned.
std::string QueryObjectNameBounded(ScanState& state, SysHandle handle);
// The same question asked on the scan thread, for types whose name never waits.
std::string QueryObjectNameDirectly(ScanState& state, SysHandle handle);

// The FILE branch, from the file's answered question: pipes (image 5, name line), folders
// (image 1) and files (image 7) on lettered volumes; nothing for any other kind, a hung
// probe or a question not asked.
void ResolveFileHandle(HandleResolution& resolution, const PreparedFile& file);

}  // namespace lurvik
