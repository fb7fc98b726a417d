// Resolution of one handle-table entry: its node, the duplication of the handle into the own
// process, the questions its object type allows, and its access line.
#pragma once
#include <cstdint>
#include <string>

#include "inventory/handle_snapshot.h"
#include "inventory/native_records.h"
#include "inventory/scan_state.h"
#include "inventory/type_table.h"

namespace lurvik {

// What the type branches of one entry share.
struct HandleResolution {
  ScanState& state;
  TypeRow& row;
  NodeNumber handleNode;
  SysHandle duplicate;
  int32_t DetailIconIndex;
};

// One detail line of the entry, under its handle node, with the entry's current image.
void AddDetail(HandleResolution& resolution, const std::string& text);

// Puts out entry `index` of the snapshot. Entries of processes the filter hides produce
// nothing and open nothing. Entries whose type number gives no row of the type list are
// shown under a type node "ObjectType <number>" of their own, with their value and access
// mask, and are not duplicated. A file entry's copy and questions come from its stretch.
void ResolveHandleEntry(ScanState& state, const HandleSnapshot& snapshot, uint64_t index, const HandleEntry& entry);

// The row of the type list that describes an entry's type number (row = number minus
// TypeNumberOffset), or null for a number the list does not cover.
TypeRow* ListedRowOf(const HandleEntry& entry);

// GENERIC_READ first; after a refusal the type's own query access; after a second refusal no
// access at all. Any other error ends the attempts. Returns the copy or 0.
SysHandle DuplicateWithFallbacks(InventorySystem& system, SysHandle owner, uint64_t handleValue, const TypeRow& row);

// The current process opened for duplication, at its first entry that needs it; 0 when it
// cannot be opened.
SysHandle OwnerProcess(ScanState& state, uint32_t processId);

}  // namespace lurvik
