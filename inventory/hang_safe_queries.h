// The two questions that can block forever on file-like objects, each asked on a probe worker
// that is polled at most 50 times with 1 ms pauses and killed when still running: the file
// type and the object name. Also the FILE branch of the resolution, which builds on them.
#pragma once
#include <cstdint>
#include <string>

#include "inventory/handle_resolution.h"
#include "inventory/inventory_system.h"

namespace lurvik {

enum class WaitResult { Finished, Abandoned };

constexpr int32_t kMaxWaitTicks = 50;

// Polls the worker, pausing 1 ms after each poll that finds it running, at most 50 times;
// kills it when it still runs after that. Worker 0 (never started) counts as finished.
WaitResult WaitOrKillWorker(InventorySystem& system, int32_t worker);

// The object's name, as ANSI text of at most 2502 bytes, or "" when it has none, the query
// failed or was abandoned.
std::string QueryObjectNameBounded(InventorySystem& system, SysHandle handle);

// The FILE branch: pipes (image 5, name line), folders (image 1) and files (image 7) on
// lettered volumes; nothing for any other kind or a hung probe.
void ResolveFileHandle(HandleResolution& resolution);

}  // namespace lurvik
