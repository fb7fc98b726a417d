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
constexpr int32_t kMaxStartTicks = 2000;

// Waits for a probe by the phase in its storage, with pauses of 1 ms. A probe still starting
// is waited for up to 2,000 pauses and then given up without a kill; a probe inside its call
// gets at most 50 pauses and is killed when it is still inside. Finished means the probe has
// left its call and its result is complete; worker 0 (never started) is abandoned at once.
WaitResult WaitOrKillWorker(InventorySystem& system, int32_t worker, ProbeStorage& storage);

// The object's name, as ANSI text of at most 2502 bytes, or "" when it has none, the query
// failed or was abandoned.
std::string QueryObjectNameBounded(InventorySystem& system, SysHandle handle);

// The FILE branch: pipes (image 5, name line), folders (image 1) and files (image 7) on
// lettered volumes; nothing for any other kind or a hung probe.
void ResolveFileHandle(HandleResolution& resolution);

}  // namespace lurvik
