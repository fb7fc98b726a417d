// Resolution of one handle-table entry: its node, the duplication of the handle into the own
// process, the questions its object type allows, and its access line.
#pragma once
#include <cstdint>
#include <string>

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

// Puts out one entry of the snapshot. Entries of processes the filter hides produce nothing
// and open nothing. Entries whose type number gives no row of
// the type list are shown under a type node "ObjectType <number>" of their own, with their
// value and access mask, and are not duplicated.
void ResolveHandleEntry(ScanState& state, const HandleEntry& entry);

}  // namespace lurvik
